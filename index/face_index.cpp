#include "face_index.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

// Storage: every node, item and sentinel is its own zero-filled heap block
// (`new T{}` value-initialises these aggregates to zero bytes), released
// with delete. A node is owned by whoever allocated it until it is linked:
// make_index_node never frees the node it is given, so a caller holds the
// node in a unique_ptr (or equivalent) while it is being initialised.

// One entry of a packed list: the item's bounds as the area query reads
// them, and the item.
struct Packed_Entry {
  float x_min, x_max, y_min, y_max, z_min;
  HLR_Index_Item* item;
};

// What a run of packed_block_size entries can answer: the widest box over
// its entries' x-y boxes (NaN bounds left out: an item with a NaN bound
// fails every item test anyway) and its largest key; `scan_always` when a
// key is NaN, since a NaN key stops the list scan where it stands.
struct Packed_Block {
  float x_min = std::numeric_limits<float>::infinity();
  float x_max = -std::numeric_limits<float>::infinity();
  float y_min = std::numeric_limits<float>::infinity();
  float y_max = -std::numeric_limits<float>::infinity();
  float largest_key = -std::numeric_limits<float>::infinity();
  bool scan_always = false;
};

struct Packed_List {
  const HLR_Index_Node* node;
  std::vector<Packed_Entry> entries;  // list order, the sentinel left out
  std::vector<Packed_Block> blocks;
  // The position after the last answer given from this list: where a
  // resumed call finds the cursor its caller moved on.
  std::size_t resume = 0;
};

struct HLR_Index_Packing {
  std::vector<Packed_List> lists;
  // Open addressing by node address: an index into `lists`, or -1.
  std::vector<std::int32_t> slots;
  std::size_t mask = 0;

  static std::size_t hash(const HLR_Index_Node* node) {
    return static_cast<std::size_t>(
        (reinterpret_cast<std::uintptr_t>(node) >> 4) * 0x9E3779B97F4A7C15ull >> 32);
  }
  Packed_List* find(const HLR_Index_Node* node) {
    if (slots.empty()) return nullptr;
    for (std::size_t s = hash(node) & mask;; s = (s + 1) & mask) {
      const std::int32_t k = slots[s];
      if (k < 0) return nullptr;
      if (lists[static_cast<std::size_t>(k)].node == node)
        return &lists[static_cast<std::size_t>(k)];
    }
  }
};

namespace {

// Every node's sentinel is allocated with room for a packing: only the
// root's is ever filled. The sentinel itself is the block's first member,
// so the list sees an ordinary item, and the item with a null next_item
// (the sentinel, and no other) is released as the block it was made as.
struct Sentinel_Block {
  HLR_Index_Item sentinel;
  HLR_Index_Packing* packing;

  ~Sentinel_Block() { delete packing; }
};
static_assert(std::is_standard_layout_v<Sentinel_Block>);

Sentinel_Block* sentinel_block(HLR_Index_Item* sentinel) {
  return reinterpret_cast<Sentinel_Block*>(sentinel);
}

// Frees an item list, the sentinel included, reading each next_item before
// the item is released.
void free_item_list(HLR_Index_Item* item) noexcept {
  while (item != nullptr) {
    HLR_Index_Item* following = item->next_item;
    if (following == nullptr) {
      delete sentinel_block(item);
    } else {
      delete item;
    }
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
// insert_sorted's walk, telling where it linked the item: the item before
// it (null at the front) and how many items the walk passed.
struct Sorted_Place {
  HLR_Index_Item* previous;
  int passed;
};

Sorted_Place insert_sorted_at(HLR_Index_Node* node, HLR_Index_Item* item) {
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

void insert_sorted(HLR_Index_Node* node, HLR_Index_Item* item) { insert_sorted_at(node, item); }

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
  auto* block = new Sentinel_Block{};
  block->sentinel.z_min = sentinel_z_min;
  node->items = &block->sentinel;
  node->cursor = &block->sentinel;
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

namespace {

// The node that takes the item (steps 1 to 5 of the insertion), splitting
// nodes on the way as needed.
HLR_Index_Node* node_for(const HLR_Index_Item* item, HLR_Index_Node* root) {
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

}  // namespace

void index_insert(HLR_Index_Item* item, HLR_Index_Node* root) {
  insert_sorted(node_for(item, root), item);
}

HLR_Index_Builder::HLR_Index_Builder(HLR_Index_Node* root) : root_(root) {}

HLR_Index_Builder::~HLR_Index_Builder() = default;

void HLR_Index_Builder::insert(HLR_Index_Item* item) {
  HLR_Index_Node* node = node_for(item, root_);
  const float key = item->z_min;
  auto found = orders_.find(node);
  if (found == orders_.end()) {
    // Lists are walked until a walk passes walk_limit items; short lists
    // cost no allocation beyond index_insert's.
    const Sorted_Place place = insert_sorted_at(node, item);
    if (place.passed < walk_limit) return;
    // The list has grown long: keep its items in order beside it from now
    // on (a NaN key in it makes it unordered, walked for good). Should that
    // fail, the item is unlinked again before the exception leaves.
    try {
      Node_Order order;
      for (HLR_Index_Item* i = node->items; i->next_item != nullptr; i = i->next_item) {
        if (i->z_min != i->z_min) {
          order.unordered = true;
          order.by_key.clear();
          break;
        }
        order.by_key.emplace_hint(order.by_key.end(), i->z_min, i);
      }
      orders_.emplace(node, std::move(order));
    } catch (...) {
      if (place.previous == nullptr) {
        node->items = item->next_item;
      } else {
        place.previous->next_item = item->next_item;
      }
      item->next_item = nullptr;
      throw;
    }
    return;
  }
  Node_Order& order = found->second;
  if (order.unordered || key != key) {
    // A NaN key stops the list walk where it stands: only the walk itself
    // places it, and such a list is walked from then on.
    order.unordered = true;
    order.by_key.clear();
    insert_sorted(node, item);
    return;
  }
  // The walk puts the item in front of the first item whose key is not
  // smaller, that is after the last item whose key is smaller (the list is
  // sorted without NaN): lower_bound finds that place among the keys, and
  // a new key goes in front of equal ones there, as in the list. The order
  // is updated first; linking cannot fail.
  const auto place = order.by_key.lower_bound(key);
  HLR_Index_Item* previous = place == order.by_key.begin() ? nullptr : std::prev(place)->second;
  order.by_key.emplace_hint(place, key, item);
  if (previous == nullptr) {
    item->next_item = node->items;
    node->items = item;
  } else {
    item->next_item = previous->next_item;
    previous->next_item = item;
  }
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

namespace {

HLR_Index_Item* last_item(const HLR_Index_Node* node) {
  HLR_Index_Item* item = node->items;
  while (item->next_item != nullptr) item = item->next_item;
  return item;
}

Packed_List pack_list(const HLR_Index_Node* node) {
  Packed_List list;
  list.node = node;
  for (HLR_Index_Item* i = node->items; i->next_item != nullptr; i = i->next_item) {
    list.entries.push_back({i->x_min, i->x_max, i->y_min, i->y_max, i->z_min, i});
  }
  const std::size_t n = list.entries.size();
  list.blocks.resize((n + packed_block_size - 1) / packed_block_size);
  for (std::size_t p = 0; p < n; ++p) {
    const Packed_Entry& e = list.entries[p];
    Packed_Block& b = list.blocks[p / packed_block_size];
    // Comparisons that a NaN fails leave the bound as it was.
    if (e.x_min < b.x_min) b.x_min = e.x_min;
    if (e.x_max > b.x_max) b.x_max = e.x_max;
    if (e.y_min < b.y_min) b.y_min = e.y_min;
    if (e.y_max > b.y_max) b.y_max = e.y_max;
    if (e.z_min != e.z_min) b.scan_always = true;
    if (e.z_min > b.largest_key) b.largest_key = e.z_min;
  }
  return list;
}

// The list scan of index_query_area over a packed list from position p:
// the position of the first entry that passes, or the entry count when the
// scan ends without one. A whole run is passed over only when its largest
// key is below the bound (so the list scan would not stop inside it) and its
// summary box fails the item test (so no entry of it can pass).
std::size_t scan_packed(const Packed_List& list, std::size_t p, const Area_Query& q) {
  const std::size_t n = list.entries.size();
  const float bound = q.z_limit;
  while (p < n) {
    if (p % packed_block_size == 0) {
      const Packed_Block& b = list.blocks[p / packed_block_size];
      if (!b.scan_always && b.largest_key < bound &&
          !(b.x_max >= q.x_min && b.y_max >= q.y_min && q.x_max >= b.x_min && q.y_max >= b.y_min)) {
        p += packed_block_size;
        continue;
      }
    }
    const Packed_Entry& e = list.entries[p];
    if (!(e.z_min < bound)) return n;
    if (e.x_max >= q.x_min && e.y_max >= q.y_min && q.x_max >= e.x_min && q.y_max >= e.y_min) {
      return p;
    }
    ++p;
  }
  return n;
}

// scan_list for a node that may be packed, from `from` (the node's cursor
// or its first item).
HLR_Index_Item* scan_node(HLR_Index_Packing& packing, const HLR_Index_Node* node,
                          HLR_Index_Item* from, const Area_Query& q) {
  // At the sentinel (an empty list, or a cursor past the last item) the
  // list scan ends at once; most nodes above the deepest hold no item.
  if (from->next_item == nullptr) return nullptr;
  Packed_List* list = packing.find(node);
  if (list == nullptr) return scan_list(from, q);
  const std::size_t n = list->entries.size();
  std::size_t p;
  if (from == node->items) {
    p = 0;
  } else if (list->resume < n && list->entries[list->resume].item == from) {
    p = list->resume;
  } else if (list->resume == n && from->next_item == nullptr) {
    p = n;  // the cursor stands at the sentinel
  } else {
    return scan_list(from, q);
  }
  p = scan_packed(*list, p, q);
  if (p == n) return nullptr;
  list->resume = p + 1;
  return list->entries[p].item;
}

}  // namespace

void pack_face_index(HLR_Index_Node* root) {
  Sentinel_Block* block = sentinel_block(last_item(root));
  delete block->packing;
  block->packing = nullptr;

  const auto length_up_to = [](const HLR_Index_Node* node, int limit) {
    int length = 0;
    for (const HLR_Index_Item* i = node->items; i->next_item != nullptr && length < limit;
         i = i->next_item) {
      ++length;
    }
    return length;
  };
  const auto crowded = [&length_up_to](const HLR_Index_Node* node) {
    return length_up_to(node, packed_list_threshold) >= packed_list_threshold;
  };
  // Below packing_index_threshold the lists are walked as fast as the
  // packing is read (bunny00, terrain 100k: longest lists about 450), and
  // nothing is allocated here.
  bool any = false;
  for (const HLR_Index_Node* node = root; node != nullptr && !any; node = next_in_pre_order(node)) {
    any = length_up_to(node, packing_index_threshold) >= packing_index_threshold;
  }
  if (!any) return;

  auto packing = std::make_unique<HLR_Index_Packing>();
  for (const HLR_Index_Node* node = root; node != nullptr; node = next_in_pre_order(node)) {
    if (crowded(node)) packing->lists.push_back(pack_list(node));
  }
  std::size_t capacity = 1;
  while (capacity < 2 * packing->lists.size()) capacity *= 2;
  packing->slots.assign(capacity, -1);
  packing->mask = capacity - 1;
  for (std::size_t k = 0; k < packing->lists.size(); ++k) {
    std::size_t s = HLR_Index_Packing::hash(packing->lists[k].node) & packing->mask;
    while (packing->slots[s] >= 0) s = (s + 1) & packing->mask;
    packing->slots[s] = static_cast<std::int32_t>(k);
  }
  block->packing = packing.release();
}

HLR_Index_Packing* index_packing(const HLR_Index_Node* root) {
  return sentinel_block(last_item(root))->packing;
}

HLR_Index_Node* index_query_area_packed(HLR_Index_Packing* packing, HLR_Index_Node* node,
                                        float x_min, float x_max, float y_min, float y_max,
                                        float z_limit) {
  const Area_Query query{x_min, x_max, y_min, y_max, z_limit};
  if (packing == nullptr) return traverse(node, query, true);
  // The same traversal, with the packed scan in place of scan_list.
  return traverse(node, query, true, [packing, &query](HLR_Index_Node* at, HLR_Index_Item* from) {
    return scan_node(*packing, at, from, query);
  });
}
