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

// The representative picture reaches every kind of output it is meant to:
// pieces in forms 1, 2 and 5, the intersection lines' pattern, markers,
// the passed-on clear and forwarded actions.
TEST(Fault_Injection, RepresentativePictureReachesEveryKindOfOutput) {
  const std::vector<std::string> lines = undisturbed_trace();
  for (const char* start : {"polyline 1 ", "polyline 2 ", "polyline 5 ",
                            "polyline 1 color=FF008000 pattern=2 2 ",  // an intersection line
                            "polyline 2 color=FFC80A14 pattern=1 2 ",  // a hidden interval
                            "marker ", "clear 5", "forward 7"}) {
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.starts_with(start);
    })) << start;
  }
  EXPECT_GT(lines.size(), 150u);
}

// Runs the picture with the N-th failure armed by `arm` for N = 1, 2, ...
// until `fired` says no failure was reached, checking each failure as
// above; returns the number of failure points.
template <class Exception, class Arm, class Fired>
std::int64_t fail_everywhere(Arm arm, Fired fired) {
  const std::int64_t live_at_start = KT_Counted::live_objects();
  const std::vector<std::string> expected = undisturbed_trace();
  for (std::int64_t n = 1;; ++n) {
    {
      Picture_Host host;
      const std::int64_t live_ready = KT_Counted::live_objects();
      bool reached_host = false;
      arm(host, n);
      try {
        host.run_picture();
      } catch (const Exception&) {
        reached_host = true;
      }
      const bool failed = fired(host);
      arm(host, 0);
      if (!failed) {
        EXPECT_FALSE(reached_host);
        EXPECT_EQ(host.trace(), expected) << "a picture that no failure reached";
        return n - 1;
      }
      EXPECT_TRUE(reached_host) << "failure " << n << " never reached the host";
      host.renderer->end_picture();
      EXPECT_EQ(KT_Counted::live_objects(), live_ready) << "failure " << n;
      host.next->forget_calls();
      host.run_picture();
      EXPECT_EQ(host.trace(), expected) << "the picture after failure " << n;
    }
    EXPECT_EQ(KT_Counted::live_objects(), live_at_start) << "failure " << n;
    if (::testing::Test::HasFailure()) return n;
  }
}

TEST(Fault_Injection, AllocationFailureAnywhereInAPictureReachesTheHostAndLeavesNothing) {
  const std::int64_t failure_points = fail_everywhere<std::bad_alloc>(
      [](Picture_Host&, std::int64_t n) { allocation_failure::fail_at(n); },
      [](Picture_Host&) { return allocation_failure::fired(); });
  std::printf("[ failure points ] %lld allocations\n", static_cast<long long>(failure_points));
  // Every record, interval, node and rendition copy of the picture is an
  // allocation: far more than a hundred of them.
  EXPECT_GT(failure_points, 500);
}

TEST(Fault_Injection, NextRendererFailingAtAnyCallReachesTheHostAndLeavesNothing) {
  const std::int64_t failure_points = fail_everywhere<std::runtime_error>(
      [](Picture_Host& host, std::int64_t n) { host.next->fail_at(n); },
      [](Picture_Host& host) { return host.next->fired(); });
  std::printf("[ failure points ] %lld downstream calls\n", static_cast<long long>(failure_points));
  // Every call the picture sends downstream was made to fail once.
  EXPECT_EQ(failure_points, std::int64_t(undisturbed_trace().size()));
}

}  // namespace
