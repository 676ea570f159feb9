// The face index: a loose quadtree over the screen plane that answers which
// faces may overlap a box, a rectangle or a point, nearest first.
//
// Every node with children has exactly four, overlapping in a band around
// the parent's centre; each face is one item, its bounding box, kept in
// exactly one node whose box contains the item's x-y box. A node's item
// list is sorted by ascending z_min (equal z_min: the item inserted last
// first) and ends at the node's sentinel, whose z_min of 1e28 ends every
// scan. No node is deeper than 6.
//
// Queries are resumable iterations whose position lives in the nodes'
// `cursor` fields, so only one iteration may be in progress at a time:
//   1. set the start node's cursor to its items;
//   2. call the query with the start node; null ends the iteration;
//   3. otherwise the result R's cursor is the matching item;
//   4. set R's cursor to that item's next_item and call the query with R.
// A caller may change the query's arguments between calls (the traversal
// goes on from where it stopped) or abandon an iteration after any answer.
// Answers come in pre-order of the nodes (children 1 to 4), list order
// within a node.
//
// Beside this file: index_builder.h inserts many items faster, and
// packed_lists.h answers the area query faster over a finished index.
#pragma once

#include "records.h"

struct HLR_Index_Item {
  float x_min;
  float x_max;
  float y_min;
  float y_max;
  float z_min;
  float z_max;
  HLR_Face* face;  // not owned
  HLR_Index_Item* next_item;
};

struct HLR_Index_Node {
  float center_x;
  float center_y;
  float x_min;  // the node's box, closed
  float x_max;
  float y_min;
  float y_max;
  HLR_Index_Node* first_child;
  // The node that follows this node's whole subtree in pre-order.
  HLR_Index_Node* successor;
  HLR_Index_Node* parent;
  HLR_Index_Item* items;
  HLR_Index_Item* cursor;
  HLR_Index_Node* root;  // null in the root itself
};

// The sentinel key: every item list ends at an item with this z_min.
constexpr float sentinel_z_min = 1e28f;

// Initialises a zero-filled node with its box and links, and gives it its
// sentinel (items and cursor point at it). Returns `node`. When the sentinel
// cannot be made, std::bad_alloc leaves and the node stays the caller's to
// release (its items are then null).
HLR_Index_Node* make_index_node(HLR_Index_Node* node, HLR_Index_Node* root, HLR_Index_Node* parent,
                                float x_min, float x_max, float y_min, float y_max);
// Gives a childless node its four children. On a failure the children made
// so far are released and the node stays a leaf.
void split_node(HLR_Index_Node* node, HLR_Index_Node* root, float margin_x, float margin_y);
// Fills an item's bounds from the face's three vertices. Returns `item`.
HLR_Index_Item* make_index_item(HLR_Index_Item* item, HLR_Face* face);
void index_insert(HLR_Index_Item* item, HLR_Index_Node* root);

// Items whose box overlaps the query box in x, y and z (z_min < z_max of the
// query, strictly).
HLR_Index_Node* index_query_box(HLR_Index_Node* node, float x_min, float x_max, float y_min,
                                float y_max, float z_min, float z_max);
// Items whose x-y box overlaps the rectangle and whose z_min < z_limit.
HLR_Index_Node* index_query_area(HLR_Index_Node* node, float x_min, float x_max, float y_min,
                                 float y_max, float z_limit);
// Items whose x-y box contains (x, y) and whose z_min < z_limit.
HLR_Index_Node* index_query_point(HLR_Index_Node* node, float x, float y, float z_limit);

// Frees every node, item and sentinel, without recursion or a stack.
void free_face_index(HLR_Index_Node* root);
