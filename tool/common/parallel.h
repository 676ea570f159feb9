// Independent pieces of work spread over threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
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

// Runs work(i) for every i in [0, count) on at most `threads` threads, and
// calls use(i) on the calling thread for every i in order, each as soon
// as its work is done: the calling thread takes work itself whenever the
// next one to use is not ready, so work that must be used in order (a
// pass that depends on what came before) runs beside the work that does
// not. A failure of work(i) is rethrown where use(i) would have been
// called, and one of use(i) is let through; either way the other threads
// stop taking work and are joined first.
template <class Work, class Use>
void for_each_in_parallel_used_in_order(std::size_t count, std::size_t threads, Work work,
                                        Use use) {
  std::vector<std::exception_ptr> failures(count);
  std::vector<char> done(count, 0);  // under `mutex`
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  // Takes one piece of work; false when none is left.
  const auto take = [&] {
    if (stop.load()) return false;
    const std::size_t i = next.fetch_add(1);
    if (i >= count) return false;
    try {
      work(i);
    } catch (...) {
      failures[i] = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      done[i] = 1;
    }
    finished.notify_all();
    return true;
  };
  struct Pool {
    std::atomic<bool>& stop;
    std::vector<std::thread> threads;
    ~Pool() {
      stop.store(true);
      for (std::thread& thread : threads) thread.join();
    }
  } pool{stop, {}};
  for (std::size_t t = 1; t < std::min(threads, count); ++t) {
    try {
      pool.threads.emplace_back([&] {
        while (take()) {
        }
      });
    } catch (const std::system_error&) {
      break;
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (done[i]) break;
      }
      if (take()) continue;
      std::unique_lock<std::mutex> lock(mutex);
      finished.wait(lock, [&] { return done[i] != 0; });
      break;
    }
    if (failures[i]) std::rethrow_exception(failures[i]);
    use(i);
  }
}

}  // namespace hlr_tool
