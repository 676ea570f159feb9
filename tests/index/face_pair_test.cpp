#include "face_pair.h"

#include <gtest/gtest.h>

#include <vector>

#include "face_index.h"
#include "index_fixture.h"
#include "store.h"

namespace {

// Most pairs below are a horizontal face at z = 10 against a face on the
// plane z = x - 100, so the two planes meet along x = 110, z = 10, a line
// that runs along y on the screen. Against the tilted plane a vertex at
// (x, y, 10) has the distance (110 - x) / sqrt(2); against the horizontal
// plane a vertex has the distance z - 10.
class Face_Pair : public ::testing::Test {
 protected:
  HLR_Face* face(KT_Point p0, KT_Point p1, KT_Point p2) {
    const std::uint32_t before = picture.state.face_list.count;
    make_face(picture.state, rendition, KT_RGB32{}, KT_RGB32{}, p0, p1, p2);
    EXPECT_EQ(picture.state.face_list.count, before + 1);
    return picture.state.face_list.head;
  }
  std::vector<const HLR_Edge*> lines(const HLR_Face* a, const HLR_Face* b) {
    picture.clear_edges();
    intersect_face_pair(picture.state, rendition, a, b);
    return picture.edges();
  }

  struct Picture : Test_Picture {
    void clear_edges() {
      for (HLR_Edge* edge = state.edge_list.head; edge != nullptr;) {
        HLR_Edge* next = edge->link;
        delete edge;
        edge = next;
      }
      state.edge_list = {};
    }
  } picture;
  KT_Rendition rendition = KT_Rendition::create();  // clip 0..1000
};

TEST_F(Face_Pair, CleanCrossingGivesTheCommonPartOfBothSegments) {
  // The horizontal face crosses x = 110 from y = 100 to 290; the tilted one
  // crosses z = 10 at u = 0.4 on its edge at y = 150 and at u = 0.8 on its
  // edge towards (100, 250, 0): from (110, 150, 10) to (110, 230, 10).
  const HLR_Face* flat = face({100, 100, 10}, {300, 100, 10}, {100, 300, 10});
  const HLR_Face* tilted = face({50, 150, -50}, {150, 150, 50}, {100, 250, 0});
  for (const auto& [a, b] : {std::pair{flat, tilted}, std::pair{tilted, flat}}) {
    const auto edges = lines(a, b);
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_EQ(edges[0]->a, (KT_Point{110, 150, 10}));
    EXPECT_EQ(edges[0]->b, (KT_Point{110, 230, 10}));
    EXPECT_EQ(edges[0]->t_min, 0.0);
    EXPECT_EQ(edges[0]->t_max, 1.0);
    EXPECT_EQ(edges[0]->rendition.data(), rendition.data());
  }
}

TEST_F(Face_Pair, CrossingTakesTheCoordinateDifferenceInFloat) {
  // The horizontal face has the exact plane (0, 0, 1, -10) (its normal's
  // length is 2^20), so the other face's distances are z - 10 exactly. Its
  // segment lies inside the horizontal face and is the line. The crossing
  // from the positive vertex to each negative one: (N.z - P.z) rounded to
  // float before it is multiplied by u gives z = 10.000000953674316 (the
  // float above 10) at both ends; the difference taken in double would
  // give 10 exactly. Worked out once in double and float arithmetic.
  const HLR_Face* flat = face({0, 0, 10}, {1024, 0, 10}, {0, 1024, 10});
  const HLR_Face* steep = face({336.3215026855469f, 209.8553466796875f, 27.56630516052246f},
                               {102.72351837158203f, 114.01813507080078f, -22.853679656982422f},
                               {386.553955078125f, 158.9564971923828f, -0.14841170608997345f});
  const auto edges = lines(flat, steep);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0]->a, (KT_Point{254.93605041503906f, 176.4656982421875f, 10.000000953674316f}));
  EXPECT_EQ(edges[0]->b, (KT_Point{368.1601257324219f, 177.59434509277344f, 10.000000953674316f}));
}

TEST_F(Face_Pair, SharedEdgeGivesNoLine) {
  // Two faces of one folded mesh: the shared vertices lie on the other
  // plane, the third vertex on one side only.
  const HLR_Face* a = face({100, 100, 10}, {300, 100, 10}, {100, 300, 10});
  const HLR_Face* b = face({300, 100, 10}, {300, 300, 60}, {100, 300, 10});
  EXPECT_TRUE(lines(a, b).empty());
  EXPECT_TRUE(lines(b, a).empty());
}

TEST_F(Face_Pair, CoplanarTouchingAndSeparateFacesGiveNoLine) {
  const HLR_Face* a = face({100, 100, 10}, {300, 100, 10}, {100, 300, 10});
  const HLR_Face* coplanar = face({150, 150, 10}, {400, 150, 10}, {150, 400, 10});
  const HLR_Face* touching_at_vertex = face({150, 150, 10}, {250, 150, 30}, {150, 250, 30});
  const HLR_Face* touching_within_tolerance =
      face({150, 150, 10.05f}, {250, 150, 30}, {150, 250, 30});
  const HLR_Face* above = face({150, 150, 20}, {250, 150, 30}, {150, 250, 30});
  for (const HLR_Face* b : {coplanar, touching_at_vertex, touching_within_tolerance, above}) {
    EXPECT_TRUE(lines(a, b).empty());
    EXPECT_TRUE(lines(b, a).empty());
  }
}

TEST_F(Face_Pair, VertexWithinToleranceEndsTheLineThere) {
  // The vertex (110.05, 100, 10) lies 0.035 from the tilted plane, within
  // the tolerance 0.1: it counts as on the plane and ends the horizontal
  // face's segment itself; the other end is the crossing at (110, 300).
  // The tilted face covers y from 50 to 330, so the line is the whole
  // segment of the horizontal face.
  const HLR_Face* flat = face({110.05f, 100, 10}, {200, 300, 10}, {50, 300, 10});
  const HLR_Face* tilted = face({50, 50, -50}, {150, 50, 50}, {100, 400, 0});
  auto edges = lines(flat, tilted);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0]->b, (KT_Point{110.05f, 100, 10}));
  EXPECT_NEAR(edges[0]->a.x, 110.0f, 1e-4f);
  EXPECT_EQ(edges[0]->a.y, 300.0f);
  EXPECT_EQ(edges[0]->a.z, 10.0f);

  // With a tolerance of 0.01 the vertex is on the negative side, and the
  // line ends at a crossing near it instead.
  picture.state.depth_tolerance = 0.01f;
  edges = lines(flat, tilted);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_NE(edges[0]->b, (KT_Point{110.05f, 100, 10}));
  EXPECT_GT(edges[0]->b.y, 100.1f);
}

TEST_F(Face_Pair, SegmentsApartOrMeetingEndToEndGiveNoLine) {
  // The horizontal face's segment: (110, 100, 10) to its vertex
  // (110, 200, 10) on the tilted plane.
  const HLR_Face* flat = face({50, 100, 10}, {200, 100, 10}, {110, 200, 10});
  // Tilted faces whose segments start at y0 (edge at constant y) and end at
  // y0 + 0.8 * (412.5 - y0).
  const HLR_Face* starts_at_end = face({50, 200, -50}, {150, 200, 50}, {100, 412.5f, 0});
  const HLR_Face* starts_beyond = face({50, 250, -50}, {150, 250, 50}, {100, 412.5f, 0});
  const HLR_Face* ends_before = face({50, 0, -50}, {150, 0, 50}, {100, 50, 0});
  for (const HLR_Face* b : {starts_at_end, starts_beyond, ends_before}) {
    EXPECT_TRUE(lines(flat, b).empty());
    EXPECT_TRUE(lines(b, flat).empty());
  }
  // One unit of overlap gives that unit.
  const HLR_Face* overlaps = face({50, 199, -50}, {150, 199, 50}, {100, 412.5f, 0});
  for (const auto& [a, b] : {std::pair{flat, overlaps}, std::pair{overlaps, flat}}) {
    const auto edges = lines(a, b);
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_EQ(edges[0]->a, (KT_Point{110, 199, 10}));
    EXPECT_EQ(edges[0]->b, (KT_Point{110, 200, 10}));
  }
}

// The remaining cases use a tolerance of 5 so that vertices a few units off
// the other plane count as on it: the segment then ends at that vertex, off
// the planes' common line, and which end point is taken shows.
class Face_Pair_Wide_Tolerance : public Face_Pair {
 protected:
  void SetUp() override { picture.state.depth_tolerance = 5.0f; }
};

TEST_F(Face_Pair_Wide_Tolerance, EqualSpreadsCompareAlongY) {
  // Horizontal segment: crossing (110, 100, 10) to its vertex (104, 110, 10).
  // Tilted segment: crossing (110, 102, 10) to its vertex (114, 108, 14).
  // x spread 114 - 104 = 10 equals y spread 110 - 100 = 10, so y decides:
  // the line runs from (110, 102) to (114, 108). Along x the two segments
  // would only meet end to end at x = 110.
  const HLR_Face* flat = face({50, 100, 10}, {200, 100, 10}, {104, 110, 10});
  const HLR_Face* tilted = face({50, 102, -50}, {150, 102, 50}, {114, 108, 14});
  const auto edges = lines(flat, tilted);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0]->a, (KT_Point{110, 102, 10}));
  EXPECT_EQ(edges[0]->b, (KT_Point{114, 108, 14}));
}

TEST_F(Face_Pair_Wide_Tolerance, EqualStartsStartAtTheFirstFacesEndPoint) {
  // Both segments start at y = 100: the first face's at its vertex
  // (112, 100, 10), the second's at the crossing (110, 100, 10). The line
  // starts at the first face's point and ends at its other end (110, 300).
  const HLR_Face* flat = face({112, 100, 10}, {200, 300, 10}, {50, 300, 10});
  const HLR_Face* tilted = face({50, 100, -50}, {150, 100, 50}, {100, 400, 0});
  auto edges = lines(flat, tilted);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0]->b, (KT_Point{112, 100, 10}));
  EXPECT_NEAR(edges[0]->a.x, 110.0f, 1e-4f);
  EXPECT_EQ(edges[0]->a.y, 300.0f);
  EXPECT_EQ(edges[0]->a.z, 10.0f);

  // The other way round the tilted face's crossing (110, 100, 10) starts
  // the line. (Which end is the edge's `a` depends on the rounding of the
  // other end's x.)
  edges = lines(tilted, flat);
  ASSERT_EQ(edges.size(), 1u);
  const KT_Point& low_end = edges[0]->a.y < edges[0]->b.y ? edges[0]->a : edges[0]->b;
  EXPECT_EQ(low_end, (KT_Point{110, 100, 10}));
}

TEST_F(Face_Pair_Wide_Tolerance, EqualEndsEndOnTheSegmentThatStarted) {
  {
    // The first face starts (y 100 against 50) and both end at y = 340: the
    // first face's vertex (112, 340, 10) ends the line, not the second's
    // crossing (110, 340, 10).
    const HLR_Face* flat = face({50, 100, 10}, {200, 100, 10}, {112, 340, 10});
    const HLR_Face* tilted = face({50, 50, -50}, {150, 50, 50}, {100, 412.5f, 0});
    const auto edges = lines(flat, tilted);
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_NEAR(edges[0]->a.x, 110.0f, 1e-4f);
    EXPECT_EQ(edges[0]->a.y, 100.0f);
    EXPECT_EQ(edges[0]->b, (KT_Point{112, 340, 10}));
  }
  {
    // The second face starts (y 50 against 16) and both end at y = 340: the
    // second face's vertex (113, 340, 13) ends the line, not the first
    // face's crossing at (110, 340, 10).
    const HLR_Face* flat = face({50, -200, 10}, {200, 340, 10}, {50, 340, 10});
    const HLR_Face* tilted = face({50, 50, -50}, {150, 50, 50}, {113, 340, 13});
    const auto edges = lines(flat, tilted);
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_EQ(edges[0]->a, (KT_Point{110, 50, 10}));
    EXPECT_EQ(edges[0]->b, (KT_Point{113, 340, 13}));
  }
}

TEST_F(Face_Pair, FaceIsTestedAgainstTheIndexedFacesWhoseBoxesOverlap) {
  const HLR_Face* flat = face({100, 100, 10}, {300, 100, 10}, {100, 300, 10});
  // Crosses the flat face: one line.
  HLR_Face* crossing = face({50, 150, -50}, {150, 150, 50}, {100, 250, 0});
  // Crosses the flat face's plane far from it in x-y: its box misses.
  HLR_Face* elsewhere = face({650, 150, -50}, {750, 150, 50}, {700, 250, 0});
  // Overlaps in x-y but lies wholly above.
  HLR_Face* above = face({100, 100, 20}, {300, 100, 20}, {100, 300, 30});
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  for (HLR_Face* f : {crossing, elsewhere, above}) {
    auto* item = new HLR_Index_Item{};
    make_index_item(item, f);
    index_insert(item, index.root());
  }
  picture.clear_edges();
  intersect_face(picture.state, rendition, const_cast<HLR_Face*>(flat), index.root());
  const auto edges = picture.edges();
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0]->a, (KT_Point{110, 150, 10}));
  EXPECT_EQ(edges[0]->b, (KT_Point{110, 230, 10}));
}

}  // namespace
