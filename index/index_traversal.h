// How the face index is walked, for the index's own files: the grids of
// cells over crowded lists, and the traversal the three queries share.
// Callers use face_index.h.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "face_index.h"

namespace face_index_detail {

// One item's copy in a cell: its x-y box and key as the queries compare
// them, and its position in the node's list.
struct Cell_Entry {
  float x_min;
  float x_max;
  float y_min;
  float y_max;
  float z_min;
  std::uint32_t position;
};

// A grid of columns x rows cells over the x-y box of a crowded list's
// items. An item is copied into every cell its box reaches into (an item
// with a NaN bound into none: it passes no item test), in list order, so
// every cell is sorted by key too. Cells of column c and row r hold entries
// [cell_start[k], cell_start[k + 1]) with k = r * columns + c.
struct Grid {
  float x_origin;
  float y_origin;
  float x_scale;  // columns per unit
  float y_scale;
  int columns;
  int rows;
  std::uint32_t first_cell;  // into Grids::cell_start

  // The column of x: monotone in x (a float difference and product, then
  // clamped), so that a box reaching over [a, b] and a query over [c, d]
  // that overlap in x share a column.
  int column_of(float x) const { return clamped(x - x_origin, x_scale, columns); }
  int row_of(float y) const { return clamped(y - y_origin, y_scale, rows); }

 private:
  static int clamped(float offset, float scale, int count) {
    const float t = offset * scale;
    if (!(t >= 1.0f)) return 0;
    if (t >= static_cast<float>(count)) return count - 1;
    return static_cast<int>(t);
  }
};

}  // namespace face_index_detail

struct HLR_Face_Index::Grids {
  std::vector<face_index_detail::Grid> grids;
  std::vector<std::uint32_t> cell_start;  // per cell, and one past the last
  std::vector<face_index_detail::Cell_Entry> entries;
};

struct HLR_Index_Access {
  // Null once the cells are released; only a node with a grid reads them.
  static const HLR_Face_Index::Grids* grids(const HLR_Face_Index& index) { return index.grids_; }
};

namespace face_index_detail {

// The per-query parts of the common traversal: the node test, the depth
// bound, the item test (which also reads cell entries), and which faces the
// query counts at all. All comparisons are inclusive except the depth
// bound.
struct Box_Query {
  float x_min, x_max, y_min, y_max, z_min, z_max;
  std::uint32_t before;

  bool node_passes(const HLR_Index_Node& n) const {
    return n.x_max >= x_min && n.y_max >= y_min && x_max >= n.x_min && y_max >= n.y_min;
  }
  float depth_bound() const { return z_max; }
  template <class Box>
  bool box_passes(const Box& i) const {
    return i.x_max >= x_min && i.y_max >= y_min && x_max >= i.x_min && y_max >= i.y_min;
  }
  bool item_passes(const HLR_Index_Item& i) const { return box_passes(i) && i.z_max >= z_min; }
  // What an item whose box passed must pass besides.
  bool rest_passes(const HLR_Index_Item& i) const { return i.z_max >= z_min && counts(i); }
  bool counts(const HLR_Index_Item& i) const { return i.face_number < before; }
  static constexpr bool counts_all = false;
  float left() const { return x_min; }
  float right() const { return x_max; }
  float bottom() const { return y_min; }
  float top() const { return y_max; }
};

struct Area_Query {
  float x_min, x_max, y_min, y_max, z_limit;

  bool node_passes(const HLR_Index_Node& n) const {
    return n.x_max >= x_min && n.y_max >= y_min && x_max >= n.x_min && y_max >= n.y_min;
  }
  float depth_bound() const { return z_limit; }
  template <class Box>
  bool box_passes(const Box& i) const {
    return i.x_max >= x_min && i.y_max >= y_min && x_max >= i.x_min && y_max >= i.y_min;
  }
  bool item_passes(const HLR_Index_Item& i) const { return box_passes(i); }
  bool rest_passes(const HLR_Index_Item&) const { return true; }
  bool counts(const HLR_Index_Item&) const { return true; }
  static constexpr bool counts_all = true;
  float left() const { return x_min; }
  float right() const { return x_max; }
  float bottom() const { return y_min; }
  float top() const { return y_max; }
};

struct Point_Query {
  float x, y, z_limit;

  bool node_passes(const HLR_Index_Node& n) const {
    return n.x_max >= x && n.y_max >= y && x >= n.x_min && y >= n.y_min;
  }
  float depth_bound() const { return z_limit; }
  template <class Box>
  bool box_passes(const Box& i) const {
    return i.x_max >= x && i.y_max >= y && x >= i.x_min && y >= i.y_min;
  }
  bool item_passes(const HLR_Index_Item& i) const { return box_passes(i); }
  bool rest_passes(const HLR_Index_Item&) const { return true; }
  bool counts(const HLR_Index_Item&) const { return true; }
  static constexpr bool counts_all = true;
  float left() const { return x; }
  float right() const { return x; }
  float bottom() const { return y; }
  float top() const { return y; }
};

// Scans a list from position p while the keys stay below the depth bound;
// returns the position of the first counted item that passes the item
// test, or the list's length. Items the query does not count are passed
// over as if they were not there; in an ordered list any item whose key
// reaches the bound ends the scan (every later key does too), in another
// only a counted one does. A NaN key or bound compares false and ends the
// scan where it stands.
template <class Query>
std::uint32_t scan_list(const HLR_Index_Item* items, std::uint32_t p, std::uint32_t length,
                        bool ordered, const Query& query) {
  const float bound = query.depth_bound();
  for (; p < length; ++p) {
    const HLR_Index_Item& i = items[p];
    if (!Query::counts_all && !query.counts(i)) {
      if (ordered && !(i.z_min < bound)) return length;
      continue;
    }
    if (!(i.z_min < bound)) return length;
    if (query.item_passes(i)) return p;
  }
  return length;
}

// The cells of a crowded, ordered list that the query's x-y range touches,
// read as streams merged by list position. Exact for such a list: an item
// that passes the item test shares a point with the query's range, so the
// two share a cell (column_of and row_of are monotone); every cell is in
// list order, so a stream whose head reaches the depth bound has nothing
// more below it; and an item in several touched cells is taken once.
// Returns false, touching nothing, when the range is not small (more than
// max_streams cells) or has a NaN side: the plain scan serves those.
template <class Query>
bool open_streams(const HLR_Face_Index::Grids& grids, const HLR_Index_Node& node,
                  const Query& query, std::uint32_t position, HLR_Index_Cursor& cursor) {
  const float left = query.left(), right = query.right();
  const float bottom = query.bottom(), top = query.top();
  // The same range as the last call's (a face test that hid nothing
  // leaves the edge's box as it was): the heads stand at `position`.
  if (cursor.streams > 0 && cursor.left == left && cursor.right == right &&
      cursor.bottom == bottom && cursor.top == top) {
    return true;
  }
  if (left != left || right != right || bottom != bottom || top != top) return false;
  const Grid& grid = grids.grids[node.grid];
  const int c0 = grid.column_of(left), c1 = grid.column_of(right) + 1;
  const int r0 = grid.row_of(bottom), r1 = grid.row_of(top) + 1;
  if (c1 <= c0 || r1 <= r0 || (c1 - c0) * (r1 - r0) > HLR_Index_Cursor::max_streams) return false;
  if (cursor.streams > 0 && cursor.column_begin == c0 && cursor.column_end == c1 &&
      cursor.row_begin == r0 && cursor.row_end == r1) {
    cursor.left = left;
    cursor.right = right;
    cursor.bottom = bottom;
    cursor.top = top;
    return true;  // the heads stand at `position` already
  }
  int s = 0;
  for (int r = r0; r < r1; ++r) {
    for (int c = c0; c < c1; ++c) {
      const std::uint32_t cell = grid.first_cell + static_cast<std::uint32_t>(r * grid.columns + c);
      const Cell_Entry* first = grids.entries.data() + grids.cell_start[cell];
      const Cell_Entry* last = grids.entries.data() + grids.cell_start[cell + 1];
      const Cell_Entry* head =
          position == 0 ? first
                        : std::partition_point(first, last, [position](const Cell_Entry& e) {
                            return e.position < position;
                          });
      cursor.head[s] = static_cast<std::uint32_t>(head - grids.entries.data());
      cursor.end[s] = grids.cell_start[cell + 1];
      ++s;
    }
  }
  cursor.streams = s;
  cursor.left = left;
  cursor.right = right;
  cursor.bottom = bottom;
  cursor.top = top;
  cursor.column_begin = c0;
  cursor.column_end = c1;
  cursor.row_begin = r0;
  cursor.row_end = r1;
  return true;
}

// The first position of the merged streams that the query counts and that
// passes its item test, or `length`; every head is left past it.
template <class Query>
std::uint32_t scan_streams(const HLR_Face_Index::Grids& grids, const HLR_Index_Item* items,
                           std::uint32_t length, const Query& query, HLR_Index_Cursor& cursor) {
  const float bound = query.depth_bound();
  const Cell_Entry* entries = grids.entries.data();
  const int streams = cursor.streams;
  if (streams == 1) {
    // One cell (half the scans): its entries in turn, nothing to merge.
    std::uint32_t h = cursor.head[0];
    const std::uint32_t end = cursor.end[0];
    for (; h < end; ++h) {
      const Cell_Entry& e = entries[h];
      if (!(e.z_min < bound)) break;
      if (query.box_passes(e) && query.rest_passes(items[e.position])) {
        cursor.head[0] = h + 1;
        return e.position;
      }
    }
    cursor.head[0] = h;
    return length;
  }
  if (streams == 2) {
    // Two cells (a third of the scans): the two heads compared directly.
    std::uint32_t h0 = cursor.head[0], h1 = cursor.head[1];
    const std::uint32_t end0 = cursor.end[0], end1 = cursor.end[1];
    for (;;) {
      const std::uint32_t p0 =
          h0 < end0 && entries[h0].z_min < bound ? entries[h0].position : length;
      const std::uint32_t p1 =
          h1 < end1 && entries[h1].z_min < bound ? entries[h1].position : length;
      if (p0 == length && p1 == length) break;
      const Cell_Entry& e = p0 <= p1 ? entries[h0] : entries[h1];
      if (p0 <= p1) ++h0;
      if (p1 <= p0) ++h1;
      if (query.box_passes(e) && query.rest_passes(items[e.position])) {
        cursor.head[0] = h0;
        cursor.head[1] = h1;
        return e.position;
      }
    }
    cursor.head[0] = h0;
    cursor.head[1] = h1;
    return length;
  }
  for (;;) {
    // The smallest position among the heads below the bound.
    std::uint32_t best = length;
    for (int s = 0; s < streams; ++s) {
      if (cursor.head[s] == cursor.end[s]) continue;
      const Cell_Entry& e = entries[cursor.head[s]];
      if (e.z_min < bound && e.position < best) best = e.position;
    }
    if (best == length) return length;
    const Cell_Entry* found = nullptr;
    for (int s = 0; s < streams; ++s) {
      if (cursor.head[s] != cursor.end[s] && entries[cursor.head[s]].position == best) {
        found = &entries[cursor.head[s]++];
      }
    }
    if (query.box_passes(*found) && query.rest_passes(items[best])) return best;
  }
}

// The traversal shared by the three queries. A started iteration resumes
// at its cursor's node and position: on that node the node test is applied
// again with the call's own arguments (the point query skips it), and the
// node's children are visited whether or not it passed. Neither changes an
// answer: items lie inside their node's box (the root's box is the extent
// of every face) and a child's box inside its parent's, so a node that
// fails its test holds no item and no child that could pass. Every further
// node is tested, skipped with its subtree when it fails, and otherwise
// scanned from its first item. Returns the answer's face, or null.
template <class Query>
HLR_Face* traverse(const HLR_Face_Index& index, HLR_Index_Cursor& cursor, const Query& query,
                   bool test_start_node) {
  const std::span<const HLR_Index_Node> nodes = index.nodes();
  const HLR_Face_Index::Grids* grids = HLR_Index_Access::grids(index);
  const auto count = static_cast<std::uint32_t>(nodes.size());
  std::uint32_t n = cursor.node;
  std::uint32_t from = cursor.position;
  if (!cursor.started) {
    cursor.started = true;
    n = 0;
    from = 0;
  }
  bool resumed = true;
  while (n < count) {
    const HLR_Index_Node& node = nodes[n];
    const bool tested = resumed && !test_start_node;
    if (!tested && !query.node_passes(node)) {
      // Resumed on a node that now fails: its children are still visited.
      n = resumed ? n + 1 : node.subtree_end;
      resumed = false;
      from = 0;
      continue;
    }
    const std::uint32_t length = node.end_item - node.first_item;
    if (from < length) {
      const HLR_Index_Item* items = index.list(node).data();
      if (!resumed) cursor.streams = 0;
      std::uint32_t hit;
      if (node.grid != no_index_grid && open_streams(*grids, node, query, from, cursor)) {
        hit = scan_streams(*grids, items, length, query, cursor);
      } else {
        cursor.streams = 0;
        hit = scan_list(items, from, length, node.ordered, query);
      }
      if (hit < length) {
        cursor.node = n;
        cursor.position = hit + 1;
        return index.face(items[hit].face_number);
      }
    }
    resumed = false;
    from = 0;
    ++n;
  }
  cursor.node = count;
  cursor.position = 0;
  cursor.streams = 0;
  return nullptr;
}

}  // namespace face_index_detail
