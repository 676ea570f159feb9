// The packed lists answer the area query exactly as the item lists do: the
// same nodes and faces in the same order, and the same cursors left behind,
// also when the arguments change between the calls of one iteration the way
// the hidden-line pass changes them, and when a caller moves a cursor where
// the packing never put it.
#include "packed_lists.h"

#include <cmath>
#include <vector>

#include "allocation_failure.h"
#include "index_fixture.h"

namespace {

TEST(Packed_Lists, AreaQueriesAnswerAsTheListsDo) {
  Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
  fill_crowded(index, 2024, 6000, true);
  HLR_Packed_Lists packed(index.root());
  ASSERT_FALSE(packed.empty());
  const std::vector<Answer> all = iterate(index.root(), everything).answers;
  const auto by_lists = [](HLR_Index_Node* n, const Query& q) { return q(n); };
  const auto by_packing = [&packed](HLR_Index_Node* n, const Query& q) {
    return packed.query_area(n, q.x_min, q.x_max, q.y_min, q.y_max, q.z_max);
  };

  std::mt19937 random(2024);
  std::uniform_real_distribution<float> position(-5.0f, 105.0f);
  std::normal_distribution<float> crowd(50.0f, 2.0f);
  std::uniform_real_distribution<float> extent(0.0f, 6.0f);
  std::uniform_real_distribution<float> depth(-5.0f, 60.0f);
  std::size_t answers = 0;
  for (std::uint32_t q = 1; q <= 2000; ++q) {
    SCOPED_TRACE(q);
    // Most queries in the crowd, where the lists are packed.
    const bool in_crowd = q % 4 != 0;
    const float x = in_crowd ? crowd(random) : position(random);
    const float y = in_crowd ? crowd(random) : position(random);
    Query args = area_query(x, x + extent(random), y, y + extent(random), depth(random));
    // Every third query on the half-unit grid: boxes that only touch, and
    // depth limits equal to the common key 10.
    if (q % 3 == 0) {
      args.x_min = std::round(args.x_min * 2.0f) * 0.5f;
      args.x_max = args.x_min + 0.5f;
      args.y_min = std::round(args.y_min * 2.0f) * 0.5f;
      args.y_max = args.y_min + 1.0f;
      args.z_max = 10.0f;
    }
    // Now and then an unbounded side, a NaN or a key beyond the sentinel's.
    const float odd[] = {-inf, inf, inf, nan_value, nan_value, 2e28f};
    float* side[] = {&args.x_min, &args.y_max, &args.z_max, &args.x_max, &args.z_max, &args.z_max};
    if (q % 50 < 6) *side[q % 50] = odd[q % 50];

    const Iteration lists = iterate_by(by_lists, index.root(), args, q);
    ASSERT_EQ(iterate_by(by_packing, index.root(), args, q), lists);
    ASSERT_TRUE(follows_model(all, lists));
    // Two items further on after every answer.
    ASSERT_EQ(iterate_by(by_packing, index.root(), args, q, 2),
              iterate_by(by_lists, index.root(), args, q, 2));
    answers += lists.answers.size();
  }
  // The comparison covered real answers, not only empty iterations.
  EXPECT_GT(answers, 10000u);
}

TEST(Packed_Lists, OnlyIndexesWithALongListArePacked) {
  // Items with equal boxes all descend to one deepest node: one short of
  // packing_index_threshold, packing allocates nothing and packs nothing;
  // one more, and the index is packed.
  Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
  for (int k = 0; k < packing_index_threshold - 1; ++k) {
    index.insert_box(10.0f, 11.0f, 10.0f, 11.0f, float(k), float(k));
  }
  allocation_failure::reset_count();
  EXPECT_TRUE(HLR_Packed_Lists(index.root()).empty());
  EXPECT_EQ(allocation_failure::count(), 0);
  index.insert_box(10.0f, 11.0f, 10.0f, 11.0f, 0.5f, 0.5f);
  EXPECT_FALSE(HLR_Packed_Lists(index.root()).empty());
}

}  // namespace
