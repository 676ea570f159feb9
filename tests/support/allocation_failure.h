// Allocation-failure injection for tests: counts the program's allocations
// through operator new and, when armed, makes the N-th one throw
// std::bad_alloc. Linking this support library replaces the global
// operator new and delete of the test program (and, through symbol
// interposition, of the libraries it loads).
#pragma once

#include <cstdint>

namespace allocation_failure {

// From now on, the n-th allocation (1-based) throws; 0 disarms.
void fail_at(std::int64_t n);
void disarm();
// Allocations made since the last fail_at or reset_count.
std::int64_t count();
void reset_count();
// Whether the armed failure has been thrown.
bool fired();

// Arms for the duration of a scope.
class Scope {
 public:
  explicit Scope(std::int64_t n) { fail_at(n); }
  ~Scope() { disarm(); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
};

}  // namespace allocation_failure
