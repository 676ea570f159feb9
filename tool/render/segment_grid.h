// The segments of a scene's polylines in a uniform grid over the drawing,
// to find which of them holds a piece of a drawn line: the renderer hands
// on pieces without saying whose edge they lie on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tool/drawing/drawing.h"

namespace hlr_tool {

struct Grid_Segment {
  Drawing_Point a, b;  // drawing coordinates (y down)
};

// Distance from p to the segment, squared.
double distance_squared(const Grid_Segment& s, const Drawing_Point& p);

class Segment_Grid {
 public:
  // Each segment goes into every cell its box, widened by `tolerance`,
  // touches; a cell is about as wide as a segment is long on average, and
  // there are at most about four cells per segment.
  Segment_Grid(std::vector<Grid_Segment> segments, double width, double height, double tolerance);

  // The segments within the tolerance of both a and b (indices into the
  // segments given, in their order), found among those of the cell of
  // the middle of a-b.
  template <class Found>
  void for_each_holding(const Drawing_Point& a, const Drawing_Point& b, Found found) const {
    const double limit = tolerance_ * tolerance_;
    for (const std::uint32_t k : cell_of(0.5 * (a.x + b.x), 0.5 * (a.y + b.y))) {
      const Grid_Segment& s = segments_[k];
      if (distance_squared(s, a) <= limit && distance_squared(s, b) <= limit) {
        if (found(k)) return;
      }
    }
  }

  const Grid_Segment& segment(std::size_t k) const { return segments_[k]; }

 private:
  const std::vector<std::uint32_t>& cell_of(double x, double y) const {
    return cells_[row(y) * columns_ + column(x)];
  }
  std::size_t column(double x) const;
  std::size_t row(double y) const;

  std::vector<Grid_Segment> segments_;
  double tolerance_;
  double cell_ = 1.0;
  std::size_t columns_ = 1, rows_ = 1;
  std::vector<std::vector<std::uint32_t>> cells_;
};

}  // namespace hlr_tool
