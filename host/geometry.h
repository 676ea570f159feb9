// Host value types for device coordinates and colours, and the host's
// clipping function.
//
// Device coordinates: x and y in the units of a rendition's clip rectangle,
// z the depth, growing away from the viewer.
#pragma once

#include <cstdint>

#include "korvo_api.h"

struct KT_Point {
  float x, y, z;
};

struct KT_Point_D {
  double x, y, z;
};

// The integer point form of the drawing actions.
struct KT_Point_I {
  std::int32_t x, y, z;
};

// A colour as four bytes, lowest address first: blue, green, red, alpha.
// Read as a little-endian 32-bit number it is 0xAARRGGBB.
struct KT_RGB32 {
  std::uint8_t blue, green, red, alpha;

  static constexpr KT_RGB32 from_argb(std::uint32_t argb) {
    return {static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 8),
            static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 24)};
  }
  constexpr std::uint32_t argb() const {
    return (std::uint32_t{alpha} << 24) | (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) |
           std::uint32_t{blue};
  }
  friend constexpr bool operator==(KT_RGB32, KT_RGB32) = default;
};

// A closed rectangle in device units: a point on a side is inside.
struct KT_Int_Rectangle {
  std::int32_t x_min, x_max, y_min, y_max;
  friend constexpr bool operator==(const KT_Int_Rectangle&, const KT_Int_Rectangle&) = default;
};

// Outcode bits written by KD_Clip. x and y are tested independently, so a
// point beyond a corner carries two bits.
enum KT_Outcode : std::uint16_t {
  outcode_left = 1,   // x < x_min
  outcode_right = 2,  // x > x_max
  outcode_below = 4,  // y < y_min
  outcode_above = 8,  // y > y_max
};

// Writes one outcode per point (0 inside) and returns `count` when every
// point is inside, 0 when every point lies beyond one common side (nothing
// to draw), and -1 otherwise. The rectangle's integers are compared in the
// points' precision: converted to float for KT_Point, exactly as doubles for
// KT_Point_D, so the codes agree with a float range computation against the
// same converted sides. A NaN coordinate compares false and gets code 0.
KORVO_API int KD_Clip(const KT_Int_Rectangle& rectangle, int count, const KT_Point* points,
                      std::uint16_t* outcodes);
KORVO_API int KD_Clip(const KT_Int_Rectangle& rectangle, int count, const KT_Point_D* points,
                      std::uint16_t* outcodes);
