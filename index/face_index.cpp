#include "face_index.h"

#include <algorithm>
#include <memory>

#include "index_traversal.h"

// Storage: every node, item and sentinel is its own zero-filled heap block
// (`new T{}` value-initialises these aggregates to zero bytes), released
// with delete. A node is owned by whoever allocated it until it is linked:
// make_index_node never frees the node it is given, so a caller holds the
// node in a unique_ptr (or equivalent) while it is being initialised.

using namespace face_index_detail;

namespace {

// Frees an item list, the sentinel included, reading each next_item before
// the item is released.
void free_item_list(HLR_Index_Item* item) noexcept {
  while (item != nullptr) {
    HLR_Index_Item* following = item->next_item;
    delete item;
    item = following;
  }
}

// Owner of a node that is not (yet) linked into a tree: releases the node
// and whatever list make_index_node gave it. A node whose sentinel could not
// be made has a null list.
struct Unlinked_Node_Deleter {
  void operator()(HLR_Index_Node* node) const noexcept {
    free_item_list(node->items);
    delete node;
  }
};
using Unlinked_Node = std::unique_ptr<HLR_Index_Node, Unlinked_Node_Deleter>;

}  // namespace

HLR_Index_Node* make_index_node(HLR_Index_Node* node, HLR_Index_Node* root, HLR_Index_Node* parent,
                                float x_min, float x_max, float y_min, float y_max) {
  node->center_x = (x_min + x_max) * 0.5f;
  node->center_y = (y_min + y_max) * 0.5f;
  node->x_min = x_min;
  node->x_max = x_max;
  node->y_min = y_min;
  node->y_max = y_max;
  node->first_child = nullptr;
  node->successor = nullptr;
  node->parent = parent;
  node->root = root;
  // If this throws, the node is untouched beyond its fields and its caller,
  // who allocated it, releases it.
  auto* sentinel = new HLR_Index_Item{};
  sentinel->z_min = sentinel_z_min;
  node->items = sentinel;
  node->cursor = sentinel;
  return node;
}

void split_node(HLR_Index_Node* node, HLR_Index_Node* root, float margin_x, float margin_y) {
  // Child boxes in float: each child reaches margin past the centre.
  const float high_x_min = node->center_x - margin_x;
  const float low_x_max = node->center_x + margin_x;
  const float high_y_min = node->center_y - margin_y;
  const float low_y_max = node->center_y + margin_y;
  struct Box {
    float x_min, x_max, y_min, y_max;
  };
  const Box boxes[4] = {
      {high_x_min, node->x_max, high_y_min, node->y_max},
      {high_x_min, node->x_max, node->y_min, low_y_max},
      {node->x_min, low_x_max, node->y_min, low_y_max},
      {node->x_min, low_x_max, high_y_min, node->y_max},
  };

  // The children are made first and linked only when all four exist: a
  // failure releases those already made and leaves the node a leaf.
  Unlinked_Node children[4];
  for (int k = 0; k < 4; ++k) {
    children[k].reset(new HLR_Index_Node{});
    make_index_node(children[k].get(), root, node, boxes[k].x_min, boxes[k].x_max, boxes[k].y_min,
                    boxes[k].y_max);
  }

  children[3]->successor = node->successor;
  children[2]->successor = children[3].get();
  children[1]->successor = children[2].get();
  children[0]->successor = children[1].get();
  node->first_child = children[0].get();
  for (Unlinked_Node& child : children) child.release();
}

HLR_Index_Item* make_index_item(HLR_Index_Item* item, HLR_Face* face) {
  const KT_Point* v = face->vertices;
  item->x_min = std::min(std::min(v[0].x, v[1].x), v[2].x);
  item->x_max = std::max(std::max(v[0].x, v[1].x), v[2].x);
  item->y_min = std::min(std::min(v[0].y, v[1].y), v[2].y);
  item->y_max = std::max(std::max(v[0].y, v[1].y), v[2].y);
  item->z_min = std::min(std::min(v[0].z, v[1].z), v[2].z);
  item->z_max = std::max(std::max(v[0].z, v[1].z), v[2].z);
  item->face = face;
  return item;
}

// Steps 1 to 5 of the insertion.
HLR_Index_Node* face_index_detail::node_for(const HLR_Index_Item* item, HLR_Index_Node* root) {
  // Margins from the root's box at every insertion, in float: 7.5% of the
  // extent at depth 0, times 0.575 per level below.
  float margin_x = (root->x_max - root->x_min) * 0.075f;
  float margin_y = (root->y_max - root->y_min) * 0.075f;
  HLR_Index_Node* node = root;
  constexpr int depth_limit = 6;
  for (int level = 1;; ++level) {
    // High side first and strict, low side inclusive: an item inside the
    // overlap band goes to the high-x side, and there to the high-y child.
    int child;  // 1..4, 0 for none
    if (item->x_min > node->center_x - margin_x) {
      if (item->y_min > node->center_y - margin_y) {
        child = 1;
      } else if (item->y_max <= node->center_y + margin_y) {
        child = 2;
      } else {
        child = 0;
      }
    } else if (item->x_max <= node->center_x + margin_x) {
      if (item->y_min > node->center_y - margin_y) {
        child = 4;
      } else if (item->y_max <= node->center_y + margin_y) {
        child = 3;
      } else {
        child = 0;
      }
    } else {
      child = 0;
    }
    if (child == 0) break;

    if (node->first_child == nullptr) split_node(node, root, margin_x, margin_y);
    node = node->first_child;
    for (int k = 1; k < child; ++k) node = node->successor;
    margin_x *= 0.575f;
    margin_y *= 0.575f;
    if (level >= depth_limit) break;
  }
  return node;
}

// The walk stops at the sentinel (the only item with a null next_item)
// whatever the keys, so that no key can carry it past the end of the list:
// an item whose z_min is above 1e28 goes in front of the sentinel, which
// stays last and goes on ending every scan, and a NaN key compares false
// and stops the walk where it stands. For keys up to 1e28 the sentinel's
// key alone already stops the walk, so the guard changes no list built
// from finite input.
Sorted_Place face_index_detail::insert_sorted(HLR_Index_Node* node, HLR_Index_Item* item) {
  HLR_Index_Item* first = node->items;
  if (item->z_min <= first->z_min || first->next_item == nullptr) {
    item->next_item = first;
    node->items = item;
    return {nullptr, 0};
  }
  HLR_Index_Item* previous = first;
  HLR_Index_Item* current = first->next_item;
  int passed = 1;
  while (current->z_min < item->z_min && current->next_item != nullptr) {
    previous = current;
    current = current->next_item;
    ++passed;
  }
  item->next_item = current;
  previous->next_item = item;
  return {previous, passed};
}

void index_insert(HLR_Index_Item* item, HLR_Index_Node* root) {
  insert_sorted(node_for(item, root), item);
}

HLR_Index_Node* index_query_box(HLR_Index_Node* node, float x_min, float x_max, float y_min,
                                float y_max, float z_min, float z_max) {
  return traverse(node, Box_Query{x_min, x_max, y_min, y_max, z_min, z_max}, true);
}

HLR_Index_Node* index_query_area(HLR_Index_Node* node, float x_min, float x_max, float y_min,
                                 float y_max, float z_limit) {
  return traverse(node, Area_Query{x_min, x_max, y_min, y_max, z_limit}, true);
}

HLR_Index_Node* index_query_point(HLR_Index_Node* node, float x, float y, float z_limit) {
  // The point query scans the node it resumes at without its node test.
  return traverse(node, Point_Query{x, y, z_limit}, false);
}

void free_face_index(HLR_Index_Node* root) {
  if (root == nullptr) return;
  // Pre-order through the threading; a node is freed only after the walk
  // has read its links and moved on.
  free_item_list(root->items);
  HLR_Index_Node* previous = root;
  for (HLR_Index_Node* node = next_in_pre_order(root); node != nullptr;
       node = next_in_pre_order(node)) {
    delete previous;
    free_item_list(node->items);
    previous = node;
  }
  delete previous;
}
