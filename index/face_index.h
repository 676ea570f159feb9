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
#pragma once

#include <map>
#include <unordered_map>

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

// Inserts many items into one index, each exactly as index_insert would,
// faster where lists grow long: once an insertion walk passes walk_limit
// items, it keeps that list's items ordered by key beside it, so finding
// an item's place there is a search rather than a walk along the list.
// Lists holding a NaN key are walked as index_insert walks them. An index
// without a walk that long costs no allocation beyond index_insert's. The
// index must not change otherwise while a builder inserts into it. On an
// allocation failure std::bad_alloc leaves with the item not linked, as
// from index_insert.
class HLR_Index_Builder {
 public:
  explicit HLR_Index_Builder(HLR_Index_Node* root);
  ~HLR_Index_Builder();
  HLR_Index_Builder(const HLR_Index_Builder&) = delete;
  HLR_Index_Builder& operator=(const HLR_Index_Builder&) = delete;

  void insert(HLR_Index_Item* item);

  static constexpr int walk_limit = 256;

 private:
  struct Node_Order {
    bool unordered = false;
    std::multimap<float, HLR_Index_Item*> by_key;  // list order
  };
  HLR_Index_Node* root_;
  std::unordered_map<const HLR_Index_Node*, Node_Order> orders_;
};

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

// ---------------------------------------------------------------------------
// Packed lists: in an index with a list of at least packing_index_threshold
// items, a copy of every crowded item list (at least packed_list_threshold
// items) as one contiguous array of the items' boxes in list order, with a
// summary box per run of packed_block_size entries. The depth limit lets
// leaves hold hundreds or thousands of items on large pictures; walking
// such a list item by item is a chain of dependent loads, while the array
// is read in order and a run whose summary misses the query is passed over
// in one test.
//
// The packed area query answers exactly what index_query_area answers, in
// the same order, and leaves every cursor as index_query_area leaves it: it
// visits the same nodes, applies the same comparisons to the same float
// values in list order, stops where the list scan stops, and passes over a
// run only when every entry of the run lies below the depth bound and none
// can pass the item test. A cursor the packing cannot place (not at the
// start of a list nor right after the packing's last answer in that node)
// is served by the ordinary list scan.
//
// The packing belongs to the index: it is made once, after the last
// insertion (the intersection pass does it), kept with the root's sentinel
// and released by free_face_index. An index that changes after packing
// would no longer match its packing; nothing inserts after the pass.

constexpr int packed_list_threshold = 64;
// An index is packed only when one of its lists holds this many items.
constexpr int packing_index_threshold = 512;
constexpr int packed_block_size = 16;

struct HLR_Index_Packing;

// Packs every crowded list of the index; replaces an earlier packing. On an
// allocation failure std::bad_alloc leaves and the index keeps no packing.
void pack_face_index(HLR_Index_Node* root);
// The packing of the index whose root is given, or null. Walks the root's
// list to its sentinel: call it once per pass, not per query.
HLR_Index_Packing* index_packing(const HLR_Index_Node* root);
// index_query_area through the packing; with a null packing it is
// index_query_area.
HLR_Index_Node* index_query_area_packed(HLR_Index_Packing* packing, HLR_Index_Node* node,
                                        float x_min, float x_max, float y_min, float y_max,
                                        float z_limit);
