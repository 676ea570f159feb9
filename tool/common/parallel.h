// Independent pieces of work spread over threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace hlr_tool {

// Runs work(i) for every i in [0, count) on at most `threads` threads, the
// calling one among them, and returns when all are done. Each index runs
// once, whichever thread takes it; when some fail, the others still run
// and the failure of the lowest index is rethrown, so the caller sees the
// error a loop in order would have stopped at. Fewer threads than asked
// (the system refusing one) only makes it slower.
template <class Work>
void for_each_in_parallel(std::size_t count, std::size_t threads, Work work) {
  std::vector<std::exception_ptr> failures(count);
  std::atomic<std::size_t> next{0};
  const auto run = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < count;) {
      try {
        work(i);
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < std::min(threads, count); ++t) {
    try {
      pool.emplace_back(run);
    } catch (const std::system_error&) {
      break;
    }
  }
  run();
  for (std::thread& thread : pool) thread.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace hlr_tool
