// Counts the program's calls of operator new while switched on. Linking
// allocation_counter.cpp replaces the global operator new and delete of the
// program (and, through symbol interposition, of the shared libraries it
// loads) with malloc and free plus a count.
#pragma once

#include <cstddef>
#include <cstdint>

namespace allocation_counter {

struct Counts {
  std::uint64_t allocations = 0;
  // Allocations of exactly `watched_size` bytes.
  std::uint64_t watched = 0;
};

// Starts counting from zero; allocations of `watched_size` bytes are also
// counted apart.
void start(std::size_t watched_size);
// Stops counting and returns what was counted since start.
Counts stop();

}  // namespace allocation_counter
