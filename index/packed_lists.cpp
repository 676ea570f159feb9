#include "packed_lists.h"

#include <cstddef>
#include <limits>
#include <unordered_map>
#include <vector>

#include "index_traversal.h"

using namespace face_index_detail;

namespace {

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
  std::vector<Packed_Entry> entries;  // list order, the sentinel left out
  std::vector<Packed_Block> blocks;
};

// The number of items in the node's list, counted up to `limit`.
int length_up_to(const HLR_Index_Node* node, int limit) {
  int length = 0;
  for (const HLR_Index_Item* i = node->items; i->next_item != nullptr && length < limit;
       i = i->next_item) {
    ++length;
  }
  return length;
}

Packed_List pack_list(const HLR_Index_Node* node) {
  Packed_List list;
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

// scan_list of the area query over a packed list from position p: the
// position of the first entry that passes, or the entry count when the scan
// ends without one. A whole run is passed over only when its largest key is
// below the bound (so the list scan would not stop inside it) and its
// summary box fails the item test (so no entry of it can pass).
std::size_t scan_packed(const Packed_List& list, std::size_t p, const Area_Query& query) {
  const std::size_t n = list.entries.size();
  const float bound = query.depth_bound();
  while (p < n) {
    if (p % packed_block_size == 0) {
      const Packed_Block& b = list.blocks[p / packed_block_size];
      if (!b.scan_always && b.largest_key < bound && !query.item_passes(&b)) {
        p += packed_block_size;
        continue;
      }
    }
    const Packed_Entry& e = list.entries[p];
    if (!(e.z_min < bound)) return n;
    if (query.item_passes(&e)) return p;
    ++p;
  }
  return n;
}

}  // namespace

struct HLR_Packed_Lists::Lists {
  std::unordered_map<const HLR_Index_Node*, Packed_List> of_node;
  // The list of the last answer and the position after it: where the call
  // that resumes after that answer finds its node's cursor. Only a guess,
  // checked against the cursor itself.
  const Packed_List* last_list = nullptr;
  std::size_t after_last = 0;

  // scan_list for a node that may be packed, from `from` (the node's
  // cursor or its first item).
  HLR_Index_Item* scan_node(const HLR_Index_Node* node, HLR_Index_Item* from,
                            const Area_Query& query) {
    // At the sentinel (an empty list, or a cursor past the last item) the
    // list scan ends at once; most nodes above the deepest hold no item.
    if (from->next_item == nullptr) return nullptr;
    const Packed_List* list;
    std::size_t p;
    if (from == node->items) {
      const auto found = of_node.find(node);
      if (found == of_node.end()) return scan_list(from, query);
      list = &found->second;
      p = 0;
    } else if (last_list != nullptr && after_last < last_list->entries.size() &&
               last_list->entries[after_last].item == from) {
      // An item is in one list only: the last answer's list is the node's.
      list = last_list;
      p = after_last;
    } else {
      return scan_list(from, query);
    }
    p = scan_packed(*list, p, query);
    if (p == list->entries.size()) return nullptr;
    last_list = list;
    after_last = p + 1;
    return list->entries[p].item;
  }
};

HLR_Packed_Lists::HLR_Packed_Lists() = default;
HLR_Packed_Lists::~HLR_Packed_Lists() = default;
HLR_Packed_Lists::HLR_Packed_Lists(HLR_Packed_Lists&&) noexcept = default;
HLR_Packed_Lists& HLR_Packed_Lists::operator=(HLR_Packed_Lists&&) noexcept = default;

HLR_Packed_Lists::HLR_Packed_Lists(const HLR_Index_Node* root) {
  // Below packing_index_threshold the lists are walked as fast as the
  // packing is read (bunny00, terrain 100k: longest lists about 450), and
  // nothing is allocated here.
  bool any = false;
  for (const HLR_Index_Node* node = root; node != nullptr && !any; node = next_in_pre_order(node)) {
    any = length_up_to(node, packing_index_threshold) >= packing_index_threshold;
  }
  if (!any) return;

  auto lists = std::make_unique<Lists>();
  for (const HLR_Index_Node* node = root; node != nullptr; node = next_in_pre_order(node)) {
    if (length_up_to(node, packed_list_threshold) >= packed_list_threshold) {
      lists->of_node.emplace(node, pack_list(node));
    }
  }
  lists_ = std::move(lists);
}

HLR_Index_Node* HLR_Packed_Lists::query_area(HLR_Index_Node* node, float x_min, float x_max,
                                             float y_min, float y_max, float z_limit) {
  const Area_Query query{x_min, x_max, y_min, y_max, z_limit};
  if (lists_ == nullptr) return traverse(node, query, true);
  // The same traversal, with the packed scan in place of scan_list.
  Lists& lists = *lists_;
  return traverse(node, query, true, [&lists, &query](HLR_Index_Node* at, HLR_Index_Item* from) {
    return lists.scan_node(at, from, query);
  });
}
