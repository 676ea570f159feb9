// Failures in the middle of a whole picture. For every N until the picture
// runs through untouched, the N-th allocation throws std::bad_alloc (or the
// next renderer throws at its N-th call); each time the exception must
// reach the host, end_picture must leave no host object alive beyond what
// the host itself holds, the same renderer must then draw a fresh picture
// exactly as an undisturbed renderer does, and releasing it must be clean.
// Memory that is not a host object (records, intervals, index nodes) is
// checked by the leak detector of the sanitizer build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "allocation_failure.h"
#include "picture_host.h"

namespace {

std::vector<std::string> undisturbed_trace() {
  Picture_Host host;
  host.run_picture();
  return host.trace();
}

bool contains(const std::vector<std::string>& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

// The representative picture reaches every kind of output it is meant to:
// pieces in forms 1, 2 and 5, the intersection lines' pattern, markers,
// the passed-on clear and forwarded actions.
TEST(Fault_Injection, RepresentativePictureReachesEveryKindOfOutput) {
  const std::vector<std::string> lines = undisturbed_trace();
  EXPECT_TRUE(contains(lines, "polyline 1 "));
  EXPECT_TRUE(contains(lines, "polyline 2 "));
  EXPECT_TRUE(contains(lines, "polyline 5 "));
  EXPECT_TRUE(contains(lines, "polyline 1 color=FF008000 pattern=2 2 "));  // an intersection line
  EXPECT_TRUE(contains(lines, "polyline 2 color=FFC80A14 pattern=1 2 "));  // a hidden interval
  EXPECT_TRUE(contains(lines, "marker "));
  EXPECT_TRUE(contains(lines, "clear 5"));
  EXPECT_TRUE(contains(lines, "forward 7"));
  EXPECT_GT(lines.size(), 150u);
}

TEST(Fault_Injection, AllocationFailureAnywhereInAPictureReachesTheHostAndLeavesNothing) {
  const std::int64_t live_at_start = KT_Counted::live_objects();
  const std::vector<std::string> expected = undisturbed_trace();
  ASSERT_EQ(KT_Counted::live_objects(), live_at_start);

  std::int64_t failure_points = 0;
  for (std::int64_t n = 1;; ++n) {
    {
      Picture_Host host;
      const std::int64_t live_ready = KT_Counted::live_objects();
      bool reached_host = false;
      bool fired;
      {
        allocation_failure::Scope failing(n);
        try {
          host.run_picture();
        } catch (const std::bad_alloc&) {
          reached_host = true;
        }
        fired = allocation_failure::fired();
      }
      if (!fired) {
        ASSERT_FALSE(reached_host);
        ASSERT_EQ(host.trace(), expected) << "a picture that no failure reached";
        break;
      }
      ++failure_points;
      ASSERT_TRUE(reached_host) << "allocation " << n << " failed and the host never heard of it";

      host.renderer().end_picture();
      ASSERT_EQ(KT_Counted::live_objects(), live_ready) << "allocation " << n;

      host.next().forget_calls();
      host.run_picture();
      ASSERT_EQ(host.trace(), expected) << "the picture after allocation " << n << " failed";
    }
    ASSERT_EQ(KT_Counted::live_objects(), live_at_start) << "allocation " << n;
  }
  std::printf("[ failure points ] %lld allocations\n", static_cast<long long>(failure_points));
  RecordProperty("failure_points", static_cast<int>(failure_points));
  // Every record, interval, node and rendition copy of the picture is an
  // allocation: far more than a hundred of them.
  EXPECT_GT(failure_points, 500);
}

TEST(Fault_Injection, NextRendererFailingAtAnyCallReachesTheHostAndLeavesNothing) {
  const std::int64_t live_at_start = KT_Counted::live_objects();
  const std::vector<std::string> expected = undisturbed_trace();

  std::int64_t failure_points = 0;
  for (std::int64_t n = 1;; ++n) {
    {
      Picture_Host host;
      const std::int64_t live_ready = KT_Counted::live_objects();
      bool reached_host = false;
      host.next().fail_at(n);
      try {
        host.run_picture();
      } catch (const std::runtime_error& error) {
        ASSERT_STREQ(error.what(), "the next renderer failed");
        reached_host = true;
      }
      const bool fired = host.next().fired();
      host.next().fail_at(0);
      if (!fired) {
        ASSERT_FALSE(reached_host);
        // Every call the picture sends downstream was made to fail once.
        ASSERT_EQ(failure_points, static_cast<std::int64_t>(expected.size()));
        break;
      }
      ++failure_points;
      ASSERT_TRUE(reached_host) << "call " << n << " failed and the host never heard of it";

      host.renderer().end_picture();
      ASSERT_EQ(KT_Counted::live_objects(), live_ready) << "call " << n;

      host.next().forget_calls();
      host.run_picture();
      ASSERT_EQ(host.trace(), expected) << "the picture after call " << n << " failed";
    }
    ASSERT_EQ(KT_Counted::live_objects(), live_at_start) << "call " << n;
  }
  std::printf("[ failure points ] %lld downstream calls\n", static_cast<long long>(failure_points));
  RecordProperty("failure_points", static_cast<int>(failure_points));
}

}  // namespace
