// Packed lists: a copy of every crowded item list of a finished face index
// (at least packed_list_threshold items) as one contiguous array of the
// items' boxes in list order, with a summary box per run of
// packed_block_size entries. The depth limit lets leaves hold hundreds or
// thousands of items on large pictures; walking such a list item by item is
// a chain of dependent loads, while the array is read in order and a run
// whose summary misses the query is passed over in one test.
//
// query_area answers exactly what index_query_area answers, in the same
// order, and leaves every cursor as index_query_area leaves it: it visits
// the same nodes, applies the same comparisons to the same float values in
// list order, stops where the list scan stops, and passes over a run only
// when every entry of the run lies below the depth bound and none can pass
// the item test. A cursor the packing cannot place (not at the start of a
// list nor right after the packing's last answer) is served by the
// ordinary list scan.
//
// The packing is its maker's: the driver packs the index once the
// intersection pass has made it and hands the packing to the hidden-line
// pass. It holds pointers into the index, which must neither change nor be
// freed while the packing is used.
#pragma once

#include <memory>

#include "face_index.h"

constexpr int packed_list_threshold = 64;
// An index is packed only when one of its lists holds this many items.
constexpr int packing_index_threshold = 512;
constexpr int packed_block_size = 16;

class HLR_Packed_Lists {
 public:
  // Nothing packed: query_area is index_query_area.
  HLR_Packed_Lists();
  // Packs every crowded list of the index whose root is given, or nothing
  // (and allocates nothing) when no list reaches packing_index_threshold.
  // On an allocation failure std::bad_alloc leaves.
  explicit HLR_Packed_Lists(const HLR_Index_Node* root);
  ~HLR_Packed_Lists();
  HLR_Packed_Lists(HLR_Packed_Lists&&) noexcept;
  HLR_Packed_Lists& operator=(HLR_Packed_Lists&&) noexcept;

  bool empty() const { return lists_ == nullptr; }

  // index_query_area through the packed lists.
  HLR_Index_Node* query_area(HLR_Index_Node* node, float x_min, float x_max, float y_min,
                             float y_max, float z_limit);

 private:
  struct Lists;
  std::unique_ptr<Lists> lists_;
};
