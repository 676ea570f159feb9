#include "face_index.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "index_traversal.h"
#include "parallel.h"

using namespace face_index_detail;

namespace {

// Where a node sits in the complete tree of depth 6: depth d, and its path
// from the root as d base-4 digits (child 1 as 0 ... child 4 as 3), give
// the slot first_slot(d) + path. The tree has slot_count slots.
constexpr int first_slot(int depth) { return ((1 << (2 * depth)) - 1) / 3; }
constexpr int slot_count = first_slot(index_depth_limit + 1);

int depth_of_slot(int slot) {
  int depth = 0;
  while (slot >= first_slot(depth + 1)) ++depth;
  return depth;
}

int parent_slot(int slot) {
  const int depth = depth_of_slot(slot);
  return first_slot(depth - 1) + (slot - first_slot(depth)) / 4;
}

int child_slot(int slot, int child) {
  const int depth = depth_of_slot(slot);
  return first_slot(depth + 1) + (slot - first_slot(depth)) * 4 + (child - 1);
}

struct Box {
  float x_min, x_max, y_min, y_max;
};

// The box of child 1..4 of a node split with the margins of its depth, in
// float: each child reaches the margin past the centre.
Box child_box(const Box& b, int child, float margin_x, float margin_y) {
  const float center_x = (b.x_min + b.x_max) * 0.5f;
  const float center_y = (b.y_min + b.y_max) * 0.5f;
  const float high_x_min = center_x - margin_x;
  const float low_x_max = center_x + margin_x;
  const float high_y_min = center_y - margin_y;
  const float low_y_max = center_y + margin_y;
  switch (child) {
    case 1:
      return {high_x_min, b.x_max, high_y_min, b.y_max};
    case 2:
      return {high_x_min, b.x_max, b.y_min, low_y_max};
    case 3:
      return {b.x_min, low_x_max, b.y_min, low_y_max};
    default:
      return {b.x_min, low_x_max, high_y_min, b.y_max};
  }
}

// The margins of each depth: 7.5% of the root's extent at depth 0, times
// 0.575 per level below, in float.
struct Margins {
  float x[index_depth_limit + 1];
  float y[index_depth_limit + 1];
};

Margins margins_of(const HLR_Index_Box& root) {
  Margins m;
  m.x[0] = (root.x_max - root.x_min) * 0.075f;
  m.y[0] = (root.y_max - root.y_min) * 0.075f;
  for (int d = 1; d <= index_depth_limit; ++d) {
    m.x[d] = m.x[d - 1] * 0.575f;
    m.y[d] = m.y[d - 1] * 0.575f;
  }
  return m;
}

HLR_Index_Item item_of(const HLR_Face& face, std::uint32_t number) {
  const KT_Point* v = face.vertices;
  return {std::min(std::min(v[0].x, v[1].x), v[2].x),
          std::max(std::max(v[0].x, v[1].x), v[2].x),
          std::min(std::min(v[0].y, v[1].y), v[2].y),
          std::max(std::max(v[0].y, v[1].y), v[2].y),
          std::min(std::min(v[0].z, v[1].z), v[2].z),
          std::max(std::max(v[0].z, v[1].z), v[2].z),
          number};
}

// The slot of the node that takes the item, descending as an insertion
// does: at each level the high side first and strict, the low side
// inclusive, so that an item inside the overlap band goes to the high-x
// side, and there to the high-y child; no child takes an item that reaches
// across a band, and no node is deeper than 6.
int slot_of(const HLR_Index_Item& item, const HLR_Index_Box& root, const Margins& margins) {
  Box box{root.x_min, root.x_max, root.y_min, root.y_max};
  int depth = 0;
  int path = 0;
  while (depth < index_depth_limit) {
    const float margin_x = margins.x[depth];
    const float margin_y = margins.y[depth];
    const float center_x = (box.x_min + box.x_max) * 0.5f;
    const float center_y = (box.y_min + box.y_max) * 0.5f;
    int child;
    if (item.x_min > center_x - margin_x) {
      if (item.y_min > center_y - margin_y) {
        child = 1;
      } else if (item.y_max <= center_y + margin_y) {
        child = 2;
      } else {
        break;
      }
    } else if (item.x_max <= center_x + margin_x) {
      if (item.y_min > center_y - margin_y) {
        child = 4;
      } else if (item.y_max <= center_y + margin_y) {
        child = 3;
      } else {
        break;
      }
    } else {
      break;
    }
    box = child_box(box, child, margin_x, margin_y);
    path = path * 4 + (child - 1);
    ++depth;
  }
  return first_slot(depth) + path;
}

// Puts a node's items (given in face order) in list order. Without a NaN
// key that is ascending z_min, the later face first among equal keys: where
// an insertion walk puts each item. A NaN key compares false both ways and
// stops a walk where it stands, so such a list is built by the walks
// themselves. Returns whether the keys ascend without NaN.
bool order_list(std::span<HLR_Index_Item> list) {
  const bool has_nan = std::any_of(list.begin(), list.end(),
                                   [](const HLR_Index_Item& i) { return i.z_min != i.z_min; });
  if (!has_nan) {
    std::sort(list.begin(), list.end(), [](const HLR_Index_Item& a, const HLR_Index_Item& b) {
      return a.z_min < b.z_min || (!(b.z_min < a.z_min) && a.face_number > b.face_number);
    });
    return true;
  }
  // Each walk: in front of the first item when the key is not above its
  // key, else in front of the first item after it whose key is not
  // smaller, else last.
  std::vector<HLR_Index_Item> walked;
  walked.reserve(list.size());
  for (const HLR_Index_Item& item : list) {
    std::size_t k = 0;
    if (!walked.empty() && !(item.z_min <= walked[0].z_min)) {
      k = 1;
      while (k < walked.size() && walked[k].z_min < item.z_min) ++k;
    }
    walked.insert(walked.begin() + static_cast<std::ptrdiff_t>(k), item);
  }
  std::copy(walked.begin(), walked.end(), list.begin());
  return false;
}

bool has_nan_side(const HLR_Index_Item& i) {
  return i.x_min != i.x_min || i.x_max != i.x_max || i.y_min != i.y_min || i.y_max != i.y_max;
}

// A crowded list's grid: about cell_goal copies per cell, cells near
// square over the items' x-y box, and no more copies than copy_limit times
// the items (large items reach into many cells: the grid is made coarser
// until they fit). `copies` is the number of entries the grid holds.
constexpr float cell_goal = 16.0f;
constexpr std::size_t copy_limit = 3;

Grid shape_grid(std::span<const HLR_Index_Item> list, std::size_t& copies) {
  float x_min = INFINITY, x_max = -INFINITY, y_min = INFINITY, y_max = -INFINITY;
  for (const HLR_Index_Item& i : list) {
    if (has_nan_side(i)) continue;
    x_min = std::min(x_min, i.x_min);
    x_max = std::max(x_max, i.x_max);
    y_min = std::min(y_min, i.y_min);
    y_max = std::max(y_max, i.y_max);
  }
  // Infinite or NaN bounds leave one cell: every item goes there.
  const double width = std::max(double(x_max) - double(x_min), 1e-30);
  const double height = std::max(double(y_max) - double(y_min), 1e-30);
  const double cells = std::max(1.0, double(list.size()) / double(cell_goal));
  const double side = std::sqrt(width * height / cells);
  const auto count_along = [side](double extent) {
    const double count = std::round(extent / side);
    return std::isfinite(count) ? static_cast<int>(std::clamp(count, 1.0, 64.0)) : 1;
  };
  int columns = count_along(width);
  int rows = count_along(height);
  for (;;) {
    Grid grid{x_min, y_min, float(columns / width), float(rows / height), columns, rows, 0};
    copies = 0;
    for (const HLR_Index_Item& i : list) {
      if (has_nan_side(i)) continue;
      copies += std::size_t(grid.column_of(i.x_max) - grid.column_of(i.x_min) + 1) *
                std::size_t(grid.row_of(i.y_max) - grid.row_of(i.y_min) + 1);
    }
    if (copies <= copy_limit * list.size() || (columns == 1 && rows == 1)) return grid;
    columns = std::max(1, columns / 2);
    rows = std::max(1, rows / 2);
  }
}

// Copies every item into the cells it reaches into, in list order.
void fill_grid(std::span<const HLR_Index_Item> list, const Grid& grid, std::uint32_t* cell_start,
               Cell_Entry* entries) {
  const int cells = grid.columns * grid.rows;
  std::vector<std::uint32_t> next(static_cast<std::size_t>(cells), 0);
  for (const HLR_Index_Item& i : list) {
    if (has_nan_side(i)) continue;
    for (int r = grid.row_of(i.y_min); r <= grid.row_of(i.y_max); ++r) {
      for (int c = grid.column_of(i.x_min); c <= grid.column_of(i.x_max); ++c) {
        ++next[static_cast<std::size_t>(r * grid.columns + c)];
      }
    }
  }
  // cell_start holds the grid's first entry (its offset into entries) and
  // gets every later start.
  std::uint32_t start = cell_start[0];
  for (int k = 0; k < cells; ++k) {
    const std::uint32_t count = next[static_cast<std::size_t>(k)];
    cell_start[k] = start;
    next[static_cast<std::size_t>(k)] = start;
    start += count;
  }
  cell_start[cells] = start;
  for (std::uint32_t p = 0; p < list.size(); ++p) {
    const HLR_Index_Item& i = list[p];
    if (has_nan_side(i)) continue;
    for (int r = grid.row_of(i.y_min); r <= grid.row_of(i.y_max); ++r) {
      for (int c = grid.column_of(i.x_min); c <= grid.column_of(i.x_max); ++c) {
        entries[next[static_cast<std::size_t>(r * grid.columns + c)]++] = {
            i.x_min, i.x_max, i.y_min, i.y_max, i.z_min, p};
      }
    }
  }
}

// Faces per chunk of the parallel steps, and the count below which the
// build runs on the calling thread alone. A step costs about 25 ns a face
// on one thread, so below the threshold a step is a few milliseconds, and
// sharing it costs more than it saves: every parallel loop waits at its
// end for the last thread to be scheduled, which on a busy machine is a
// time slice (measured on 2 cores under a load of 3: bunny00's 75,000
// faces built in 2 ms alone and in 25 to 130 ms a step on two threads).
constexpr std::size_t face_chunk = 16384;
constexpr std::size_t parallel_faces = std::size_t(1) << 18;

}  // namespace

HLR_Face_Index::HLR_Face_Index(const HLR_Index_Box& root, std::vector<HLR_Face*> faces)
    : faces_(std::move(faces)), grids_(nullptr) {
  const std::size_t n = faces_.size();
  const Margins margins = margins_of(root);

  // The faces in ranges, a few per thread, in order: the slot of the node
  // that takes every face, and how many each range puts in each slot.
  const int team = parallel_team(n, face_chunk, parallel_faces);
  const std::size_t range = std::max(face_chunk, (n + 8 * team - 1) / (8 * team));
  const std::size_t ranges = (n + range - 1) / range;
  std::vector<std::uint16_t> slot(n);
  std::vector<std::uint32_t> range_items(ranges * slot_count, 0);
  parallel_chunks(n, range, team, [&](std::size_t begin, std::size_t end, int) {
    std::uint32_t* counts = range_items.data() + begin / range * slot_count;
    for (std::size_t k = begin; k < end; ++k) {
      const HLR_Index_Item item = item_of(*faces_[k], static_cast<std::uint32_t>(k));
      slot[k] = static_cast<std::uint16_t>(slot_of(item, root, margins));
      ++counts[slot[k]];
    }
  });

  // A node exists when it is the root or its parent was split, and a node
  // is split as soon as an item descends below it.
  std::vector<std::uint32_t> slot_items(slot_count, 0);
  for (std::size_t r = 0; r < ranges; ++r) {
    for (std::size_t s = 0; s < slot_count; ++s) slot_items[s] += range_items[r * slot_count + s];
  }
  std::vector<bool> split(slot_count, false);
  for (int s = slot_count - 1; s > 0; --s) {
    if (slot_items[static_cast<std::size_t>(s)] != 0 || split[static_cast<std::size_t>(s)]) {
      split[static_cast<std::size_t>(parent_slot(s))] = true;
    }
  }

  // The nodes in pre-order, children 1 to 4, each with its list's range.
  std::vector<std::uint32_t> node_of_slot(slot_count, no_index_node);
  std::uint32_t items_placed = 0;
  const auto add = [&](auto&& self, int s, const Box& box, int depth,
                       std::uint32_t parent) -> void {
    const auto index = static_cast<std::uint32_t>(nodes_.size());
    HLR_Index_Node node{};
    node.x_min = box.x_min;
    node.x_max = box.x_max;
    node.y_min = box.y_min;
    node.y_max = box.y_max;
    node.first_item = items_placed;
    items_placed += slot_items[static_cast<std::size_t>(s)];
    node.end_item = items_placed;
    node.parent = parent;
    node.grid = no_index_grid;
    node.depth = static_cast<std::uint8_t>(depth);
    node.ordered = true;
    nodes_.push_back(node);
    node_of_slot[static_cast<std::size_t>(s)] = index;
    if (split[static_cast<std::size_t>(s)]) {
      for (int child = 1; child <= 4; ++child) {
        self(self, child_slot(s, child), child_box(box, child, margins.x[depth], margins.y[depth]),
             depth + 1, index);
      }
    }
    nodes_[index].subtree_end = static_cast<std::uint32_t>(nodes_.size());
  };
  add(add, 0, Box{root.x_min, root.x_max, root.y_min, root.y_max}, 0, no_index_node);

  // Every list in face order (each range writes its faces after those of
  // the ranges before it), then in list order.
  items_.resize(n);
  for (std::size_t s = 0; s < slot_count; ++s) {
    if (node_of_slot[s] == no_index_node) continue;
    std::uint32_t next = nodes_[node_of_slot[s]].first_item;
    for (std::size_t r = 0; r < ranges; ++r) {
      next += std::exchange(range_items[r * slot_count + s], next);
    }
  }
  parallel_chunks(n, range, team, [&](std::size_t begin, std::size_t end, int) {
    std::uint32_t* next = range_items.data() + begin / range * slot_count;
    for (std::size_t k = begin; k < end; ++k) {
      items_[next[slot[k]]++] = item_of(*faces_[k], static_cast<std::uint32_t>(k));
    }
  });
  slot = {};
  range_items = {};
  const std::size_t node_count = nodes_.size();
  parallel_chunks(node_count, 1, team, [&](std::size_t begin, std::size_t, int) {
    HLR_Index_Node& node = nodes_[begin];
    node.ordered = order_list({items_.data() + node.first_item, items_.data() + node.end_item});
  });

  // The grids of the crowded lists: shapes first, then the cells, each
  // grid into its own range.
  auto grids = std::make_unique<Grids>();
  std::vector<std::size_t> copies(node_count, 0);
  std::vector<Grid> shapes(node_count);
  std::vector<std::uint32_t> crowded;
  for (std::uint32_t k = 0; k < node_count; ++k) {
    const HLR_Index_Node& node = nodes_[k];
    if (node.ordered && node.end_item - node.first_item >= crowded_list_items) crowded.push_back(k);
  }
  parallel_chunks(crowded.size(), 1, team, [&](std::size_t begin, std::size_t, int) {
    const std::uint32_t k = crowded[begin];
    shapes[k] = shape_grid(list(nodes_[k]), copies[k]);
  });
  std::size_t cells = 0, entries = 0;
  for (std::uint32_t k : crowded) {
    shapes[k].first_cell = static_cast<std::uint32_t>(cells);
    nodes_[k].grid = static_cast<std::uint32_t>(grids->grids.size());
    grids->grids.push_back(shapes[k]);
    cells += static_cast<std::size_t>(shapes[k].columns * shapes[k].rows) + 1;
    entries += copies[k];
  }
  grids->cell_start.resize(cells);
  grids->entries.resize(entries);
  std::size_t entry = 0;
  for (std::uint32_t k : crowded) {
    grids->cell_start[shapes[k].first_cell] = static_cast<std::uint32_t>(entry);
    entry += copies[k];
  }
  parallel_chunks(crowded.size(), 1, team, [&](std::size_t begin, std::size_t, int) {
    const std::uint32_t k = crowded[begin];
    const Grid& grid = grids->grids[nodes_[k].grid];
    fill_grid(list(nodes_[k]), grid, grids->cell_start.data() + grid.first_cell,
              grids->entries.data());
  });
  grids_ = grids.release();
}

HLR_Face_Index::~HLR_Face_Index() { delete grids_; }

void HLR_Face_Index::release_cells() noexcept {
  for (HLR_Index_Node& node : nodes_) node.grid = no_index_grid;
  delete grids_;
  grids_ = nullptr;
}

std::size_t HLR_Face_Index::grid_count() const {
  return grids_ != nullptr ? grids_->grids.size() : 0;
}

std::size_t HLR_Face_Index::cell_entry_count() const {
  return grids_ != nullptr ? grids_->entries.size() : 0;
}

HLR_Face* HLR_Box_Query::next(float x_min, float x_max, float y_min, float y_max, float z_min,
                              float z_max) {
  return traverse(*index_, cursor_, Box_Query{x_min, x_max, y_min, y_max, z_min, z_max, before_},
                  true);
}

HLR_Face* HLR_Area_Query::next(float x_min, float x_max, float y_min, float y_max, float z_limit) {
  return traverse(*index_, cursor_, Area_Query{x_min, x_max, y_min, y_max, z_limit}, true);
}

HLR_Face* HLR_Point_Query::next(float x, float y, float z_limit) {
  // The point query scans the node it resumes at without its node test.
  return traverse(*index_, cursor_, Point_Query{x, y, z_limit}, false);
}
