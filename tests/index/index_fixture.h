// Helpers for the index suites: an index over a fixed root box that frees
// itself, a full query iteration, and the structural invariants of the
// tree.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <memory>
#include <vector>

#include "face_index.h"
#include "records.h"

// A face whose bounding box is exactly [x0, x1] x [y0, y1] x [z0, z1]. Only
// the vertices matter to the index; the face is not a store record.
inline HLR_Face face_with_box(float x0, float x1, float y0, float y1, float z0, float z1) {
  HLR_Face face{};
  face.vertices[0] = {x0, y0, z0};
  face.vertices[1] = {x1, y0, z1};
  face.vertices[2] = {x0, y1, z0};
  return face;
}

// Faces live in a deque so their addresses stay put.
class Test_Index {
 public:
  Test_Index(float x_min, float x_max, float y_min, float y_max)
      : root_(make_index_node(new HLR_Index_Node{}, nullptr, nullptr, x_min, x_max, y_min, y_max)) {
  }
  ~Test_Index() { free_face_index(root_); }
  Test_Index(const Test_Index&) = delete;
  Test_Index& operator=(const Test_Index&) = delete;

  HLR_Index_Node* root() const { return root_; }

  // Inserts a copy of `face`, kept by the index, and returns the copy.
  HLR_Face* insert(const HLR_Face& face) {
    faces_.push_back(face);
    std::unique_ptr<HLR_Index_Item> item(new HLR_Index_Item{});
    make_index_item(item.get(), &faces_.back());
    index_insert(item.get(), root_);
    item.release();
    order_.push_back(&faces_.back());
    return &faces_.back();
  }
  HLR_Face* insert_box(float x0, float x1, float y0, float y1, float z0, float z1) {
    return insert(face_with_box(x0, x1, y0, y1, z0, z1));
  }
  // Position of a face in the insertion order (0 first).
  std::size_t insertion_index(const HLR_Face* face) const {
    return std::size_t(std::find(order_.begin(), order_.end(), face) - order_.begin());
  }
  const std::vector<HLR_Face*>& faces_inserted() const { return order_; }

 private:
  HLR_Index_Node* root_;
  std::deque<HLR_Face> faces_;
  std::vector<HLR_Face*> order_;
};

// One answer of a query iteration: the node the query returned and the
// face its cursor designated.
struct Answer {
  const HLR_Index_Node* node;
  const HLR_Face* face;
};

// Runs one whole iteration of the protocol, with the same arguments for
// every call. Stops after `limit` answers so a traversal that loops shows
// as a failure.
template <class Query>
std::vector<Answer> run_query(HLR_Index_Node* root, Query query, std::size_t limit = 1000000) {
  std::vector<Answer> answers;
  root->cursor = root->items;
  for (HLR_Index_Node* node = query(root); node != nullptr; node = query(node)) {
    answers.push_back({node, node->cursor->face});
    if (answers.size() > limit) break;
    node->cursor = node->cursor->next_item;
  }
  return answers;
}

inline std::vector<const HLR_Face*> faces_of(const std::vector<Answer>& answers) {
  std::vector<const HLR_Face*> faces;
  for (const Answer& a : answers) faces.push_back(a.face);
  return faces;
}

// A node's box as (x_min, x_max, y_min, y_max).
inline std::array<float, 4> box_of(const HLR_Index_Node* node) {
  return {node->x_min, node->x_max, node->y_min, node->y_max};
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

// The tree's invariants: every list ends at the node's sentinel (1e28, no
// face) and is sorted by z_min, every item lies inside its node's box,
// nodes have 0 or 4 children whose parent is the node, the successor links
// thread the tree in pre-order (`next` follows the subtree of `node`), and
// no node is deeper than 6. Counts the items and the nodes.
inline ::testing::AssertionResult subtree_is_consistent(const HLR_Index_Node* node,
                                                        const HLR_Index_Node* root,
                                                        const HLR_Index_Node* next, int depth,
                                                        std::size_t& items, std::size_t& nodes) {
  if (depth > 6 || ++nodes > 1000000) return ::testing::AssertionFailure() << "too deep";
  if (node->root != (node == root ? nullptr : root)) return ::testing::AssertionFailure() << "root";
  const HLR_Index_Item* item = node->items;
  for (float previous = -3.0e38f; item->next_item != nullptr; item = item->next_item) {
    if (!(item->z_min >= previous) || ++items > 1000000) {
      return ::testing::AssertionFailure() << "list not sorted or without end";
    }
    previous = item->z_min;
    if (!(item->x_min >= node->x_min && item->x_max <= node->x_max && item->y_min >= node->y_min &&
          item->y_max <= node->y_max)) {
      return ::testing::AssertionFailure() << "item outside its node's box";
    }
  }
  if (item->z_min != sentinel_z_min || item->face != nullptr) {
    return ::testing::AssertionFailure() << "list does not end at a sentinel";
  }
  if (node->successor != next) return ::testing::AssertionFailure() << "successor";
  const HLR_Index_Node* child = node->first_child;
  for (int k = 0; k < 4 && node->first_child != nullptr; ++k, child = child->successor) {
    if (child == nullptr || child->parent != node) {
      return ::testing::AssertionFailure() << "node without four children";
    }
    auto result = subtree_is_consistent(child, root, k < 3 ? child->successor : next, depth + 1,
                                        items, nodes);
    if (!result) return result;
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult index_is_consistent(const HLR_Index_Node* root,
                                                      std::size_t* item_count = nullptr,
                                                      std::size_t* node_count = nullptr) {
  std::size_t items = 0, nodes = 0;
  auto result = subtree_is_consistent(root, root, nullptr, 0, items, nodes);
  if (item_count != nullptr) *item_count = items;
  if (node_count != nullptr) *node_count = nodes;
  return result;
}
