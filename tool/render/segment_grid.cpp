#include "tool/render/segment_grid.h"

#include <algorithm>
#include <cmath>

namespace hlr_tool {

double distance_squared(const Grid_Segment& s, const Drawing_Point& p) {
  const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
  const double length_squared = dx * dx + dy * dy;
  double t =
      length_squared > 0.0 ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / length_squared : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = s.a.x + t * dx - p.x, ey = s.a.y + t * dy - p.y;
  return ex * ex + ey * ey;
}

Segment_Grid::Segment_Grid(std::vector<Grid_Segment> segments, double width, double height,
                           double tolerance)
    : segments_(std::move(segments)), tolerance_(tolerance) {
  double length = 0.0;
  for (const Grid_Segment& s : segments_) length += std::hypot(s.b.x - s.a.x, s.b.y - s.a.y);
  const double mean = segments_.empty() ? 1.0 : length / double(segments_.size());
  const double least = std::sqrt(width * height / (4.0 * double(segments_.size()) + 1.0));
  cell_ = std::max({mean, least, 1e-9});
  columns_ = std::size_t(width / cell_) + 1;
  rows_ = std::size_t(height / cell_) + 1;
  cells_.resize(columns_ * rows_);
  for (std::size_t k = 0; k < segments_.size(); ++k) {
    const Grid_Segment& s = segments_[k];
    const std::size_t c0 = column(std::min(s.a.x, s.b.x) - tolerance_);
    const std::size_t c1 = column(std::max(s.a.x, s.b.x) + tolerance_);
    const std::size_t r0 = row(std::min(s.a.y, s.b.y) - tolerance_);
    const std::size_t r1 = row(std::max(s.a.y, s.b.y) + tolerance_);
    for (std::size_t r = r0; r <= r1; ++r) {
      for (std::size_t c = c0; c <= c1; ++c) cells_[r * columns_ + c].push_back(std::uint32_t(k));
    }
  }
}

std::size_t Segment_Grid::column(double x) const {
  return std::min(columns_ - 1, std::size_t(std::max(0.0, x / cell_)));
}

std::size_t Segment_Grid::row(double y) const {
  return std::min(rows_ - 1, std::size_t(std::max(0.0, y / cell_)));
}

}  // namespace hlr_tool
