// Where the tool's large blocks come from: the heap within a
// Large_Blocks_From_Heap, mapped fresh outside one. Each test runs in a
// process of its own (CTest), so preparing the heap here touches no other.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tool/common/process_heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#include <unistd.h>
#endif

namespace hlr_tool {
namespace {

#if defined(__GLIBC__)

// Below the break: from the heap; mapped blocks lie far above it.
bool from_the_heap(const void* block) { return block < sbrk(0); }

// Larger than the heap's free top, so that the heap cannot hand it out
// without growing or mapping it.
std::size_t beyond_the_top() { return mallinfo2().keepcost + (std::size_t(64) << 20); }

TEST(Process_Heap, LargeBlocksComeFromTheHeapOnlyWithinTheScope) {
  prepare_process_heap();
  void* probe = std::malloc(64);
  if (probe == nullptr || !from_the_heap(probe)) {
    std::free(probe);
    GTEST_SKIP() << "another allocator (a sanitizer's) hands out the memory";
  }

  {
    const Large_Blocks_From_Heap scope;
    { const Large_Blocks_From_Heap inner; }  // only the last one out restores
    void* block = std::malloc(beyond_the_top());
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(from_the_heap(block));
    std::free(block);
  }
  std::free(probe);
  void* block = std::malloc(beyond_the_top());
  ASSERT_NE(block, nullptr);
  EXPECT_FALSE(from_the_heap(block));
  std::free(block);
}

#endif

}  // namespace
}  // namespace hlr_tool
