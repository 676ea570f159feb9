// A failed copy-on-write leaves the rendition handle as it was. What a
// rendition change does to captured lines is pinned by the golden trace
// rendition_changed_after_use, the reference balance of every handle by
// the reliability suite.
#include <gtest/gtest.h>

#include <new>

#include "allocation_failure.h"
#include "counted.h"
#include "rendition.h"

namespace {

TEST(ReferenceBalance, FailedCopyLeavesTheHandleOnTheSharedData) {
  const std::int64_t start = KT_Counted::live_objects();
  {
    KT_Rendition first = KT_Rendition::create();
    KT_Rendition second = first;
    {
      allocation_failure::Scope fail(1);
      EXPECT_THROW(second.set_color({0, 0, 255, 255}, false), std::bad_alloc);
    }
    EXPECT_EQ(second.data(), first.data());
    EXPECT_EQ(first.data()->reference_count(), 2);
    // The data copy succeeds, the line style copy fails: the handle holds a
    // unique but unchanged copy.
    {
      allocation_failure::Scope fail(2);
      EXPECT_THROW(second.set_line_pattern(1), std::bad_alloc);
    }
    EXPECT_EQ(second.line_pattern(), 0);
    EXPECT_EQ(first.data()->reference_count(), 1);
    EXPECT_EQ(first.data()->line_style->reference_count(), 2);
  }
  EXPECT_EQ(KT_Counted::live_objects(), start);
}

}  // namespace
