// The pass over the edges of a picture and the marker test, on small
// pictures whose results are worked by hand. Where the result on the edge
// cannot show which faces were offered, the index nodes' cursors do: the
// query leaves a node's cursor at the item it answered, and the pass moves
// it one item on before asking again.
#include <gtest/gtest.h>

#include <vector>

#include "face_index.h"
#include "hidden_pass.h"
#include "intervals.h"
#include "state_fixture.h"

namespace {

class Hidden_Pass : public State_Test {
 protected:
  // The index over the faces so far, inserted in face_list order as the
  // intersection pass builds it; the items in insertion order.
  std::vector<HLR_Index_Item*> build_index() {
    const HLR_Extent& e = state.extent;
    state.face_index =
        make_index_node(new HLR_Index_Node{}, nullptr, nullptr, e.x_min, e.x_max, e.y_min, e.y_max);
    std::vector<HLR_Index_Item*> items;
    for (HLR_Face* f = state.face_list.head; f != nullptr; f = f->link) {
      items.push_back(make_index_item(new HLR_Index_Item{}, f));
      index_insert(items.back(), state.face_index);
    }
    return items;
  }
  HLR_Index_Node* root() { return state.face_index; }
  // The big face at z 10 over (0,0) (100,0) (0,100).
  void big_face() { face({0, 0, 10}, {100, 0, 10}, {0, 100, 10}); }
};

double f(double t) { return double(float(t)); }

TEST_F(Hidden_Pass, EdgePassingBehindTwoFacesInDifferentNodesGetsTwoIntervals) {
  // A small face at z 5 far to the right, which the index keeps in a child
  // node. y = 10 from x = -50 to 250 at depth 20, partly outside the root
  // box: behind the big face from x = 0 to 90 and the small one from
  // x = 150 to 180 (its long side is x + y = 190), in parameter terms
  // x + 50 over 300.
  big_face();
  face({150, 0, 5}, {190, 0, 5}, {150, 40, 5});
  build_index();
  ASSERT_NE(root()->first_child, nullptr);
  HLR_Edge& e = edge({-50, 10, 20}, {250, 10, 20});
  hide_edges(state);
  EXPECT_EQ(e.intervals->from, f(50.0 / 300.0));
  EXPECT_EQ(e.intervals->to, f(140.0 / 300.0));
  EXPECT_EQ(e.intervals_tail->from, f(200.0 / 300.0));
  EXPECT_EQ(e.intervals_tail->to, f(230.0 / 300.0));
  EXPECT_EQ(e.intervals->next_interval, e.intervals_tail);
}

TEST_F(Hidden_Pass, OnlyEdgesMeetingTheRootBoxAreTested) {
  big_face();
  build_index();
  // Outside the root box no iteration is even started: the root's cursor
  // stays where it was.
  HLR_Edge& above = edge({-50, 150, 20}, {150, 150, 20});
  HLR_Edge& right = edge({101, -10, 20}, {300, 50, 20});
  root()->cursor = nullptr;
  hide_edges(state);
  EXPECT_EQ(root()->cursor, nullptr);
  EXPECT_EQ(above.t_max, 1.0);
  EXPECT_EQ(right.t_min, 0.0);
  clear_edges();
  // Starting exactly on the root's right side: an iteration is started.
  edge({100, 0, 20}, {150, -20, 20});
  hide_edges(state);
  EXPECT_NE(root()->cursor, nullptr);
}

TEST_F(Hidden_Pass, LaterFacesAreLookedForWithTheNarrowedBox) {
  // The big face hides the start of the edge up to x = 90; a second face at
  // z 15 lies over x 20 to 60 only, which the edge's box covers at first
  // but not once narrowed to x >= 90.
  big_face();
  face({20, 0, 15}, {60, 0, 15}, {20, 40, 15});
  const std::vector<HLR_Index_Item*> items = build_index();
  HLR_Index_Item* small = items[0];
  ASSERT_EQ(root()->items->next_item, small);
  HLR_Edge& e = edge({10, 10, 20}, {250, 10, 20});
  hide_edges(state);
  EXPECT_EQ(e.t_min, f(80.0 / 240.0));
  EXPECT_EQ(e.x_min, 90.0f);
  // After the first face the pass moved the cursor to the small face's
  // item; the query with the narrowed box did not answer it, so the cursor
  // is still there (an answer would have been followed by a move past it).
  EXPECT_EQ(root()->cursor, small);
}

TEST_F(Hidden_Pass, OnlyAMarkerBehindAFaceInsideItsTriangleIsHidden) {
  big_face();
  // A second face over the top right corner at z 11: it hides what the big
  // face's triangle does not cover; offered after the big face.
  face({100, 50, 11}, {100, 100, 11}, {50, 100, 11});
  build_index();
  const struct {
    KT_Point position;
    bool visible;
    const char* what;
  } cases[] = {
      {{10, 10, 5}, true, "in front"},
      {{10, 10, 20}, false, "behind, inside"},
      {{10, 10, 10.05f}, true, "on the plane within the tolerance"},
      {{10, 10, 10.2f}, false, "behind beyond the tolerance"},
      {{60, 45, 20}, true, "behind, outside both triangles"},
      {{90, 90, 10.5f}, true, "behind the first plane, outside its triangle, before the second"},
      {{90, 90, 20}, false, "behind the second face"},
      {{0, 0, 20}, false, "behind, at a vertex"},
      {{50, -0.5f, 20}, true, "just below the root box"},
  };
  for (const auto& c : cases) {
    make_marker(state.marker_list, rendition, c.position);
    EXPECT_EQ(marker_visible(*state.marker_list.head, state.depth_tolerance, root()), c.visible)
        << c.what;
  }
  // Behind by exactly the tolerance is on the plane.
  make_marker(state.marker_list, rendition, {10, 10, 10.5f});
  EXPECT_TRUE(marker_visible(*state.marker_list.head, 0.5f, root()));
  // Outside the root box no iteration is started at all.
  root()->cursor = nullptr;
  make_marker(state.marker_list, rendition, {-1, 10, 20});
  EXPECT_TRUE(marker_visible(*state.marker_list.head, state.depth_tolerance, root()));
  EXPECT_EQ(root()->cursor, nullptr);
}

}  // namespace
