#include "tool/common/thread_budget.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>

namespace hlr_tool {

Thread_Budget::Thread_Budget(int jobs)
    : threads_(jobs == 0 ? static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u,
                                                       unsigned(max_jobs)))
                         : jobs),
      automatic_(jobs == 0) {
  if (jobs < 0 || jobs > max_jobs) {
    throw std::invalid_argument("Thread_Budget: " + std::to_string(jobs) + " threads");
  }
}

std::size_t Thread_Budget::parts_at_once(std::size_t parts) const {
  return std::clamp<std::size_t>(parts, 1, static_cast<std::size_t>(threads_));
}

Thread_Budget Thread_Budget::share(std::size_t parts) const {
  return {std::max(1, threads_ / static_cast<int>(parts_at_once(parts))), automatic_};
}

}  // namespace hlr_tool
