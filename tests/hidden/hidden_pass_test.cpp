// The pass over the edges of a picture and the marker test, on small
// pictures whose results are worked by hand. Where the result on the edge
// cannot show which faces were offered, the index nodes' cursors do: the
// query leaves a node's cursor at the item it answered, and the pass moves
// it one item on before asking again.
#include <gtest/gtest.h>

#include <vector>

#include "face_index.h"
#include "hidden_fixture.h"
#include "hidden_pass.h"
#include "intervals.h"
#include "renderer_state.h"
#include "store.h"

namespace {

// A picture's store with its face index, freed at the end of the test.
class Picture {
 public:
  Picture() {
    state.extent = empty_extent;
    state.depth_tolerance = 0.1f;
  }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture() {
    if (state.face_index != nullptr) free_face_index(state.face_index);
    for (HLR_Edge* e = state.edge_list.head; e != nullptr;) {
      HLR_Edge* next = e->link;
      free_intervals(*e);
      delete e;
      e = next;
    }
    for (HLR_Face* f = state.face_list.head; f != nullptr;) {
      HLR_Face* next = f->link;
      delete f;
      f = next;
    }
    for (HLR_Marker* m = state.marker_list.head; m != nullptr;) {
      HLR_Marker* next = m->link;
      delete m;
      m = next;
    }
  }

  HLR_Face* face(KT_Point p0, KT_Point p1, KT_Point p2) {
    make_face(state, rendition, black, black, p0, p1, p2);
    return state.face_list.head;
  }
  HLR_Edge& edge(KT_Point p, KT_Point q) {
    make_edge(state.edge_list, rendition, black, p, q, 0.0f, 1.0f);
    return *state.edge_list.tail;
  }
  HLR_Marker& marker(KT_Point p) {
    make_marker(state.marker_list, rendition, p);
    return *state.marker_list.head;
  }

  // The index over the faces so far, inserted in face_list order, as the
  // intersection pass builds it; returns the items in insertion order.
  std::vector<HLR_Index_Item*> build_index() {
    const HLR_Extent& e = state.extent;
    state.face_index = make_index_node(new HLR_Index_Node{}, nullptr, nullptr, e.x_min, e.x_max,
                                       e.y_min, e.y_max);
    std::vector<HLR_Index_Item*> items;
    for (HLR_Face* f = state.face_list.head; f != nullptr; f = f->link) {
      items.push_back(make_index_item(new HLR_Index_Item{}, f));
      index_insert(items.back(), state.face_index);
    }
    return items;
  }

  bool visible(const HLR_Marker& m) {
    return marker_visible(m, state.depth_tolerance, state.face_index);
  }

  HLR_Renderer_State state{};
  KT_Rendition rendition = KT_Rendition::create();
  static constexpr KT_RGB32 black{0, 0, 0, 255};
};

std::vector<std::pair<double, double>> nodes_of(const HLR_Edge& edge) {
  std::vector<std::pair<double, double>> nodes;
  for (const hidden_interval* n = edge.intervals; n != nullptr; n = n->next_interval) {
    nodes.emplace_back(n->from, n->to);
  }
  return nodes;
}

double f(double t) { return static_cast<double>(static_cast<float>(t)); }

TEST(HiddenPass, EdgePassingBehindTwoFacesInDifferentNodesGetsTwoIntervals) {
  Picture picture;
  // A big face at z 10 over (0,0) (100,0) (0,100), and a small one at z 5
  // far to the right, which the index keeps in a child node.
  picture.face({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
  picture.face({150.0f, 0.0f, 5.0f}, {190.0f, 0.0f, 5.0f}, {150.0f, 40.0f, 5.0f});
  picture.build_index();
  ASSERT_NE(picture.state.face_index->first_child, nullptr);
  // y = 10 from x = -50 to 250 at depth 20, partly outside the root box:
  // behind the big face from x = 0 to 90 and the small one from x = 150 to
  // 180 (its long side is x + y = 190), in parameter terms x + 50 over 300.
  HLR_Edge& e = picture.edge({-50.0f, 10.0f, 20.0f}, {250.0f, 10.0f, 20.0f});
  hide_edges(picture.state);
  const std::vector<std::pair<double, double>> expected{
      {f(50.0 / 300.0), f(140.0 / 300.0)}, {f(200.0 / 300.0), f(230.0 / 300.0)}};
  EXPECT_EQ(nodes_of(e), expected);
  EXPECT_EQ(e.t_min, 0.0);
  EXPECT_EQ(e.t_max, 1.0);
}

TEST(HiddenPass, EdgeOutsideTheRootBoxIsNotTested) {
  Picture picture;
  picture.face({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
  picture.build_index();
  HLR_Index_Node* root = picture.state.face_index;
  HLR_Edge& above = picture.edge({-50.0f, 150.0f, 20.0f}, {150.0f, 150.0f, 20.0f});
  HLR_Edge& right = picture.edge({101.0f, -10.0f, 20.0f}, {300.0f, 50.0f, 20.0f});
  // No iteration is even started: the root's cursor stays where it was.
  root->cursor = nullptr;
  hide_edges(picture.state);
  EXPECT_EQ(root->cursor, nullptr);
  for (const HLR_Edge* e : {&above, &right}) {
    EXPECT_EQ(e->t_min, 0.0);
    EXPECT_EQ(e->t_max, 1.0);
    EXPECT_EQ(e->intervals, nullptr);
  }
}

TEST(HiddenPass, EdgeTouchingTheRootBoxIsTested) {
  Picture picture;
  picture.face({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
  picture.build_index();
  // Starts exactly on the root's right side, x = 100 = the face's vertex.
  HLR_Edge& e = picture.edge({100.0f, 0.0f, 20.0f}, {60.0f, 20.0f, 20.0f});
  hide_edges(picture.state);
  EXPECT_EQ(e.t_min, 1.0);
}

TEST(HiddenPass, EdgeHiddenByTheFirstFaceIsTestedAgainstNoOther) {
  Picture picture;
  // Two faces across the whole picture (both stay in the root), the nearer
  // one offered first; it hides the edge wholly.
  picture.face({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
  picture.face({0.0f, 0.0f, 12.0f}, {100.0f, 0.0f, 12.0f}, {0.0f, 100.0f, 12.0f});
  const std::vector<HLR_Index_Item*> items = picture.build_index();
  HLR_Index_Node* root = picture.state.face_index;
  ASSERT_EQ(root->first_child, nullptr);
  HLR_Index_Item* nearer = items[1];  // face_list runs newest first
  ASSERT_EQ(nearer->z_min, 10.0f);
  ASSERT_EQ(root->items, nearer);

  HLR_Edge& e = picture.edge({10.0f, 10.0f, 20.0f}, {50.0f, 20.0f, 20.0f});
  hide_edges(picture.state);
  EXPECT_EQ(e.t_min, 1.0);
  // The iteration ended at the first answer: the cursor was not moved on.
  EXPECT_EQ(root->cursor, nearer);
}

TEST(HiddenPass, LaterFacesAreLookedForWithTheNarrowedBox) {
  Picture picture;
  // The big face at z 10 hides the start of the edge up to x = 90; a
  // second face at z 15 lies over x 20 to 60 only, which the edge's box
  // covers at first but not once narrowed to x >= 90.
  picture.face({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
  picture.face({20.0f, 0.0f, 15.0f}, {60.0f, 0.0f, 15.0f}, {20.0f, 40.0f, 15.0f});
  const std::vector<HLR_Index_Item*> items = picture.build_index();
  HLR_Index_Node* root = picture.state.face_index;
  ASSERT_EQ(root->first_child, nullptr);
  HLR_Index_Item* small = items[0];
  ASSERT_EQ(root->items->next_item, small);

  HLR_Edge& e = picture.edge({10.0f, 10.0f, 20.0f}, {250.0f, 10.0f, 20.0f});
  hide_edges(picture.state);
  EXPECT_EQ(e.t_min, f(80.0 / 240.0));
  EXPECT_EQ(e.x_min, 90.0f);
  // After the first face the pass moved the cursor to the small face's
  // item; the query with the narrowed box did not answer it, so the cursor
  // is still there (an answer would have been followed by a move past it).
  EXPECT_EQ(root->cursor, small);
}

TEST(HiddenPass, EdgeBehindNoFaceInDepthIsNotOffered) {
  Picture picture;
  picture.face({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
  picture.build_index();
  // Farthest depth exactly the face's nearest: not offered, not hidden.
  HLR_Edge& e = picture.edge({10.0f, 10.0f, 10.0f}, {50.0f, 20.0f, 10.0f});
  hide_edges(picture.state);
  EXPECT_EQ(e.t_min, 0.0);
  EXPECT_EQ(e.t_max, 1.0);
}

TEST(MarkerVisibility, OnlyAMarkerBehindAFaceInsideItsTriangleIsHidden) {
  Picture picture;
  picture.face({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
  // A second face over the top right corner at z 11: it hides what the big
  // face's triangle does not cover; offered after the big face.
  picture.face({100.0f, 50.0f, 11.0f}, {100.0f, 100.0f, 11.0f}, {50.0f, 100.0f, 11.0f});
  picture.build_index();
  struct Case {
    KT_Point position;
    bool visible;
    const char* what;
  };
  const Case cases[] = {
      {{10.0f, 10.0f, 5.0f}, true, "in front"},
      {{10.0f, 10.0f, 20.0f}, false, "behind, inside"},
      {{10.0f, 10.0f, 10.05f}, true, "on the plane within the tolerance"},
      {{10.0f, 10.0f, 10.2f}, false, "behind beyond the tolerance"},
      {{60.0f, 45.0f, 20.0f}, true, "behind, outside both triangles"},
      {{90.0f, 90.0f, 10.5f}, true, "behind the first plane, outside its triangle, before the second"},
      {{90.0f, 90.0f, 20.0f}, false, "behind the second face"},
      {{0.0f, 0.0f, 20.0f}, false, "behind, at a vertex"},
      {{150.0f, 10.0f, 20.0f}, true, "outside the root box"},
      {{50.0f, -0.5f, 20.0f}, true, "just below the root box"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(picture.visible(picture.marker(c.position)), c.visible) << c.what;
  }
  // Outside the root box no iteration is started at all.
  HLR_Index_Node* root = picture.state.face_index;
  root->cursor = nullptr;
  EXPECT_TRUE(picture.visible(picture.marker({-1.0f, 10.0f, 20.0f})));
  EXPECT_EQ(root->cursor, nullptr);
}

}  // namespace
