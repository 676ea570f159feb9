// The renderer's lifetime: what its slots answer for, the reference it
// holds on next, and construction under allocation failure.
#include <new>

#include "allocation_failure.h"
#include "renderer_fixture.h"

namespace {

using Lifetime = Renderer_Test;

TEST_F(Lifetime, SlotsAnswerForNextAndTheLastReferenceReleasesIt) {
  EXPECT_EQ(renderer_->clone(), nullptr);
  EXPECT_EQ(&renderer_->renderer_options(), &recorder_->own_renderer_options);
  EXPECT_EQ(&renderer_->current_renderer_options(), &recorder_->own_renderer_options);
  EXPECT_EQ(&renderer_->current_options(), &recorder_->current_option_table);
  EXPECT_EQ(recorder_->reference_count(), 2);
  renderer_->drop_reference();
  renderer_ = nullptr;
  EXPECT_EQ(recorder_->reference_count(), 1);
}

// Every allocation of the construction, made to fail in turn: the
// exception reaches the caller, the base destructor has run exactly once
// (next's count is back), and nothing is left alive.
TEST_F(Lifetime, AllocationFailureDuringConstructionLeavesNothingBehind) {
  const std::int64_t live_before = KT_Counted::live_objects();
  const KT_Renderer_Data* next = recorder_;
  int failures = 0;
  for (std::int64_t n = 1;; ++n) {
    KT_Renderer_Data* made = nullptr;
    {
      allocation_failure::Scope fail(n);
      try {
        made = KD_Renderer(&next);
      } catch (const std::bad_alloc&) {
        ++failures;
      }
    }
    if (made != nullptr) {
      made->add_reference();
      made->drop_reference();
      break;
    }
    EXPECT_EQ(recorder_->reference_count(), 2) << "allocation " << n;
    EXPECT_EQ(KT_Counted::live_objects(), live_before) << "allocation " << n;
    ASSERT_LT(n, 10000);
  }
  EXPECT_GT(failures, 10);
  EXPECT_EQ(KT_Counted::live_objects(), live_before);
}

}  // namespace
