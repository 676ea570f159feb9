// One edge against one face, with numbers worked by hand. The face lies in
// the plane z = 10 over the triangle (0,0) (100,0) (0,100): plane values
// are z - 10, side 0 runs along y = 0, side 1 along x + y = 100, side 2
// along x = 0.
#include <gtest/gtest.h>

#include <cmath>

#include "edge_face.h"
#include "intervals.h"
#include "state_fixture.h"

namespace {

constexpr float depth_tolerance = 0.1f;

class Edge_Face : public State_Test {
 protected:
  const HLR_Face& face_ = *face({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
};

TEST_F(Edge_Face, InsideTriangleCountsSidesAndVertices) {
  const struct {
    KT_Point p;
    bool inside;
  } cases[] = {
      {{10, 10, 0}, true},       {{0, 0, 0}, true},         {{100, 0, 0}, true},
      {{0, 100, 0}, true},       {{50, 0, 0}, true},        {{50, 50, 0}, true},
      {{0, 50, 0}, true},        {{50, -0.001f, 0}, false}, {{50.5f, 50, 0}, false},
      {{-0.001f, 50, 0}, false}, {{-10, -10, 0}, false},    {{200, 200, 0}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(inside_triangle(face_, c.p), c.inside) << c.p.x << ", " << c.p.y;
  }
}

TEST_F(Edge_Face, SideCrossingCountsTheSegmentEndsAndTreatsTinyDenominatorsAsParallel) {
  double t = -7.0;
  // The line y = 10 touches the segment at its end; just past it, it
  // misses; t is not limited to the edge.
  const HLR_Edge& e = edge({0, 10, 0}, {40, 10, 0});
  ASSERT_TRUE(side_crossing(e, {30, 50, 0}, {30, 10, 0}, t));
  EXPECT_EQ(t, 0.75);
  EXPECT_FALSE(side_crossing(e, {30, 10.5f, 0}, {30, 50, 0}, t));
  ASSERT_TRUE(side_crossing(e, {80, 0, 0}, {80, 20, 0}, t));
  EXPECT_EQ(t, 2.0);
  // A segment whose length is the denominator: exactly 1e-5f still crosses
  // (the float |den| is not below 1e-5f), the next float down is parallel.
  // Compared in double with 1e-5 the first would be parallel too.
  const HLR_Edge& unit = edge({0, 0, 0}, {1, 0, 0});
  EXPECT_TRUE(side_crossing(unit, {0.5f, 1e-5f, 0}, {0.5f, 0, 0}, t));
  EXPECT_FALSE(side_crossing(unit, {0.5f, std::nextafter(1e-5f, 0.0f), 0}, {0.5f, 0, 0}, t));
}

TEST_F(Edge_Face, FirstQualifyingSideWinsNotTheNearest) {
  // y = 10 from x = -50 to 150 crosses side 2 (x = 0) at t = 0.25 and side
  // 1 (x = 90) at t = 0.7; side 1 is tried first. Bounds are strict and
  // rounded to float.
  const HLR_Edge& e = edge({-50, 10, 20}, {150, 10, 20});
  EXPECT_EQ(first_side_crossing(e, face_, 0.0, 1.0), double(0.7f));
  EXPECT_EQ(first_side_crossing(e, face_, 0.0, 0.7), 0.25);
  EXPECT_EQ(first_side_crossing(e, face_, 0.25, 0.7), 1.0);
  EXPECT_EQ(first_side_crossing(e, face_, 0.0, 0.25), 1.0);
}

TEST_F(Edge_Face, EachWayAnEdgeMeetsTheFaceHidesWhatLiesBehindIt) {
  const double tol40 = double(0.01f / 40.0f);
  struct Case {
    const char* what;
    KT_Point p, q;
    float t0;
    double t_min, t_max;
    double from, to;  // the one hidden interval, or -1
  };
  const Case cases[] = {
      {"in the plane within the tolerance", {-20, 10, 10}, {150, 30, 10.05f}, 0, 0, 1, -1, -1},
      {"in front", {10, 10, 5}, {50, 20, 2}, 0, 0, 1, -1, -1},
      {"in front, right across", {-50, 10, 9}, {150, 10, 9.5f}, 0, 0, 1, -1, -1},
      {"behind with both ends inside", {10, 10, 20}, {50, 20, 30}, 0, 1, 1, -1, -1},
      {"leaving through side 1 at x = 90", {10, 10, 20}, {110, 10, 20}, 0, 0.8f, 1, -1, -1},
      {"entering through side 2 at x = 0", {-50, 10, 20}, {50, 10, 20}, 0, 0, 0.5, -1, -1},
      {"passing behind", {-50, 10, 20}, {150, 10, 20}, 0, 0, 1, 0.25, 0.7f},
      // The covered part [0.25, 0.7] clamped to the working range [0.3, 1]
      // begins at its start: the start moves instead.
      {"passing behind, clipped", {-50, 10, 20}, {150, 10, 20}, 0.3f, 0.7f, 1, -1, -1},
      // Pierces at t = 0.5 inside the triangle: hidden from one tolerance
      // past the piercing point.
      {"piercing, rising", {10, 10, 5}, {50, 20, 15}, 0, 0, 0.5 + tol40, -1, -1},
      {"piercing, falling", {10, 10, 15}, {50, 20, 5}, 0, 0.5 - tol40, 1, -1, -1},
      // Pierces at x = 80, leaves through side 1 at x = 90, t = 80 / 140.
      {"piercing, far end outside",
       {10, 10, 5},
       {150, 10, 15},
       0,
       0,
       1,
       0.5 + double(0.01f / 140.0f),
       float(80.0 / 140.0)},
      // The sides through the vertex cross at t = 0, side 2 behind it.
      {"from a vertex, away", {100, 0, 20}, {150, -20, 20}, 0, 0, 1, -1, -1},
      {"to a vertex, away", {0, 0, 20}, {-50, -30, 20}, 0, 0, 1, -1, -1},
      {"from a vertex, across to (50, 50)", {0, 0, 20}, {80, 80, 20}, 0, 0.625, 1, -1, -1},
      // Half a unit long (tolerance 0.01), both ends inside, from 20 in
      // front to 0.15 behind: the piercing point 0.9926 plus a tolerance
      // lies past the end, which then counts as on the plane: nothing is
      // hidden (without that rule both ends inside would hide it all).
      {"piercing pushed past the end", {10, 10, -10}, {10.5f, 10, 10.15f}, 0, 0, 1, -1, -1},
      {"piercing pushed before the start", {10, 10, 10.15f}, {10.5f, 10, -10}, 0, 0, 1, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HLR_Edge& e = edge(c.p, c.q, c.t0, 1.0f);
    // An earlier face's interval, which hiding the whole edge must drop.
    if (c.t_min == 1.0) hide_interval(e, 0.25, 0.5, intervals);
    EXPECT_EQ(test_face(e, depth_tolerance, face_, intervals), c.t_min == 1.0);
    EXPECT_EQ(e.t_min, c.t_min);
    EXPECT_EQ(e.t_max, c.t_max);
    EXPECT_STREQ(check_intervals(e), "");
    if (c.from < 0) {
      EXPECT_EQ(e.intervals, nullptr);
    } else {
      ASSERT_NE(e.intervals, nullptr);
      EXPECT_EQ(e.intervals->next_interval, nullptr);
      EXPECT_EQ(e.intervals->from, c.from);
      EXPECT_EQ(e.intervals->to, c.to);
    }
  }
}

TEST_F(Edge_Face, CoveredSpanCountsOnlyCrossingsBehindOrOnThePlane) {
  // z rises from 4 to 16: at x = 0 (t = 0.25) z = 7, in front; at x = 90
  // (t = 0.7) z = 12.4, behind. One counted crossing is no span.
  EXPECT_EQ(covered_span(edge({-50, 10, 4}, {150, 10, 16}), depth_tolerance, face_).from, 1.0);
  // In front by no more than the tolerance counts as on the plane.
  const HLR_Span on =
      covered_span(edge({-50, 10, 9.95f}, {150, 10, 9.95f}), depth_tolerance, face_);
  EXPECT_EQ(on.from, 0.25);
  EXPECT_EQ(on.to, double(0.7f));
  // An inside start decides only when it also lies behind or on the plane;
  // the plane values passed say it is in front, so covered_span decides.
  // Behind, from (10,10) inside to (190,10) outside, the crossings at x = 90
  // (t = 80/180) and x = 0 (before the start) span [0, 80/180], which moves
  // the start; in front covered_span counts nothing.
  HLR_Edge& behind = edge({10, 10, 20}, {190, 10, 20});
  hide_by_face(behind, depth_tolerance, face_, -1.0f, 1.0f, intervals);
  EXPECT_EQ(behind.t_min, double(float(80.0 / 180.0)));
  HLR_Edge& in_front = edge({10, 10, 5}, {190, 10, 5});
  hide_by_face(in_front, depth_tolerance, face_, -1.0f, 1.0f, intervals);
  EXPECT_EQ(in_front.t_min, 0.0);
}

}  // namespace
