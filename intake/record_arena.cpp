#include "record_arena.h"

#include <algorithm>
#include <cstdint>

void* HLR_Record_Arena::allocate(std::size_t size, std::size_t alignment) {
  const auto aligned = [alignment](char* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<char*>((address + alignment - 1) & ~(alignment - 1));
  };
  char* start = next_ != nullptr ? aligned(next_) : nullptr;
  if (start == nullptr || start + size > end_) {
    // Each block twice the last, so a picture of n records takes about
    // log n blocks, and a small one little memory.
    const std::size_t last = blocks_ != nullptr ? blocks_->size : first_block / 2;
    const std::size_t wanted = sizeof(Block) + size + alignof(std::max_align_t);
    const std::size_t block_size = std::max(std::min(2 * last, largest_block), wanted);
    auto* block = static_cast<Block*>(::operator new(block_size));
    block->previous = blocks_;
    block->size = block_size;
    blocks_ = block;
    next_ = reinterpret_cast<char*>(block + 1);
    end_ = reinterpret_cast<char*>(block) + block_size;
    start = aligned(next_);
  }
  next_ = start + size;
  return start;
}

void HLR_Record_Arena::release() noexcept {
  while (blocks_ != nullptr) {
    Block* previous = blocks_->previous;
    ::operator delete(blocks_);
    blocks_ = previous;
  }
  next_ = nullptr;
  end_ = nullptr;
}
