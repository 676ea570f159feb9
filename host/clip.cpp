#include "geometry.h"

namespace {

// Sides converted to the points' precision once per call.
template <class Coordinate>
struct Sides {
  Coordinate x_min, x_max, y_min, y_max;
};

template <class Coordinate>
std::uint16_t outcode(const Sides<Coordinate>& s, Coordinate x, Coordinate y) {
  std::uint16_t code = 0;
  if (x < s.x_min) code |= outcode_left;
  if (x > s.x_max) code |= outcode_right;
  if (y < s.y_min) code |= outcode_below;
  if (y > s.y_max) code |= outcode_above;
  return code;
}

template <class Point>
int clip(const KT_Int_Rectangle& r, int count, const Point* points, std::uint16_t* outcodes) {
  using Coordinate = decltype(Point::x);
  const Sides<Coordinate> sides{static_cast<Coordinate>(r.x_min), static_cast<Coordinate>(r.x_max),
                                static_cast<Coordinate>(r.y_min), static_cast<Coordinate>(r.y_max)};
  std::uint16_t all = 0xFFFF;
  bool every_inside = true;
  for (int i = 0; i < count; ++i) {
    const std::uint16_t code = outcode(sides, points[i].x, points[i].y);
    outcodes[i] = code;
    all &= code;
    every_inside = every_inside && code == 0;
  }
  if (every_inside) return count;
  if (all != 0) return 0;
  return -1;
}

}  // namespace

int KD_Clip(const KT_Int_Rectangle& rectangle, int count, const KT_Point* points,
            std::uint16_t* outcodes) {
  return clip(rectangle, count, points, outcodes);
}

int KD_Clip(const KT_Int_Rectangle& rectangle, int count, const KT_Point_D* points,
            std::uint16_t* outcodes) {
  return clip(rectangle, count, points, outcodes);
}
