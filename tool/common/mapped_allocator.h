// An allocator for the large arrays a thread of the tool's own grows.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace hlr_tool {

// Blocks of a MiB or more straight from the kernel, marked for transparent
// huge pages, and given back to it when freed; smaller ones from the heap.
// glibc gives a thread other than the first an arena of its own, which
// takes its memory 4 KiB at a time (a fault each) and keeps what the thread
// frees from every other thread: an array grown by doubling there left its
// earlier sizes behind, 30 MiB at the 1M terrain's peak.
template <class T>
struct Mapped_Allocator {
  using value_type = T;
  static constexpr std::size_t mapped_from = std::size_t(1) << 20;

  Mapped_Allocator() = default;
  template <class U>
  explicit Mapped_Allocator(const Mapped_Allocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
#if defined(__linux__)
    const std::size_t bytes = n * sizeof(T);
    if (n <= max_size() && bytes >= mapped_from) {
      void* block =
          mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (block == MAP_FAILED) throw std::bad_alloc();
      madvise(block, bytes, MADV_HUGEPAGE);
      return static_cast<T*>(block);
    }
#endif
    return std::allocator<T>().allocate(n);
  }

  void deallocate(T* block, std::size_t n) noexcept {
#if defined(__linux__)
    if (n * sizeof(T) >= mapped_from) {
      munmap(block, n * sizeof(T));
      return;
    }
#endif
    std::allocator<T>().deallocate(block, n);
  }

  static constexpr std::size_t max_size() noexcept { return std::size_t(-1) / sizeof(T); }

  template <class U>
  bool operator==(const Mapped_Allocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace hlr_tool
