// Inserts many items into one face index, each exactly as index_insert
// would, faster where lists grow long: once an insertion walk passes
// walk_limit items, the builder keeps that list's items ordered by key
// beside it, so finding an item's place there is a search rather than a
// walk along the list. Lists holding a NaN key are walked as index_insert
// walks them. An index without a walk that long costs no allocation beyond
// index_insert's. The index must not change otherwise while a builder
// inserts into it. On an allocation failure std::bad_alloc leaves with the
// item not linked, as from index_insert.
#pragma once

#include <memory>

#include "face_index.h"

class HLR_Index_Builder {
 public:
  explicit HLR_Index_Builder(HLR_Index_Node* root);
  ~HLR_Index_Builder();
  HLR_Index_Builder(const HLR_Index_Builder&) = delete;
  HLR_Index_Builder& operator=(const HLR_Index_Builder&) = delete;

  void insert(HLR_Index_Item* item);

  static constexpr int walk_limit = 256;

 private:
  // The ordered copies, made with the first long list.
  struct Orders;
  HLR_Index_Node* root_;
  std::unique_ptr<Orders> orders_;
};
