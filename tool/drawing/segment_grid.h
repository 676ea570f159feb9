// Uniform grids over a drawing for the post-passes on a finished Drawing
// that look segments (and boxes) up by place: the intersection pass finds
// the triangles and edges under a piece; line precedence lays its own
// lists over the same cells. Coordinates are the
// drawing's (device units). Time grows with the number of segments and
// their length, never with their square.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "tool/drawing/drawing.h"

namespace hlr_tool {

struct Segment {
  Drawing_Point a, b;
};

// Distance from p to the segment.
inline double distance(const Drawing_Point& p, const Segment& s) {
  const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0.0 ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / length2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (s.a.x + t * dx), p.y - (s.a.y + t * dy));
}

// Square cells over a drawing's bounds, numbered row by row: which cells
// a box, or a segment taken a cell's length at a time, touches. The grids
// of segments below keep their lists per cell; this is where a place
// turns into cells.
class Grid_Cells {
 public:
  // The side of the square each of `count` things would have if they
  // shared the bounds' area evenly: a grid sizes its cells from it.
  static double share_side(const Bounds& bounds, std::size_t count) {
    return std::sqrt(width_of(bounds) * height_of(bounds) /
                     double(std::max<std::size_t>(count, 1)));
  }

  Grid_Cells(const Bounds& bounds, double side)
      : min_x_(bounds.min_x),
        min_y_(bounds.min_y),
        side_(side),
        columns_(std::size_t(width_of(bounds) / side) + 1),
        rows_(std::size_t(height_of(bounds) / side) + 1) {}

  std::size_t count() const { return columns_ * rows_; }
  double side() const { return side_; }

  // Calls visit(cell) for every cell that `box`, widened by `widen`,
  // touches; what lies outside the bounds counts as in the border cells.
  template <class Visit>
  void for_each_box_cell(const Bounds& box, double widen, Visit&& visit) const {
    const Cell_Span span = span_of(box, widen);
    for (std::size_t r = span.r0; r <= span.r1; ++r) {
      for (std::size_t c = span.c0; c <= span.c1; ++c) visit(r * columns_ + c);
    }
  }

  // The same for the pieces of `s` a cell long at most, in order along it,
  // each cell once. The pieces' widened boxes overlap, but only
  // neighbours: the ends move one way along each axis, so a cell in a
  // piece's box and in any box before it is also in the box just before.
  template <class Visit>
  void for_each_segment_cell(const Segment& s, double widen, Visit&& visit) const {
    const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
    const double length = std::hypot(dx, dy);
    const std::size_t pieces = std::max<std::size_t>(1, std::size_t(std::ceil(length / side_)));
    Cell_Span before{1, 0, 1, 0};  // empty
    for (std::size_t k = 0; k < pieces; ++k) {
      const double t0 = double(k) / double(pieces), t1 = double(k + 1) / double(pieces);
      Bounds piece;
      piece.add({s.a.x + t0 * dx, s.a.y + t0 * dy});
      piece.add({s.a.x + t1 * dx, s.a.y + t1 * dy});
      const Cell_Span span = span_of(piece, widen);
      for (std::size_t r = span.r0; r <= span.r1; ++r) {
        const bool row_before = r >= before.r0 && r <= before.r1;
        for (std::size_t c = span.c0; c <= span.c1; ++c) {
          if (row_before && c >= before.c0 && c <= before.c1) continue;
          visit(r * columns_ + c);
        }
      }
      before = span;
    }
  }

  // Calls visit(cell) once for every cell that the rectangle around `s`
  // touches: `reach` on either side of its line and `overhang` beyond its
  // ends, turned with it. Where the lines that matter run nearly parallel
  // to `s`, this reads a band instead of a square as wide as the band
  // around each piece of `s`. A zero-length `s` reads the square around
  // its point.
  template <class Visit>
  void for_each_band_cell(const Segment& s, double reach, double overhang, Visit&& visit) const {
    const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
    const double length = std::hypot(dx, dy);
    if (!(length > 0.0)) {
      Bounds point;
      point.add(s.a);
      for_each_box_cell(point, std::max(reach, overhang), visit);
      return;
    }
    const double ux = dx / length, uy = dy / length;  // along s
    const double ax = s.a.x - ux * overhang, ay = s.a.y - uy * overhang;
    const double bx = s.b.x + ux * overhang, by = s.b.y + uy * overhang;
    const double nx = -uy * reach, ny = ux * reach;
    const double corner_x[4] = {ax - nx, bx - nx, bx + nx, ax + nx};
    const double corner_y[4] = {ay - ny, by - ny, by + ny, ay + ny};
    const double y_low = std::min({corner_y[0], corner_y[1], corner_y[2], corner_y[3]});
    const double y_high = std::max({corner_y[0], corner_y[1], corner_y[2], corner_y[3]});
    const std::size_t r0 = clamped(y_low, min_y_, rows_), r1 = clamped(y_high, min_y_, rows_);
    for (std::size_t r = r0; r <= r1; ++r) {
      // The row's stretch of y, the border rows open outwards, cut down
      // to the rectangle's; the rectangle's x over it, at its corners in
      // it and where its sides cross the stretch's ends.
      const double row_low = r == 0 ? y_low : std::max(y_low, min_y_ + double(r) * side_);
      const double row_high =
          r + 1 == rows_ ? y_high : std::min(y_high, min_y_ + double(r + 1) * side_);
      double x_low = std::numeric_limits<double>::infinity(), x_high = -x_low;
      const auto take = [&](double x) {
        x_low = std::min(x_low, x);
        x_high = std::max(x_high, x);
      };
      for (int k = 0; k < 4; ++k) {
        const double x0 = corner_x[k], y0 = corner_y[k];
        const double x1 = corner_x[(k + 1) % 4], y1 = corner_y[(k + 1) % 4];
        if (y0 >= row_low && y0 <= row_high) take(x0);
        if (y0 == y1) continue;
        for (const double y : {row_low, row_high}) {
          if ((y0 - y) * (y1 - y) < 0.0) take(x0 + (x1 - x0) * ((y - y0) / (y1 - y0)));
        }
      }
      if (!(x_low <= x_high)) continue;
      const std::size_t c0 = clamped(x_low, min_x_, columns_);
      const std::size_t c1 = clamped(x_high, min_x_, columns_);
      for (std::size_t c = c0; c <= c1; ++c) visit(r * columns_ + c);
    }
  }

 private:
  static double width_of(const Bounds& b) { return std::max(b.max_x - b.min_x, 1.0); }
  static double height_of(const Bounds& b) { return std::max(b.max_y - b.min_y, 1.0); }

  // Rows r0 to r1 and columns c0 to c1, both ends included.
  struct Cell_Span {
    std::size_t r0, r1, c0, c1;
  };
  Cell_Span span_of(const Bounds& box, double widen) const {
    return {clamped(box.min_y - widen, min_y_, rows_), clamped(box.max_y + widen, min_y_, rows_),
            clamped(box.min_x - widen, min_x_, columns_),
            clamped(box.max_x + widen, min_x_, columns_)};
  }

  std::size_t clamped(double v, double origin, std::size_t count) const {
    const double k = std::floor((v - origin) / side_);
    if (!(k > 0.0)) return 0;  // NaN too
    return std::min(std::size_t(k), count - 1);
  }

  double min_x_, min_y_;
  double side_;
  std::size_t columns_, rows_;
};

// Segments in square cells; each segment is entered, a cell's length of it
// at a time, in every cell that its pieces widened by the tolerance touch,
// so that the cells a query segment's pieces touch hold every segment
// within the tolerance of it. A box is entered in every cell it touches,
// widened likewise. A cell's entries are a list threaded through one array
// (newest first), so adding allocates nothing per cell. Entries are
// numbered in the order they were added.
class Segment_Grid {
 public:
  // About one cell per segment, and never narrower than eight tolerances,
  // so that a piece a cell long touches at most three cells a side.
  Segment_Grid(const Bounds& bounds, std::size_t expected_segments, double tolerance)
      : tolerance_(tolerance),
        cells_(bounds,
               std::max(Grid_Cells::share_side(bounds, expected_segments), 8.0 * tolerance)) {
    head_.assign(cells_.count(), no_entry);
  }

  std::size_t size() const { return segments_.size(); }
  // An entry; a box's is its diagonal from (min_x, min_y).
  const Segment& operator[](std::size_t i) const { return segments_[i]; }

  void add(const Segment& s) {
    const auto id = begin_entry(s);
    cells_.for_each_segment_cell(s, tolerance_, [&](std::size_t cell) { enter(cell, id); });
  }

  void add_box(const Bounds& box) {
    const auto id = begin_entry({{box.min_x, box.min_y}, {box.max_x, box.max_y}});
    cells_.for_each_box_cell(box, tolerance_, [&](std::size_t cell) { enter(cell, id); });
  }

  // Calls visit(index) once for every entry that may lie within the
  // tolerance of `s` (and some that do not).
  template <class Visit>
  void for_each_near(const Segment& s, Visit&& visit) {
    ++query_;
    cells_.for_each_segment_cell(s, tolerance_, [&](std::size_t cell) {
      for (std::uint32_t e = head_[cell]; e != no_entry; e = entries_[e].next) {
        const std::uint32_t id = entries_[e].segment;
        if (stamp_[id] == query_) continue;
        stamp_[id] = query_;
        visit(id);
      }
    });
  }

  // Calls holds(index) for every segment entry with both ends of `s`
  // within the tolerance of it, in the order the cells give them, until
  // holds returns true: the renderer's pieces of a scene's line lie on
  // one of its segments within the rounding of device coordinates.
  template <class Holds>
  void for_each_holding(const Segment& s, Holds&& holds) {
    bool done = false;
    for_each_near(s, [&](std::size_t id) {
      if (done) return;
      const Segment& held = segments_[id];
      if (distance(s.a, held) <= tolerance_ && distance(s.b, held) <= tolerance_) done = holds(id);
    });
  }

 private:
  static constexpr std::uint32_t no_entry = std::numeric_limits<std::uint32_t>::max();
  struct Entry {
    std::uint32_t segment;
    std::uint32_t next;
  };

  std::uint32_t begin_entry(const Segment& s) {
    segments_.push_back(s);
    stamp_.push_back(0);
    return std::uint32_t(segments_.size() - 1);
  }

  // Each cell once per entry: the cell walks give every cell once.
  void enter(std::size_t cell, std::uint32_t id) {
    entries_.push_back({id, head_[cell]});
    head_[cell] = std::uint32_t(entries_.size() - 1);
  }

  double tolerance_;
  Grid_Cells cells_;
  std::vector<std::uint32_t> head_;
  std::vector<Entry> entries_;
  std::vector<Segment> segments_;
  std::vector<std::uint32_t> stamp_;  // per entry: the last query that saw it
  std::uint32_t query_ = 0;
};

}  // namespace hlr_tool
