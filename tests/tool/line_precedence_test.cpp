// Line precedence on drawings made here: worked cases with their expected
// polylines, and random drawings checked against brute force (every piece
// left out lay on a line that stays; no piece kept lies along a visible
// line).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "tool/drawing/line_precedence.h"
#include "tool/drawing/segment_grid.h"

namespace hlr_tool {
namespace {

using Lines = std::vector<Drawing_Polyline>;

Drawing drawing_of(const Lines& visible, const Lines& hidden) {
  Drawing d;
  d.width = d.height = 100.0;
  Style_Group v;
  v.polylines = visible;
  d.layer(Layer::visible).push_back(v);
  Style_Group h;
  h.dash = Dash::dashed;
  h.polylines = hidden;
  d.layer(Layer::hidden).push_back(h);
  return d;
}

const Lines& hidden_of(const Drawing& d) { return d.layer(Layer::hidden)[0].polylines; }

void expect_lines_near(const Lines& actual, const Lines& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(actual[i].size(), expected[i].size()) << "polyline " << i;
    for (std::size_t k = 0; k < actual[i].size(); ++k) {
      EXPECT_NEAR(actual[i][k].x, expected[i][k].x, 1e-9) << "polyline " << i << " point " << k;
      EXPECT_NEAR(actual[i][k].y, expected[i][k].y, 1e-9) << "polyline " << i << " point " << k;
    }
  }
}

TEST(Line_Precedence, WorkedCasesKeepWhatLiesOnNoOtherLine) {
  const double near = 0.8 * coincidence_tolerance, far = 1.2 * coincidence_tolerance;
  const struct {
    const char* what;
    Lines visible, hidden, expected;
  } cases[] = {
      {"hidden exactly under a visible line", {{{10, 10}, {90, 10}}}, {{{20, 10}, {80, 10}}}, {}},
      {"hidden running on past the visible line's end",
       {{{10, 10}, {50, 10}}},
       {{{30, 10}, {80, 10}}},
       {{{50, 10}, {80, 10}}}},
      {"within the tolerance beside it",
       {{{10, 10}, {90, 10}}},
       {{{10, 10 + near}, {90, 10 + near}}},
       {}},
      {"beyond the tolerance beside it",
       {{{10, 10}, {90, 10}}},
       {{{10, 10 + far}, {90, 10 + far}}},
       {{{10, 10 + far}, {90, 10 + far}}}},
      {"crossing at a right angle",
       {{{10, 50}, {90, 50}}},
       {{{50, 10}, {50, 90}}},
       {{{50, 10}, {50, 90}}}},
      {"crossing at 20 degrees: not parallel",
       {{{0, 50}, {100, 50}}},
       {{{20, 50 - 30 * std::tan(20 * std::numbers::pi / 180)},
         {80, 50 + 30 * std::tan(20 * std::numbers::pi / 180)}}},
       {{{20, 50 - 30 * std::tan(20 * std::numbers::pi / 180)},
         {80, 50 + 30 * std::tan(20 * std::numbers::pi / 180)}}}},
      {"the middle of a hidden polyline under a visible line: split in two",
       {{{40, 20}, {60, 20}}},
       {{{40, 0}, {40, 20}, {60, 20}, {60, 40}}},
       {{{40, 0}, {40, 20}}, {{60, 20}, {60, 40}}}},
      {"two hidden lines on one another: the first drawn",
       {},
       {{{10, 30}, {90, 30}}, {{90, 30}, {10, 30}}},
       {{{10, 30}, {90, 30}}}},
      {"a hidden polyline that turns back on itself: drawn once",
       {},
       {{{10, 30}, {90, 30}, {50, 30}}},
       {{{10, 30}, {90, 30}}}},
      {"a hidden polyline bending by 5 degrees keeps every segment",
       {},
       {{{0, 0}, {50, 0}, {100, 50 * std::tan(5 * std::numbers::pi / 180)}}},
       {{{0, 0}, {50, 0}, {100, 50 * std::tan(5 * std::numbers::pi / 180)}}}},
      {"a piece left shorter than the tolerance goes too",
       {{{10, 10}, {49.9, 10}}},
       {{{20, 10}, {50, 10}}},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d = drawing_of(c.visible, c.hidden);
    apply_line_precedence(d);
    expect_lines_near(hidden_of(d), c.expected);
    expect_lines_near(d.layer(Layer::visible)[0].polylines, c.visible);
  }
}

TEST(Line_Precedence, CountsTheLengthsLeftOut) {
  Drawing d = drawing_of({{{0, 0}, {40, 0}}}, {{{0, 0}, {100, 0}}, {{60, 0}, {80, 0}}});
  const Precedence_Counts counts = apply_line_precedence(d);
  EXPECT_NEAR(counts.hidden_length, 120.0, 1e-9);
  EXPECT_NEAR(counts.hidden_under_visible, 40.0, 1e-9);
  EXPECT_NEAR(counts.hidden_under_hidden, 20.0, 1e-9);
  expect_lines_near(hidden_of(d), {{{40, 0}, {100, 0}}});
}

TEST(Line_Precedence, ModelIndicesFollowTheParts) {
  Drawing d = drawing_of({{{40, 20}, {60, 20}}}, {{{40, 0}, {40, 20}, {60, 20}, {60, 40}}});
  d.layer(Layer::hidden)[0].models = {7};
  apply_line_precedence(d);
  EXPECT_EQ(d.layer(Layer::hidden)[0].models, (std::vector<std::int32_t>{7, 7}));
}

TEST(Line_Precedence, CentreLinesGiveWayToHiddenAndVisibleLines) {
  Drawing d = drawing_of({{{0, 10}, {50, 10}}}, {{{50, 10}, {80, 10}}});
  Style_Group centre;
  centre.dash = Dash::chain;
  centre.polylines = {{{0, 10}, {100, 10}}};
  d.layer(Layer::centre_lines).push_back(centre);
  const Precedence_Counts counts = apply_line_precedence(d);
  expect_lines_near(d.layer(Layer::centre_lines)[0].polylines, {{{80, 10}, {100, 10}}});
  EXPECT_NEAR(counts.centre_left_out, 80.0, 1e-9);
  expect_lines_near(hidden_of(d), {{{50, 10}, {80, 10}}});
}

// Brute force over segments.
struct Segment {
  Drawing_Point a, b;
};

std::vector<Segment> segments_of(const Lines& lines) {
  std::vector<Segment> out;
  for (const Drawing_Polyline& line : lines)
    for (std::size_t i = 0; i + 1 < line.size(); ++i) out.push_back({line[i], line[i + 1]});
  return out;
}

double distance(const Drawing_Point& p, const Segment& s) {
  const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0.0
                       ? std::clamp(((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / length2, 0.0, 1.0)
                       : 0.0;
  return std::hypot(p.x - (s.a.x + t * dx), p.y - (s.a.y + t * dy));
}

double near_any(const Drawing_Point& p, const std::vector<Segment>& segments) {
  double best = std::numeric_limits<double>::infinity();
  for (const Segment& s : segments) best = std::min(best, distance(p, s));
  return best;
}

// Samples every 0.05 units along the segments, with the segment of each.
template <class Visit>
void sample(const std::vector<Segment>& segments, Visit&& visit) {
  for (const Segment& s : segments) {
    const double length = std::hypot(s.b.x - s.a.x, s.b.y - s.a.y);
    const int n = std::max(1, int(length / 0.05));
    for (int k = 0; k <= n; ++k) {
      const double t = double(k) / n;
      visit(Drawing_Point{s.a.x + t * (s.b.x - s.a.x), s.a.y + t * (s.b.y - s.a.y)}, s, t * length,
            (1.0 - t) * length);
    }
  }
}

TEST(Line_Precedence, RandomDrawingsLoseOnlyWhatLiesOnAnotherLine) {
  std::mt19937 random(24);
  std::uniform_real_distribution<double> coordinate(0.0, 100.0), unit(0.0, 1.0), jitter(-0.2, 0.2);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    Lines visible, hidden;
    for (int k = 0; k < 30; ++k) {
      visible.push_back({{coordinate(random), coordinate(random)},
                         {coordinate(random), coordinate(random)},
                         {coordinate(random), coordinate(random)}});
    }
    // Hidden lines: free ones, and copies of parts of visible and of other
    // hidden segments, shifted a little and cut at random.
    for (int k = 0; k < 60; ++k) {
      const double kind = unit(random);
      if (kind < 0.4 || (kind >= 0.7 && hidden.empty())) {
        hidden.push_back(
            {{coordinate(random), coordinate(random)}, {coordinate(random), coordinate(random)}});
        continue;
      }
      const Lines& from = kind < 0.7 ? visible : hidden;
      const Drawing_Polyline& line = from[std::size_t(unit(random) * double(from.size()))];
      const std::size_t i = std::size_t(unit(random) * double(line.size() - 1));
      const double t0 = unit(random) * 1.2 - 0.1, t1 = unit(random) * 1.2 - 0.1;
      const auto along = [&](double t) {
        return Drawing_Point{
            line[i].x + t * (line[i + 1].x - line[i].x) + jitter(random) * coincidence_tolerance,
            line[i].y + t * (line[i + 1].y - line[i].y) + jitter(random) * coincidence_tolerance};
      };
      if (std::fabs(t1 - t0) > 0.05) hidden.push_back({along(t0), along(t1)});
    }
    Drawing d = drawing_of(visible, hidden);
    apply_line_precedence(d);
    const std::vector<Segment> visible_segments = segments_of(visible);
    const std::vector<Segment> kept = segments_of(hidden_of(d));
    std::vector<Segment> staying = visible_segments;
    staying.insert(staying.end(), kept.begin(), kept.end());

    // Every point of the hidden lines as they were that no kept piece
    // holds was left out: it lies on a visible line or a kept hidden one,
    // or (a sliver left shorter than the tolerance) within the tolerance of
    // a point that does.
    std::size_t removed = 0, sliver = 0;
    sample(segments_of(hidden), [&](const Drawing_Point& p, const Segment&, double, double) {
      if (near_any(p, kept) <= 1e-6) return;
      ++removed;
      const double distance = near_any(p, staying);
      if (distance > coincidence_tolerance + 1e-6) ++sliver;
      EXPECT_LE(distance, 2.0 * coincidence_tolerance + 1e-6) << p.x << "," << p.y;
    });
    EXPECT_GT(removed, 0u);
    EXPECT_LT(sliver * 20, removed);

    // No kept piece runs along a visible segment: a kept point within the
    // tolerance of a visible segment, away from both ends of each, has a
    // visible segment there that is not parallel.
    const double sin_parallel = std::sin(parallel_degrees * std::numbers::pi / 180.0);
    sample(kept, [&](const Drawing_Point& p, const Segment& s, double from_a, double from_b) {
      if (from_a < coincidence_tolerance || from_b < coincidence_tolerance) return;
      for (const Segment& v : visible_segments) {
        const double vx = v.b.x - v.a.x, vy = v.b.y - v.a.y;
        const double sx = s.b.x - s.a.x, sy = s.b.y - s.a.y;
        const double v_length = std::hypot(vx, vy), s_length = std::hypot(sx, sy);
        if (std::fabs(vx * sy - vy * sx) > sin_parallel * v_length * s_length) continue;
        if (std::min(std::hypot(p.x - v.a.x, p.y - v.a.y), std::hypot(p.x - v.b.x, p.y - v.b.y)) <
            coincidence_tolerance)
          continue;
        EXPECT_GT(distance(p, v), 0.9 * coincidence_tolerance) << p.x << "," << p.y;
      }
    });
  }
}

// Large enough to be thinned in many runs on several threads: the
// drawing and the counts are the same, to the bit, for any number.
TEST(Line_Precedence, EveryThreadCountThinsAlike) {
  std::mt19937 random(26);
  std::uniform_real_distribution<double> coordinate(0.0, 300.0), unit(0.0, 1.0), jitter(-0.6, 0.6);
  Lines visible, hidden;
  for (int k = 0; k < 6000; ++k) {
    const Drawing_Point a{coordinate(random), coordinate(random)};
    visible.push_back({a, {a.x + 8 * unit(random), a.y + 8 * unit(random)}});
  }
  // Hidden polylines of three segments along visible and earlier hidden
  // ones, so that both what covers them and what their own layer keeps
  // matter.
  for (int k = 0; k < 12000; ++k) {
    const Lines& from = k > 0 && unit(random) < 0.5 ? hidden : visible;
    const Drawing_Polyline& line = from[std::size_t(unit(random) * double(from.size()))];
    const Drawing_Point a = line.front(), b = line.back();
    Drawing_Polyline copy;
    for (double t : {-0.3, 0.2, 0.7, 1.3}) {
      copy.push_back(
          {a.x + t * (b.x - a.x) + jitter(random), a.y + t * (b.y - a.y) + jitter(random)});
    }
    hidden.push_back(copy);
  }
  Drawing one = drawing_of(visible, hidden);
  const Precedence_Counts counts = apply_line_precedence(one, 1);
  EXPECT_GT(counts.hidden_under_visible, 0.1 * counts.hidden_length);
  EXPECT_GT(counts.hidden_under_hidden, 0.05 * counts.hidden_length);
  for (std::size_t threads : {2, 3, 7}) {
    Drawing d = drawing_of(visible, hidden);
    const Precedence_Counts c = apply_line_precedence(d, threads);
    EXPECT_EQ(c.hidden_under_visible, counts.hidden_under_visible) << threads;
    EXPECT_EQ(c.hidden_under_hidden, counts.hidden_under_hidden) << threads;
    ASSERT_EQ(hidden_of(d).size(), hidden_of(one).size()) << threads;
    for (std::size_t i = 0; i < hidden_of(d).size(); ++i) {
      ASSERT_EQ(hidden_of(d)[i].size(), hidden_of(one)[i].size()) << threads << " " << i;
      for (std::size_t k = 0; k < hidden_of(d)[i].size(); ++k) {
        ASSERT_EQ(hidden_of(d)[i][k].x, hidden_of(one)[i][k].x) << threads << " " << i;
        ASSERT_EQ(hidden_of(d)[i][k].y, hidden_of(one)[i][k].y) << threads << " " << i;
      }
    }
  }
}

// Where lines crowd, the grid's cells are narrower than the tolerance and
// a query reads only some of them. The same lines with one more far away,
// which makes the cells so large that every query reads all the crowd,
// must lose exactly the same pieces: nothing a piece lies on is missed by
// the cells a query reads. The copies sit at up to 12 degrees and 1.1
// tolerances from their lines, across the edges of what counts.
TEST(Line_Precedence, CrowdedLinesThinAsWhenEveryLineIsRead) {
  std::mt19937 random(27);
  std::uniform_real_distribution<double> coordinate(0.0, 20.0), unit(0.0, 1.0), sign(-1.0, 1.0);
  const auto turned = [](const Drawing_Point& a, const Drawing_Point& b, double degrees,
                         double shift, double slide) {
    const double angle = degrees * std::numbers::pi / 180.0;
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    const Drawing_Point m{(a.x + b.x) / 2 + (dx * slide - dy * shift) / length,
                          (a.y + b.y) / 2 + (dy * slide + dx * shift) / length};
    const double hx = (dx * std::cos(angle) - dy * std::sin(angle)) / 2;
    const double hy = (dx * std::sin(angle) + dy * std::cos(angle)) / 2;
    return Drawing_Polyline{{m.x - hx, m.y - hy}, {m.x + hx, m.y + hy}};
  };
  Lines visible, hidden;
  for (int k = 0; k < 6000; ++k) {
    // Three families of directions, as the edges of a grid seen at a slant.
    const double direction = 60.0 * double(k % 3) + 5.0 * sign(random);
    const double length = 0.3 + 1.2 * unit(random);
    const Drawing_Point a{coordinate(random), coordinate(random)};
    const double angle = direction * std::numbers::pi / 180.0;
    visible.push_back({a, {a.x + length * std::cos(angle), a.y + length * std::sin(angle)}});
  }
  for (int k = 0; k < 12000; ++k) {
    const Lines& from = k > 0 && unit(random) < 0.5 ? hidden : visible;
    const Drawing_Polyline& line = from[std::size_t(unit(random) * double(from.size()))];
    // Half of them between 0.9 and 1.1 tolerances aside.
    const double shift =
        k % 2 == 0 ? 1.1 * sign(random) : (0.9 + 0.2 * unit(random)) * sign(random);
    hidden.push_back(turned(line.front(), line.back(), 12.0 * sign(random),
                            shift * coincidence_tolerance, 0.3 * sign(random)));
  }
  Drawing crowded = drawing_of(visible, hidden);
  const Precedence_Counts counts = apply_line_precedence(crowded, 2);
  EXPECT_GT(counts.hidden_under_visible, 0.1 * counts.hidden_length);
  EXPECT_GT(counts.hidden_under_hidden, 0.05 * counts.hidden_length);

  visible.push_back({{3000, 3000}, {3001, 3000}});
  Drawing every_line_read = drawing_of(visible, hidden);
  const Precedence_Counts all = apply_line_precedence(every_line_read, 2);
  EXPECT_EQ(counts.hidden_under_visible, all.hidden_under_visible);
  EXPECT_EQ(counts.hidden_under_hidden, all.hidden_under_hidden);
  ASSERT_EQ(hidden_of(crowded).size(), hidden_of(every_line_read).size());
  for (std::size_t i = 0; i < hidden_of(crowded).size(); ++i) {
    ASSERT_EQ(hidden_of(crowded)[i].size(), hidden_of(every_line_read)[i].size()) << i;
    for (std::size_t k = 0; k < hidden_of(crowded)[i].size(); ++k) {
      ASSERT_EQ(hidden_of(crowded)[i][k].x, hidden_of(every_line_read)[i][k].x) << i;
      ASSERT_EQ(hidden_of(crowded)[i][k].y, hidden_of(every_line_read)[i][k].y) << i;
    }
  }
}

// The band a query reads, against every cell of the grid: each cell that
// the turned rectangle overlaps is read, once, and no cell it keeps clear
// of (the border cells reaching out to infinity). A segment's own cells
// come once each too. Overlap and clearance
// are told apart on the four axes of the rectangle and the cell.
TEST(Grid_Cells, BandReadsEachCellItOverlapsOnce) {
  std::mt19937 random(28);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::size_t overlapping = 0, clear = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    SCOPED_TRACE(trial);
    Bounds bounds;
    bounds.add({-5.0 + 10.0 * unit(random), -5.0 + 10.0 * unit(random)});
    bounds.add(
        {bounds.min_x + 1.0 + 15.0 * unit(random), bounds.min_y + 1.0 + 15.0 * unit(random)});
    const double side = 0.3 + 2.7 * unit(random);
    const Grid_Cells cells(bounds, side);
    const auto anywhere = [&] {
      return Drawing_Point{bounds.min_x - 2.0 + (bounds.max_x - bounds.min_x + 4.0) * unit(random),
                           bounds.min_y - 2.0 + (bounds.max_y - bounds.min_y + 4.0) * unit(random)};
    };
    hlr_tool::Segment s{anywhere(), anywhere()};  // the grid's, not the brute force's above
    const double kind = unit(random);
    if (kind < 0.1)
      s.b = s.a;  // a point
    else if (kind < 0.2)
      s.b.y = s.a.y;  // along the rows
    else if (kind < 0.3)
      s.b.x = s.a.x;  // along the columns
    const double reach = 2.0 * unit(random), overhang = 0.5 * unit(random);

    // A segment's own cells, a cell's length at a time, also come once.
    std::vector<std::size_t> read;
    cells.for_each_segment_cell(s, reach, [&](std::size_t cell) { read.push_back(cell); });
    std::sort(read.begin(), read.end());
    ASSERT_EQ(std::adjacent_find(read.begin(), read.end()), read.end()) << "a cell entered twice";
    read.clear();
    cells.for_each_band_cell(s, reach, overhang, [&](std::size_t cell) { read.push_back(cell); });
    std::vector<std::size_t> sorted = read;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end())
        << "a cell read twice";

    // The rectangle's corners and axes; a point's is the square around it.
    const double length = std::hypot(s.b.x - s.a.x, s.b.y - s.a.y);
    const double ux = length > 0 ? (s.b.x - s.a.x) / length : 1.0;
    const double uy = length > 0 ? (s.b.y - s.a.y) / length : 0.0;
    const double half_along = length > 0 ? overhang : std::max(reach, overhang);
    const double half_across = length > 0 ? reach : std::max(reach, overhang);
    std::vector<Drawing_Point> band;
    for (const auto& [along, across] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
      const Drawing_Point& end = along < 0 ? s.a : s.b;
      band.push_back({end.x + along * half_along * ux - across * half_across * uy,
                      end.y + along * half_along * uy + across * half_across * ux});
    }
    // The columns: a box along the first row reads them all.
    std::size_t columns = 0;
    cells.for_each_box_cell(Bounds{bounds.min_x, bounds.max_x, bounds.min_y, bounds.min_y}, 0.0,
                            [&](std::size_t) { ++columns; });
    const double far = 1e6;
    for (std::size_t cell = 0; cell < cells.count(); ++cell) {
      const std::size_t r = cell / columns, c = cell % columns;
      const double x0 = c == 0 ? -far : bounds.min_x + double(c) * side;
      const double x1 = c + 1 == columns ? far : bounds.min_x + double(c + 1) * side;
      const double y0 = r == 0 ? -far : bounds.min_y + double(r) * side;
      const double y1 =
          r + 1 == cells.count() / columns ? far : bounds.min_y + double(r + 1) * side;
      const Drawing_Point square[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
      // The widest gap between the two along any of the axes: negative
      // where they overlap on every one.
      double gap = -std::numeric_limits<double>::infinity();
      for (const auto& [ax, ay] : {std::pair{1.0, 0.0}, {0.0, 1.0}, {ux, uy}, {-uy, ux}}) {
        double band_low = far * 4, band_high = -far * 4, square_low = far * 4,
               square_high = -far * 4;
        for (const Drawing_Point& p : band) {
          band_low = std::min(band_low, p.x * ax + p.y * ay);
          band_high = std::max(band_high, p.x * ax + p.y * ay);
        }
        for (const Drawing_Point& p : square) {
          square_low = std::min(square_low, p.x * ax + p.y * ay);
          square_high = std::max(square_high, p.x * ax + p.y * ay);
        }
        gap = std::max({gap, square_low - band_high, band_low - square_high});
      }
      const bool was_read = std::binary_search(sorted.begin(), sorted.end(), cell);
      if (gap < -1e-9) {
        ++overlapping;
        EXPECT_TRUE(was_read) << "cell " << r << "," << c << " overlaps by " << -gap;
      } else if (gap > 1e-9) {
        ++clear;
        EXPECT_FALSE(was_read) << "cell " << r << "," << c << " is clear by " << gap;
      }
    }
  }
  EXPECT_GT(overlapping, 10000u);
  EXPECT_GT(clear, 10000u);
}

TEST(Line_Precedence, ADrawingWithNothingCoincidentIsLeftAsItWas) {
  Drawing d = drawing_of({{{10, 10}, {90, 10}, {90, 90}}}, {{{20, 20}, {80, 20}, {80, 80}}});
  const Drawing before = d;
  apply_line_precedence(d);
  expect_lines_near(hidden_of(d), hidden_of(before));
}

}  // namespace
}  // namespace hlr_tool
