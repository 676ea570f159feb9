// The intake operations: strips into counter-clockwise faces, short
// inputs, the point conversions, and the colour choices. Polyline order,
// edge direction, per-segment colours, markers and a rendition changed
// after use are pinned by the golden traces (all_forms, edge_direction,
// markers, rendition_changed_after_use).
#include <cmath>

#include "intake_actions.h"
#include "state_fixture.h"

namespace {

using Actions = State_Test;

constexpr KT_RGB32 red{0, 0, 255, 255};
constexpr KT_RGB32 green{0, 255, 0, 255};
constexpr KT_RGB32 grey{80, 80, 80, 255};

TEST_F(Actions, StripGivesCounterClockwiseFacesAndDropsTheDegenerateOne) {
  // Triangle 1 comes clockwise and is stored as (p1, p3, p2); triangle 2,
  // (p2, p3, p4), all at y = 1, has no area in x-y.
  const KT_Point points[] = {{0, 0, 1}, {1, 0, 2}, {0, 1, 3}, {1, 1, 4}, {2, 1, 5}, {3, 3, 6}};
  strip_f_noclip(state, rendition, 6, points);
  const int expected[3][3] = {{3, 4, 5}, {1, 3, 2}, {0, 1, 2}};  // newest first
  const auto all = faces();
  ASSERT_EQ(all.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    for (int v = 0; v < 3; ++v) EXPECT_EQ(all[i]->vertices[v], points[expected[i][v]]) << i;
  }
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
    const int line_count = count - 1;  // one point, none, or fewer
    polyline_f(state, rendition, line_count, f);
    polyline_f_noclip(state, rendition, line_count, f);
    polyline_i(state, rendition, line_count, i);
    polyline_i_noclip(state, rendition, line_count, i);
    polyline_d(state, rendition, line_count, d);
    colored_polyline_f(state, rendition, line_count, f, colors, 0);
    colored_polyline_i(state, rendition, line_count, i, colors, 0);
    colored_polyline_d(state, rendition, line_count, d, colors, 0);
    marker_f(state, rendition, count - 2, f);
  }
  EXPECT_EQ(state.face_list.count + state.edge_list.count, 0u);
  EXPECT_EQ(state.marker_list.head, nullptr);
  EXPECT_TRUE(references_balanced());
}

TEST_F(Actions, IntegerAndDoublePointsBecomeFloatsRoundedToNearest) {
  // 2^24 + 1 and 2^24 + 3 lie halfway between floats: to nearest even they
  // become 2^24 and 2^24 + 4 (truncation would give 2^24 + 2 for the
  // second). 1 + 3 * 2^-24 rounds up to 1 + 2^-22.
  const KT_Point_I integers[] = {{1, 2, 3}, {16777217, 16777219, -16777219}, {1, 40000000, 0}};
  const KT_Point big{16777216.0f, 16777220.0f, -16777220.0f};
  rendition.set_clip_rectangle({0, 2000000000, 0, 2000000000});
  polyline_i_noclip(state, rendition, 2, integers);
  polyline_i(state, rendition, 2, integers);
  strip_i_noclip(state, rendition, 3, integers);
  strip_i(state, rendition, 3, integers);
  for (const HLR_Edge* e : edges()) EXPECT_EQ(e->b, big);
  for (const HLR_Face* f : faces()) EXPECT_EQ(f->vertices[1], big);
  EXPECT_EQ(state.edge_list.count + state.face_list.count, 4u);
  clear();
  const double up = 1.0 + 3.0 * std::ldexp(1.0, -24);
  const KT_Point_D doubles[] = {{up, 0.1, 0.2}, {50.5, 0.1, 0.3}, {up, 70.25, 1e-9}};
  strip_d(state, rendition, 3, doubles);
  ASSERT_EQ(state.face_list.count, 1u);
  const float up_float = 1.0f + std::ldexp(1.0f, -22);
  EXPECT_EQ(state.face_list.head->vertices[0], (KT_Point{up_float, 0.1f, 0.2f}));
  EXPECT_EQ(state.face_list.head->vertices[2], (KT_Point{up_float, 70.25f, 1e-9f}));
}

// Hidden colours are the option's unless retained, then the line's or
// face's own; a face's intersection colour is the option's unless the face
// colour is used.
TEST_F(Actions, ColoursAreTheOptionsOrTheRecordsOwn) {
  // (300, 1, 2, 3): only the low 8 bits count, red 44.
  current(hidden_line_color_option).set(KT_Option_Value(300, 1, 2, 3));
  current(intersection_line_color_option).set(KT_Option_Value(50, 60, 70, 255));
  const KT_RGB32 hidden_option{2, 1, 44, 3};
  const KT_RGB32 intersection_option{70, 60, 50, 255};
  rendition.set_color(grey, false);
  rendition.set_clip_rectangle({0, 100, 0, 100});
  // Segment 0 inside, segment 1 clipped.
  const KT_Point points[] = {{0, 0, 0}, {10, 0, 0}, {150, 50, 0}};
  const KT_Point_I integers[] = {{0, 0, 0}, {10, 0, 0}, {150, 50, 0}};
  const KT_RGB32 colors[] = {red, green};
  for (int choice = 0; choice < 4; ++choice) {
    const bool retain = choice & 1, face_color = choice & 2;
    state.retain_hidden_line_color = retain;
    state.use_face_color_for_intersections = face_color;
    polyline_f(state, rendition, 3, points);
    polyline_i_noclip(state, rendition, 3, integers);
    colored_polyline_f(state, rendition, 3, points, colors, 0);
    colored_polyline_i_noclip(state, rendition, 3, integers, colors, 0);
    strip_f_noclip(state, rendition, 3, points);
    strip_f(state, rendition, 3, points);
    const auto all = edges();
    ASSERT_EQ(all.size(), 8u);
    for (std::size_t e = 0; e < 8; ++e) {
      const KT_RGB32 own = e < 4 ? grey : colors[e % 2];
      EXPECT_EQ(all[e]->hidden_color, retain ? own : hidden_option) << choice << " " << e;
    }
    ASSERT_EQ(state.face_list.count, 2u);
    for (const HLR_Face* f : faces()) {
      EXPECT_EQ(f->hidden_color, retain ? grey : hidden_option) << choice;
      EXPECT_EQ(f->intersection_color, face_color ? grey : intersection_option) << choice;
    }
    clear();
  }
}

}  // namespace
