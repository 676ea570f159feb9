// Work of the passes spread over threads: one parallel loop over chunks of
// a range, run by the OpenMP runtime. The number of threads is what the
// calling thread's OpenMP setting allows (omp_get_max_threads: the
// OMP_NUM_THREADS environment variable, or omp_set_num_threads called in
// that thread; every processor by default), never more than there are
// chunks; below a size threshold the loop runs on the calling thread alone.
//
// The loop body works on its own chunk and writes only to slots owned by
// that chunk or by its thread, so what a loop produces never depends on
// which thread ran which chunk. A failure in a body (std::bad_alloc) ends
// the loop after the chunks already started, and the first failure caught
// is rethrown on the calling thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>

#ifdef _OPENMP
#include <omp.h>
#endif

// The threads a loop started now from this thread would have, for `count`
// items in chunks of `chunk`: 1 below `serial_below` items.
inline int parallel_team(std::size_t count, std::size_t chunk, std::size_t serial_below) {
#ifdef _OPENMP
  if (count < serial_below) return 1;
  const std::size_t chunks = (count + chunk - 1) / chunk;
  return static_cast<int>(
      std::max<std::size_t>(1, std::min<std::size_t>(omp_get_max_threads(), chunks)));
#else
  (void)count, (void)chunk, (void)serial_below;
  return 1;
#endif
}

// Calls body(begin, end, thread) for the chunks [begin, end) of [0, count),
// `chunk` items each (the last one shorter), on `team` threads (from
// parallel_team); `thread` runs from 0 to team - 1. With one thread the
// chunks run in order on the calling thread.
//
// The threads are let go when the loop ends, also on a failure: the
// runtime's idle threads spin for a while before they sleep, processor
// time taken from the calling thread's serial work between the loops and
// from the rest of the machine, and none may be left waiting inside a
// module that the host may unload. The next loop starts them again (tens
// of microseconds), and a small picture never touches the runtime at all.
template <class Body>
void parallel_chunks(std::size_t count, std::size_t chunk, int team, Body&& body) {
  const std::size_t chunks = (count + chunk - 1) / chunk;
  if (team <= 1) {
    for (std::size_t c = 0; c < chunks; ++c) body(c * chunk, std::min(count, (c + 1) * chunk), 0);
    return;
  }
#ifdef _OPENMP
  struct Threads_Let_Go {
    ~Threads_Let_Go() { omp_pause_resource_all(omp_pause_hard); }
  } let_go;
  std::exception_ptr failure;
  std::atomic<bool> failed{false};
#pragma omp parallel num_threads(team)
  {
    const int thread = omp_get_thread_num();
    // Chunks handed out one at a time: their costs differ widely (a chunk
    // of edges in front of everything against one behind a crowd of faces).
#pragma omp for schedule(dynamic, 1)
    for (std::size_t c = 0; c < chunks; ++c) {
      if (failed.load(std::memory_order_relaxed)) continue;
      try {
        body(c * chunk, std::min(count, (c + 1) * chunk), thread);
      } catch (...) {
#pragma omp critical(hlr_parallel_failure)
        if (!failure) failure = std::current_exception();
        failed.store(true, std::memory_order_relaxed);
      }
    }
  }
  if (failure) std::rethrow_exception(failure);
#endif
}
