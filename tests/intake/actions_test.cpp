// The intake operations: strips into counter-clockwise faces, polylines
// into edges, conversions of integer and double points, per-segment
// colours, colour choice, and markers.
#include <cmath>

#include "intake_actions.h"
#include "intake_fixture.h"

namespace {

using Actions = Intake_Test;

constexpr KT_RGB32 red{0, 0, 255, 255};
constexpr KT_RGB32 green{0, 255, 0, 255};
constexpr KT_RGB32 blue{255, 0, 0, 128};
constexpr KT_RGB32 grey{80, 80, 80, 255};

TEST_F(Actions, FivePointStripGivesThreeCounterClockwiseFaces) {
  const KT_Point points[] = {{0, 0, 1}, {1, 0, 2}, {0, 1, 3}, {1, 1, 4}, {0, 2, 5}};
  strip_f_noclip(state, rendition, 5, points);

  const auto faces = faces_of(state);  // newest first
  ASSERT_EQ(faces.size(), 3u);
  EXPECT_EQ(state.face_list.count, 3u);
  // Triangle 1 comes clockwise and is stored as (p1, p3, p2).
  const KT_Point expected[3][3] = {
      {points[2], points[3], points[4]},
      {points[1], points[3], points[2]},
      {points[0], points[1], points[2]},
  };
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(faces[i]->vertices[0], expected[i][0]) << "face " << i;
    EXPECT_EQ(faces[i]->vertices[1], expected[i][1]) << "face " << i;
    EXPECT_EQ(faces[i]->vertices[2], expected[i][2]) << "face " << i;
    EXPECT_GT(signed_area(*faces[i]), 0.0);
    EXPECT_GT(faces[i]->plane.nz, 0.0);
  }
  EXPECT_EQ(state.extent.z_min, 1.0f);
  EXPECT_EQ(state.extent.z_max, 5.0f);
  EXPECT_EQ(state.extent.y_max, 2.0f);
}

TEST_F(Actions, EdgeOnMiddleTriangleIsDropped) {
  // Triangle 1 is (0,0), (1,0), (2,0): no area in x-y.
  const KT_Point points[] = {{0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}};
  strip_f_noclip(state, rendition, 5, points);
  const auto faces = faces_of(state);
  ASSERT_EQ(faces.size(), 2u);
  EXPECT_EQ(faces[0]->vertices[0], points[2]);
  EXPECT_EQ(faces[1]->vertices[0], points[0]);
}

TEST_F(Actions, ShortInputsCaptureNothing) {
  const KT_Point f[] = {{1, 1, 0}, {2, 3, 0}};
  const KT_Point_I i[] = {{1, 1, 0}, {2, 3, 0}};
  const KT_Point_D d[] = {{1, 1, 0}, {2, 3, 0}};
  const KT_RGB32 colors[] = {red, green};
  for (int count : {2, 1, 0, -1}) {
    strip_f(state, rendition, count, f);
    strip_f_noclip(state, rendition, count, f);
    strip_i(state, rendition, count, i);
    strip_i_noclip(state, rendition, count, i);
    strip_d(state, rendition, count, d);
  }
  for (int count : {1, 0, -1}) {
    polyline_f(state, rendition, count, f);
    polyline_f_noclip(state, rendition, count, f);
    polyline_i(state, rendition, count, i);
    polyline_i_noclip(state, rendition, count, i);
    polyline_d(state, rendition, count, d);
    colored_polyline_f(state, rendition, count, f, colors, 0);
    colored_polyline_f_noclip(state, rendition, count, f, colors, 0);
    colored_polyline_i(state, rendition, count, i, colors, 0);
    colored_polyline_i_noclip(state, rendition, count, i, colors, 0);
    colored_polyline_d(state, rendition, count, d, colors, 0);
  }
  for (int count : {0, -1}) marker_f(state, rendition, count, f);

  EXPECT_EQ(state.face_list.count, 0u);
  EXPECT_EQ(state.edge_list.count, 0u);
  EXPECT_EQ(state.marker_list.head, nullptr);
  EXPECT_EQ(state.extent.x_min, 1e28f);
  EXPECT_EQ(rendition.data()->reference_count(), 1);
  EXPECT_EQ(rendition.color(), (KT_RGB32{0, 0, 0, 255}));
  EXPECT_TRUE(references_balanced());
}

TEST_F(Actions, PolylineGivesOneEdgePerSegmentInOrder) {
  const KT_Point points[] = {{0, 0, 0}, {4, 1, 0}, {4, 1, 0}, {2, 6, 1}};
  polyline_f_noclip(state, rendition, 4, points);
  const auto edges = edges_of(state);
  ASSERT_EQ(edges.size(), 3u);
  EXPECT_TRUE(store_is_consistent(state));
  EXPECT_EQ(edges[0]->a, points[0]);
  EXPECT_EQ(edges[0]->b, points[1]);
  // The repeated point gives a zero-length edge.
  EXPECT_EQ(edges[1]->a, points[1]);
  EXPECT_EQ(edges[1]->b, points[1]);
  EXPECT_EQ(edges[1]->dx, 0.0f);
  // Runs to smaller x: swapped.
  EXPECT_EQ(edges[2]->a, points[3]);
  EXPECT_EQ(edges[2]->b, points[2]);
  for (const HLR_Edge* e : edges) {
    EXPECT_EQ(e->t_min, 0.0);
    EXPECT_EQ(e->t_max, 1.0);
    EXPECT_EQ(e->rendition.data(), rendition.data());
  }
}

TEST_F(Actions, IntegerPointsBecomeFloatsRoundedToNearest) {
  // 2^24 + 1 and 2^24 + 3 lie halfway between floats: to nearest even they
  // become 2^24 and 2^24 + 4 (truncation would give 2^24 + 2 for the
  // second).
  const KT_Point_I points[] = {{1, 2, 3}, {16777217, 16777219, -16777219}};
  const KT_Point expected_a{1.0f, 2.0f, 3.0f};
  const KT_Point expected_b{16777216.0f, 16777220.0f, -16777220.0f};

  polyline_i_noclip(state, rendition, 2, points);
  rendition.set_clip_rectangle({0, 2000000000, 0, 2000000000});
  polyline_i(state, rendition, 2, points);
  const KT_RGB32 colors[] = {red};
  colored_polyline_i_noclip(state, rendition, 2, points, colors, 0);
  colored_polyline_i(state, rendition, 2, points, colors, 0);
  for (const HLR_Edge* e : edges_of(state)) {
    EXPECT_EQ(e->a, expected_a);
    EXPECT_EQ(e->b, expected_b);
  }
  EXPECT_EQ(state.edge_list.count, 4u);

  const KT_Point_I strip[] = {{1, 2, 3}, {16777217, 16777219, -16777219}, {1, 40000000, 0}};
  strip_i_noclip(state, rendition, 3, strip);
  strip_i(state, rendition, 3, strip);
  for (const HLR_Face* f : faces_of(state)) {
    EXPECT_EQ(f->vertices[0], expected_a);
    EXPECT_EQ(f->vertices[1], expected_b);
  }
  EXPECT_EQ(state.face_list.count, 2u);
}

TEST_F(Actions, DoubleStripGivesFloatFaces) {
  // 1 + 3 * 2^-24 rounds up to 1 + 2^-22; 0.1 to 0.1f.
  const double up = 1.0 + 3.0 * std::ldexp(1.0, -24);
  const KT_Point_D points[] = {{up, 0.1, 0.2}, {50.5, 0.1, 0.3}, {up, 70.25, 1e-9}};
  strip_d(state, rendition, 3, points);
  ASSERT_EQ(state.face_list.count, 1u);
  const HLR_Face& f = *state.face_list.head;
  const float up_float = 1.0f + std::ldexp(1.0f, -22);
  EXPECT_EQ(f.vertices[0], (KT_Point{up_float, 0.1f, 0.2f}));
  EXPECT_EQ(f.vertices[1], (KT_Point{50.5f, 0.1f, 0.3f}));
  EXPECT_EQ(f.vertices[2], (KT_Point{up_float, 70.25f, 1e-9f}));
}

TEST_F(Actions, ColoredPolylineGivesEachEdgeItsSegmentColour) {
  const KT_Point f[] = {{0, 0, 0}, {10, 0, 0}, {20, 5, 0}, {30, 0, 0}};
  const KT_Point_I i[] = {{0, 0, 0}, {10, 0, 0}, {20, 5, 0}, {30, 0, 0}};
  const KT_Point_D d[] = {{0, 0, 0}, {10, 0, 0}, {20, 5, 0}, {30, 0, 0}};
  const KT_RGB32 colors[] = {red, green, blue};
  for (int one_color : {0, 1}) {
    for (int form = 0; form < 5; ++form) {
      switch (form) {
        case 0: colored_polyline_f(state, rendition, 4, f, colors, one_color); break;
        case 1: colored_polyline_f_noclip(state, rendition, 4, f, colors, one_color); break;
        case 2: colored_polyline_i(state, rendition, 4, i, colors, one_color); break;
        case 3: colored_polyline_i_noclip(state, rendition, 4, i, colors, one_color); break;
        case 4: colored_polyline_d(state, rendition, 4, d, colors, one_color); break;
      }
      const auto edges = edges_of(state);
      ASSERT_EQ(edges.size(), 3u) << "form " << form;
      for (int s = 0; s < 3; ++s) {
        const KT_RGB32 expected = one_color ? red : colors[s];
        EXPECT_EQ(edges[s]->rendition.color(), expected) << "form " << form << " segment " << s;
        EXPECT_EQ(edges[s]->a, f[s]);
        EXPECT_EQ(edges[s]->b, f[s + 1]);
        // The rendition otherwise stays the caller's.
        EXPECT_EQ(edges[s]->rendition.clip_rectangle(), rendition.clip_rectangle());
        EXPECT_EQ(edges[s]->a_d, (KT_Point_D{0, 0, 0}));
      }
      // The caller's rendition keeps its colour.
      EXPECT_EQ(rendition.color(), (KT_RGB32{0, 0, 0, 255}));
      EXPECT_TRUE(references_balanced()) << "form " << form;
    }
  }
}

TEST_F(Actions, EarlierRecordsKeepTheirColourAfterLaterChanges) {
  const KT_Point points[] = {{0, 0, 0}, {10, 0, 0}, {20, 5, 0}};
  const KT_RGB32 colors[] = {red, green};
  rendition.set_color(grey, false);
  polyline_f_noclip(state, rendition, 2, points);
  colored_polyline_f_noclip(state, rendition, 3, points, colors, 0);
  colored_polyline_f(state, rendition, 3, points, colors, 0);
  rendition.set_color(blue, false);
  polyline_f(state, rendition, 2, points);

  const auto edges = edges_of(state);
  ASSERT_EQ(edges.size(), 6u);
  const KT_RGB32 expected[] = {grey, red, green, red, green, blue};
  for (int e = 0; e < 6; ++e) EXPECT_EQ(edges[e]->rendition.color(), expected[e]) << "edge " << e;
}

TEST_F(Actions, HiddenColourIsTheOptionOrTheRenditionColour) {
  // (300, 1, 2, 3): only the low 8 bits count, red 44.
  hidden_line_color->set(KT_Option_Value(300, 1, 2, 3));
  const KT_RGB32 option_color{2, 1, 44, 3};
  rendition.set_color(grey, false);
  rendition.set_clip_rectangle({0, 100, 0, 100});
  // Segment 0 inside, segment 1 clipped.
  const KT_Point points[] = {{0, 0, 0}, {10, 0, 0}, {150, 50, 0}};
  const KT_RGB32 colors[] = {red, green};

  for (bool retain : {false, true}) {
    state.retain_hidden_line_color = retain;
    polyline_f_noclip(state, rendition, 3, points);
    polyline_f(state, rendition, 3, points);
    const KT_Point_I integer_points[] = {{0, 0, 0}, {10, 0, 0}, {150, 50, 0}};
    polyline_i_noclip(state, rendition, 3, integer_points);
    const KT_Point_D double_points[] = {{0, 0, 0}, {10, 0, 0}, {150, 50, 0}};
    polyline_d(state, rendition, 3, double_points);
    for (const HLR_Edge* e : edges_of(state)) {
      EXPECT_EQ(e->hidden_color, retain ? grey : option_color) << "retain " << retain;
    }
    EXPECT_EQ(state.edge_list.count, 8u);
    free_records(state);

    colored_polyline_f_noclip(state, rendition, 3, points, colors, 0);
    colored_polyline_f(state, rendition, 3, points, colors, 0);
    colored_polyline_i_noclip(state, rendition, 3, integer_points, colors, 0);
    colored_polyline_i(state, rendition, 3, integer_points, colors, 0);
    colored_polyline_d(state, rendition, 3, double_points, colors, 0);
    const auto edges = edges_of(state);
    ASSERT_EQ(edges.size(), 10u);
    for (std::size_t e = 0; e < edges.size(); ++e) {
      EXPECT_EQ(edges[e]->hidden_color, retain ? colors[e % 2] : option_color)
          << "retain " << retain << " edge " << e;
    }
    free_records(state);
  }
}

TEST_F(Actions, FaceColoursAreTheOptionsOrTheRenditionColour) {
  hidden_line_color->set(KT_Option_Value(10, 20, 30, 40));
  intersection_line_color->set(KT_Option_Value(50, 60, 70, 255));
  const KT_RGB32 hidden_option{30, 20, 10, 40};
  const KT_RGB32 intersection_option{70, 60, 50, 255};
  rendition.set_color(grey, false);
  const KT_Point points[] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}};

  for (bool retain : {false, true}) {
    for (bool face_color : {false, true}) {
      state.retain_hidden_line_color = retain;
      state.use_face_color_for_intersections = face_color;
      strip_f_noclip(state, rendition, 4, points);
      strip_f(state, rendition, 4, points);
      for (const HLR_Face* f : faces_of(state)) {
        EXPECT_EQ(f->hidden_color, retain ? grey : hidden_option);
        EXPECT_EQ(f->intersection_color, face_color ? grey : intersection_option);
      }
      EXPECT_EQ(state.face_list.count, 4u);
      free_records(state);
    }
  }
}

TEST_F(Actions, MarkersArePushedNewestFirstWithTheirRendition) {
  const KT_Point points[] = {{1, 2, 3}, {-500, 4000, 5}, {7, 8, -9}};
  marker_f(state, rendition, 3, points);
  const auto markers = markers_of(state);
  ASSERT_EQ(markers.size(), 3u);
  for (int m = 0; m < 3; ++m) {
    EXPECT_EQ(markers[m]->position, points[2 - m]);
    EXPECT_EQ(markers[m]->rendition.data(), rendition.data());
  }
  // Markers are not clipped and widen nothing.
  EXPECT_EQ(state.extent.x_min, 1e28f);
  EXPECT_EQ(state.edge_list.count, 0u);
  EXPECT_EQ(rendition.data()->reference_count(), 4);
  EXPECT_TRUE(references_balanced());
}

TEST_F(Actions, EveryRecordHoldsOneReferenceUntilFreed) {
  const KT_Point points[] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}};
  const KT_Point_I integer_points[] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}};
  const KT_RGB32 colors[] = {red, green, blue};
  strip_f(state, rendition, 4, points);
  strip_i_noclip(state, rendition, 4, integer_points);
  polyline_f(state, rendition, 4, points);
  polyline_i_noclip(state, rendition, 4, integer_points);
  marker_f(state, rendition, 4, points);
  EXPECT_EQ(rendition.data()->reference_count(), 1 + 4 + 6 + 4);
  colored_polyline_f(state, rendition, 4, points, colors, 0);
  colored_polyline_i_noclip(state, rendition, 4, integer_points, colors, 1);
  // The coloured edges hold renditions of their own.
  EXPECT_EQ(rendition.data()->reference_count(), 1 + 4 + 6 + 4);
  EXPECT_TRUE(store_is_consistent(state));
  EXPECT_TRUE(references_balanced());
  EXPECT_EQ(rendition.data()->reference_count(), 1);
}

}  // namespace
