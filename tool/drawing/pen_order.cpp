#include "tool/drawing/pen_order.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace hlr_tool {

namespace {

double distance(const Drawing_Point& a, const Drawing_Point& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// The polyline ends of one style group in a uniform grid of about one end
// per cell, so that the nearest end is found by searching rings of cells
// outwards from the pen until no nearer end can be in the next ring.
class End_Grid {
 public:
  explicit End_Grid(const std::vector<Drawing_Polyline>& lines) : lines_(lines) {
    Bounds ends;
    for (const Drawing_Polyline& line : lines) {
      ends.add(line.front());
      ends.add(line.back());
    }
    const auto [min_x, max_x, min_y, max_y] = ends;
    origin_ = {min_x, min_y};
    const double area = std::max(max_x - min_x, 1e-9) * std::max(max_y - min_y, 1e-9);
    // About two ends per cell; a flat or thin extent gets fewer cells.
    cell_ = std::max(std::sqrt(area / double(lines.size())), 1e-9);
    const double limit = 4.0 * double(lines.size()) + 16.0;
    for (;;) {
      const double columns = std::floor((max_x - min_x) / cell_) + 1.0;
      const double rows = std::floor((max_y - min_y) / cell_) + 1.0;
      if (columns * rows <= limit) {
        columns_ = std::int64_t(columns);
        rows_ = std::int64_t(rows);
        break;
      }
      cell_ *= 2.0;
    }
    cells_.resize(std::size_t(columns_ * rows_));
    for (std::uint32_t i = 0; i < lines.size(); ++i) {
      cells_[cell_of(lines[i].front())].push_back(2 * i);
      cells_[cell_of(lines[i].back())].push_back(2 * i + 1);
    }
    taken_.assign(lines.size(), false);
  }

  // The nearest end (line * 2 + which end) of a line not yet taken;
  // ties go to the lower number.
  std::uint32_t nearest(const Drawing_Point& pen) const {
    const std::int64_t cx = clamp_column(pen.x), cy = clamp_row(pen.y);
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    double best_distance = std::numeric_limits<double>::infinity();
    const std::int64_t most = std::max(columns_, rows_);
    for (std::int64_t ring = 0; ring <= most; ++ring) {
      // Every end outside the rings so far is at least this far away.
      if (ring > 0 &&
          (covers(cx, cy, ring - 1) || best_distance < outside_bound(pen, cx, cy, ring - 1))) {
        break;
      }
      for (std::int64_t y = cy - ring; y <= cy + ring; ++y) {
        if (y < 0 || y >= rows_) continue;
        const bool edge_row = y == cy - ring || y == cy + ring;
        for (std::int64_t x = cx - ring; x <= cx + ring; x += edge_row ? 1 : 2 * ring) {
          if (x >= 0 && x < columns_) {
            for (std::uint32_t end : cells_[std::size_t(y * columns_ + x)]) {
              if (taken_[end / 2]) continue;
              const Drawing_Point& p =
                  end % 2 == 0 ? lines_[end / 2].front() : lines_[end / 2].back();
              const double d = distance(pen, p);
              if (d < best_distance || (d == best_distance && end < best))
                best = end, best_distance = d;
            }
          }
          if (ring == 0) break;
        }
      }
    }
    return best;
  }

  void take(std::uint32_t line) { taken_[line] = true; }

 private:
  std::int64_t clamp_column(double x) const {
    return std::clamp<std::int64_t>(std::int64_t(std::floor((x - origin_.x) / cell_)), 0,
                                    columns_ - 1);
  }
  std::int64_t clamp_row(double y) const {
    return std::clamp<std::int64_t>(std::int64_t(std::floor((y - origin_.y) / cell_)), 0,
                                    rows_ - 1);
  }
  std::size_t cell_of(const Drawing_Point& p) const {
    return std::size_t(clamp_row(p.y) * columns_ + clamp_column(p.x));
  }
  bool covers(std::int64_t cx, std::int64_t cy, std::int64_t ring) const {
    return cx - ring <= 0 && cx + ring >= columns_ - 1 && cy - ring <= 0 && cy + ring >= rows_ - 1;
  }
  // A lower bound of the distance from the pen to any end in a cell
  // outside the square of rings 0..ring around cell (cx, cy).
  double outside_bound(const Drawing_Point& pen, std::int64_t cx, std::int64_t cy,
                       std::int64_t ring) const {
    const double left = origin_.x + double(cx - ring) * cell_;
    const double right = origin_.x + double(cx + ring + 1) * cell_;
    const double top = origin_.y + double(cy - ring) * cell_;
    const double bottom = origin_.y + double(cy + ring + 1) * cell_;
    double bound = std::numeric_limits<double>::infinity();
    // Sides beyond the grid hide nothing.
    if (cx - ring > 0) bound = std::min(bound, pen.x - left);
    if (cx + ring < columns_ - 1) bound = std::min(bound, right - pen.x);
    if (cy - ring > 0) bound = std::min(bound, pen.y - top);
    if (cy + ring < rows_ - 1) bound = std::min(bound, bottom - pen.y);
    return std::max(bound, 0.0);
  }

  const std::vector<Drawing_Polyline>& lines_;
  Drawing_Point origin_{0.0, 0.0};
  double cell_ = 1.0;
  std::int64_t columns_ = 1, rows_ = 1;
  std::vector<std::vector<std::uint32_t>> cells_;
  std::vector<bool> taken_;
};

}  // namespace

double pen_up_travel(const Drawing& drawing) {
  Drawing_Point pen{0.0, 0.0};
  double travel = 0.0;
  for (const auto& layer : drawing.layers) {
    for (const Style_Group& group : layer) {
      for (const Drawing_Polyline& line : group.polylines) {
        travel += distance(pen, line.front());
        pen = line.back();
      }
    }
  }
  return travel;
}

void order_for_plotter(Drawing& drawing) {
  Drawing_Point pen{0.0, 0.0};
  for (auto& layer : drawing.layers) {
    for (Style_Group& group : layer) {
      if (group.polylines.empty()) continue;
      End_Grid grid(group.polylines);
      std::vector<Drawing_Polyline> ordered;
      std::vector<std::int32_t> models;
      std::vector<std::optional<Drawing_Arc>> arcs;
      ordered.reserve(group.polylines.size());
      for (std::size_t k = 0; k < group.polylines.size(); ++k) {
        const std::uint32_t end = grid.nearest(pen);
        grid.take(end / 2);
        Drawing_Polyline line = std::move(group.polylines[end / 2]);
        if (end % 2 == 1) std::reverse(line.begin(), line.end());
        pen = line.back();
        ordered.push_back(std::move(line));
        if (!group.models.empty()) models.push_back(group.models[end / 2]);
        if (!group.arcs.empty()) {
          std::optional<Drawing_Arc> arc = group.arcs[end / 2];
          if (arc && end % 2 == 1) std::swap(arc->start, arc->end);
          arcs.push_back(arc);
        }
      }
      group.polylines = std::move(ordered);
      group.models = std::move(models);
      group.arcs = std::move(arcs);
    }
  }
}

}  // namespace hlr_tool
