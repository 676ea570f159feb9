// Construction under allocation failure: every allocation of KD_Renderer,
// made to fail in turn, reaches the caller, the base destructor has run
// exactly once (next's count is back), and nothing is left alive.
#include <new>

#include "allocation_failure.h"
#include "renderer_fixture.h"

namespace {

using Lifetime = Renderer_Test;

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
