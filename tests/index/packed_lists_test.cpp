// The packed lists answer the area query exactly as the item lists do: the
// same nodes and faces in the same order, and the same cursors left behind,
// also when the arguments change between the calls of one iteration the way
// the hidden-line pass changes them.
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "allocation_failure.h"
#include "index_fixture.h"

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

struct Area {
  float x_min, x_max, y_min, y_max, z_limit;
};

struct Iteration_Record {
  std::vector<Answer> answers;
  std::vector<const HLR_Index_Item*> cursors;  // every node's, in pre-order
};

// One iteration from the root. After each answer the box may shrink and
// the depth limit rise, as random draws say; the draws depend only on the
// answers, so two runs that answer alike draw alike.
template <class Query_Call>
Iteration_Record iterate(HLR_Index_Node* root, Area area, std::uint32_t seed, Query_Call call) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Iteration_Record record;
  root->cursor = root->items;
  for (HLR_Index_Node* node = call(root, area); node != nullptr; node = call(node, area)) {
    HLR_Index_Item* item = node->cursor;
    record.answers.push_back({node, item->face});
    if (record.answers.size() > 100000) break;
    if (unit(random) < 0.3f) {
      // The hidden-line pass narrows the box from one end and raises z_max.
      const float width = area.x_max - area.x_min;
      if (unit(random) < 0.5f) {
        area.x_min += width * 0.3f * unit(random);
      } else {
        area.x_max -= width * 0.3f * unit(random);
      }
      area.z_limit += 0.5f * unit(random);
    }
    node->cursor = item->next_item;
  }
  for (const HLR_Index_Node* n = root; n != nullptr;
       n = n->first_child != nullptr ? n->first_child : n->successor) {
    record.cursors.push_back(n->cursor);
  }
  return record;
}

bool same(const Iteration_Record& a, const Iteration_Record& b) {
  if (a.answers.size() != b.answers.size() || a.cursors != b.cursors) return false;
  for (std::size_t k = 0; k < a.answers.size(); ++k) {
    if (a.answers[k].node != b.answers[k].node || a.answers[k].face != b.answers[k].face)
      return false;
  }
  return true;
}

// Thousands of small faces crowded around one point (lists of hundreds in
// the deepest nodes), some large ones, some whose depth or x is NaN, and a
// sprinkling over the whole root box.
void fill_crowded_index(Test_Index& index, std::mt19937& random) {
  // Dense enough that the deepest nodes near the centre hold more than
  // packing_index_threshold items.
  std::normal_distribution<float> around(50.0f, 1.5f);
  std::uniform_real_distribution<float> anywhere(0.0f, 100.0f);
  std::uniform_real_distribution<float> size(0.0f, 1.5f);
  std::uniform_real_distribution<float> depth(0.0f, 50.0f);
  for (int k = 0; k < 6000; ++k) {
    const bool crowded = k % 10 != 0;
    float x = std::clamp(crowded ? around(random) : anywhere(random), 0.0f, 98.0f);
    float y = std::clamp(crowded ? around(random) : anywhere(random), 0.0f, 98.0f);
    // Some boxes on a half-unit grid, so that queries on the same grid
    // touch them exactly.
    if (k % 5 == 0) {
      x = std::round(x * 2.0f) * 0.5f;
      y = std::round(y * 2.0f) * 0.5f;
    }
    float z0 = depth(random);
    // Equal keys are common in real pictures (a flat part facing the viewer).
    if (k % 7 == 0) z0 = 10.0f;
    const float z1 = z0 + size(random);
    const float grow = k % 97 == 0 ? 20.0f : 1.0f;
    float x0 = x;
    if (k % 211 == 0) x0 = nan;
    if (k % 173 == 0) z0 = nan;
    const float step = k % 5 == 0 ? 0.5f : size(random);
    index.insert(face_with_box(x0, std::min(x + step * grow, 100.0f), y,
                               std::min(y + step * grow, 100.0f), z0, z1));
  }
}

TEST(Packed_Lists, AreaQueriesAnswerAsTheListsDo) {
  std::mt19937 random(2024);
  Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
  fill_crowded_index(index, random);
  ASSERT_EQ(index_packing(index.root()), nullptr);
  pack_face_index(index.root());
  HLR_Index_Packing* packing = index_packing(index.root());
  ASSERT_NE(packing, nullptr);

  std::uniform_real_distribution<float> position(-5.0f, 105.0f);
  std::normal_distribution<float> crowd(50.0f, 2.0f);
  std::uniform_real_distribution<float> extent(0.0f, 6.0f);
  std::uniform_real_distribution<float> depth(-5.0f, 60.0f);
  std::size_t answers = 0;
  for (int q = 0; q < 3000; ++q) {
    SCOPED_TRACE(q);
    // Most queries in the crowd, where the lists are packed.
    const bool in_crowd = q % 4 != 0;
    const float x = in_crowd ? crowd(random) : position(random);
    const float y = in_crowd ? crowd(random) : position(random);
    Area area{x, x + extent(random), y, y + extent(random), depth(random)};
    // Every third query on the half-unit grid: boxes that only touch, and
    // depth limits equal to the common key 10.
    if (q % 3 == 0) {
      area.x_min = std::round(area.x_min * 2.0f) * 0.5f;
      area.x_max = area.x_min + 0.5f;
      area.y_min = std::round(area.y_min * 2.0f) * 0.5f;
      area.y_max = area.y_min + 1.0f;
      area.z_limit = 10.0f;
    }
    // Now and then a query with an unbounded side, a NaN or a key beyond
    // the sentinel's.
    if (q % 50 == 1) area.x_min = -inf;
    if (q % 50 == 2) area.y_max = inf;
    if (q % 50 == 3) area.z_limit = inf;
    if (q % 50 == 4) area.x_max = nan;
    if (q % 50 == 5) area.z_limit = nan;
    const std::uint32_t seed = static_cast<std::uint32_t>(q);
    const Iteration_Record by_lists =
        iterate(index.root(), area, seed, [](HLR_Index_Node* n, const Area& a) {
          return index_query_area(n, a.x_min, a.x_max, a.y_min, a.y_max, a.z_limit);
        });
    const Iteration_Record packed =
        iterate(index.root(), area, seed, [packing](HLR_Index_Node* n, const Area& a) {
          return index_query_area_packed(packing, n, a.x_min, a.x_max, a.y_min, a.y_max, a.z_limit);
        });
    ASSERT_TRUE(same(by_lists, packed));
    answers += by_lists.answers.size();
  }
  // The comparison covered real answers, not only empty iterations.
  EXPECT_GT(answers, 20000u);
}

TEST(Packed_Lists, ACursorMovedElsewhereIsServedByTheList) {
  std::mt19937 random(7);
  Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
  fill_crowded_index(index, random);
  pack_face_index(index.root());
  HLR_Index_Packing* packing = index_packing(index.root());
  ASSERT_NE(packing, nullptr);
  // Resume every answer's node from two items further on, a cursor the
  // packing never handed out: both queries must still agree.
  const auto skip_ahead = [](HLR_Index_Node* node) {
    for (int k = 0; k < 2 && node->cursor->next_item != nullptr; ++k) {
      node->cursor = node->cursor->next_item;
    }
  };
  std::vector<Answer> by_lists, by_packing;
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<Answer>& out = pass == 0 ? by_lists : by_packing;
    HLR_Index_Node* root = index.root();
    root->cursor = root->items;
    const auto call = [&](HLR_Index_Node* n) {
      return pass == 0 ? index_query_area(n, 40.0f, 60.0f, 40.0f, 60.0f, 30.0f)
                       : index_query_area_packed(packing, n, 40.0f, 60.0f, 40.0f, 60.0f, 30.0f);
    };
    for (HLR_Index_Node* node = call(root); node != nullptr; node = call(node)) {
      out.push_back({node, node->cursor->face});
      node->cursor = node->cursor->next_item;
      skip_ahead(node);
    }
  }
  ASSERT_GT(by_lists.size(), 100u);
  ASSERT_EQ(by_lists.size(), by_packing.size());
  for (std::size_t k = 0; k < by_lists.size(); ++k) {
    EXPECT_EQ(by_lists[k].node, by_packing[k].node);
    EXPECT_EQ(by_lists[k].face, by_packing[k].face);
  }
}

TEST(Packed_Lists, OnlyIndexesWithALongListArePacked) {
  // Items with equal boxes all descend to one deepest node: one short of
  // packing_index_threshold, packing allocates nothing and leaves no
  // packing; one more, and the index is packed.
  Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
  for (int k = 0; k < packing_index_threshold - 1; ++k) {
    index.insert_box(10.0f, 11.0f, 10.0f, 11.0f, static_cast<float>(k), static_cast<float>(k));
  }
  allocation_failure::reset_count();
  pack_face_index(index.root());
  EXPECT_EQ(allocation_failure::count(), 0);
  EXPECT_EQ(index_packing(index.root()), nullptr);
  index.insert_box(10.0f, 11.0f, 10.0f, 11.0f, 0.5f, 0.5f);
  pack_face_index(index.root());
  EXPECT_NE(index_packing(index.root()), nullptr);
}

}  // namespace
