// HLR_Index_Builder builds the very index that index_insert builds: the
// same nodes, and every list holding the same items in the same order.
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

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
  std::normal_distribution<float> spot(0.0f, 2.0f);
  std::uniform_real_distribution<float> depth(0.0f, 20.0f);
  std::vector<HLR_Face> faces;
  for (int k = 0; k < 4000; ++k) {
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

}  // namespace
