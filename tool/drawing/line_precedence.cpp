#include "tool/drawing/line_precedence.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "tool/common/parallel.h"
#include "tool/drawing/segment_grid.h"

namespace hlr_tool {

namespace {

// A piece of a segment as parameters along it: 0 at a, 1 at b.
struct Range {
  double from, to;
};

double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// Segments in square cells and, within a cell, in classes of direction:
// a piece can only lie on a segment that runs parallel to it, so a query
// reads the one or two classes within parallel_degrees of its own
// direction, and skips the segments that cross it, most of those near it
// where lines crowd (the far hills of a terrain seen with every edge: 25
// segments to a square device unit).
//
// Each segment is entered, a cell's length of it at a time, in every cell
// that its pieces touch. A query reads the cells of a band along its
// segment: a point p of the query segment s lies on a segment v when p is
// within the tolerance of v's line and v's ends fall on either side of p
// along s; then v crosses the normal to s at p within the tolerance over
// the cosine of the angle between them, at most 10 degrees. So the band
// reaches that far to either side of s and no further than its ends, and
// holds a point of every segment that a piece of s can lie on (a square
// around s widened by the tolerance, the band's bounding box, reads
// several times the cells where segments crowd). A segment
// may be met in several cells: the caller sees it once per cell,
// which changes nothing, since what it does with a segment is take the
// union of ranges. The lines that cover all others (visible, intersections)
// are entered first and then frozen into one array ordered by cell and
// class, coordinates inline, so that a query reads them in sequence; what
// the thinning keeps later goes into lists threaded through a second array
// (newest first), so adding allocates nothing per cell.
class Covering_Grid {
 public:
  // Cells of about nine segments, three times the side of one segment's
  // share (more, emptier cells cost more to clear and to walk: bunny00
  // with every edge drawn, 95 ms at one segment a cell, 65 ms at nine),
  // and never narrower than half a tolerance: a query's band is two
  // tolerances wide, and narrower cells would only add lookups.
  Covering_Grid(const Bounds& bounds, std::size_t expected_segments, double tolerance)
      : tolerance_(tolerance),
        cells_(bounds,
               std::max(3.0 * Grid_Cells::share_side(bounds, expected_segments), 0.5 * tolerance)) {
    head_.assign(cells_.count() * classes, no_entry);
  }

  // The covering lines, once, before anything is added. The cells of each
  // are found on the threads, a part of the lines each; then they are
  // counted and filled in, in order.
  void set_covering(const std::vector<Segment>& lines, std::size_t threads) {
    struct Part {
      std::vector<std::uint32_t> keys;    // of its lines in turn, each cell once
      std::vector<std::uint32_t> counts;  // keys per line
    };
    constexpr std::size_t lines_per_part = 16384;
    std::vector<Part> parts((lines.size() + lines_per_part - 1) / lines_per_part);
    for_each_in_parallel(parts.size(), threads, [&](std::size_t p) {
      Part& part = parts[p];
      const std::size_t end = std::min(lines.size(), (p + 1) * lines_per_part);
      for (std::size_t i = p * lines_per_part; i < end; ++i) {
        const std::size_t first = part.keys.size();
        const std::size_t direction = direction_class(lines[i]);
        cells_.for_each_segment_cell(lines[i], 0.0, [&](std::size_t cell) {
          part.keys.push_back(std::uint32_t(cell * classes + direction));
        });
        part.counts.push_back(std::uint32_t(part.keys.size() - first));
      }
    });
    frozen_start_.assign(head_.size() + 1, 0);
    for (const Part& part : parts) {
      for (const std::uint32_t key : part.keys) ++frozen_start_[key + 1];
    }
    for (std::size_t k = 1; k < frozen_start_.size(); ++k) {
      frozen_start_[k] += frozen_start_[k - 1];
    }
    frozen_.resize(frozen_start_.back());
    std::vector<std::uint32_t> next(frozen_start_.begin(), frozen_start_.end() - 1);
    std::size_t line = 0;
    for (const Part& part : parts) {
      std::size_t k = 0;
      for (const std::uint32_t count : part.counts) {
        for (const std::size_t end = k + count; k < end; ++k) {
          frozen_[next[part.keys[k]]++] = lines[line];
        }
        ++line;
      }
    }
  }

  // After set_covering(): a kept piece, numbered in the order of adding from 0.
  void add(const Segment& s) {
    const auto id = added_++;
    const std::size_t direction = direction_class(s);
    cells_.for_each_segment_cell(s, 0.0, [&](std::size_t cell) {
      std::uint32_t& head = head_[cell * classes + direction];
      entries_.push_back({s, id, head});
      head = std::uint32_t(entries_.size() - 1);
    });
  }
  std::uint32_t added() const { return added_; }

  // Calls visit(segment, id) for every segment that may lie on `s` within
  // the tolerance and runs parallel to it (and some that do not), until it
  // returns false: the covering lines if `covering` (id no_entry), and the
  // pieces added if `added` (id the number add() gave it).
  template <class Visit>
  void for_each_near(const Segment& s, bool covering, bool added, Visit&& visit) const {
    // The classes whose directions come within parallel_degrees of s's,
    // with a little to spare for rounding.
    const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
    const std::size_t first =
        class_of(dx * reach_cos + dy * reach_sin, dy * reach_cos - dx * reach_sin);
    const std::size_t last =
        class_of(dx * reach_cos - dy * reach_sin, dy * reach_cos + dx * reach_sin);
    bool reading = true;
    const auto read = [&](std::size_t key) {
      if (covering) {
        for (std::uint32_t k = frozen_start_[key]; k < frozen_start_[key + 1]; ++k)
          if (!visit(frozen_[k], no_entry)) return false;
      }
      if (added) {
        for (std::uint32_t e = head_[key]; e != no_entry; e = entries_[e].next)
          if (!visit(entries_[e].segment, entries_[e].id)) return false;
      }
      return true;
    };
    cells_.for_each_band_cell(s, band_reach * tolerance_, band_overhang, [&](std::size_t cell) {
      if (!reading) return;
      for (std::size_t c = first;; c = (c + 1) % classes) {
        reading = read(cell * classes + c);
        if (!reading || c == last) break;
      }
    });
  }

  static constexpr std::uint32_t no_entry = std::numeric_limits<std::uint32_t>::max();

 private:
  // Directions are taken modulo 180 degrees (a line has no sense), in
  // classes of 30 degrees: wider than the two tolerances, so a query reads
  // at most two.
  static constexpr std::size_t classes = 6;
  // The class of direction (dx, dy): how many of the classes' inner
  // borders, at 30, 60, 90, 120 and 150 degrees, it has passed, once
  // turned into [0, 180) degrees. Products, not an arc tangent: this runs
  // for every piece added and every query.
  static std::size_t class_of(double dx, double dy) {
    if (dy < 0.0 || (dy == 0.0 && dx < 0.0)) dx = -dx, dy = -dy;
    constexpr double half_root3 = 0.8660254037844387;  // cos 30 degrees
    constexpr double border_cos[classes - 1] = {half_root3, 0.5, 0.0, -0.5, -half_root3};
    constexpr double border_sin[classes - 1] = {0.5, half_root3, 1.0, half_root3, 0.5};
    std::size_t passed = 0;
    for (std::size_t k = 0; k + 1 < classes; ++k) {
      if (cross(border_cos[k], border_sin[k], dx, dy) >= 0.0) ++passed;
    }
    return passed;
  }
  static std::size_t direction_class(const Segment& s) {
    return class_of(s.b.x - s.a.x, s.b.y - s.a.y);
  }
  // A query reads the classes from its direction turned back by the
  // parallel tolerance to its direction turned on by it, with half a
  // degree to spare for rounding.
  static constexpr double reach_cos = 0.9832549075639546;   // cos 10.5 degrees
  static constexpr double reach_sin = 0.18223552549214747;  // sin 10.5 degrees
  static_assert(parallel_degrees == 10.0, "reach_cos and reach_sin turn by 10.5 degrees");
  // The band of a query, in tolerances to either side (1 / cos 10 degrees
  // is 1.0154) and in device units beyond its ends, both with far more to
  // spare than rounding takes.
  static constexpr double band_reach = 1.03;
  static constexpr double band_overhang = 0.01;

  struct Entry {
    Segment segment;
    std::uint32_t id;
    std::uint32_t next;
  };

  double tolerance_;
  Grid_Cells cells_;
  std::vector<std::uint32_t> frozen_start_;  // per cell and class, then one past the end
  std::vector<Segment> frozen_;
  std::vector<std::uint32_t> head_;  // per cell and class
  std::vector<Entry> entries_;
  std::uint32_t added_ = 0;
};

// The sine of parallel_degrees.
const double sin_parallel = std::sin(parallel_degrees * std::numbers::pi / 180.0);

// Whether `v` runs parallel to `s` within parallel_degrees (neither of
// zero length). Most segments near a piece
// cross it: this turns them away before any root or division, inline in
// the loops over the grid.
inline bool runs_parallel(const Segment& s, const Segment& v) {
  const double sx = s.b.x - s.a.x, sy = s.b.y - s.a.y;
  const double vx = v.b.x - v.a.x, vy = v.b.y - v.a.y;
  const double s_length2 = sx * sx + sy * sy, v_length2 = vx * vx + vy * vy;
  if (!(s_length2 > 0.0 && v_length2 > 0.0)) return false;
  const double turn = cross(sx, sy, vx, vy);
  return turn * turn <= sin_parallel * sin_parallel * s_length2 * v_length2;
}

// The part of `s` that lies on `v`, where runs_parallel(s, v): the
// parameters of `s` whose points lie within the tolerance of v's line and
// whose foot on that line falls within `v`. Empty (from >= to) if none.
Range range_on(const Segment& s, const Segment& v) {
  constexpr double tolerance = coincidence_tolerance;
  const double sx = s.b.x - s.a.x, sy = s.b.y - s.a.y;
  const double vx = v.b.x - v.a.x, vy = v.b.y - v.a.y;
  const double s_length2 = sx * sx + sy * sy, v_length2 = vx * vx + vy * vy;
  constexpr Range none{1.0, 0.0};
  // Most parallel segments near `s` lie beside it or beyond its ends:
  // those are turned away on products alone. Where v's ends fall along s,
  // before the division by s_length2 (which keeps the sign, and keeps
  // `s_length2 / s_length2` at 1), and how far s's ends lie from v's line,
  // times v's length: the range below is empty if both lie beyond the
  // tolerance on one side, which a margin far above rounding makes sure of
  // before the root.
  const double along0 = (v.a.x - s.a.x) * sx + (v.a.y - s.a.y) * sy;
  const double along1 = (v.b.x - s.a.x) * sx + (v.b.y - s.a.y) * sy;
  if (std::max(along0, along1) <= 0.0 || std::min(along0, along1) >= s_length2) return none;
  const double ca = cross(vx, vy, s.a.x - v.a.x, s.a.y - v.a.y);
  const double cb = cross(vx, vy, s.b.x - v.a.x, s.b.y - v.a.y);
  if ((ca > 0.0) == (cb > 0.0) && std::min(ca * ca, cb * cb) > 1.000001 * v_length2) return none;
  static_assert(tolerance == 1.0, "the margin above compares squared distances with 1");
  const double v_length = std::sqrt(v_length2);
  // Signed distances of s's ends from v's line; between them it is linear.
  const double da = ca / v_length;
  const double db = cb / v_length;
  Range range{0.0, 1.0};
  if (da != db) {
    const double t1 = (-tolerance - da) / (db - da), t2 = (tolerance - da) / (db - da);
    range = {std::max(0.0, std::min(t1, t2)), std::min(1.0, std::max(t1, t2))};
  } else if (std::fabs(da) > tolerance) {
    return none;
  }
  // Where v's ends fall along s. No allowance beyond them: the segment
  // before s in its own polyline would otherwise take the start of s.
  const double p0 = along0 / s_length2;
  const double p1 = along1 / s_length2;
  range.from = std::max(range.from, std::min(p0, p1));
  range.to = std::min(range.to, std::max(p0, p1));
  return range;
}

// Sorts and merges `ranges` in place; returns their total in parameters.
double merge(std::vector<Range>& ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.from < b.from; });
  std::size_t kept = 0;
  for (const Range& r : ranges) {
    if (kept > 0 && r.from <= ranges[kept - 1].to) {
      ranges[kept - 1].to = std::max(ranges[kept - 1].to, r.to);
    } else {
      ranges[kept++] = r;
    }
  }
  ranges.resize(kept);
  double total = 0.0;
  for (const Range& r : ranges) total += r.to - r.from;
  return total;
}

// Ranges covering all of a segment: the only one, [0, 1].
bool all_of_it(const std::vector<Range>& ranges) {
  return ranges.size() == 1 && ranges[0].from == 0.0 && ranges[0].to == 1.0;
}

Drawing_Point at(const Segment& s, double t) {
  if (t <= 0.0) return s.a;
  if (t >= 1.0) return s.b;
  return {s.a.x + t * (s.b.x - s.a.x), s.a.y + t * (s.b.y - s.a.y)};
}

// Where a layer's polyline is: its group and its place in the group.
struct Line_At {
  std::size_t group, index;
};

// The layer's polylines in the Drawing's order, and that order cut into
// runs of whole polylines, about the same number of segments in each.
struct Layer_Runs {
  std::vector<Line_At> lines;
  std::vector<std::size_t> start;  // per run, then one past the last

  Layer_Runs(const std::vector<Style_Group>& groups, std::size_t runs_wanted_per_thread,
             std::size_t threads) {
    std::size_t segments = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
      for (std::size_t p = 0; p < groups[g].polylines.size(); ++p) {
        lines.push_back({g, p});
        segments += groups[g].polylines[p].size() - 1;
      }
    }
    const std::size_t runs =
        std::max<std::size_t>(1, std::min(segments / 2048, threads * runs_wanted_per_thread));
    start.push_back(0);
    for (std::size_t l = 0, in_run = 0; l < lines.size(); ++l) {
      in_run += groups[lines[l].group].polylines[lines[l].index].size() - 1;
      if (in_run * runs >= segments && l + 1 < lines.size() && start.size() < runs) {
        start.push_back(l + 1);
        in_run = 0;
      }
    }
    start.push_back(lines.size());
  }
  std::size_t runs() const { return start.size() - 1; }
};

// What of each segment of a run of a layer's polylines lies on the
// covering lines: merged ranges, in order. The covering lines never change
// while a layer is thinned, so this is found run by run on several
// threads (it is most of the work), beside the thinning, which takes the
// runs in order: what lies on the layer's own kept pieces depends on that
// order.
struct Run_Covering {
  std::vector<std::uint32_t> counts;  // per segment
  std::vector<Range> ranges;
};

Run_Covering covering_of(const Covering_Grid& grid, const std::vector<Style_Group>& groups,
                         const Layer_Runs& runs, std::size_t run) {
  Run_Covering covering;
  std::vector<Range> found;
  for (std::size_t l = runs.start[run]; l < runs.start[run + 1]; ++l) {
    const Drawing_Polyline& line = groups[runs.lines[l].group].polylines[runs.lines[l].index];
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
      const Segment s{line[i], line[i + 1]};
      found.clear();
      bool whole = false;
      grid.for_each_near(s, true, false, [&](const Segment& v, std::uint32_t) {
        if (!runs_parallel(s, v)) return true;
        const Range range = range_on(s, v);
        if (!(range.from < range.to)) return true;
        // Kept in order of start, so that whether they cover all of the
        // segment, after which nothing can add to them, is one pass.
        found.insert(
            std::upper_bound(found.begin(), found.end(), range,
                             [](const Range& a, const Range& b) { return a.from < b.from; }),
            range);
        double reach = 0.0;
        for (const Range& r : found) {
          if (r.from > reach) break;
          reach = std::max(reach, r.to);
        }
        whole = reach >= 1.0;
        return !whole;
      });
      if (whole) found.assign(1, {0.0, 1.0});
      merge(found);
      covering.counts.push_back(std::uint32_t(found.size()));
      covering.ranges.insert(covering.ranges.end(), found.begin(), found.end());
    }
  }
  return covering;
}

// Thins one layer, polyline by polyline in the Drawing's order, against
// the grid, and adds what it keeps to the grid.
class Layer_Thinner {
 public:
  // Pieces the grid numbered below `covering_pieces` are of higher layers.
  Layer_Thinner(Covering_Grid& grid, std::uint32_t covering_pieces,
                std::vector<Style_Group>& groups)
      : grid_(grid), covering_(covering_pieces), groups_(groups), kept_(groups.size()) {}

  // Lengths, in device units, of the layer before and of what was left
  // out because it lay on a covering segment or on the layer's own.
  double length = 0.0, under_covering = 0.0, under_own = 0.0;

  // From here on, what of each segment lies on the covering lines comes
  // from `found`, segment by segment, and no pieces the grid holds cover;
  // without, the grid's covering lines are read.
  void take_covering_from(const Run_Covering* found) {
    found_ = found;
    found_segment_ = found_range_ = 0;
  }

  // The polylines in the Drawing's order, each once.
  void thin(const Line_At& at) {
    Style_Group& group = groups_[at.group];
    Kept& kept = kept_[at.group];
    const std::size_t before = kept.lines.size();
    thin_polyline(std::move(group.polylines[at.index]), kept.lines);
    if (group.models.size() == group.polylines.size())
      kept.models.insert(kept.models.end(), kept.lines.size() - before, group.models[at.index]);
  }

  // After every polyline: the layer becomes what was kept.
  void finish() {
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      Style_Group& group = groups_[g];
      if (group.models.size() == group.polylines.size()) group.models = std::move(kept_[g].models);
      group.polylines = std::move(kept_[g].lines);
    }
  }

  void thin_all() {
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      for (std::size_t p = 0; p < groups_[g].polylines.size(); ++p) thin({g, p});
    }
    finish();
  }

 private:
  // The pieces of `line` that lie on nothing kept so far, in its order,
  // joined where they meet; each kept piece enters the grid at once.
  void thin_polyline(Drawing_Polyline line, std::vector<Drawing_Polyline>& out) {
    // Most lines lose nothing: they are handed on as they are, and copied
    // into `current` only from the first segment that loses something.
    bool whole = true;  // every segment so far kept whole
    Drawing_Polyline current;
    bool open = false;  // current ends at the start of the next segment
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
      const Segment s{line[i], line[i + 1]};
      const double s_length = std::hypot(s.b.x - s.a.x, s.b.y - s.a.y);
      length += s_length;
      const std::vector<Range>& pieces = kept_pieces(s, s_length);
      if (whole) {
        if (all_of_it(pieces)) {
          grid_.add(s);
          continue;
        }
        whole = false;
        if (i > 0) current.assign(line.begin(), line.begin() + std::ptrdiff_t(i) + 1);
        open = i > 0;
      }
      for (const Range& piece : pieces) {
        const Drawing_Point start = at(s, piece.from), end = at(s, piece.to);
        if (!(open && piece.from == 0.0)) {
          if (current.size() >= 2) out.push_back(std::move(current));
          current = {start};
        }
        current.push_back(end);
        open = piece.to == 1.0;
        grid_.add({start, end});
      }
      if (pieces.empty()) open = false;
    }
    if (whole) {
      if (line.size() >= 2) out.push_back(std::move(line));
    } else if (current.size() >= 2) {
      out.push_back(std::move(current));
    }
  }

  // The parts of `s` that stay, as parameter ranges in order.
  const std::vector<Range>& kept_pieces(const Segment& s, double s_length) {
    covering_ranges_.clear();
    own_ranges_.clear();
    pieces_.clear();
    if (found_) {
      const std::uint32_t count = found_->counts[found_segment_++];
      const auto first = found_->ranges.begin() + std::ptrdiff_t(found_range_);
      found_range_ += count;
      covering_ranges_.assign(first, first + count);
      // All of it on covering lines: nothing of its own layer can matter.
      if (all_of_it(covering_ranges_)) {
        under_covering += s_length;
        return pieces_;
      }
      // No gap between them long enough to keep: neither can it (what lies
      // on its own layer only narrows the gaps), and the far hills of a
      // terrain are mostly such short segments.
      if (count > 0 && !keeps_a_gap(covering_ranges_, s_length)) {
        const double covered = merge(covering_ranges_);
        under_covering += covered * s_length;
        under_own += std::max(0.0, 1.0 - covered) * s_length;
        return pieces_;
      }
    }
    grid_.for_each_near(s, !found_, true, [&](const Segment& v, std::uint32_t id) {
      if (!runs_parallel(s, v)) return true;
      const Range r = range_on(s, v);
      if (!(r.from < r.to)) return true;
      const bool covering = id == Covering_Grid::no_entry || id < covering_;
      (covering ? covering_ranges_ : own_ranges_).push_back(r);
      return true;
    });
    if (covering_ranges_.empty() && own_ranges_.empty()) {
      pieces_.push_back({0.0, 1.0});
      return pieces_;
    }
    const double covered = merge(covering_ranges_);
    own_ranges_.insert(own_ranges_.end(), covering_ranges_.begin(), covering_ranges_.end());
    merge(own_ranges_);
    // What is left between the covered ranges, less what is shorter than
    // the tolerance (a sliver at a bend of the covering line, or past its
    // end).
    double from = 0.0, left = 0.0;
    const auto keep = [&](double to) {
      if (long_enough(to - from, s_length)) {
        pieces_.push_back({from, to});
        left += to - from;
      }
    };
    for (const Range& r : own_ranges_) {
      keep(r.from);
      from = r.to;
    }
    keep(1.0);
    // Slivers count as lying on the layer's own lines.
    under_covering += covered * s_length;
    under_own += std::max(0.0, 1.0 - left - covered) * s_length;
    return pieces_;
  }

  // Whether a gap of `gap` in parameters is kept: no shorter than half
  // the tolerance.
  static bool long_enough(double gap, double s_length) {
    return gap * s_length >= 0.5 * coincidence_tolerance;
  }
  // Whether a gap before, between or after the merged `ranges` is kept.
  static bool keeps_a_gap(const std::vector<Range>& ranges, double s_length) {
    double from = 0.0;
    for (const Range& r : ranges) {
      if (long_enough(r.from - from, s_length)) return true;
      from = r.to;
    }
    return long_enough(1.0 - from, s_length);
  }

  struct Kept {
    std::vector<Drawing_Polyline> lines;
    std::vector<std::int32_t> models;
  };

  Covering_Grid& grid_;
  std::uint32_t covering_;
  std::vector<Style_Group>& groups_;
  std::vector<Kept> kept_;  // per group
  const Run_Covering* found_ = nullptr;
  std::size_t found_segment_ = 0, found_range_ = 0;
  std::vector<Range> covering_ranges_, own_ranges_, pieces_;
};

}  // namespace

Precedence_Counts apply_line_precedence(Drawing& drawing, std::size_t threads) {
  Precedence_Counts counts;
  const auto& hidden = drawing.layer(Layer::hidden);
  const auto& centre = drawing.layer(Layer::centre_lines);
  const auto has_lines = [](const std::vector<Style_Group>& groups) {
    return std::any_of(groups.begin(), groups.end(),
                       [](const Style_Group& g) { return !g.polylines.empty(); });
  };
  if (!has_lines(hidden) && !has_lines(centre)) return counts;

  Bounds bounds;
  std::size_t segments = 0;
  for (std::size_t l = 0; l < layer_count; ++l) {
    for (const Style_Group& group : drawing.layers[l]) {
      for (const Drawing_Polyline& line : group.polylines) {
        for (const Drawing_Point& p : line) bounds.add(p);
        segments += line.size() - 1;
      }
    }
  }
  Covering_Grid grid(bounds, segments, coincidence_tolerance);
  {
    std::vector<Segment> covering;
    for (Layer layer : {Layer::visible, Layer::intersections}) {
      for (const Style_Group& group : drawing.layer(layer)) {
        for (const Drawing_Polyline& line : group.polylines) {
          for (std::size_t i = 0; i + 1 < line.size(); ++i)
            covering.push_back({line[i], line[i + 1]});
        }
      }
    }
    grid.set_covering(covering, threads);
  }

  // The hidden layer's covering ranges are found on the threads, while
  // this one thins the runs in order as they come.
  Layer_Thinner hidden_thinner(grid, 0, drawing.layer(Layer::hidden));
  const Layer_Runs runs(hidden, 32, threads);
  std::vector<Run_Covering> found(runs.runs());
  for_each_in_parallel_used_in_order(
      runs.runs(), threads, [&](std::size_t r) { found[r] = covering_of(grid, hidden, runs, r); },
      [&](std::size_t r) {
        hidden_thinner.take_covering_from(&found[r]);
        for (std::size_t l = runs.start[r]; l < runs.start[r + 1]; ++l)
          hidden_thinner.thin(runs.lines[l]);
        found[r] = {};
      });
  hidden_thinner.finish();
  counts.hidden_length = hidden_thinner.length;
  counts.hidden_under_visible = hidden_thinner.under_covering;
  counts.hidden_under_hidden = hidden_thinner.under_own;

  Layer_Thinner centre_thinner(grid, grid.added(), drawing.layer(Layer::centre_lines));
  centre_thinner.thin_all();
  counts.centre_length = centre_thinner.length;
  counts.centre_left_out = centre_thinner.under_covering + centre_thinner.under_own;
  return counts;
}

}  // namespace hlr_tool
