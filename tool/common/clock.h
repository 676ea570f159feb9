// Times of the tool's phases (import, scene, capture, passes, writing), in
// milliseconds: the wall clock on the one steady clock every phase reads,
// and the processor time of a thread, which on a machine shared with other
// work moves much less than the wall clock.
#pragma once

#include <time.h>

#include <chrono>

namespace hlr_tool {

using Clock = std::chrono::steady_clock;

inline double milliseconds_between(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

inline double milliseconds_since(Clock::time_point start) {
  return milliseconds_between(start, Clock::now());
}

// The processor time the calling thread has used.
inline double thread_processor_milliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// The processor time the whole process has used, every thread's (the
// renderer's own threads included).
inline double process_processor_milliseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

}  // namespace hlr_tool
