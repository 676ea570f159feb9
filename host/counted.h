// Reference-counted host objects and the host's global change counter.
//
// Every object the host shares between renderers (renditions, option
// values, renderers themselves) is a KT_Counted: a 32-bit reference count
// and a 32-bit change stamp. Taking and dropping references are the only
// atomic operations besides the increment of KORVO.change_counter.
//
// The stand-in keeps a count of the KT_Counted objects alive, in all and
// per thread, so that tests can prove every reference taken was dropped
// again.
#pragma once

#include <atomic>
#include <cstdint>

#include "korvo_api.h"

class KORVO_API KT_Object {
 public:
  KT_Object() = default;
  KT_Object(const KT_Object&) = default;
  KT_Object& operator=(const KT_Object&) = default;
  virtual ~KT_Object();
};

class KORVO_API KT_Counted : public KT_Object {
 public:
  KT_Counted();
  // A copy starts unshared: count 0, stamp of the original.
  KT_Counted(const KT_Counted& other);
  KT_Counted& operator=(const KT_Counted&) = delete;
  ~KT_Counted() override;

  // A new object with the same contents and a count of 0, or null for
  // objects that are never copied.
  virtual KT_Counted* clone() const;

  void add_reference() const noexcept;
  // Destroys the object (virtual destructor, deleting form) when the count
  // was 1.
  void drop_reference() const noexcept;

  std::int32_t reference_count() const noexcept { return count_.load(); }
  std::uint32_t change_stamp() const noexcept { return stamp_; }
  void set_change_stamp(std::uint32_t stamp) noexcept { stamp_ = stamp; }

  // Number of KT_Counted objects constructed and not yet destroyed.
  static std::int64_t live_objects() noexcept;
  // Objects the calling thread constructed minus those it destroyed. Work
  // that keeps its objects to one thread can check its own balance while
  // other threads make and free theirs.
  static std::int64_t thread_balance() noexcept;

 private:
  mutable std::atomic<std::int32_t> count_{0};
  std::uint32_t stamp_ = 0;
};

// The host's global object. Its first 32-bit word is the change counter that
// make_unique stamps unique objects with.
struct Korvo_Global {
  std::atomic<std::uint32_t> change_counter{0};
};

extern KORVO_API Korvo_Global KORVO;

// Increments KORVO.change_counter atomically and returns the new value.
KORVO_API std::uint32_t next_change_stamp() noexcept;

// Copy-on-write before changing a shared object held through `object`: a
// unique object (count at most 1) gets a fresh change stamp; a shared one is
// cloned, the handle drops its reference on the original and holds the copy.
template <class T>
void make_unique(T*& object) {
  if (object->reference_count() <= 1) {
    object->set_change_stamp(next_change_stamp());
    return;
  }
  T* copy = static_cast<T*>(object->clone());
  object->drop_reference();
  object = copy;
  copy->add_reference();
}
