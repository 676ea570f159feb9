// How the face index is walked, for the index's own files: the two steps
// of an insertion (index_builder.cpp places items as index_insert does)
// and the traversal the three queries share (packed_lists.cpp runs the
// area query's traversal over its own scan). Callers use face_index.h.
#pragma once

#include "face_index.h"

namespace face_index_detail {

// Pre-order successor through the threading: first child, else the node
// that follows the whole subtree.
inline HLR_Index_Node* next_in_pre_order(const HLR_Index_Node* node) {
  return node->first_child != nullptr ? node->first_child : node->successor;
}

// The first step of index_insert: the node that takes the item, splitting
// nodes on the way as needed. On an allocation failure std::bad_alloc
// leaves and the item is not linked.
HLR_Index_Node* node_for(const HLR_Index_Item* item, HLR_Index_Node* root);

// Where insert_sorted linked the item: the item before it (null at the
// front) and how many items its walk passed.
struct Sorted_Place {
  HLR_Index_Item* previous;
  int passed;
};

// The second step of index_insert: sorted insertion into one node's list,
// walking from the front. Equal keys: the new item goes in front, so among
// equal z_min the item inserted last comes first. Cannot fail.
Sorted_Place insert_sorted(HLR_Index_Node* node, HLR_Index_Item* item);

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
  // Anything with an x-y box in these four fields: an item, or a copy of
  // its bounds.
  template <class Box>
  bool item_passes(const Box* i) const {
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

// The traversal shared by the three queries, with `scan(node, from)`
// scanning one node's list from `from` as scan_list does. The start node N
// continues its scan from its cursor; on a resumed call N's node test is
// applied again with the call's own arguments (the point query skips it),
// and N's children are visited whether or not N passed. Neither changes an
// answer: items lie inside their node's box (the root's box is the extent
// of every face) and a child's box inside its parent's, so a node that
// fails its test holds no item and no child that could pass. Every further
// node is tested, skipped with its subtree when it fails, and otherwise
// scanned from its first item.
template <class Query, class Scan>
HLR_Index_Node* traverse(HLR_Index_Node* node, const Query& query, bool test_start_node,
                         Scan scan) {
  if (!test_start_node || query.node_passes(node)) {
    if (HLR_Index_Item* hit = scan(node, node->cursor)) {
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
    if (HLR_Index_Item* hit = scan(current, current->items)) {
      current->cursor = hit;
      return current;
    }
    current = next_in_pre_order(current);
  }
  return nullptr;
}

// The traversal with each node's list scanned item by item.
template <class Query>
HLR_Index_Node* traverse(HLR_Index_Node* node, const Query& query, bool test_start_node) {
  return traverse(node, query, test_start_node, [&query](HLR_Index_Node*, HLR_Index_Item* from) {
    return scan_list(from, query);
  });
}

}  // namespace face_index_detail
