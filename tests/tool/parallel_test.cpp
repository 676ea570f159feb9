// Work spread over threads and used in order: each piece is used once, in
// order, only after its work; a failing piece stops the use there.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "tool/common/parallel.h"

namespace {

TEST(Parallel, UsedInOrderEachAfterItsWork) {
  for (std::size_t threads : {1, 2, 3, 7}) {
    constexpr std::size_t count = 500;
    std::vector<std::atomic<int>> worked(count);
    std::vector<std::size_t> used;
    hlr_tool::for_each_in_parallel_used_in_order(
        count, threads,
        [&](std::size_t i) {
          // Uneven work, so that pieces finish out of order.
          volatile double x = 0.0;
          for (std::size_t k = 0; k < (i * 7919) % 20000; ++k) x = x + 1.0;
          ++worked[i];
        },
        [&](std::size_t i) {
          EXPECT_EQ(worked[i].load(), 1) << i;
          used.push_back(i);
        });
    ASSERT_EQ(used.size(), count) << threads;
    for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(used[i], i) << threads;
  }
}

TEST(Parallel, AFailureStopsTheUseWhereItHappened) {
  for (std::size_t threads : {1, 4}) {
    std::vector<std::size_t> used;
    EXPECT_THROW(hlr_tool::for_each_in_parallel_used_in_order(
                     100, threads,
                     [](std::size_t i) {
                       if (i == 37) throw std::runtime_error("piece 37");
                     },
                     [&](std::size_t i) { used.push_back(i); }),
                 std::runtime_error);
    EXPECT_EQ(used.size(), 37u) << threads;
    // A failing use stops it too, and the threads still finish.
    std::size_t last = 0;
    EXPECT_THROW(hlr_tool::for_each_in_parallel_used_in_order(
                     100, threads, [](std::size_t) {},
                     [&](std::size_t i) {
                       last = i;
                       if (i == 12) throw std::logic_error("use 12");
                     }),
                 std::logic_error);
    EXPECT_EQ(last, 12u);
  }
}

}  // namespace
