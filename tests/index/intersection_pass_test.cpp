#include "intersection_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "allocation_failure.h"
#include "counted.h"
#include "face_index.h"
#include "index_fixture.h"
#include "store.h"

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

// Every face of the index, through an area query over everything.
std::vector<const HLR_Face*> indexed_faces(HLR_Index_Node* root) {
  std::vector<const HLR_Face*> faces;
  for (const Answer& a : run_query(root, [](HLR_Index_Node* n) {
         return index_query_area(n, -inf, inf, -inf, inf, sentinel_z_min);
       })) {
    faces.push_back(a.face);
  }
  return faces;
}

std::vector<const HLR_Face*> store_faces(const HLR_Renderer_State& state) {
  std::vector<const HLR_Face*> faces;
  for (const HLR_Face* f = state.face_list.head; f != nullptr; f = f->link) faces.push_back(f);
  return faces;
}

::testing::AssertionResult indexes_every_face_once(const HLR_Renderer_State& state) {
  std::vector<const HLR_Face*> indexed = indexed_faces(state.face_index);
  std::vector<const HLR_Face*> stored = store_faces(state);
  std::sort(indexed.begin(), indexed.end());
  std::sort(stored.begin(), stored.end());
  if (indexed != stored) {
    return ::testing::AssertionFailure()
           << indexed.size() << " faces indexed, " << stored.size() << " stored";
  }
  return ::testing::AssertionSuccess();
}

// The allocations of one host call: 1 where the host library allocates
// through the test program's operator new (shared libraries on Linux), 0
// where it does not (a Windows DLL has its own), so that the counts and the
// injected failures below see the host's storage only where they can.
std::int64_t host_allocations() {
  allocation_failure::reset_count();
  { KT_Option_Value value(1, 2, 3, 4); }
  return allocation_failure::count();
}

class Intersection_Pass : public ::testing::Test {
 protected:
  void SetUp() override { live_at_start = KT_Counted::live_objects(); }

  HLR_Face* face(const KT_Rendition& r, KT_RGB32 intersection_color, KT_RGB32 hidden_color,
                 KT_Point p0, KT_Point p1, KT_Point p2) {
    make_face(picture.state, r, intersection_color, hidden_color, p0, p1, p2);
    return picture.state.face_list.head;
  }
  // A pair that crosses along x = 110 from (110, 150, 10) to (110, 230, 10).
  void crossing_pair(const KT_Rendition& first, KT_RGB32 first_color, const KT_Rendition& second,
                     KT_RGB32 second_color) {
    older = face(first, first_color, KT_RGB32::from_argb(0xFF445566), {100, 100, 10},
                 {300, 100, 10}, {100, 300, 10});
    newer = face(second, second_color, KT_RGB32::from_argb(0xFF778899), {50, 150, -50},
                 {150, 150, 50}, {100, 250, 0});
  }
  KT_Option& hidden_entry() { return *picture.state.option_entries[hidden_line_color_option]; }

  Test_Picture picture;
  KT_Rendition red = KT_Rendition::create();
  KT_Rendition blue = KT_Rendition::create();
  HLR_Face* older = nullptr;
  HLR_Face* newer = nullptr;
  std::int64_t live_at_start = 0;
};

TEST_F(Intersection_Pass, IntersectionsOffBuildTheIndexAndTouchNoRendition) {
  crossing_pair(red, KT_RGB32::from_argb(0xFF0000FF), blue, KT_RGB32::from_argb(0xFF00FF00));
  face(red, KT_RGB32{}, KT_RGB32{}, {600, 600, 1}, {700, 600, 2}, {600, 700, 3});
  face(blue, KT_RGB32{}, KT_RGB32{}, {20, 900, 1}, {900, 20, 2}, {900, 900, 3});
  hidden_entry().set(KT_Option_Value(300, 0, 0, 255));
  picture.state.display_intersections = false;
  const std::uint32_t stamp = KORVO.change_counter.load();
  allocation_failure::reset_count();

  intersection_pass(picture.state);

  const std::int64_t allocations = allocation_failure::count();
  EXPECT_EQ(KORVO.change_counter.load(), stamp);  // no rendition made unique
  EXPECT_EQ(picture.state.edge_list.count, 0u);
  EXPECT_EQ(picture.state.edge_list.head, nullptr);
  ASSERT_NE(picture.state.face_index, nullptr);
  std::size_t nodes = 0;
  std::size_t items = 0;
  EXPECT_TRUE(index_is_consistent(picture.state.face_index, &nodes, &items));
  // Storage for the index (a node and its sentinel each, an item per face)
  // and one option value: the entry is set once, at the end.
  EXPECT_EQ(allocations, static_cast<std::int64_t>(2 * nodes + items) + host_allocations());
  EXPECT_TRUE(indexes_every_face_once(picture.state));
  const HLR_Index_Node& root = *picture.state.face_index;
  EXPECT_EQ(root.x_min, 20.0f);
  EXPECT_EQ(root.x_max, 900.0f);
  EXPECT_EQ(root.y_min, 20.0f);
  EXPECT_EQ(root.y_max, 900.0f);
  // The entry of option_table comes back cut to 8 bits per component.
  EXPECT_EQ(hidden_entry().color_value(), (KT_Color_Components{44, 0, 0, 255}));
  picture.clear();
  EXPECT_EQ(KT_Counted::live_objects(), live_at_start);
}

TEST_F(Intersection_Pass, RootReachesToZeroWhenEveryFaceIsNegative) {
  // The extent's maxima start at 0.0, so the root is -100..0 in both axes:
  // margin 7.5, band -57.5..-42.5, and the face (-100..-60) goes to the
  // low-low child, -100..-42.5, and stays there (it spans that child's band
  // -75.5625..-66.9375).
  const HLR_Face* f =
      face(red, KT_RGB32{}, KT_RGB32{}, {-100, -100, 1}, {-60, -100, 1}, {-100, -60, 1});
  intersection_pass(picture.state);
  ASSERT_NE(picture.state.face_index, nullptr);
  const HLR_Index_Node& root = *picture.state.face_index;
  EXPECT_EQ(root.x_min, -100.0f);
  EXPECT_EQ(root.x_max, 0.0f);
  EXPECT_EQ(root.y_min, -100.0f);
  EXPECT_EQ(root.y_max, 0.0f);
  const auto answers = run_query(picture.state.face_index, [](HLR_Index_Node* n) {
    return index_query_point(n, -80.0f, -80.0f, 5.0f);
  });
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].face, f);
  EXPECT_EQ(answers[0].node->x_min, -100.0f);
  EXPECT_EQ(answers[0].node->x_max, -42.5f);
  EXPECT_EQ(answers[0].node->y_min, -100.0f);
  EXPECT_EQ(answers[0].node->y_max, -42.5f);
  EXPECT_EQ(depth_of(answers[0].node), 1);
}

TEST_F(Intersection_Pass, CrossingFacesGiveOneLineInTheOlderFacesColourAndPattern) {
  const KT_RGB32 older_color = KT_RGB32::from_argb(0x80112233);
  const KT_RGB32 newer_color = KT_RGB32::from_argb(0xFF00FF00);
  red.set_color(KT_RGB32::from_argb(0xFFFF0000), false);
  crossing_pair(red, older_color, blue, newer_color);
  picture.state.display_intersections = true;
  picture.state.intersection_line_pattern = 2;
  picture.current_option_table.find(L"Hidden Line Color")->set(KT_Option_Value(10, 20, 30, 255));
  hidden_entry().set(KT_Option_Value(1, 2, 3, 4));

  intersection_pass(picture.state);

  const auto edges = picture.edges();
  ASSERT_EQ(edges.size(), 1u);
  const HLR_Edge& line = *edges[0];
  EXPECT_EQ(line.a, (KT_Point{110, 150, 10}));
  EXPECT_EQ(line.b, (KT_Point{110, 230, 10}));
  EXPECT_EQ(line.rendition.color(), older_color);
  EXPECT_EQ(line.rendition.line_pattern(), 2);
  // The hidden pieces' colour comes from current_option_table, which the
  // pass does not write.
  EXPECT_EQ(line.hidden_color, KT_RGB32::from_argb(0xFF0A141E));
  // The face's own rendition is unchanged (the pass changed a copy).
  EXPECT_EQ(red.color(), KT_RGB32::from_argb(0xFFFF0000));
  EXPECT_EQ(red.line_pattern(), 0);
  EXPECT_EQ(older->rendition.data(), red.data());
  EXPECT_EQ(hidden_entry().color_value(), (KT_Color_Components{1, 2, 3, 4}));
  EXPECT_TRUE(indexes_every_face_once(picture.state));
  picture.clear();
  EXPECT_EQ(KT_Counted::live_objects(), live_at_start);
}

TEST_F(Intersection_Pass, RetainedHiddenColourIsTheIntersectionColour) {
  const KT_RGB32 older_color = KT_RGB32::from_argb(0x80112233);
  crossing_pair(red, older_color, blue, KT_RGB32::from_argb(0xFF00FF00));
  picture.state.display_intersections = true;
  picture.state.retain_hidden_line_color = true;
  intersection_pass(picture.state);
  const auto edges = picture.edges();
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0]->hidden_color, older_color);
}

TEST_F(Intersection_Pass, SamePatternKeepsTheLineStyleShared) {
  red.set_line_pattern(3);
  crossing_pair(red, KT_RGB32{}, blue, KT_RGB32{});
  picture.state.display_intersections = true;
  picture.state.intersection_line_pattern = 3;
  intersection_pass(picture.state);
  auto edges = picture.edges();
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0]->rendition.line_pattern(), 3);
  EXPECT_NE(edges[0]->rendition.data(), red.data());  // the colour was set
  EXPECT_EQ(edges[0]->rendition.data()->line_style, red.data()->line_style);

  picture.clear();
  crossing_pair(red, KT_RGB32{}, blue, KT_RGB32{});
  picture.state.intersection_line_pattern = 1;
  intersection_pass(picture.state);
  edges = picture.edges();
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0]->rendition.line_pattern(), 1);
  EXPECT_NE(edges[0]->rendition.data()->line_style, red.data()->line_style);
}

TEST_F(Intersection_Pass, FacesThatDoNotCrossGetAnIndexAndNoLines) {
  face(red, KT_RGB32{}, KT_RGB32{}, {100, 100, 10}, {300, 100, 10}, {100, 300, 10});
  face(blue, KT_RGB32{}, KT_RGB32{}, {100, 100, 20}, {300, 100, 20}, {100, 300, 30});
  face(blue, KT_RGB32{}, KT_RGB32{}, {500, 500, 0}, {600, 500, 50}, {500, 600, 0});
  picture.state.display_intersections = true;
  intersection_pass(picture.state);
  EXPECT_EQ(picture.state.edge_list.count, 0u);
  EXPECT_TRUE(indexes_every_face_once(picture.state));
}

TEST_F(Intersection_Pass, AllocationFailureAnywhereLeavesNoLeak) {
  for (bool display : {true, false}) {
    SCOPED_TRACE(display);
    std::uint32_t complete_edges = 0;
    int restore_failures = 0;
    bool completed = false;
    for (std::int64_t n = 1; !completed; ++n) {
      SCOPED_TRACE(n);
      ASSERT_LT(n, 10000);
      // Four crossing pairs in different nodes, and a floor at z = 0 that
      // each tilted face crosses too: eight lines.
      for (int k = 0; k < 4; ++k) {
        const float dx = 200.0f * static_cast<float>(k);
        face(red, KT_RGB32::from_argb(0xFF000001u + static_cast<std::uint32_t>(k)),
             KT_RGB32::from_argb(0xFF000010u), {100 + dx, 100, 10}, {300 + dx, 100, 10},
             {100 + dx, 300, 10});
        face(blue, KT_RGB32{}, KT_RGB32{}, {50 + dx, 150, -50}, {150 + dx, 150, 50},
             {100 + dx, 250, 0});
      }
      face(blue, KT_RGB32{}, KT_RGB32{}, {0, 0, 0}, {1000, 0, 0}, {0, 1000, 0});
      picture.state.display_intersections = display;
      picture.state.intersection_line_pattern = 1;
      hidden_entry().set(KT_Option_Value(300, 0, 0, 255));
      bool threw = false;
      {
        allocation_failure::Scope fail(n);
        try {
          intersection_pass(picture.state);
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        completed = !allocation_failure::fired();
      }
      EXPECT_EQ(threw, !completed);
      if (picture.state.face_index != nullptr) {
        std::size_t items = 0;
        ASSERT_TRUE(index_is_consistent(picture.state.face_index, nullptr, &items));
        EXPECT_LE(items, picture.state.face_list.count);
      } else {
        EXPECT_TRUE(threw);
      }
      // A failure after the last face was inserted (in the final restore,
      // where the host's allocations are seen) leaves the entry at the last value set: with
      // intersections on, the hidden colour of the last face walked, (0, 0, 16, 255), unpacked.
      if (threw && picture.state.face_index != nullptr && indexes_every_face_once(picture.state)) {
        ++restore_failures;
        EXPECT_EQ(hidden_entry().color_value(), display ? (KT_Color_Components{0, 0, 16, 255})
                                                        : (KT_Color_Components{300, 0, 0, 255}));
      }
      if (completed) {
        EXPECT_TRUE(indexes_every_face_once(picture.state));
        EXPECT_EQ(hidden_entry().color_value(), (KT_Color_Components{44, 0, 0, 255}));
        complete_edges = picture.state.edge_list.count;
      }
      picture.clear();
      EXPECT_EQ(KT_Counted::live_objects(), live_at_start);
    }
    EXPECT_EQ(complete_edges, display ? 8u : 0u);
    EXPECT_EQ(restore_failures, host_allocations());
  }
}

}  // namespace
