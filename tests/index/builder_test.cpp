// HLR_Index_Builder builds the very index that index_insert builds: the
// same nodes, and every list holding the same items in the same order.
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "allocation_failure.h"
#include "index_fixture.h"

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

// Every node's list, in pre-order, as the faces it holds.
std::vector<std::vector<const HLR_Face*>> lists_of(const HLR_Index_Node* root) {
  std::vector<std::vector<const HLR_Face*>> lists;
  for (const HLR_Index_Node* n = root; n != nullptr;
       n = n->first_child != nullptr ? n->first_child : n->successor) {
    std::vector<const HLR_Face*>& list = lists.emplace_back();
    for (const HLR_Index_Item* i = n->items; i->next_item != nullptr; i = i->next_item) {
      list.push_back(i->face);
    }
  }
  return lists;
}

TEST(Index_Builder, BuildsTheListsIndexInsertBuilds) {
  // Faces crowded in two spots (lists far beyond walk_limit), many equal
  // keys, a key beyond the sentinel's, and in one spot a NaN key arriving
  // after the list is already kept in order.
  std::mt19937 random(99);
  std::normal_distribution<float> spot(0.0f, 0.7f);
  std::uniform_real_distribution<float> depth(0.0f, 20.0f);
  std::vector<HLR_Face> faces;
  for (int k = 0; k < 6000; ++k) {
    const float cx = k % 2 == 0 ? 25.0f : 75.0f;
    const float x = std::clamp(cx + spot(random), 1.0f, 98.0f);
    const float y = std::clamp(cx + spot(random), 1.0f, 98.0f);
    float z = k % 3 == 0 ? std::round(depth(random)) : depth(random);
    if (k == 3001) z = nan;
    if (k == 1500) z = 3e28f;
    faces.push_back(face_with_box(x, x + 0.5f, y, y + 0.5f, z, z + 1.0f));
  }

  Test_Index by_insert(0.0f, 100.0f, 0.0f, 100.0f);
  for (const HLR_Face& f : faces) by_insert.insert(f);

  // The same faces (their own copies, in the same order) through a builder.
  Test_Index by_builder(0.0f, 100.0f, 0.0f, 100.0f);
  std::vector<std::unique_ptr<HLR_Face>> copies;
  {
    HLR_Index_Builder builder(by_builder.root());
    for (const HLR_Face& f : faces) {
      copies.push_back(std::make_unique<HLR_Face>(f));
      auto* item = make_index_item(new HLR_Index_Item{}, copies.back().get());
      builder.insert(item);
    }
  }

  const auto expected = lists_of(by_insert.root());
  const auto built = lists_of(by_builder.root());
  ASSERT_EQ(expected.size(), built.size());
  std::size_t longest = 0;
  for (std::size_t n = 0; n < expected.size(); ++n) {
    ASSERT_EQ(expected[n].size(), built[n].size()) << "node " << n;
    longest = std::max(longest, expected[n].size());
    for (std::size_t k = 0; k < expected[n].size(); ++k) {
      // Faces compare by their position in the insertion order.
      const auto position = [](const std::vector<HLR_Face*>& order, const HLR_Face* f) {
        return std::find(order.begin(), order.end(), f) - order.begin();
      };
      const std::ptrdiff_t e = position(by_insert.faces_inserted(), expected[n][k]);
      std::ptrdiff_t b = -1;
      for (std::size_t c = 0; c < copies.size(); ++c) {
        if (copies[c].get() == built[n][k]) b = static_cast<std::ptrdiff_t>(c);
      }
      ASSERT_EQ(e, b) << "node " << n << " place " << k;
    }
  }
  EXPECT_GT(longest, static_cast<std::size_t>(4 * HLR_Index_Builder::walk_limit));
}

TEST(Index_Builder, AFailedOrderCopyLeavesTheItemUnlinked) {
  // walk_limit items in one deepest node with rising keys: the next item,
  // deeper than all, makes the walk pass walk_limit items, and the builder
  // starts keeping the order. Every allocation of that step fails in turn.
  Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
  std::vector<std::unique_ptr<HLR_Face>> faces;
  HLR_Index_Builder builder(index.root());
  const auto item_at = [&faces](float z) {
    faces.push_back(std::make_unique<HLR_Face>(face_with_box(10, 10.5f, 10, 10.5f, z, z)));
    return make_index_item(new HLR_Index_Item{}, faces.back().get());
  };
  for (int k = 0; k < HLR_Index_Builder::walk_limit; ++k)
    builder.insert(item_at(static_cast<float>(k)));
  const auto before = lists_of(index.root());

  std::unique_ptr<HLR_Index_Item> last(item_at(1000.0f));
  bool threw = false;
  {
    allocation_failure::Scope fail(1);
    try {
      builder.insert(last.get());
    } catch (const std::bad_alloc&) {
      threw = true;
    }
  }
  ASSERT_TRUE(threw);
  EXPECT_EQ(lists_of(index.root()), before);
  // Nothing was kept half-made: the insertion succeeds now, at the end.
  builder.insert(last.release());
  const auto after = lists_of(index.root());
  std::size_t longest = 0;
  for (const auto& list : after) longest = std::max(longest, list.size());
  ASSERT_EQ(longest, static_cast<std::size_t>(HLR_Index_Builder::walk_limit) + 1);
  for (const auto& list : after) {
    if (list.size() == longest) {
      EXPECT_EQ(list.back(), faces.back().get());
    }
  }
}

}  // namespace
