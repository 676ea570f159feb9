#include "tool/common/process_heap.h"

#include <cstdint>
#include <cstdlib>  // also defines __GLIBC__ where the C library is glibc
#include <limits>
#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace hlr_tool {

#if defined(__GLIBC__)

namespace {

// Whether prepare_process_heap() ran, and how many Large_Blocks_From_Heap
// live; under the mutex.
std::mutex heap_mutex;
bool heap_prepared = false;
int large_block_scopes = 0;

// glibc's default for M_MMAP_MAX.
constexpr int default_mapped_blocks = 65536;

}  // namespace

Large_Blocks_From_Heap::Large_Blocks_From_Heap() {
  const std::lock_guard lock(heap_mutex);
  if (large_block_scopes++ == 0 && heap_prepared) mallopt(M_MMAP_MAX, 0);
}

Large_Blocks_From_Heap::~Large_Blocks_From_Heap() {
  const std::lock_guard lock(heap_mutex);
  if (--large_block_scopes == 0 && heap_prepared) mallopt(M_MMAP_MAX, default_mapped_blocks);
}

void prepare_process_heap() {
  {
    const std::lock_guard lock(heap_mutex);
    if (heap_prepared) return;
    heap_prepared = true;
  }
  constexpr std::size_t reserved = std::size_t(1) << 30;
  constexpr std::uintptr_t huge_page = std::uintptr_t(2) << 20;
  // glibc's largest threshold: blocks below it come from the heap, and a
  // freed one is reused rather than unmapped.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  // Never hand the heap's top back (that would drop the reserve too).
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());

  // Growing the heap by the reserve once, through an ordinary allocation,
  // puts the reserve between the block and the new break.
  mallopt(M_TOP_PAD, int(reserved));
  // Through a volatile pointer: the compiler may drop an allocation that
  // is freed unused, and this one is used only for its side effect.
  void* volatile block = std::malloc(std::size_t(1) << 20);
  mallopt(M_TOP_PAD, 16 << 20);
  if (block == nullptr) return;
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  const auto brk_end = reinterpret_cast<std::uintptr_t>(sbrk(0));
  // Only when the block came from the break heap (a sanitizer's allocator
  // hands out memory elsewhere, and then the range means nothing).
  if (address < brk_end && brk_end - address <= 2 * reserved) {
    const std::uintptr_t from = (address + huge_page - 1) & ~(huge_page - 1);
    const std::uintptr_t to = brk_end & ~(huge_page - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  }
  std::free(block);
}

#else

Large_Blocks_From_Heap::Large_Blocks_From_Heap() {}
Large_Blocks_From_Heap::~Large_Blocks_From_Heap() {}
void prepare_process_heap() {}

#endif

}  // namespace hlr_tool
