// The intersection pass: the index it builds over every face, the lines it
// captures with their colours, and what it leaves in the option entry it
// borrows, also when an allocation fails anywhere. The colour and pattern
// of the lines downstream are pinned by the golden crossing_faces.
#include "intersection_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "allocation_failure.h"
#include "face_index.h"
#include "index_fixture.h"
#include "state_fixture.h"

namespace {

class Intersection_Pass : public State_Test {
 protected:
  KT_Option& hidden_entry() { return *state.option_entries[hidden_line_color_option]; }
  // The faces of the store, and those the index answers to a query over
  // everything, each sorted.
  ::testing::AssertionResult indexes_every_face_once() {
    std::vector<const HLR_Face*> indexed = faces_of(iterate(*state.face_index, everything).answers);
    std::vector<const HLR_Face*> stored = faces();
    std::sort(indexed.begin(), indexed.end());
    std::sort(stored.begin(), stored.end());
    if (indexed == stored) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << indexed.size() << " indexed, " << stored.size();
  }
  // A pair that crosses along x = 110 from (110, 150, 10) to (110, 230, 10),
  // with faces that cross neither: one above the first, one far away whose
  // plane crosses the first's.
  void crossing_pair(KT_RGB32 older_color) {
    face({100, 100, 10}, {300, 100, 10}, {100, 300, 10}, older_color,
         KT_RGB32::from_argb(0xFF445566));
    face({50, 150, -50}, {150, 150, 50}, {100, 250, 0}, KT_RGB32::from_argb(0xFF00FF00));
    face({200, 100, 20}, {300, 100, 20}, {200, 200, 30});
    face({500, 500, 0}, {600, 500, 50}, {500, 600, 0});
  }
};

TEST_F(Intersection_Pass, IntersectionsOffBuildTheIndexAndTouchNoRendition) {
  crossing_pair(KT_RGB32::from_argb(0xFF0000FF));
  face({20, 900, 1}, {900, 20, 2}, {900, 900, 3});
  hidden_entry().set(KT_Option_Value(300, 0, 0, 255));
  state.display_intersections = false;
  const std::uint32_t stamp = KORVO.change_counter.load();
  intersection_pass(state);

  EXPECT_EQ(KORVO.change_counter.load(), stamp);  // no rendition made unique
  EXPECT_EQ(state.edge_list.count, 0u);
  ASSERT_NE(state.face_index, nullptr);
  EXPECT_TRUE(index_is_consistent(*state.face_index));
  EXPECT_TRUE(indexes_every_face_once());
  // The entry is set once, at the end, cut to 8 bits per component.
  EXPECT_EQ(hidden_entry().color_value(), (KT_Color_Components{44, 0, 0, 255}));
  EXPECT_EQ(box_of(state.face_index->root()), (std::array<float, 4>{20, 900, 20, 900}));
}

TEST_F(Intersection_Pass, RootReachesToZeroWhenEveryFaceIsNegative) {
  // The extent's maxima start at 0.0, so the root is -100..0 in both axes:
  // margin 7.5, band -57.5..-42.5, and the face (-100..-60) goes to the
  // low-low child, -100..-42.5, and stays there (it spans that child's band
  // -75.5625..-66.9375).
  const HLR_Face* f = face({-100, -100, 1}, {-60, -100, 1}, {-100, -60, 1});
  intersection_pass(state);
  ASSERT_NE(state.face_index, nullptr);
  EXPECT_EQ(box_of(state.face_index->root()), (std::array<float, 4>{-100, 0, -100, 0}));
  const auto answers = iterate(*state.face_index, point_query(-80.0f, -80.0f, 5.0f)).answers;
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].face, f);
  EXPECT_EQ(box_of(*answers[0].node), (std::array<float, 4>{-100, -42.5f, -100, -42.5f}));
}

TEST_F(Intersection_Pass, CrossingFacesGiveOneLineInTheOlderFacesColours) {
  const KT_RGB32 older_color = KT_RGB32::from_argb(0x80112233);
  rendition.set_color(KT_RGB32::from_argb(0xFFFF0000), false);
  crossing_pair(older_color);
  state.display_intersections = true;
  state.intersection_line_pattern = 2;
  current(hidden_line_color_option).set(KT_Option_Value(10, 20, 30, 255));
  hidden_entry().set(KT_Option_Value(1, 2, 3, 4));
  for (bool retain : {false, true}) {
    state.retain_hidden_line_color = retain;
    intersection_pass(state);
    const auto lines = edges();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->a, (KT_Point{110, 150, 10}));
    EXPECT_EQ(lines[0]->b, (KT_Point{110, 230, 10}));
    EXPECT_EQ(lines[0]->rendition->color(), older_color);
    EXPECT_EQ(lines[0]->rendition->line_pattern(), 2);
    // The hidden pieces' colour comes from current_option_table (which the
    // pass does not write) or, retained, from the line's own colour.
    EXPECT_EQ(lines[0]->hidden_color, retain ? older_color : KT_RGB32::from_argb(0xFF0A141E));
    EXPECT_EQ(hidden_entry().color_value(), (KT_Color_Components{1, 2, 3, 4}));
    EXPECT_TRUE(indexes_every_face_once());
    // The faces' own rendition is unchanged (the pass changed a copy).
    EXPECT_EQ(rendition.color(), KT_RGB32::from_argb(0xFFFF0000));
    EXPECT_EQ(rendition.line_pattern(), 0);
    clear_edges();
    delete std::exchange(state.face_index, nullptr);
  }
  EXPECT_TRUE(references_balanced());
}

TEST_F(Intersection_Pass, AllocationFailureAnywhereLeavesNoLeak) {
  for (bool display : {true, false}) {
    SCOPED_TRACE(display);
    std::uint32_t complete_edges = 0;
    bool completed = false;
    for (std::int64_t n = 1; !completed; ++n) {
      SCOPED_TRACE(n);
      ASSERT_LT(n, 10000);
      // Four crossing pairs in different nodes, and a floor at z = 0 that
      // each tilted face crosses too: eight lines.
      for (int k = 0; k < 4; ++k) {
        const float dx = 200.0f * float(k);
        face({100 + dx, 100, 10}, {300 + dx, 100, 10}, {100 + dx, 300, 10},
             KT_RGB32::from_argb(0xFF000001u + std::uint32_t(k)), KT_RGB32::from_argb(0xFF000010u));
        face({50 + dx, 150, -50}, {150 + dx, 150, 50}, {100 + dx, 250, 0});
      }
      face({0, 0, 0}, {1000, 0, 0}, {0, 1000, 0});
      state.display_intersections = display;
      state.intersection_line_pattern = 1;
      hidden_entry().set(KT_Option_Value(300, 0, 0, 255));
      bool threw = false;
      {
        allocation_failure::Scope fail(n);
        try {
          intersection_pass(state);
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        completed = !allocation_failure::fired();
      }
      EXPECT_EQ(threw, !completed);
      if (state.face_index != nullptr) {
        std::size_t items = 0;
        ASSERT_TRUE(index_is_consistent(*state.face_index, &items));
        EXPECT_LE(items, state.face_list.count);
      } else {
        EXPECT_TRUE(threw);
      }
      if (completed) {
        EXPECT_TRUE(indexes_every_face_once());
        EXPECT_EQ(hidden_entry().color_value(), (KT_Color_Components{44, 0, 0, 255}));
        complete_edges = state.edge_list.count;
      }
      EXPECT_TRUE(references_balanced());
    }
    EXPECT_EQ(complete_edges, display ? 8u : 0u);
  }
}

}  // namespace
