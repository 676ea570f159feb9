// The thread budget shares its threads out, never multiplies them: N views
// on T threads run min(N, T) at a time with T / min(N, T) threads each.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tool/common/thread_budget.h"

namespace {

using hlr_tool::Thread_Budget;

TEST(Thread_Budget, ViewsShareTheThreadsTheyAreGiven) {
  const struct {
    int jobs;
    std::size_t views, at_once;
    int each;
  } rows[] = {{1, 4, 1, 1}, {2, 1, 1, 2}, {4, 2, 2, 2}, {7, 2, 2, 3}, {3, 4, 3, 1}, {8, 3, 3, 2}};
  for (const auto& row : rows) {
    const Thread_Budget budget(row.jobs);
    EXPECT_EQ(budget.parts_at_once(row.views), row.at_once) << row.jobs << " " << row.views;
    EXPECT_EQ(budget.share(row.views).threads(), row.each) << row.jobs << " " << row.views;
    EXPECT_FALSE(budget.share(row.views).automatic());
  }
  EXPECT_TRUE(Thread_Budget(0).share(3).automatic());
  EXPECT_THROW(Thread_Budget(1025), std::invalid_argument);
  EXPECT_THROW(Thread_Budget(-1), std::invalid_argument);
}

}  // namespace
