// Work spread over threads and used in order: each piece is used once, in
// order, only after its work; a failing piece stops the use there. Items
// handed to a thread of their own are used in the order pushed, all of
// them by the time finish() returns.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <span>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tool/common/batch_pipe.h"
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

TEST(Batch_Pipe, EveryItemUsedInOrderByFinish) {
  // State kept from item to item, as the drawing's joining keeps its
  // open ends: a wrong order or a lost batch breaks the running sum.
  std::vector<int> seen;
  long long weighted = 0;
  hlr_tool::Batch_Pipe<int> pipe(
      [&](std::span<const int> items) {
        // Slower than the pushing: batches wait, and the last one is still
        // being used when finish() is called.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (const int item : items) {
          seen.push_back(item);
          weighted += static_cast<long long>(seen.size()) * item;
        }
      },
      64);
  long long expected = 0;
  for (int round = 0; round < 3; ++round) {
    const int first = static_cast<int>(seen.size());
    // Rounds that end inside a batch, and one that ends on its edge.
    const int count = round == 1 ? 640 : 1000 + 37 * round;
    for (int i = 0; i < count; ++i) {
      pipe.push(first + i);
      expected += static_cast<long long>(first + i + 1) * (first + i);
    }
    pipe.finish();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(first + count)) << round;
    EXPECT_EQ(weighted, expected) << round;
  }
  for (std::size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], static_cast<int>(i));
}

TEST(Batch_Pipe, AFailureDropsTheRestAndLeavesFromFinish) {
  std::vector<int> used;
  hlr_tool::Batch_Pipe<int> pipe(
      [&](std::span<const int> items) {
        for (const int item : items) {
          if (item == 150) throw std::length_error("item 150");
          used.push_back(item);
        }
      },
      16);
  for (int i = 0; i < 1000; ++i) pipe.push(i);
  EXPECT_THROW(pipe.finish(), std::length_error);
  ASSERT_EQ(used.size(), 150u);
  EXPECT_EQ(used.back(), 149);
}

}  // namespace
