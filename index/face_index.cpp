#include "face_index.h"

#include <algorithm>
#include <memory>

// Storage: every node, item and sentinel is its own zero-filled heap block
// (`new T{}` value-initialises these aggregates to zero bytes), released
// with delete. A node is owned by whoever allocated it until it is linked:
// make_index_node never frees the node it is given, so a caller holds the
// node in a unique_ptr (or equivalent) while it is being initialised.

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

// Pre-order successor through the threading: first child, else the node
// that follows the whole subtree.
inline HLR_Index_Node* next_in_pre_order(const HLR_Index_Node* node) {
  return node->first_child != nullptr ? node->first_child : node->successor;
}

// Sorted insertion into one node's list. Equal keys: the new item goes in
// front, so among equal z_min the item inserted last comes first.
//
// The walk stops at the sentinel (the only item with a null next_item)
// whatever the keys, as the project chose: an item whose z_min is above
// 1e28 goes in front of the sentinel instead of past it, and a NaN key
// compares false and stops the walk where it stands. For keys up to 1e28
// the sentinel's key alone already stops the walk, so the guard changes no
// list built from finite input.
void insert_sorted(HLR_Index_Node* node, HLR_Index_Item* item) {
  HLR_Index_Item* first = node->items;
  if (item->z_min <= first->z_min || first->next_item == nullptr) {
    item->next_item = first;
    node->items = item;
    return;
  }
  HLR_Index_Item* previous = first;
  HLR_Index_Item* current = first->next_item;
  while (current->z_min < item->z_min && current->next_item != nullptr) {
    previous = current;
    current = current->next_item;
  }
  item->next_item = current;
  previous->next_item = item;
}

// The per-query parts of the common traversal: the node test, the depth
// bound and the item test. All comparisons are inclusive except the depth
// bound.
struct Box_Query {
  float x_min, x_max, y_min, y_max, z_min, z_max;

  bool node_passes(const HLR_Index_Node* n) const {
    return n->x_max >= x_min && n->y_max >= y_min && x_max >= n->x_min && y_max >= n->y_min;
  }
  float depth_bound() const { return z_max; }
  bool item_passes(const HLR_Index_Item* i) const {
    return i->x_max >= x_min && i->y_max >= y_min && i->z_max >= z_min && x_max >= i->x_min &&
           y_max >= i->y_min;
  }
};

struct Area_Query {
  float x_min, x_max, y_min, y_max, z_limit;

  bool node_passes(const HLR_Index_Node* n) const {
    return n->x_max >= x_min && n->y_max >= y_min && x_max >= n->x_min && y_max >= n->y_min;
  }
  float depth_bound() const { return z_limit; }
  bool item_passes(const HLR_Index_Item* i) const {
    return i->x_max >= x_min && i->y_max >= y_min && x_max >= i->x_min && y_max >= i->y_min;
  }
};

struct Point_Query {
  float x, y, z_limit;

  bool node_passes(const HLR_Index_Node* n) const {
    return n->x_max >= x && n->y_max >= y && x >= n->x_min && y >= n->y_min;
  }
  float depth_bound() const { return z_limit; }
  bool item_passes(const HLR_Index_Item* i) const {
    return i->x_max >= x && i->y_max >= y && x >= i->x_min && y >= i->y_min;
  }
};

// Scans a list from `item` while the keys stay below the depth bound;
// returns the first item that passes the item test, or null.
//
// The sentinel's z_min (1e28) ends every scan for bounds up to 1e28; the
// null next_item test also ends it for larger or infinite bounds, so the
// sentinel is never offered as an answer. A NaN key or bound compares false
// and ends the scan where it stands.
template <class Query>
inline HLR_Index_Item* scan_list(HLR_Index_Item* item, const Query& query) {
  const float bound = query.depth_bound();
  while (item->z_min < bound && item->next_item != nullptr) {
    if (query.item_passes(item)) return item;
    item = item->next_item;
  }
  return nullptr;
}

// The traversal shared by the three queries. The start node N continues
// its scan from its cursor; on a resumed call N's node test is applied again
// with the call's own arguments (the point query skips it), and N's
// children are visited whether or not N passed: the project's reading of a
// call whose arguments changed. Every further node is tested, skipped with
// its subtree when it fails, and otherwise scanned from its first item.
// Items lie inside their node's box, so the node tests only prune.
template <class Query>
HLR_Index_Node* traverse(HLR_Index_Node* node, const Query& query, bool test_start_node) {
  if (!test_start_node || query.node_passes(node)) {
    if (HLR_Index_Item* hit = scan_list(node->cursor, query)) {
      node->cursor = hit;
      return node;
    }
  }
  // Node tests first: a missed box skips a whole subtree for four
  // comparisons.
  HLR_Index_Node* current = next_in_pre_order(node);
  while (current != nullptr) {
    if (!query.node_passes(current)) {
      current = current->successor;
      continue;
    }
    if (HLR_Index_Item* hit = scan_list(current->items, query)) {
      current->cursor = hit;
      return current;
    }
    current = next_in_pre_order(current);
  }
  return nullptr;
}

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

void index_insert(HLR_Index_Item* item, HLR_Index_Node* root) {
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
  insert_sorted(node, item);
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
