// How many threads the renderer's passes use. The renderer module shares
// its passes among the threads that the OpenMP setting of the thread
// calling its update allows: OMP_NUM_THREADS, or every processor by
// default. The tool chooses the number per call by setting that thread's
// own setting, so that nothing else in the process changes.
#pragma once

namespace hlr_tool {

// The number the environment gives (OMP_NUM_THREADS, else every
// processor), at least 1.
int default_renderer_threads();

// From now on, renderers updated from the calling thread use `threads`
// threads; 0 gives back the environment's number. Returns the number the
// thread had, for setting it back.
int set_renderer_threads(int threads);

}  // namespace hlr_tool
