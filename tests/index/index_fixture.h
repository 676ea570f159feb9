// Helpers for the index suites: faces with a given box, an index that frees
// itself, a full query iteration, the structural invariant check of the
// tree, and a renderer state with the option entries the pass and the
// intake read.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <ostream>
#include <vector>

#include "face_index.h"
#include "options.h"
#include "records.h"
#include "renderer_state.h"
#include "rendition.h"

inline bool operator==(const KT_Point& l, const KT_Point& r) {
  return l.x == r.x && l.y == r.y && l.z == r.z;
}
inline void PrintTo(const KT_Point& p, std::ostream* os) {
  *os << "(" << p.x << ", " << p.y << ", " << p.z << ")";
}

// A face whose bounding box is exactly [x0, x1] x [y0, y1] x [z0, z1]. Only
// the vertices matter to the index; the face is not a store record.
inline HLR_Face face_with_box(float x0, float x1, float y0, float y1, float z0, float z1) {
  HLR_Face face{};
  face.vertices[0] = {x0, y0, z0};
  face.vertices[1] = {x1, y0, z1};
  face.vertices[2] = {x0, y1, z0};
  return face;
}

// An index over a fixed root box whose nodes and items are freed at the
// end of the test. Faces live in a deque so their addresses stay put.
class Test_Index {
 public:
  Test_Index(float x_min, float x_max, float y_min, float y_max) {
    std::unique_ptr<HLR_Index_Node> node(new HLR_Index_Node{});
    make_index_node(node.get(), nullptr, nullptr, x_min, x_max, y_min, y_max);
    root_ = node.release();
  }
  ~Test_Index() { free_face_index(root_); }
  Test_Index(const Test_Index&) = delete;
  Test_Index& operator=(const Test_Index&) = delete;

  HLR_Index_Node* root() const { return root_; }

  // Inserts a face (copied into the index's own storage) and returns the
  // stored face.
  HLR_Face* insert(const HLR_Face& face) {
    faces_.push_back(face);
    HLR_Face* stored = &faces_.back();
    std::unique_ptr<HLR_Index_Item> item(new HLR_Index_Item{});
    make_index_item(item.get(), stored);
    index_insert(item.get(), root_);
    item.release();
    insertion_order_.push_back(stored);
    return stored;
  }
  HLR_Face* insert_box(float x0, float x1, float y0, float y1, float z0, float z1) {
    return insert(face_with_box(x0, x1, y0, y1, z0, z1));
  }

  // Position of a face in the insertion order (0 first).
  std::size_t insertion_index(const HLR_Face* face) const {
    return static_cast<std::size_t>(
        std::find(insertion_order_.begin(), insertion_order_.end(), face) -
        insertion_order_.begin());
  }
  const std::vector<HLR_Face*>& faces_inserted() const { return insertion_order_; }

 private:
  HLR_Index_Node* root_;
  std::deque<HLR_Face> faces_;
  std::vector<HLR_Face*> insertion_order_;
};

// One answer of a query iteration: the node the query returned and the
// face its cursor designated.
struct Answer {
  const HLR_Index_Node* node;
  const HLR_Face* face;
};

// Runs one whole iteration of the protocol, with the same arguments for
// every call. `query(node)` calls the query under test. Stops after
// `limit` answers so a traversal that loops shows as a failure.
template <class Query>
std::vector<Answer> run_query(HLR_Index_Node* root, Query query, std::size_t limit = 1000000) {
  std::vector<Answer> answers;
  root->cursor = root->items;
  for (HLR_Index_Node* node = query(root); node != nullptr; node = query(node)) {
    HLR_Index_Item* item = node->cursor;
    answers.push_back({node, item->face});
    if (answers.size() > limit) break;
    node->cursor = item->next_item;
  }
  return answers;
}

inline int depth_of(const HLR_Index_Node* node) {
  int depth = 0;
  for (; node->parent != nullptr; node = node->parent) ++depth;
  return depth;
}

// The path of child positions (1..4) from the root; comparing two paths
// lexicographically, a prefix first, is comparing the nodes in pre-order.
inline std::vector<int> path_of(const HLR_Index_Node* node) {
  std::vector<int> path;
  for (; node->parent != nullptr; node = node->parent) {
    int position = 1;
    for (const HLR_Index_Node* c = node->parent->first_child; c != node; c = c->successor) {
      ++position;
    }
    path.push_back(position);
  }
  std::reverse(path.begin(), path.end());
  return path;
}

// The tree's invariants: every list ends at the node's sentinel (1e28, all
// else zero) and is sorted by z_min, every item lies inside its node's box,
// nodes have 0 or 4 children whose parent is the node, the successor links
// thread the tree in pre-order, and no node is deeper than 6. Returns the
// number of nodes through `node_count` and of items through `item_count`.
inline ::testing::AssertionResult index_is_consistent(const HLR_Index_Node* root,
                                                      std::size_t* node_count = nullptr,
                                                      std::size_t* item_count = nullptr) {
  std::size_t nodes = 0;
  std::size_t items = 0;
  if (root->parent != nullptr || root->successor != nullptr || root->root != nullptr) {
    return ::testing::AssertionFailure() << "root links not null";
  }
  // Explicit stack here (test code): the threading itself is under test.
  std::vector<const HLR_Index_Node*> pending{root};
  const HLR_Index_Node* expected_next = root;
  while (!pending.empty()) {
    const HLR_Index_Node* node = pending.back();
    pending.pop_back();
    if (node != expected_next) return ::testing::AssertionFailure() << "pre-order threading broken";
    ++nodes;
    if (nodes > 1000000) return ::testing::AssertionFailure() << "too many nodes";
    if (depth_of(node) > 6) return ::testing::AssertionFailure() << "node deeper than 6";
    if (node != root && node->root != root) return ::testing::AssertionFailure() << "root link";
    const HLR_Index_Item* item = node->items;
    float previous = -3.0e38f;
    std::size_t length = 0;
    while (item->next_item != nullptr) {
      if (++length > 1000000) return ::testing::AssertionFailure() << "list does not end";
      if (!(item->z_min >= previous)) return ::testing::AssertionFailure() << "list not sorted";
      previous = item->z_min;
      if (!(item->x_min >= node->x_min && item->x_max <= node->x_max &&
            item->y_min >= node->y_min && item->y_max <= node->y_max)) {
        return ::testing::AssertionFailure() << "item outside its node's box";
      }
      ++items;
      item = item->next_item;
    }
    if (item->z_min != sentinel_z_min || item->face != nullptr || item->x_min != 0.0f ||
        item->x_max != 0.0f || item->y_min != 0.0f || item->y_max != 0.0f || item->z_max != 0.0f) {
      return ::testing::AssertionFailure() << "list does not end at a sentinel";
    }
    if (node->first_child != nullptr) {
      const HLR_Index_Node* children[4];
      const HLR_Index_Node* c = node->first_child;
      for (int k = 0; k < 4; ++k) {
        if (c == nullptr || c->parent != node) {
          return ::testing::AssertionFailure() << "node without four children";
        }
        children[k] = c;
        c = k < 3 ? c->successor : nullptr;
      }
      if (children[3]->successor != node->successor) {
        return ::testing::AssertionFailure() << "fourth child's successor";
      }
      for (int k = 3; k >= 0; --k) pending.push_back(children[k]);
      expected_next = node->first_child;
    } else {
      expected_next = node->successor;
    }
  }
  if (expected_next != nullptr) return ::testing::AssertionFailure() << "threading runs on";
  if (node_count != nullptr) *node_count = nodes;
  if (item_count != nullptr) *item_count = items;
  return ::testing::AssertionSuccess();
}

// A renderer state without the driver: zero-initialised, empty extent, and
// the two colour options of option_table and current_option_table that the
// pass and the intake read.
class Test_Picture {
 public:
  Test_Picture() : state{} {
    state.extent = empty_extent;
    state.depth_tolerance = 0.1f;
    state.option_entries[hidden_line_color_option] = option_table.add(
        KT_Option(L"Hidden Line Color", KT_Option_Enum::scope_renderer, 0, 0, 0, 255));
    state.option_entries[intersection_line_color_option] = option_table.add(
        KT_Option(L"Intersection Line Color", KT_Option_Enum::scope_renderer, 0, 0, 0, 255));
    state.current_option_entries[hidden_line_color_option] = current_option_table.add(
        KT_Option(L"Hidden Line Color", KT_Option_Enum::scope_renderer, 0, 0, 0, 255));
    state.current_option_entries[intersection_line_color_option] = current_option_table.add(
        KT_Option(L"Intersection Line Color", KT_Option_Enum::scope_renderer, 0, 0, 0, 255));
  }
  ~Test_Picture() { clear(); }
  Test_Picture(const Test_Picture&) = delete;
  Test_Picture& operator=(const Test_Picture&) = delete;

  // Frees every edge, face and the index, and empties the store.
  void clear() {
    if (state.face_index != nullptr) free_face_index(state.face_index);
    state.face_index = nullptr;
    for (HLR_Edge* edge = state.edge_list.head; edge != nullptr;) {
      HLR_Edge* next = edge->link;
      delete edge;
      edge = next;
    }
    for (HLR_Face* face = state.face_list.head; face != nullptr;) {
      HLR_Face* next = face->link;
      delete face;
      face = next;
    }
    state.edge_list = {};
    state.face_list = {};
    state.extent = empty_extent;
  }

  std::vector<const HLR_Edge*> edges() const {
    std::vector<const HLR_Edge*> edges;
    for (const HLR_Edge* e = state.edge_list.head; e != nullptr; e = e->link) edges.push_back(e);
    return edges;
  }

  KT_Option_Table option_table;
  KT_Option_Table current_option_table;
  HLR_Renderer_State state;
};
