#include "tool/render/polyline_models.h"

#include <algorithm>
#include <cmath>

namespace hlr_tool {

namespace {

struct Edge_Segment {
  double x0, y0, x1, y1;  // drawing coordinates (y down)
  std::int32_t model;
};

// Distance from p to the segment, squared.
double distance_squared(const Edge_Segment& s, double px, double py) {
  const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
  const double length_squared = dx * dx + dy * dy;
  double t = length_squared > 0.0 ? ((px - s.x0) * dx + (py - s.y0) * dy) / length_squared : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = s.x0 + t * dx - px, ey = s.y0 + t * dy - py;
  return ex * ex + ey * ey;
}

// The scene's edges in a uniform grid over the drawing, each in every cell
// its box (widened by the tolerance) touches, in scene order; a cell of
// the grid is about as wide as an edge is long on average.
class Edge_Grid {
 public:
  Edge_Grid(std::vector<Edge_Segment> edges, double width, double height, double tolerance)
      : edges_(std::move(edges)), tolerance_(tolerance) {
    double length = 0.0;
    for (const Edge_Segment& e : edges_) length += std::hypot(e.x1 - e.x0, e.y1 - e.y0);
    const double mean = edges_.empty() ? 1.0 : length / double(edges_.size());
    // At most about four cells per edge, whatever their lengths.
    const double least = std::sqrt(width * height / (4.0 * double(edges_.size()) + 1.0));
    cell_ = std::max({mean, least, 1e-9});
    columns_ = std::size_t(width / cell_) + 1;
    rows_ = std::size_t(height / cell_) + 1;
    cells_.resize(columns_ * rows_);
    for (std::size_t k = 0; k < edges_.size(); ++k) {
      const Edge_Segment& e = edges_[k];
      const std::size_t c0 = column(std::min(e.x0, e.x1) - tolerance_);
      const std::size_t c1 = column(std::max(e.x0, e.x1) + tolerance_);
      const std::size_t r0 = row(std::min(e.y0, e.y1) - tolerance_);
      const std::size_t r1 = row(std::max(e.y0, e.y1) + tolerance_);
      for (std::size_t r = r0; r <= r1; ++r) {
        for (std::size_t c = c0; c <= c1; ++c) cells_[r * columns_ + c].push_back(std::uint32_t(k));
      }
    }
  }

  // The model of the first edge that holds the segment a-b; -1 for none.
  std::int32_t model_holding(const Drawing_Point& a, const Drawing_Point& b) const {
    const double mx = 0.5 * (a.x + b.x), my = 0.5 * (a.y + b.y);
    const double limit = tolerance_ * tolerance_;
    for (const std::uint32_t k : cells_[row(my) * columns_ + column(mx)]) {
      const Edge_Segment& e = edges_[k];
      if (distance_squared(e, a.x, a.y) <= limit && distance_squared(e, b.x, b.y) <= limit) {
        return e.model;
      }
    }
    return -1;
  }

 private:
  std::size_t column(double x) const {
    return std::min(columns_ - 1, std::size_t(std::max(0.0, x / cell_)));
  }
  std::size_t row(double y) const {
    return std::min(rows_ - 1, std::size_t(std::max(0.0, y / cell_)));
  }

  std::vector<Edge_Segment> edges_;
  double tolerance_;
  double cell_ = 1.0;
  std::size_t columns_ = 1, rows_ = 1;
  std::vector<std::vector<std::uint32_t>> cells_;
};

}  // namespace

void find_polyline_models(Drawing& drawing, const Scene& scene, std::span<const Model> models) {
  std::vector<Edge_Segment> edges;
  std::size_t body = 0;
  for (std::size_t m = 0; m < models.size(); ++m) {
    for (std::size_t b = 0; b < models[m].bodies.size() && body < scene.bodies.size(); ++b) {
      for (const Device_Polyline& line : scene.bodies[body].polylines) {
        for (std::size_t k = 0; k + 1 < line.size(); ++k) {
          edges.push_back({double(line[k].x), drawing.height - double(line[k].y),
                           double(line[k + 1].x), drawing.height - double(line[k + 1].y),
                           std::int32_t(m)});
        }
      }
      ++body;
    }
  }
  // Pieces are float device coordinates worked out along their edge: a few
  // float steps of the drawing's size off it at most.
  const double tolerance = 1e-5 * (drawing.width + drawing.height);
  const Edge_Grid grid(std::move(edges), drawing.width, drawing.height, tolerance);
  for (std::size_t l = 0; l < layer_count; ++l) {
    for (Style_Group& group : drawing.layers[l]) {
      group.models.clear();
      for (const Drawing_Polyline& line : group.polylines) {
        group.models.push_back(static_cast<Layer>(l) == Layer::intersections
                                   ? -1
                                   : grid.model_holding(line[0], line[1]));
      }
    }
  }
}

}  // namespace hlr_tool
