// Scratch arrays of the intake: converted points and outcodes.
//
// A scratch array holds up to 64 elements inside itself and takes an array
// of `count` elements from the heap only beyond that, so that the common
// small primitive costs no allocation. The heap array belongs to the scratch
// array and is freed when it goes out of scope, normally or by an
// exception. Elements are left uninitialised: the owner writes each one
// before reading it.
#pragma once

#include <cstdint>
#include <memory>

#include "geometry.h"

template <class Element>
class scratch_array {
 public:
  static constexpr int inside_capacity = 64;

  // Room for `count` elements; a count of zero or less gives an empty array
  // that must not be indexed.
  explicit scratch_array(int count)
      : heap_(count > inside_capacity ? new Element[static_cast<std::size_t>(count)] : nullptr),
        elements_(heap_ ? heap_.get() : inside_) {}

  scratch_array(const scratch_array&) = delete;
  scratch_array& operator=(const scratch_array&) = delete;

  Element* data() noexcept { return elements_; }
  const Element* data() const noexcept { return elements_; }
  Element& operator[](int i) noexcept { return elements_[i]; }
  const Element& operator[](int i) const noexcept { return elements_[i]; }

 private:
  Element inside_[inside_capacity];
  std::unique_ptr<Element[]> heap_;
  Element* elements_;
};

// Points converted to float for the float operations.
using point_buffer = scratch_array<KT_Point>;
// One KD_Clip outcode per point.
using outcode_buffer = scratch_array<std::uint16_t>;

// The integer and double point forms as float, each value rounded to
// nearest; float points pass unchanged.
inline KT_Point to_float_point(const KT_Point& p) { return p; }
inline KT_Point to_float_point(const KT_Point_I& p) {
  return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}
inline KT_Point to_float_point(const KT_Point_D& p) {
  return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

// A point_buffer filled with `count` points converted to float, in order.
template <class Point>
class converted_points {
 public:
  converted_points(int count, const Point* points) : buffer_(count) {
    for (int i = 0; i < count; ++i) buffer_[i] = to_float_point(points[i]);
  }
  const KT_Point* data() const noexcept { return buffer_.data(); }

 private:
  point_buffer buffer_;
};
