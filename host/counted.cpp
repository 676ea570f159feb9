#include "counted.h"

namespace {
std::atomic<std::int64_t> live_count{0};
// Objects made minus objects destroyed by the running thread.
thread_local std::int64_t balance_of_thread = 0;
}  // namespace

Korvo_Global KORVO;

KT_Object::~KT_Object() = default;

KT_Counted::KT_Counted() {
  live_count.fetch_add(1, std::memory_order_relaxed);
  ++balance_of_thread;
}

KT_Counted::KT_Counted(const KT_Counted& other) : KT_Object(other), stamp_(other.stamp_) {
  live_count.fetch_add(1, std::memory_order_relaxed);
  ++balance_of_thread;
}

KT_Counted::~KT_Counted() {
  live_count.fetch_sub(1, std::memory_order_relaxed);
  --balance_of_thread;
}

KT_Counted* KT_Counted::clone() const { return nullptr; }

void KT_Counted::add_reference() const noexcept { count_.fetch_add(1, std::memory_order_relaxed); }

void KT_Counted::drop_reference() const noexcept {
  if (count_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete this;
  }
}

std::int64_t KT_Counted::live_objects() noexcept { return live_count.load(); }

std::int64_t KT_Counted::thread_balance() noexcept { return balance_of_thread; }

std::uint32_t next_change_stamp() noexcept {
  return KORVO.change_counter.fetch_add(1, std::memory_order_relaxed) + 1;
}
