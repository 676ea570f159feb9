// HLR_Index_Builder builds the very index that index_insert builds: the
// same nodes, and every list holding the same items in the same order.
#include "index_builder.h"

#include <memory>
#include <vector>

#include "allocation_failure.h"
#include "index_fixture.h"

namespace {

TEST(Index_Builder, BuildsTheListsIndexInsertBuilds) {
  // Lists far beyond walk_limit, many equal keys, keys beyond the
  // sentinel's, and NaN keys, some arriving after a list is kept in order.
  Test_Index by_insert(0.0f, 100.0f, 0.0f, 100.0f);
  Test_Index by_builder(0.0f, 100.0f, 0.0f, 100.0f, true);
  fill_crowded(by_insert, 99, 8000, true);
  fill_crowded(by_builder, 99, 8000, true);
  const auto lists = by_insert.lists();
  EXPECT_EQ(by_builder.lists(), lists);
  std::size_t longest = 0;
  for (const auto& list : lists) longest = std::max(longest, list.size());
  EXPECT_GT(longest, std::size_t(4 * HLR_Index_Builder::walk_limit));
}

TEST(Index_Builder, AFailedOrderCopyLeavesTheItemUnlinked) {
  // walk_limit items in one deepest node with rising keys: the next item,
  // deeper than all, makes the walk pass walk_limit items, and the builder
  // starts keeping the order. The first allocation of that step fails.
  HLR_Face last = face_with_box(10, 10.5f, 10, 10.5f, 1000, 1000);
  Test_Index index(0.0f, 100.0f, 0.0f, 100.0f, true);
  for (int k = 0; k < HLR_Index_Builder::walk_limit; ++k) {
    index.insert_box(10, 10.5f, 10, 10.5f, float(k), float(k));
  }
  const auto before = index.lists();
  std::unique_ptr<HLR_Index_Item> item(make_index_item(new HLR_Index_Item{}, &last));
  {
    allocation_failure::Scope fail(1);
    EXPECT_THROW(index.builder()->insert(item.get()), std::bad_alloc);
  }
  EXPECT_EQ(index.lists(), before);
  // Nothing was kept half-made: the insertion succeeds now, at the end.
  index.builder()->insert(item.release());
  std::vector<std::size_t> longest;
  for (const auto& list : index.lists()) {
    if (list.size() > longest.size()) longest = list;
  }
  ASSERT_EQ(longest.size(), std::size_t(HLR_Index_Builder::walk_limit) + 1);
  EXPECT_EQ(longest.back(), std::size_t(-1));  // `last`
}

}  // namespace
