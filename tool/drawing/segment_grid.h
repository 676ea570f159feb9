// A uniform grid over a drawing of the segments (and boxes) that a
// post-pass on a finished Drawing looks up by place: the intersection pass
// finds the triangles and edges under a piece. Coordinates are the
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

struct Bounds {
  double min_x = std::numeric_limits<double>::infinity(), max_x = -min_x;
  double min_y = min_x, max_y = -min_x;
  void add(const Drawing_Point& p) {
    min_x = std::min(min_x, p.x), max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y), max_y = std::max(max_y, p.y);
  }
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
  Segment_Grid(const Bounds& bounds, std::size_t expected_segments, double tolerance)
      : tolerance_(tolerance), min_x_(bounds.min_x), min_y_(bounds.min_y) {
    const double width = std::max(bounds.max_x - bounds.min_x, 1.0);
    const double height = std::max(bounds.max_y - bounds.min_y, 1.0);
    // About one cell per segment, and never narrower than eight tolerances,
    // so that a piece a cell long touches at most three cells a side.
    const double per_segment =
        std::sqrt(width * height / double(std::max<std::size_t>(expected_segments, 1)));
    cell_ = std::max(per_segment, 8.0 * tolerance);
    columns_ = std::size_t(width / cell_) + 1;
    rows_ = std::size_t(height / cell_) + 1;
    head_.assign(columns_ * rows_, no_entry);
  }

  std::size_t size() const { return segments_.size(); }
  // An entry; a box's is its diagonal from (min_x, min_y).
  const Segment& operator[](std::size_t i) const { return segments_[i]; }

  void add(const Segment& s) {
    const auto id = begin_entry(s);
    for_each_cell(s, [&](std::size_t cell) { enter(cell, id); });
  }

  void add_box(const Bounds& box) {
    const auto id = begin_entry({{box.min_x, box.min_y}, {box.max_x, box.max_y}});
    for_each_box_cell(box, [&](std::size_t cell) { enter(cell, id); });
  }

  // Calls visit(index) once for every entry that may lie within the
  // tolerance of `s` (and some that do not).
  template <class Visit>
  void for_each_near(const Segment& s, Visit&& visit) {
    ++query_;
    for_each_cell(s, [&](std::size_t cell) {
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

  void enter(std::size_t cell, std::uint32_t id) {
    // An entry's pieces are entered one after the other: a cell that
    // already holds it has it at its head.
    if (head_[cell] != no_entry && entries_[head_[cell]].segment == id) return;
    entries_.push_back({id, head_[cell]});
    head_[cell] = std::uint32_t(entries_.size() - 1);
  }

  std::size_t clamped(double v, double origin, std::size_t count) const {
    const double k = std::floor((v - origin) / cell_);
    if (!(k > 0.0)) return 0;  // NaN too
    return std::min(std::size_t(k), count - 1);
  }

  template <class Visit>
  void for_each_box_cell(const Bounds& box, Visit&& visit) const {
    const std::size_t c0 = clamped(box.min_x - tolerance_, min_x_, columns_);
    const std::size_t c1 = clamped(box.max_x + tolerance_, min_x_, columns_);
    const std::size_t r0 = clamped(box.min_y - tolerance_, min_y_, rows_);
    const std::size_t r1 = clamped(box.max_y + tolerance_, min_y_, rows_);
    for (std::size_t r = r0; r <= r1; ++r) {
      for (std::size_t c = c0; c <= c1; ++c) visit(r * columns_ + c);
    }
  }

  template <class Visit>
  void for_each_cell(const Segment& s, Visit&& visit) const {
    const double length = std::hypot(s.b.x - s.a.x, s.b.y - s.a.y);
    const std::size_t pieces = std::max<std::size_t>(1, std::size_t(std::ceil(length / cell_)));
    for (std::size_t k = 0; k < pieces; ++k) {
      const double t0 = double(k) / double(pieces), t1 = double(k + 1) / double(pieces);
      Bounds piece;
      piece.add({s.a.x + t0 * (s.b.x - s.a.x), s.a.y + t0 * (s.b.y - s.a.y)});
      piece.add({s.a.x + t1 * (s.b.x - s.a.x), s.a.y + t1 * (s.b.y - s.a.y)});
      for_each_box_cell(piece, visit);
    }
  }

  double tolerance_;
  double min_x_, min_y_;
  double cell_ = 1.0;
  std::size_t columns_ = 1, rows_ = 1;
  std::vector<std::uint32_t> head_;
  std::vector<Entry> entries_;
  std::vector<Segment> segments_;
  std::vector<std::uint32_t> stamp_;  // per entry: the last query that saw it
  std::uint32_t query_ = 0;
};

}  // namespace hlr_tool
