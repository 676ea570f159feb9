// The hidden intervals of an edge: hand-worked cases, and random sequences
// of hide_start, hide_end and hide_interval checked against a plain model
// of the same tolerance rules after every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <random>
#include <utility>
#include <vector>

#include "allocation_failure.h"
#include "hidden_fixture.h"
#include "intervals.h"

namespace {

using hidden_test::Edge_Store;
using hidden_test::same_bits;

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

  void hide_start(double t) {
    if (t > t_max - tol) return hide_all();
    double start = t;
    Nodes kept;
    for (const auto& n : hidden) {
      if (n.first < t + tol) {
        start = std::max(start, n.second);
      } else {
        kept.push_back(n);
      }
    }
    hidden = kept;
    t_min = start;
  }

  void hide_end(double t) {
    if (t_min + tol > t) return hide_all();
    double end = t;
    Nodes kept;
    for (const auto& n : hidden) {
      if (n.second > t - tol) {
        end = std::min(end, n.first);
      } else {
        kept.push_back(n);
      }
    }
    hidden = kept;
    t_max = end;
  }

  void hide_interval(double from, double to) {
    if (from == 1.0) return;
    if (tol > to - from) return;
    if (from < t_min + tol) return hide_start(to);
    if (to > t_max - tol) return hide_end(from);
    Nodes kept;
    Nodes touching;
    for (const auto& n : hidden) {
      if (n.second + tol > from && n.first - tol < to) {
        touching.push_back(n);
      } else {
        kept.push_back(n);
      }
    }
    if (touching.empty()) {
      kept.emplace_back(from, to);
    } else {
      kept.emplace_back(std::min(touching.front().first, from),
                        std::max(touching.back().second, to));
    }
    std::sort(kept.begin(), kept.end());
    hidden = kept;
  }
};

void expect_same_state(const HLR_Edge& edge, const Model& model, const char* step) {
  ASSERT_TRUE(same_bits(edge.t_min, model.t_min)) << step << ": t_min " << edge.t_min << " vs "
                                                  << model.t_min;
  ASSERT_TRUE(same_bits(edge.t_max, model.t_max)) << step << ": t_max " << edge.t_max << " vs "
                                                  << model.t_max;
  const Nodes nodes = nodes_of(edge);
  ASSERT_EQ(nodes.size(), model.hidden.size()) << step;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    ASSERT_TRUE(same_bits(nodes[i].first, model.hidden[i].first) &&
                same_bits(nodes[i].second, model.hidden[i].second))
        << step << ": node " << i << " [" << nodes[i].first << ", " << nodes[i].second
        << "] vs [" << model.hidden[i].first << ", " << model.hidden[i].second << "]";
  }
}

// Parameter values the way the face tests produce them: anywhere in the
// working range, or close to a boundary already there (where the tolerance
// rules decide). `snap` > 0 puts every value on a grid of that step.
class Value_Source {
 public:
  Value_Source(std::uint64_t seed, double snap) : random_(seed), snap_(snap) {}

  double in_range(const HLR_Edge& edge) {
    const Nodes nodes = nodes_of(edge);
    const std::size_t choice = pick(10);
    double t;
    if (choice < 4 || (choice < 9 && nodes.empty())) {
      t = uniform(edge.t_min, edge.t_max);
    } else if (choice < 9) {
      // Within a few tolerances of an end of a node.
      const auto& node = nodes[pick(nodes.size())];
      t = (pick(2) == 0 ? node.first : node.second) + edge.t_tolerance * uniform(-2.5, 2.5);
    } else {
      t = pick(2) == 0 ? edge.t_min + edge.t_tolerance * uniform(0.0, 2.5)
                       : edge.t_max - edge.t_tolerance * uniform(0.0, 2.5);
    }
    return snapped(t, edge);
  }

  // A new start for hide_start (from_start) or end for hide_end: mostly a
  // small step in from the current one.
  double trim(const HLR_Edge& edge, bool from_start) {
    const double step = pick(2) == 0 ? edge.t_tolerance * uniform(0.0, 3.0)
                                     : (edge.t_max - edge.t_min) * std::pow(uniform(0.0, 0.5), 2.0);
    return snapped(from_start ? edge.t_min + step : edge.t_max - step, edge);
  }

  std::pair<double, double> interval(const HLR_Edge& edge) {
    const double from = in_range(edge);
    double to;
    // Mostly short (near the tolerance, or a few per cent of the edge),
    // now and then anything.
    switch (pick(8)) {
      case 0: to = from + uniform(0.0, 0.3); break;
      case 1:
      case 2:
      case 3: to = from + edge.t_tolerance * uniform(0.0, 3.0); break;
      default: to = from + uniform(0.0, 0.02); break;
    }
    to = snapped(to, edge);
    if (to < from) return {to, from};
    return {from, to};
  }

  double snapped(double t, const HLR_Edge& edge) const {
    if (snap_ > 0.0) t = std::round(t / snap_) * snap_;
    return std::clamp(t, edge.t_min, edge.t_max);
  }

  std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random_); }

 private:
  std::mt19937_64 random_;
  double snap_;
};

// One random sequence on `edge`: after every call the five invariants hold
// and the state equals the model's. Ends when the edge is fully hidden
// (the face tests never touch such an edge again).
void run_sequence(HLR_Edge& edge, Value_Source& values, int steps) {
  Model model{edge.t_min, edge.t_max, edge.t_tolerance, {}};
  for (int step = 0; step < steps && edge.t_min != 1.0; ++step) {
    // Mostly intervals, so that lists grow; trims now and then.
    const std::size_t op = values.pick(20);
    if (op == 0) {
      const double t = values.trim(edge, true);
      hide_start(edge, t);
      model.hide_start(t);
    } else if (op == 1) {
      const double t = values.trim(edge, false);
      hide_end(edge, t);
      model.hide_end(t);
    } else if (op == 2) {
      const double to = values.in_range(edge);
      hide_interval(edge, 1.0, to);
      model.hide_interval(1.0, to);
    } else {
      const auto [from, to] = values.interval(edge);
      hide_interval(edge, from, to);
      model.hide_interval(from, to);
    }
    ASSERT_STREQ(check_intervals(edge), "") << "after step " << step;
    expect_same_state(edge, model, "random step");
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(IntervalProperties, RandomSequencesMatchTheModelOnEdgesOfManyLengths) {
  // Lengths below one unit (tolerance 0.01), short, long, very long.
  const float lengths[] = {0.5f, 7.3f, 100.0f, 2500.75f, 90000.0f};
  std::uint64_t seed = 1;
  for (float length : lengths) {
    for (int sequence = 0; sequence < 400; ++sequence, ++seed) {
      Edge_Store store;
      Value_Source values(seed, 0.0);
      const float t0 = values.pick(2) == 0 ? 0.0f : static_cast<float>(values.uniform(0.0, 0.3));
      const float t1 = values.pick(2) == 0 ? 1.0f : static_cast<float>(values.uniform(0.7, 1.0));
      HLR_Edge& edge = store.add({1.0f, 2.0f, 3.0f}, {1.0f + length, 2.0f - 0.5f * length, 9.0f},
                                 t0, t1);
      run_sequence(edge, values, 150);
      if (HasFatalFailure()) FAIL() << "length " << length << " seed " << seed;
    }
  }
}

TEST(IntervalProperties, RandomSequencesOnAnExactGridHitEveryBoundary) {
  // A power-of-two tolerance and values on a grid of a quarter of it make
  // every sum exact, so values land exactly on the tolerance boundaries,
  // where >= and > differ.
  const double tolerances[] = {1.0 / 128.0, 1.0 / 32.0};
  std::uint64_t seed = 1000;
  for (double tol : tolerances) {
    for (int sequence = 0; sequence < 1500; ++sequence, ++seed) {
      Edge_Store store;
      Value_Source values(seed, tol / 4.0);
      const float t0 = static_cast<float>(values.pick(3) == 0 ? 0.0 : values.pick(64) / 256.0);
      const float t1 = static_cast<float>(values.pick(3) == 0 ? 1.0 : 1.0 - values.pick(64) / 256.0);
      HLR_Edge& edge = store.add({0.0f, 0.0f, 0.0f}, {50.0f, 10.0f, 0.0f}, t0, t1);
      edge.t_tolerance = tol;
      run_sequence(edge, values, 150);
      if (HasFatalFailure()) FAIL() << "tolerance " << tol << " seed " << seed;
    }
  }
}

// Worked cases on an edge of 100 units along x with a tolerance set to a
// power of two, so the numbers below are exact.
class Intervals : public ::testing::Test {
 protected:
  static constexpr double tol = 1.0 / 64.0;  // 0.015625

  void SetUp() override { edge_.t_tolerance = tol; }

  Edge_Store store_;  // before the edge it makes
  HLR_Edge& edge_ = store_.add({0.0f, 0.0f, 4.0f}, {100.0f, 50.0f, 2.0f});
};

TEST_F(Intervals, IntervalShorterThanTheToleranceChangesNothing) {
  hide_interval(edge_, 0.5, 0.5 + tol / 2.0);
  EXPECT_EQ(edge_.intervals, nullptr);
  hide_interval(edge_, 0.3, 0.4);
  hide_interval(edge_, 0.6, 0.6 + tol / 2.0);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.3, 0.4}}));
  // Exactly one tolerance long is kept.
  hide_interval(edge_, 0.75, 0.75 + tol);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.3, 0.4}, {0.75, 0.75 + tol}}));
  EXPECT_EQ(edge_.t_min, 0.0);
  EXPECT_EQ(edge_.t_max, 1.0);
}

TEST_F(Intervals, IntervalNearTheStartMovesTheStartAndAbsorbsNodes) {
  hide_interval(edge_, 0.25, 0.375);
  hide_interval(edge_, 0.5, 0.625);
  hide_interval(edge_, 0.75, 0.875);
  // Starts within a tolerance of t_min = 0: t_min moves to 0.5 - tol/2;
  // the node at 0.5 starts before that end plus a tolerance and is
  // absorbed, and t_min takes its end.
  hide_interval(edge_, tol / 2.0, 0.5 - tol / 2.0);
  EXPECT_EQ(edge_.t_min, 0.625);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.75, 0.875}}));
  EXPECT_STREQ(check_intervals(edge_), "");
}

TEST_F(Intervals, IntervalNearTheEndMovesTheEndAndAbsorbsNodes) {
  hide_interval(edge_, 0.25, 0.375);
  hide_interval(edge_, 0.5, 0.625);
  hide_interval(edge_, 0.75, 0.875);
  hide_interval(edge_, 0.875 + tol / 2.0, 1.0 - tol / 2.0);
  // The node at 0.75 ends after 0.875 + tol/2 - tol: absorbed.
  EXPECT_EQ(edge_.t_max, 0.75);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.25, 0.375}, {0.5, 0.625}}));
  EXPECT_STREQ(check_intervals(edge_), "");
}

TEST_F(Intervals, NeighboursCloserThanTheToleranceBecomeOneNode) {
  hide_interval(edge_, 0.25, 0.375);
  hide_interval(edge_, 0.375 + tol / 2.0, 0.5);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.25, 0.5}}));
  // A gap of exactly one tolerance stays open.
  hide_interval(edge_, 0.5 + tol, 0.625);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.25, 0.5}, {0.5 + tol, 0.625}}));
  // An interval reaching across three nodes and their gaps merges them.
  hide_interval(edge_, 0.75, 0.8125);
  hide_interval(edge_, 0.3125, 0.75 - tol / 4.0);
  EXPECT_EQ(nodes_of(edge_), (Nodes{{0.25, 0.8125}}));
  EXPECT_STREQ(check_intervals(edge_), "");
}

TEST_F(Intervals, InsertionsFallIntoPlace) {
  // Append, prepend, in between, and growing either end node.
  hide_interval(edge_, 0.5, 0.5625);
  hide_interval(edge_, 0.75, 0.8125);
  hide_interval(edge_, 0.125, 0.1875);
  hide_interval(edge_, 0.3125, 0.375);
  EXPECT_EQ(nodes_of(edge_),
            (Nodes{{0.125, 0.1875}, {0.3125, 0.375}, {0.5, 0.5625}, {0.75, 0.8125}}));
  hide_interval(edge_, 0.0625, 0.15);   // only the first node's from changes
  hide_interval(edge_, 0.78, 0.875);    // only the last node's to changes
  hide_interval(edge_, 0.55, 0.625);    // an inner node grows
  EXPECT_EQ(nodes_of(edge_),
            (Nodes{{0.0625, 0.1875}, {0.3125, 0.375}, {0.5, 0.625}, {0.75, 0.875}}));
  EXPECT_EQ(edge_.intervals->prev_interval, nullptr);
  EXPECT_EQ(edge_.intervals_tail->next_interval, nullptr);
  EXPECT_STREQ(check_intervals(edge_), "");
}

TEST_F(Intervals, HideStartBeyondTheEndHidesAllAndMovesTheBoxStartToB) {
  hide_interval(edge_, 0.25, 0.5);
  hide_start(edge_, 1.0 - tol / 2.0);
  EXPECT_EQ(edge_.t_min, 1.0);
  EXPECT_EQ(edge_.t_max, 1.0);
  EXPECT_EQ(edge_.intervals, nullptr);
  EXPECT_EQ(edge_.intervals_tail, nullptr);
  // dx > 0 and dy > 0: the start side of the box is x_min and y_min.
  EXPECT_EQ(edge_.x_min, 100.0f);
  EXPECT_EQ(edge_.y_min, 50.0f);
  EXPECT_EQ(edge_.x_max, 100.0f);
  EXPECT_EQ(edge_.y_max, 50.0f);
  EXPECT_STREQ(check_intervals(edge_), "");
}

TEST_F(Intervals, HideEndBeforeTheStartHidesAll) {
  hide_start(edge_, 0.5);
  hide_end(edge_, 0.5 + tol / 2.0);
  EXPECT_EQ(edge_.t_min, 1.0);
  EXPECT_EQ(edge_.t_max, 1.0);
  // refresh_box_end with t_max = 1.0: the end side lies at b.
  EXPECT_EQ(edge_.x_max, 100.0f);
  EXPECT_EQ(edge_.y_max, 50.0f);
}

TEST_F(Intervals, FromOfOneIsNothingWhateverTheOtherEnd) {
  hide_interval(edge_, 1.0, 5.0);
  hide_interval(edge_, 1.0, -5.0);
  hide_interval(edge_, 1.0, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(edge_.intervals, nullptr);
  EXPECT_EQ(edge_.t_min, 0.0);
  EXPECT_EQ(edge_.t_max, 1.0);
}

TEST_F(Intervals, TrimsNarrowTheBoxAndNeverLowerZMax) {
  // a = (0, 0, 4), b = (100, 50, 2): z_max starts at 4 and stays there
  // while the start (the deep end) is hidden.
  hide_start(edge_, 0.25);
  EXPECT_EQ(edge_.x_min, 25.0f);
  EXPECT_EQ(edge_.y_min, 12.5f);
  EXPECT_EQ(edge_.z_max, 4.0f);
  hide_end(edge_, 0.75);
  EXPECT_EQ(edge_.x_max, 75.0f);
  EXPECT_EQ(edge_.y_max, 37.5f);
  EXPECT_EQ(edge_.z_max, 4.0f);
}

TEST(IntervalBox, FallingEdgeNarrowsTheOtherYSide) {
  Edge_Store store;
  // Stored a = (0, 10, 0), b = (20, 0, 6): dy < 0, so the start side in y
  // is y_max; z rises towards b and z_max is raised as the start moves.
  HLR_Edge& edge = store.add({20.0f, 0.0f, 6.0f}, {0.0f, 10.0f, 0.0f});
  ASSERT_EQ(edge.a.x, 0.0f);
  EXPECT_EQ(edge.z_max, 6.0f);
  hide_start(edge, 0.5);
  EXPECT_EQ(edge.x_min, 10.0f);
  EXPECT_EQ(edge.y_max, 5.0f);
  EXPECT_EQ(edge.y_min, 0.0f);
  hide_end(edge, 0.75);
  EXPECT_EQ(edge.x_max, 15.0f);
  EXPECT_EQ(edge.y_min, 2.5f);
  EXPECT_EQ(edge.z_max, 6.0f);
}

TEST(IntervalBox, VerticalEdgeKeepsItsXAndNarrowsY) {
  Edge_Store store;
  HLR_Edge& edge = store.add({3.0f, 9.0f, 0.0f}, {3.0f, 2.0f, 0.0f});  // stored from y 2 to 9
  ASSERT_EQ(edge.a.y, 2.0f);
  hide_start(edge, 0.5);
  // dx = -0.0 is not > 0: the start side in x is x_max, set to 3 again.
  EXPECT_EQ(edge.x_min, 3.0f);
  EXPECT_EQ(edge.x_max, 3.0f);
  EXPECT_EQ(edge.y_min, 5.5f);
}

TEST_F(Intervals, FailedNodeAllocationLeavesTheListAsItWas) {
  hide_interval(edge_, 0.25, 0.375);
  hide_interval(edge_, 0.75, 0.875);
  const Nodes before = nodes_of(edge_);
  const std::pair<double, double> insertions[] = {
      {0.5, 0.625}, {0.0625, 0.125}, {0.9, 0.95}};  // between, before, after
  for (const auto& [from, to] : insertions) {
    {
      allocation_failure::Scope failing(1);
      EXPECT_THROW(hide_interval(edge_, from, to), std::bad_alloc);
    }
    EXPECT_EQ(nodes_of(edge_), before);
    EXPECT_STREQ(check_intervals(edge_), "");
  }
}

TEST_F(Intervals, NanArgumentsLeaveAWellLinkedList) {
  // Nothing sensible comes of a NaN, but the walks stop at the ends of the
  // list and every node stays linked both ways.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  hide_interval(edge_, 0.25, 0.375);
  hide_interval(edge_, 0.75, 0.875);
  hide_interval(edge_, 0.5, nan);
  hide_interval(edge_, nan, 0.5);
  int forward = 0;
  const hidden_interval* last = nullptr;
  for (const hidden_interval* n = edge_.intervals; n != nullptr; n = n->next_interval, ++forward) {
    ASSERT_EQ(n->prev_interval, last);
    last = n;
  }
  EXPECT_EQ(last, edge_.intervals_tail);
  EXPECT_GE(forward, 2);
}

TEST(IntervalCheck, ReportsEachBrokenInvariant) {
  Edge_Store store;
  HLR_Edge& edge = store.add({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  edge.t_tolerance = 1.0 / 64.0;
  hide_interval(edge, 0.25, 0.5);
  hide_interval(edge, 0.75, 0.875);
  ASSERT_STREQ(check_intervals(edge), "");

  hidden_interval& first = *edge.intervals;
  hidden_interval& second = *edge.intervals_tail;
  first.to = 0.74;  // gap below the tolerance
  EXPECT_STRNE(check_intervals(edge), "");
  first.to = 0.5;
  second.to = second.from + 1.0 / 128.0;  // shorter than the tolerance
  EXPECT_STRNE(check_intervals(edge), "");
  second.to = 0.875;
  first.from = 0.01;  // too close to t_min
  EXPECT_STRNE(check_intervals(edge), "");
  first.from = 0.25;
  edge.t_max = 0.88;  // last node too close to t_max
  EXPECT_STRNE(check_intervals(edge), "");
  edge.t_max = 1.0;
  second.prev_interval = nullptr;  // broken back link
  EXPECT_STRNE(check_intervals(edge), "");
  second.prev_interval = &first;
  ASSERT_STREQ(check_intervals(edge), "");

  HLR_Edge hidden_edge = edge;  // a copy to break without touching the list
  hidden_edge.t_min = 1.0;      // fully hidden, yet nodes and t_max < 1
  hidden_edge.t_max = 0.9;
  EXPECT_STRNE(check_intervals(hidden_edge), "");
  hidden_edge.t_max = 1.0;
  EXPECT_STRNE(check_intervals(hidden_edge), "");
  hidden_edge.intervals = hidden_edge.intervals_tail = nullptr;
  EXPECT_STREQ(check_intervals(hidden_edge), "");
  hidden_edge.t_min = 0.5;
  hidden_edge.t_max = 0.25;
  EXPECT_STRNE(check_intervals(hidden_edge), "");
  hidden_edge.rendition.reset();
}

TEST(PointAt, EndsAreTheStoredPointsBitForBit) {
  Edge_Store store;
  // a.y + dy = 1e8 + (0.3 - 1e8 rounded) = 0, not 0.3: the formula would
  // miss b, the stored point does not.
  HLR_Edge& edge = store.add_double({0.1, 1e8, 2.0}, {7.0, 0.3, -1.0 / 3.0});
  ASSERT_EQ(edge.dy, -1e8f);
  EXPECT_TRUE(same_bits(point_at(edge, 0.0), edge.a));
  EXPECT_TRUE(same_bits(point_at(edge, 1.0), edge.b));
  EXPECT_EQ(point_at(edge, 1.0).y, 0.3f);
  EXPECT_TRUE(same_bits(point_at_d(edge, 0.0), KT_Point_D{0.1, 1e8, 2.0}));
  EXPECT_TRUE(same_bits(point_at_d(edge, 1.0), KT_Point_D{7.0, 0.3, -1.0 / 3.0}));
}

TEST(PointAt, InnerPointsFollowTheFloatDirection) {
  Edge_Store store;
  // dx = 1e7 - 0.1 rounds to 1e7 in float; at t = 0.5 the double point is
  // 0.5 * 1e7 + 0.1 = 5000000.1, not the true midpoint 5000000.05.
  HLR_Edge& edge = store.add_double({0.1, 0.0, 0.0}, {1e7, 10.0, -4.0});
  ASSERT_EQ(edge.dx, 1e7f);
  const KT_Point_D mid = point_at_d(edge, 0.5);
  EXPECT_EQ(mid.x, 5000000.1);
  EXPECT_EQ(mid.y, 5.0);
  EXPECT_EQ(mid.z, -2.0);
  // In float: (double)dx * t + a, one rounding per coordinate.
  HLR_Edge& plain = store.add({0.0f, 0.0f, 0.0f}, {10.0f, 20.0f, -4.0f});
  const KT_Point quarter = point_at(plain, 0.25);
  EXPECT_EQ(quarter.x, 2.5f);
  EXPECT_EQ(quarter.y, 5.0f);
  EXPECT_EQ(quarter.z, -1.0f);
  // 0.1 * 3 + 1 in double is 1.3000000000000000444; the float nearest is
  // 1.29999995f, the one the float sum 1.0f + 3.0f * 0.1f would not give
  // in every case; here only the single final rounding is pinned.
  HLR_Edge& third = store.add({1.0f, 0.0f, 0.0f}, {4.0f, 0.0f, 0.0f});
  EXPECT_EQ(point_at(third, 0.1).x, static_cast<float>(1.3));
}

TEST(PointAt, EdgesWithoutDoublePointsUseTheirFloatsWidened) {
  Edge_Store store;
  HLR_Edge& edge = store.add({1.5f, -2.25f, 0.125f}, {9.0f, 3.0f, 1.0f});
  const HLR_Double_End_Points ends = double_end_points(edge);
  EXPECT_TRUE(same_bits(ends.a, KT_Point_D{1.5, -2.25, 0.125}));
  EXPECT_TRUE(same_bits(ends.b, KT_Point_D{9.0, 3.0, 1.0}));
  EXPECT_TRUE(same_bits(point_at_d(edge, 0.0), ends.a));
  EXPECT_TRUE(same_bits(point_at_d(edge, 1.0), ends.b));
  const KT_Point_D mid = point_at_d(edge, 0.5);
  EXPECT_EQ(mid.x, 5.25);
  EXPECT_EQ(mid.y, 0.375);
  EXPECT_EQ(mid.z, 0.5625);

  // A double edge keeps its own points, even when only one coordinate is
  // non-zero, and one whose points are both the origin gives the origin.
  // (Both points round to the float origin, so make_edge swaps them.)
  HLR_Edge& own = store.add_double({0.0, 0.0, 0.0}, {0.0, 1e-60, 0.0});
  EXPECT_TRUE(same_bits(double_end_points(own).a, KT_Point_D{0.0, 1e-60, 0.0}));
  EXPECT_TRUE(same_bits(double_end_points(own).b, KT_Point_D{0.0, 0.0, 0.0}));
  HLR_Edge& origin = store.add_double({0.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  EXPECT_TRUE(same_bits(double_end_points(origin).a, KT_Point_D{0.0, 0.0, 0.0}));
  EXPECT_TRUE(same_bits(double_end_points(origin).b, KT_Point_D{0.0, 0.0, 0.0}));
}

}  // namespace
