#include "allocation_failure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::int64_t> allocations{0};
std::atomic<std::int64_t> failing_allocation{0};
std::atomic<bool> has_fired{false};

void* allocate(std::size_t size) {
  const std::int64_t n = allocations.fetch_add(1) + 1;
  const std::int64_t target = failing_allocation.load();
  if (target != 0 && n == target) {
    has_fired = true;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

namespace allocation_failure {
void fail_at(std::int64_t n) {
  allocations = 0;
  has_fired = false;
  failing_allocation = n;
}
void disarm() { failing_allocation = 0; }
std::int64_t count() { return allocations.load(); }
void reset_count() { allocations = 0; }
bool fired() { return has_fired.load(); }
}  // namespace allocation_failure

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
