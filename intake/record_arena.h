// Where a picture's records live: blocks of memory handed out in turn, each
// record built in place, and every block released at once when the store
// is cleared. One block holds many records, so a record costs no
// allocation of its own, and the blocks grow with the picture (up to
// largest_block bytes each).
//
// The arena owns memory only: the records' destructors (their rendition
// references) are run by the clearing before release. Zero-filled storage
// is an empty arena.
#pragma once

#include <cstddef>
#include <new>

class HLR_Record_Arena {
 public:
  // `size` bytes aligned to `alignment` (at most alignof(std::max_align_t)).
  // On an allocation failure std::bad_alloc leaves and nothing changed.
  void* allocate(std::size_t size, std::size_t alignment);
  // Every block; the arena is empty again.
  void release() noexcept;

  // A record of type T, value-initialised (zero-filled) in place.
  template <class T>
  T* make() {
    return new (allocate(sizeof(T), alignof(T))) T{};
  }

  static constexpr std::size_t first_block = 4096;
  static constexpr std::size_t largest_block = std::size_t(1) << 20;

 private:
  struct Block {
    Block* previous;
    std::size_t size;  // the whole block's, this header included
  };
  Block* blocks_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
};
