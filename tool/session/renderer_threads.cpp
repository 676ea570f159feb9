#include "tool/session/renderer_threads.h"

#ifdef _OPENMP
#include <omp.h>
#endif

namespace hlr_tool {

int default_renderer_threads() {
#ifdef _OPENMP
  // Read once, before this function ever set a thread's number: a thread's
  // setting starts as the process's, which only the environment decides.
  static const int from_environment = omp_get_max_threads();
  return from_environment;
#else
  return 1;
#endif
}

int set_renderer_threads(int threads) {
#ifdef _OPENMP
  const int previous = omp_get_max_threads();
  // omp_set_num_threads changes the calling thread's setting alone (its
  // nthreads ICV), which the module's parallel loops started from this
  // thread read: the module and the tool share the one OpenMP runtime of
  // the process.
  omp_set_num_threads(threads > 0 ? threads : default_renderer_threads());
  return previous;
#else
  (void)threads;
  return 1;
#endif
}

}  // namespace hlr_tool
