// The hidden intervals of an edge: random sequences of hide_start, hide_end
// and hide_interval checked after every call against the five invariants
// and a plain model of the same tolerance rules; a hand-worked list that
// pins the model's reading of the tolerance; the box narrowing, the point
// of an edge at a parameter, and the guards against NaN and failed
// allocations.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <random>
#include <utility>
#include <vector>

#include "allocation_failure.h"
#include "intervals.h"
#include "state_fixture.h"

namespace {

using Nodes = std::vector<std::pair<double, double>>;

Nodes nodes_of(const HLR_Edge& edge) {
  Nodes nodes;
  for (const hidden_interval* n = edge.intervals; n != nullptr; n = n->next_interval) {
    nodes.emplace_back(n->from, n->to);
  }
  return nodes;
}

// The slow model: the working range and a sorted vector of hidden
// intervals, every rule applied to every interval, no shortcuts.
struct Model {
  double t_min;
  double t_max;
  double tol;
  Nodes hidden;

  void hide_all() {
    t_min = t_max = 1.0;
    hidden.clear();
  }
  // Removes the nodes for which `touches` holds and returns them in order.
  template <class Touches>
  Nodes take(Touches touches) {
    Nodes taken, kept;
    for (const auto& n : hidden) (touches(n) ? taken : kept).push_back(n);
    hidden = kept;
    return taken;
  }
  void hide_start(double t) {
    if (t > t_max - tol) return hide_all();
    t_min = t;
    for (const auto& n : take([&](const auto& n) { return n.first < t + tol; })) {
      t_min = std::max(t_min, n.second);
    }
  }
  void hide_end(double t) {
    if (t_min + tol > t) return hide_all();
    t_max = t;
    for (const auto& n : take([&](const auto& n) { return n.second > t - tol; })) {
      t_max = std::min(t_max, n.first);
    }
  }
  void hide_interval(double from, double to) {
    if (from == 1.0 || tol > to - from) return;
    if (from < t_min + tol) return hide_start(to);
    if (to > t_max - tol) return hide_end(from);
    const Nodes touching =
        take([&](const auto& n) { return n.second + tol > from && n.first - tol < to; });
    if (!touching.empty()) {
      from = std::min(from, touching.front().first);
      to = std::max(to, touching.back().second);
    }
    hidden.emplace_back(from, to);
    std::sort(hidden.begin(), hidden.end());
  }
};

// Parameter values the way the face tests produce them: anywhere in the
// working range, or within a few tolerances of a boundary already there
// (where the tolerance rules decide). `snap` > 0 puts every value on a grid
// of that step.
class Value_Source {
 public:
  Value_Source(std::uint64_t seed, double snap) : random_(seed), snap_(snap) {}

  double in_range(const HLR_Edge& edge) {
    const Nodes nodes = nodes_of(edge);
    const std::size_t choice = pick(10);
    double t = uniform(edge.t_min, edge.t_max);
    if (choice >= 4 && choice < 9 && !nodes.empty()) {
      const auto& node = nodes[pick(nodes.size())];
      t = (pick(2) == 0 ? node.first : node.second) + edge.t_tolerance * uniform(-2.5, 2.5);
    } else if (choice == 9) {
      t = pick(2) == 0 ? edge.t_min + edge.t_tolerance * uniform(0.0, 2.5)
                       : edge.t_max - edge.t_tolerance * uniform(0.0, 2.5);
    }
    return snapped(t, edge);
  }
  // Mostly short (near the tolerance, or a few per cent of the edge), now
  // and then anything.
  std::pair<double, double> interval(const HLR_Edge& edge) {
    const double from = in_range(edge);
    const std::size_t kind = pick(8);
    const double length = kind == 0   ? uniform(0.0, 0.3)
                          : kind <= 3 ? edge.t_tolerance * uniform(0.0, 3.0)
                                      : uniform(0.0, 0.02);
    const double to = snapped(from + length, edge);
    return to < from ? std::pair{to, from} : std::pair{from, to};
  }
  double snapped(double t, const HLR_Edge& edge) const {
    if (snap_ > 0.0) t = std::round(t / snap_) * snap_;
    return std::clamp(t, edge.t_min, edge.t_max);
  }
  std::size_t pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  double uniform(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random_);
  }

 private:
  std::mt19937_64 random_;
  double snap_;
};

// One random sequence on `edge`: after every call the five invariants hold
// and the state equals the model's, bit for bit. Ends when the edge is
// fully hidden (the face tests never touch such an edge again).
void run_sequence(HLR_Edge& edge, Value_Source& values, int steps, HLR_Interval_Pool& intervals) {
  Model model{edge.t_min, edge.t_max, edge.t_tolerance, {}};
  for (int step = 0; step < steps && edge.t_min != 1.0; ++step) {
    // Mostly intervals, so that lists grow; trims now and then.
    const std::size_t op = values.pick(20);
    if (op < 2) {
      // A trim: mostly a small step in from the current start or end.
      const double in = values.pick(2) == 0
                            ? edge.t_tolerance * values.uniform(0.0, 3.0)
                            : (edge.t_max - edge.t_min) * std::pow(values.uniform(0.0, 0.5), 2.0);
      const double t = values.snapped(op == 0 ? edge.t_min + in : edge.t_max - in, edge);
      (op == 0 ? ::hide_start : ::hide_end)(edge, t, intervals);
      op == 0 ? model.hide_start(t) : model.hide_end(t);
    } else {
      // from == 1.0 is nothing, whatever the other end (even past t_max).
      const auto [from, to] =
          op == 2 ? std::pair{1.0, values.uniform(0.0, 2.0)} : values.interval(edge);
      hide_interval(edge, from, to, intervals);
      model.hide_interval(from, to);
    }
    ASSERT_STREQ(check_intervals(edge), "") << "after step " << step;
    ASSERT_EQ(edge.t_min, model.t_min) << "step " << step;
    ASSERT_EQ(edge.t_max, model.t_max) << "step " << step;
    ASSERT_EQ(nodes_of(edge), model.hidden) << "step " << step;
  }
}

using IntervalProperties = State_Test;

// Edges of many lengths: below one unit (tolerance 0.01), short, long,
// very long. Then a power-of-two tolerance with values on a grid of a
// quarter of it, which makes every sum exact, so values land exactly on the
// tolerance boundaries, where >= and > differ.
TEST_F(IntervalProperties, RandomSequencesMatchTheModel) {
  const struct {
    float length;
    double grid_tolerance;  // 0: the edge's own tolerance, no grid
    int sequences;
  } setups[] = {{0.5f, 0, 400},         {7.3f, 0, 400},     {100.0f, 0, 400},
                {2500.75f, 0, 400},     {90000.0f, 0, 400}, {50.0f, 1.0 / 128, 1500},
                {50.0f, 1.0 / 32, 1500}};
  std::uint64_t seed = 1;
  for (const auto& setup : setups) {
    for (int sequence = 0; sequence < setup.sequences; ++sequence, ++seed) {
      Value_Source values(seed, setup.grid_tolerance / 4.0);
      const float t0 = float(values.pick(3) == 0 ? 0.0 : values.pick(64) / 256.0);
      const float t1 = float(values.pick(3) == 0 ? 1.0 : 1.0 - values.pick(64) / 256.0);
      const float length = setup.length;
      HLR_Edge& e = edge({1.0f, 2.0f, 3.0f}, {1.0f + length, 2.0f - 0.5f * length, 9.0f}, t0, t1);
      if (setup.grid_tolerance > 0) e.t_tolerance = setup.grid_tolerance;
      run_sequence(e, values, 150, intervals);
      if (HasFatalFailure()) FAIL() << "length " << length << " seed " << seed;
      clear_edges();
    }
  }
}

// Worked cases on an edge of 100 units along x with a tolerance set to a
// power of two, so the numbers below are exact.
class Intervals : public State_Test {
 protected:
  static constexpr double tol = 1.0 / 64.0;  // 0.015625
  void SetUp() override { edge_.t_tolerance = tol; }
  HLR_Edge& edge_ = edge({0.0f, 0.0f, 4.0f}, {100.0f, 50.0f, 2.0f});
};

TEST_F(Intervals, NeighboursCloserThanTheToleranceBecomeOneNode) {
  hide_interval(edge_, 0.25, 0.375, intervals);
  hide_interval(edge_, 0.375 + tol / 2.0, 0.5, intervals);
  hide_interval(edge_, 0.6, 0.6 + tol / 2.0, intervals);  // shorter than the tolerance: nothing
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.25, 0.5}}));
  // A gap of exactly one tolerance stays open, and an interval exactly one
  // tolerance long is kept.
  hide_interval(edge_, 0.5 + tol, 0.5 + 2 * tol, intervals);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.25, 0.5}, {0.5 + tol, 0.5 + 2 * tol}}));
  // An interval reaching across three nodes and their gaps merges them.
  hide_interval(edge_, 0.75, 0.8125, intervals);
  hide_interval(edge_, 0.3125, 0.75 - tol / 4.0, intervals);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.25, 0.8125}}));
}

TEST_F(Intervals, TrimsNarrowTheBoxFromTheSideTheEdgeRunsAndNeverLowerZMax) {
  struct Case {
    KT_Point p, q;
    double start, end;  // hide_start, then hide_end
    float x_min, x_max, y_min, y_max, z_max;
  };
  const Case cases[] = {
      // a = (0, 0, 4), b = (100, 50, 2): z falls towards b.
      {{0, 0, 4}, {100, 50, 2}, 0.25, 0.75, 25, 75, 12.5f, 37.5f, 4},
      // Stored a = (0, 10, 0), b = (20, 0, 6): dy < 0, so the start side in
      // y is y_max; z rises towards b and z_max was 6 from the start.
      {{20, 0, 6}, {0, 10, 0}, 0.5, 0.75, 10, 15, 2.5f, 5, 6},
      // Vertical, stored from y 2 to 9: dx = 0 is not > 0, so the start
      // side in x is x_max, set to 3 again.
      {{3, 9, 0}, {3, 2, 0}, 0.5, 0.75, 3, 3, 5.5f, 7.25f, 0},
      // Hidden to the end: the box shrinks to b.
      {{0, 0, 4}, {100, 50, 2}, 0.99999, 1.0, 100, 100, 50, 50, 4},
  };
  for (const Case& c : cases) {
    HLR_Edge& e = edge(c.p, c.q);
    hide_start(e, c.start, intervals);
    hide_end(e, c.end, intervals);
    EXPECT_EQ((std::array{e.x_min, e.x_max, e.y_min, e.y_max, e.z_max}),
              (std::array{c.x_min, c.x_max, c.y_min, c.y_max, c.z_max}))
        << c.q.x;
  }
}

TEST_F(Intervals, FailedNodeAllocationLeavesTheListAsItWas) {
  hide_interval(edge_, 0.25, 0.375, intervals);
  hide_interval(edge_, 0.75, 0.875, intervals);
  // The rest of the pool's block handed out: the next node needs a block.
  for (std::size_t k = 2; k < HLR_Interval_Pool::block_nodes; ++k) {
    intervals.make(0.0, 0.0, nullptr, nullptr);
  }
  const Nodes before = nodes_of(edge_);
  const std::pair<double, double> between_before_after[] = {
      {0.5, 0.625}, {0.0625, 0.125}, {0.9, 0.95}};
  for (const auto& [from, to] : between_before_after) {
    {
      allocation_failure::Scope failing(1);
      EXPECT_THROW(hide_interval(edge_, from, to, intervals), std::bad_alloc);
    }
    EXPECT_EQ(nodes_of(edge_), before);
    EXPECT_STREQ(check_intervals(edge_), "");
  }
}

TEST_F(Intervals, NanArgumentsLeaveAWellLinkedList) {
  // Nothing sensible comes of a NaN, but the walks stop at the ends of the
  // list and every node stays linked both ways.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  hide_interval(edge_, 0.25, 0.375, intervals);
  hide_interval(edge_, 0.75, 0.875, intervals);
  hide_interval(edge_, 0.5, nan, intervals);
  hide_interval(edge_, nan, 0.5, intervals);
  const hidden_interval* last = nullptr;
  for (const hidden_interval* n = edge_.intervals; n != nullptr; n = n->next_interval) {
    ASSERT_EQ(n->prev_interval, last);
    last = n;
  }
  EXPECT_EQ(last, edge_.intervals_tail);
}

TEST_F(Intervals, InnerPointsFollowTheFloatDirectionRoundedOnce) {
  // dx = 1e7 - 0.1 rounds to 1e7 in float; at t = 0.5 the double point is
  // 0.5 * 1e7 + 0.1 = 5000000.1, not the true midpoint 5000000.05.
  const HLR_Edge& wide = edge_d({0.1, 0.0, 0.0}, {1e7, 10.0, -4.0});
  ASSERT_EQ(wide.dx, 1e7f);
  const KT_Point_D mid = point_at_d(wide, 0.5);
  EXPECT_EQ(mid.x, 5000000.1);
  EXPECT_EQ(mid.z, -2.0);
  // In float: (double)dx * t + a, one rounding per coordinate: 3 * 0.3 + 1
  // in double is 1.9f; in float arithmetic it would be the float above.
  EXPECT_EQ(point_at(edge({1.0f, 0.0f, 0.0f}, {4.0f, 0.0f, 0.0f}), 0.3).x, 1.9f);
}

}  // namespace
