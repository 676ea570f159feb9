// How the tool's process takes its memory from the kernel: called first
// thing in hlr-render's main, and in Python only when the program asks
// (hlr_render.tune_heap()). No library calls it: the heap belongs to the
// program, and a Python interpreter that loads the package keeps its own
// habits unless told. A second call changes nothing.
#pragma once

namespace hlr_tool {

// A drawing allocates and frees tens of megabytes per million triangles
// (the model, the scene, each renderer's store and index), and on the
// machines this runs on a page fault costs several microseconds: with
// 4 KiB pages the faults were a third of a small model's run. This keeps
// the heap in large pages and in the process:
// - the heap's next stretch of address space is reserved at once and
//   marked for transparent huge pages, so memory arrives 2 MiB at a time
//   (address space only: untouched pages cost nothing);
// - memory the tool frees stays in the heap for the next phase instead of
//   going back to the kernel and faulting in again (Open CASCADE's mesher
//   takes and gives back large blocks for every face: handed back each
//   time, their faults cost more than the meshing).
// The renderer's threads hardly allocate (the passes get their memory on
// the calling thread before they share out the work), so the arenas glibc
// gives them stay small. Work the tool hands to a thread of its own gets
// its large arrays on the calling thread, or straight from the kernel
// (mapped_allocator.h): in a thread's arena they come in small pages and
// stay there when freed. One arena for every thread (M_ARENA_MAX 1) would
// do the same for everything, but threads that allocate much at once then
// wait for each other: the CAD sheets, each view built on a thread of its
// own, were 8% slower.
// Does nothing where the C library is not glibc.
void prepare_process_heap();

// While one lives, blocks above glibc's mapping threshold (32 MiB) come
// from the heap too and go back to it when freed, instead of being mapped
// fresh and unmapped. A phase that builds large arrays and drops them (the
// scene's edge table and strips: about a gigabyte at ten million
// triangles) then leaves their pages to the next phase (the renderer's
// records), which would otherwise fault in new ones; where pages cost
// microseconds each that was 0.8 s of the 10M terrain's run. Not around
// the renderer's passes: the emission's large arrays are mapped on a
// thread of their own, and what the index frees in the heap would only
// add to the peak. Only once prepare_process_heap() ran (the program owns
// the heap); otherwise, and where the C library is not glibc, nothing.
// Scopes may overlap on several threads: the last one out restores.
class Large_Blocks_From_Heap {
 public:
  Large_Blocks_From_Heap();
  ~Large_Blocks_From_Heap();
  Large_Blocks_From_Heap(const Large_Blocks_From_Heap&) = delete;
  Large_Blocks_From_Heap& operator=(const Large_Blocks_From_Heap&) = delete;
};

}  // namespace hlr_tool
