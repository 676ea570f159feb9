// The intersection segment of two faces, with numbers worked by hand. Most
// pairs are a horizontal face at z = 10 against a face on the plane
// z = x - 100, so the two planes meet along x = 110, z = 10, a line that
// runs along y on the screen. Against the tilted plane a vertex at
// (x, y, 10) has the distance (110 - x) / sqrt(2); against the horizontal
// plane a vertex has the distance z - 10.
#include "face_pair.h"

#include <utility>
#include <vector>

#include "state_fixture.h"

namespace {

class Face_Pair : public State_Test {
 protected:
  std::vector<const HLR_Edge*> lines(const HLR_Face* a, const HLR_Face* b) {
    clear_edges();
    intersect_face_pair(state, rendition, a, b);
    return edges();
  }
  // The one line of the pair, or a failure.
  ::testing::AssertionResult line_is(const HLR_Face* a, const HLR_Face* b, KT_Point from,
                                     KT_Point to) {
    const auto found = lines(a, b);
    if (found.size() != 1) return ::testing::AssertionFailure() << found.size() << " lines";
    if (found[0]->a == from && found[0]->b == to) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << ::testing::PrintToString(found[0]->a) << " to "
                                         << ::testing::PrintToString(found[0]->b);
  }
};

TEST_F(Face_Pair, CleanCrossingGivesTheCommonPartOfBothSegments) {
  // The horizontal face crosses x = 110 from y = 100 to 290; the tilted one
  // crosses z = 10 at u = 0.4 on its edge at y = 150 and at u = 0.8 on its
  // edge towards (100, 250, 0): from (110, 150, 10) to (110, 230, 10).
  const HLR_Face* flat = face({100, 100, 10}, {300, 100, 10}, {100, 300, 10});
  const HLR_Face* tilted = face({50, 150, -50}, {150, 150, 50}, {100, 250, 0});
  EXPECT_TRUE(line_is(flat, tilted, {110, 150, 10}, {110, 230, 10}));
  EXPECT_TRUE(line_is(tilted, flat, {110, 150, 10}, {110, 230, 10}));
  EXPECT_EQ(state.edge_list.head->t_min, 0.0);
  EXPECT_EQ(state.edge_list.head->t_max, 1.0);
  EXPECT_EQ(state.edge_list.head->rendition->data(), rendition.data());
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
  EXPECT_TRUE(line_is(flat, steep, {254.93605041503906f, 176.4656982421875f, 10.000000953674316f},
                      {368.1601257324219f, 177.59434509277344f, 10.000000953674316f}));
}

TEST_F(Face_Pair, FacesThatDoNotCrossOrMeetOnlyEndToEndGiveNoLine) {
  const HLR_Face* a = face({100, 100, 10}, {300, 100, 10}, {100, 300, 10});
  // The horizontal face's segment: (110, 100, 10) to its vertex
  // (110, 200, 10) on the tilted plane; the tilted faces' segments start at
  // y0 (edge at constant y) and end at y0 + 0.8 * (412.5 - y0).
  const HLR_Face* short_flat = face({50, 100, 10}, {200, 100, 10}, {110, 200, 10});
  const std::pair<const HLR_Face*, const HLR_Face*> pairs[] = {
      {a, face({300, 100, 10}, {300, 300, 60}, {100, 300, 10})},             // a shared edge
      {a, face({150, 150, 10}, {400, 150, 10}, {150, 400, 10})},             // coplanar
      {a, face({150, 150, 10}, {250, 150, 30}, {150, 250, 30})},             // touching at a vertex
      {a, face({150, 150, 10.05f}, {250, 150, 30}, {150, 250, 30})},         // within the tolerance
      {a, face({150, 150, 20}, {250, 150, 30}, {150, 250, 30})},             // above
      {short_flat, face({50, 200, -50}, {150, 200, 50}, {100, 412.5f, 0})},  // end to end
      {short_flat, face({50, 250, -50}, {150, 250, 50}, {100, 412.5f, 0})},  // apart
      {short_flat, face({50, 0, -50}, {150, 0, 50}, {100, 50, 0})},          // apart, before
  };
  for (std::size_t i = 0; i < std::size(pairs); ++i) {
    EXPECT_TRUE(lines(pairs[i].first, pairs[i].second).empty()) << "pair " << i;
    EXPECT_TRUE(lines(pairs[i].second, pairs[i].first).empty()) << "pair " << i;
  }
  // One unit of overlap gives that unit.
  const HLR_Face* overlaps = face({50, 199, -50}, {150, 199, 50}, {100, 412.5f, 0});
  EXPECT_TRUE(line_is(short_flat, overlaps, {110, 199, 10}, {110, 200, 10}));
  EXPECT_TRUE(line_is(overlaps, short_flat, {110, 199, 10}, {110, 200, 10}));
}

TEST_F(Face_Pair, VertexWithinToleranceEndsTheLineThere) {
  // The vertex (110.05, 100, 10) lies 0.035 from the tilted plane, within
  // the tolerance 0.1: it counts as on the plane and ends the horizontal
  // face's segment itself; the other end is the crossing at (110, 300).
  const HLR_Face* flat = face({110.05f, 100, 10}, {200, 300, 10}, {50, 300, 10});
  const HLR_Face* tilted = face({50, 50, -50}, {150, 50, 50}, {100, 400, 0});
  auto found = lines(flat, tilted);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->b, (KT_Point{110.05f, 100, 10}));
  EXPECT_NEAR(found[0]->a.x, 110.0f, 1e-4f);
  EXPECT_EQ(found[0]->a.y, 300.0f);
  // With a tolerance of 0.01 the vertex is on the negative side, and the
  // line ends at a crossing near it instead.
  state.depth_tolerance = 0.01f;
  found = lines(flat, tilted);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_GT(found[0]->b.y, 100.1f);
}

// With a tolerance of 5, vertices a few units off the other plane count as
// on it: a segment then ends at that vertex, off the planes' common line,
// and which end point is taken shows.
TEST_F(Face_Pair, TiesBetweenTheSegmentsAreSettledInTheFixedOrder) {
  state.depth_tolerance = 5.0f;
  // Horizontal segment: crossing (110, 100, 10) to its vertex (104, 110,
  // 10); tilted segment: crossing (110, 102, 10) to its vertex (114, 108,
  // 14). The x spread 114 - 104 equals the y spread 110 - 100, so y
  // decides; along x the segments would only meet end to end at x = 110.
  EXPECT_TRUE(line_is(face({50, 100, 10}, {200, 100, 10}, {104, 110, 10}),
                      face({50, 102, -50}, {150, 102, 50}, {114, 108, 14}), {110, 102, 10},
                      {114, 108, 14}));

  // Equal starts at y = 100: the first face's vertex (112, 100, 10) starts
  // the line, not the second's crossing (110, 100, 10).
  const HLR_Face* flat = face({112, 100, 10}, {200, 300, 10}, {50, 300, 10});
  const HLR_Face* tilted = face({50, 100, -50}, {150, 100, 50}, {100, 400, 0});
  auto found = lines(flat, tilted);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->b, (KT_Point{112, 100, 10}));
  found = lines(tilted, flat);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->a.y < found[0]->b.y ? found[0]->a : found[0]->b, (KT_Point{110, 100, 10}));

  // Equal ends at y = 340 end on the segment that started: the first face
  // (y 100 against 50) ends at its vertex (112, 340, 10), the second (y 50
  // against 16) at its vertex (113, 340, 13).
  found = lines(face({50, 100, 10}, {200, 100, 10}, {112, 340, 10}),
                face({50, 50, -50}, {150, 50, 50}, {100, 412.5f, 0}));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->b, (KT_Point{112, 340, 10}));
  EXPECT_TRUE(line_is(face({50, -200, 10}, {200, 340, 10}, {50, 340, 10}),
                      face({50, 50, -50}, {150, 50, 50}, {113, 340, 13}), {110, 50, 10},
                      {113, 340, 13}));
}

}  // namespace
