// The face index: a loose quadtree over the screen plane that answers which
// faces may overlap a box, a rectangle or a point, nearest first.
//
// Every node with children has exactly four, overlapping in a band around
// the parent's centre; each face is one item, its bounding box, kept in
// exactly one node whose box contains the item's x-y box. A node's item
// list is sorted by ascending z_min (equal z_min: the face given later
// first) and no node is deeper than 6. The faces are placed as if they were
// inserted one by one in the order given: an item descends into the child
// whose band it fits (high side first and strict, low side inclusive) and
// goes in front of the first item of its node's list whose z_min is not
// smaller.
//
// The index is built once, over all of a picture's faces, and is read-only
// afterwards. A query iteration keeps its position in a query object on
// the caller's stack (HLR_Area_Query and its siblings below), so any number
// of iterations may walk one index at once, on any threads. Each call of
// next() gives the next face after the previous answer that matches that
// call's arguments, or null when none is left; a caller may change the
// arguments between calls (the traversal goes on from where it stopped and
// applies the new ones to everything it visits from then on) or abandon an
// iteration after any answer. Answers come in pre-order of the nodes
// (children 1 to 4), list order within a node.
//
// Layout: the nodes in pre-order in one array, every list in one array of
// items, node after node. A crowded list (crowded_list_items or more) also
// has a grid of cells over its items' boxes, each cell holding a copy of
// the items that reach into it in list order, so that a small query reads
// the few cells it touches rather than the whole list.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "records.h"

// One face's bounds as the queries read them, and its number: its position
// in the order the faces were given to the index (0 first).
struct HLR_Index_Item {
  float x_min;
  float x_max;
  float y_min;
  float y_max;
  float z_min;
  float z_max;
  std::uint32_t face_number;
};

struct HLR_Index_Node {
  float x_min;  // the node's box, closed
  float x_max;
  float y_min;
  float y_max;
  // The node's list: items [first_item, end_item) of the index.
  std::uint32_t first_item;
  std::uint32_t end_item;
  // The node after this node's whole subtree in pre-order (the node count
  // after the last subtree); the next node in pre-order is always the next
  // in the array.
  std::uint32_t subtree_end;
  std::uint32_t parent;  // no_index_node for the root
  std::uint32_t grid;    // the list's grid of cells, or no_index_grid
  std::uint8_t depth;    // the root has depth 0
  // The list's keys ascend with no NaN among them, so a scan may stop at
  // any item whose key reaches the depth bound.
  bool ordered;
};

constexpr std::uint32_t no_index_node = 0xFFFFFFFFu;
constexpr std::uint32_t no_index_grid = 0xFFFFFFFFu;
constexpr int index_depth_limit = 6;
// Lists this long get a grid of cells.
constexpr std::uint32_t crowded_list_items = 96;

// The root's box: the picture's extent in x and y.
struct HLR_Index_Box {
  float x_min;
  float x_max;
  float y_min;
  float y_max;
};

class HLR_Face_Index {
 public:
  // Places every face (each must stay where it is while the index lives).
  // Building uses the threads the calling thread's OpenMP setting allows
  // when there are many faces; the index is the same whatever their number.
  // On an allocation failure std::bad_alloc leaves and nothing is built.
  HLR_Face_Index(const HLR_Index_Box& root, std::vector<HLR_Face*> faces);
  ~HLR_Face_Index();
  HLR_Face_Index(const HLR_Face_Index&) = delete;
  HLR_Face_Index& operator=(const HLR_Face_Index&) = delete;

  // In pre-order; the root first.
  std::span<const HLR_Index_Node> nodes() const { return nodes_; }
  const HLR_Index_Node& root() const { return nodes_.front(); }
  std::span<const HLR_Index_Item> list(const HLR_Index_Node& node) const {
    return {items_.data() + node.first_item, items_.data() + node.end_item};
  }
  HLR_Face* face(std::uint32_t number) const { return faces_[number]; }
  std::size_t face_count() const { return faces_.size(); }

  // Lets the cells of the crowded lists go, once the hidden-line pass is
  // over: queries then scan the lists, with the same answers.
  void release_cells() noexcept;

  // What the cells of the crowded lists hold (for the benchmarks).
  std::size_t grid_count() const;
  std::size_t cell_entry_count() const;

  struct Grids;  // index_traversal.h

 private:
  friend struct HLR_Index_Access;
  std::vector<HLR_Face*> faces_;
  std::vector<HLR_Index_Node> nodes_;
  std::vector<HLR_Index_Item> items_;
  Grids* grids_;
};

// Where an iteration stands: the node of the last answer and the list
// position after it, and what the cells of that node's list need to go on.
// Owned by the query objects; callers do not read it.
struct HLR_Index_Cursor {
  static constexpr int max_streams = 4;
  std::uint32_t node = 0;
  std::uint32_t position = 0;  // in the node's list; where the next scan starts
  bool started = false;
  // The cells being read: columns [column_begin, column_end) x rows
  // [row_begin, row_end) of the node's grid, valid while streams > 0; each
  // stream's head is the first of its cell's entries at or after position.
  int streams = 0;
  int column_begin = 0, column_end = 0, row_begin = 0, row_end = 0;
  // The query's x-y range the cells were chosen for.
  float left = 0, right = 0, bottom = 0, top = 0;
  std::uint32_t head[max_streams];
  std::uint32_t end[max_streams];
};

// Faces whose box overlaps the query box in x, y and z: x-y boxes overlap
// and face z_min < query z_max (strictly), face z_max >= query z_min. With
// `before`, only faces numbered below it count, as if the index held only
// those: the answers of an index built from the first `before` faces.
class HLR_Box_Query {
 public:
  explicit HLR_Box_Query(const HLR_Face_Index& index, std::uint32_t before = 0xFFFFFFFFu)
      : index_(&index), before_(before) {}
  HLR_Face* next(float x_min, float x_max, float y_min, float y_max, float z_min, float z_max);
  // The node of the last answer.
  const HLR_Index_Node& node() const { return index_->nodes()[cursor_.node]; }

 private:
  const HLR_Face_Index* index_;
  std::uint32_t before_;
  HLR_Index_Cursor cursor_;
};

// Faces whose x-y box overlaps the rectangle and whose z_min < z_limit.
class HLR_Area_Query {
 public:
  explicit HLR_Area_Query(const HLR_Face_Index& index) : index_(&index) {}
  HLR_Face* next(float x_min, float x_max, float y_min, float y_max, float z_limit);
  const HLR_Index_Node& node() const { return index_->nodes()[cursor_.node]; }

 private:
  const HLR_Face_Index* index_;
  HLR_Index_Cursor cursor_;
};

// Faces whose x-y box contains (x, y) and whose z_min < z_limit.
class HLR_Point_Query {
 public:
  explicit HLR_Point_Query(const HLR_Face_Index& index) : index_(&index) {}
  HLR_Face* next(float x, float y, float z_limit);
  const HLR_Index_Node& node() const { return index_->nodes()[cursor_.node]; }

 private:
  const HLR_Face_Index* index_;
  HLR_Index_Cursor cursor_;
};
