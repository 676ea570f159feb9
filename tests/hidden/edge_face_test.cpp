// One edge against one face, with numbers worked by hand. The face lies in
// the plane z = 10 over the triangle (0,0) (100,0) (0,100): plane values
// are z - 10, side 0 runs along y = 0, side 1 along x + y = 100, side 2
// along x = 0.
#include <gtest/gtest.h>

#include <cmath>

#include "edge_face.h"
#include "hidden_fixture.h"
#include "intervals.h"

namespace {

using hidden_test::Edge_Store;
using hidden_test::face_of;

constexpr float depth_tolerance = 0.1f;

class Edge_Face : public ::testing::Test {
 protected:
  HLR_Face face_ = face_of({0.0f, 0.0f, 10.0f}, {100.0f, 0.0f, 10.0f}, {0.0f, 100.0f, 10.0f});
  Edge_Store store_;

  HLR_Edge& edge(KT_Point p, KT_Point q, float t0 = 0.0f, float t1 = 1.0f) {
    return store_.add(p, q, t0, t1);
  }
  static int node_count(const HLR_Edge& e) {
    int n = 0;
    for (const hidden_interval* i = e.intervals; i != nullptr; i = i->next_interval) ++n;
    return n;
  }
  static void expect_untouched(const HLR_Edge& e) {
    EXPECT_EQ(e.t_min, e.t_min_captured);
    EXPECT_EQ(e.t_max, e.t_max_captured);
    EXPECT_EQ(e.intervals, nullptr);
  }
};

TEST_F(Edge_Face, PlaneValueIsTheDepthBehindTheFace) {
  EXPECT_EQ(plane_value(face_, {3.0f, 4.0f, 12.5f}), 2.5f);
  EXPECT_EQ(plane_value(face_, {3.0f, 4.0f, 7.0f}), -3.0f);
  // A tilted face: z = 0.5 x over (0,0,0) (2,0,1) (0,2,0); unit normal
  // (-1, 0, 2) / sqrt(5), so the value at (2, 0, 3) is 4 / sqrt(5) rounded
  // once to float.
  const HLR_Face tilted = face_of({0.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 1.0f}, {0.0f, 2.0f, 0.0f});
  EXPECT_EQ(plane_value(tilted, {2.0f, 0.0f, 3.0f}), static_cast<float>(4.0 / std::sqrt(5.0)));
}

TEST_F(Edge_Face, InsideTriangleCountsSidesAndVertices) {
  struct Case {
    KT_Point p;
    bool inside;
  };
  const Case cases[] = {
      {{10.0f, 10.0f, 0.0f}, true},    {{0.0f, 0.0f, 0.0f}, true},
      {{100.0f, 0.0f, 0.0f}, true},    {{0.0f, 100.0f, 0.0f}, true},
      {{50.0f, 0.0f, 0.0f}, true},     {{50.0f, 50.0f, 0.0f}, true},
      {{0.0f, 50.0f, 0.0f}, true},     {{50.0f, -0.001f, 0.0f}, false},
      {{50.5f, 50.0f, 0.0f}, false},   {{-0.001f, 50.0f, 0.0f}, false},
      {{-10.0f, -10.0f, 0.0f}, false}, {{200.0f, 200.0f, 0.0f}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(inside_triangle(face_, c.p), c.inside) << c.p.x << ", " << c.p.y;
  }
}

TEST_F(Edge_Face, SideCrossingOfParallelLinesIsNone) {
  const HLR_Edge& e = edge({10.0f, 10.0f, 0.0f}, {50.0f, 10.0f, 0.0f});
  double t = -7.0;
  EXPECT_FALSE(side_crossing(e, {0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f}, t));
  EXPECT_FALSE(side_crossing(e, {100.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, t));
  EXPECT_EQ(t, -7.0);
}

TEST_F(Edge_Face, SideCrossingThresholdIsTheFloatOfTheDenominator) {
  // Edge along x from (0,0) to (1,0); a vertical segment at x = 0.5 whose
  // length is the denominator: exactly 1e-5f still crosses (the float
  // |den| is not below 1e-5f), the next float down is parallel. Compared
  // in double with 1e-5 the first would count as parallel too.
  const HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f});
  double t = 0.0;
  EXPECT_TRUE(side_crossing(e, {0.5f, 1e-5f, 0.0f}, {0.5f, 0.0f, 0.0f}, t));
  EXPECT_EQ(t, 0.5);
  const float below = std::nextafter(1e-5f, 0.0f);
  EXPECT_FALSE(side_crossing(e, {0.5f, below, 0.0f}, {0.5f, 0.0f, 0.0f}, t));
}

TEST_F(Edge_Face, SideCrossingAtEitherSegmentEndCounts) {
  const HLR_Edge& e = edge({0.0f, 10.0f, 0.0f}, {40.0f, 10.0f, 0.0f});
  double t = 0.0;
  // The line y = 10 touches the segment at its start P, then at its end Q.
  ASSERT_TRUE(side_crossing(e, {30.0f, 10.0f, 0.0f}, {30.0f, 50.0f, 0.0f}, t));
  EXPECT_EQ(t, 0.75);
  ASSERT_TRUE(side_crossing(e, {30.0f, 50.0f, 0.0f}, {30.0f, 10.0f, 0.0f}, t));
  EXPECT_EQ(t, 0.75);
  // Just past either end: no crossing.
  EXPECT_FALSE(side_crossing(e, {30.0f, 10.5f, 0.0f}, {30.0f, 50.0f, 0.0f}, t));
  EXPECT_FALSE(side_crossing(e, {30.0f, 50.0f, 0.0f}, {30.0f, 10.5f, 0.0f}, t));
  // The crossing may lie beyond the edge's own ends: t is not limited.
  ASSERT_TRUE(side_crossing(e, {80.0f, 0.0f, 0.0f}, {80.0f, 20.0f, 0.0f}, t));
  EXPECT_EQ(t, 2.0);
}

TEST_F(Edge_Face, FirstQualifyingSideWinsNotTheNearest) {
  // y = 10 from x = -50 to 150 crosses side 2 (x = 0) at t = 0.25 and side
  // 1 (x = 90) at t = 0.7; side 1 is tried first.
  const HLR_Edge& e = edge({-50.0f, 10.0f, 20.0f}, {150.0f, 10.0f, 20.0f});
  EXPECT_EQ(first_side_crossing(e, face_, 0.0, 1.0), static_cast<double>(0.7f));
  // Bounds are strict and rounded to float.
  EXPECT_EQ(first_side_crossing(e, face_, 0.0, 0.7), 0.25);
  EXPECT_EQ(first_side_crossing(e, face_, 0.25, 0.7), 1.0);
  EXPECT_EQ(first_side_crossing(e, face_, 0.0, 0.25), 1.0);
}

TEST_F(Edge_Face, EdgeInTheFacesPlaneIsNotHidden) {
  // Within the tolerance of the plane all along, right across the triangle.
  HLR_Edge& e = edge({-20.0f, 10.0f, 10.0f}, {150.0f, 30.0f, 10.05f});
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  expect_untouched(e);
}

TEST_F(Edge_Face, EdgeInFrontIsNotHidden) {
  HLR_Edge& e = edge({10.0f, 10.0f, 5.0f}, {50.0f, 20.0f, 2.0f});
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  expect_untouched(e);
  HLR_Edge& across = edge({-50.0f, 10.0f, 9.0f}, {150.0f, 10.0f, 9.5f});
  EXPECT_FALSE(test_face(across, depth_tolerance, face_));
  expect_untouched(across);
}

TEST_F(Edge_Face, EdgeWhollyBehindWithBothEndsInsideIsFullyHidden) {
  HLR_Edge& e = edge({10.0f, 10.0f, 20.0f}, {50.0f, 20.0f, 30.0f});
  hide_interval(e, 0.25, 0.5);
  EXPECT_TRUE(test_face(e, depth_tolerance, face_));
  EXPECT_EQ(e.t_min, 1.0);
  EXPECT_EQ(e.t_max, 1.0);
  EXPECT_EQ(e.intervals, nullptr);
  // The box is left as it was.
  EXPECT_EQ(e.x_min, 10.0f);
  EXPECT_EQ(e.x_max, 50.0f);
  // Already fully hidden: true at once.
  EXPECT_TRUE(test_face(e, depth_tolerance, face_));
}

TEST_F(Edge_Face, EdgeLeavingThroughASideMovesItsStart) {
  // From (10,10) inside to (110,10) outside, behind: leaves through side 1
  // at x = 90, t = 80 / 100.
  HLR_Edge& e = edge({10.0f, 10.0f, 20.0f}, {110.0f, 10.0f, 20.0f});
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  EXPECT_EQ(e.t_min, static_cast<double>(0.8f));
  EXPECT_EQ(e.t_max, 1.0);
  EXPECT_EQ(e.intervals, nullptr);
  EXPECT_EQ(e.x_min, 90.0f);
}

TEST_F(Edge_Face, EdgeEnteringThroughASideMovesItsEnd) {
  // From (-50,10) outside to (50,10) inside: enters through side 2 (x = 0)
  // at t = 0.5.
  HLR_Edge& e = edge({-50.0f, 10.0f, 20.0f}, {50.0f, 10.0f, 20.0f});
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  EXPECT_EQ(e.t_min, 0.0);
  EXPECT_EQ(e.t_max, 0.5);
  EXPECT_EQ(e.x_max, 0.0f);
}

TEST_F(Edge_Face, EdgePassingBehindGivesOneInterval) {
  HLR_Edge& e = edge({-50.0f, 10.0f, 20.0f}, {150.0f, 10.0f, 20.0f});
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  ASSERT_EQ(node_count(e), 1);
  EXPECT_EQ(e.intervals->from, 0.25);
  EXPECT_EQ(e.intervals->to, static_cast<double>(0.7f));
  EXPECT_EQ(e.t_min, 0.0);
  EXPECT_EQ(e.t_max, 1.0);
}

TEST_F(Edge_Face, CoveredPartIsClampedToTheWorkingRange) {
  // The same line clipped to start at t = 0.3: the covered part [0.25,
  // 0.7] is clamped to [0.3, 0.7], which begins at the working range's
  // start, so the start moves instead of a node being made.
  HLR_Edge& e = edge({-50.0f, 10.0f, 20.0f}, {150.0f, 10.0f, 20.0f}, 0.3f, 1.0f);
  const HLR_Span span = covered_span(e, depth_tolerance, face_);
  EXPECT_EQ(span.from, static_cast<double>(0.3f));
  EXPECT_EQ(span.to, static_cast<double>(0.7f));
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  EXPECT_EQ(e.t_min, static_cast<double>(0.7f));
  EXPECT_EQ(e.intervals, nullptr);
}

TEST_F(Edge_Face, CoveredSpanCountsOnlyCrossingsBehindOrOnThePlane) {
  // z rises from 4 to 16: at x = 0 (t = 0.25) z = 7, in front; at x = 90
  // (t = 0.7) z = 12.4, behind. One counted crossing is no span.
  const HLR_Edge& e = edge({-50.0f, 10.0f, 4.0f}, {150.0f, 10.0f, 16.0f});
  const HLR_Span none = covered_span(e, depth_tolerance, face_);
  EXPECT_EQ(none.from, 1.0);
  EXPECT_EQ(none.to, 1.0);
  // In front by no more than the tolerance counts as on the plane.
  const HLR_Edge& close = edge({-50.0f, 10.0f, 9.95f}, {150.0f, 10.0f, 9.95f});
  const HLR_Span on = covered_span(close, depth_tolerance, face_);
  EXPECT_EQ(on.from, 0.25);
  EXPECT_EQ(on.to, static_cast<double>(0.7f));
}

TEST_F(Edge_Face, PiercingHidesOnlyThePartBehindFromOneTolerancePast) {
  // From (10,10,5) in front to (50,20,15) behind: the plane is crossed at
  // t = 0.5, inside the triangle; the end inside and behind. Tolerance:
  // 0.01 / 40.
  HLR_Edge& rising = edge({10.0f, 10.0f, 5.0f}, {50.0f, 20.0f, 15.0f});
  const double tol = static_cast<double>(0.01f / 40.0f);
  ASSERT_EQ(rising.t_tolerance, tol);
  EXPECT_FALSE(test_face(rising, depth_tolerance, face_));
  EXPECT_EQ(rising.t_min, 0.0);
  EXPECT_EQ(rising.t_max, 0.5 + tol);
  EXPECT_EQ(rising.intervals, nullptr);

  // The other way round: the start is behind, hidden up to 0.5 - tol.
  HLR_Edge& falling = edge({10.0f, 10.0f, 15.0f}, {50.0f, 20.0f, 5.0f});
  EXPECT_FALSE(test_face(falling, depth_tolerance, face_));
  EXPECT_EQ(falling.t_min, 0.5 - tol);
  EXPECT_EQ(falling.t_max, 1.0);
}

TEST_F(Edge_Face, PiercingWithTheFarEndOutsideHidesUpToTheSide) {
  // From (10,10,5) to (150,10,15): pierces at t = 0.5 (x = 80, inside),
  // leaves through side 1 at x = 90, t = 80 / 140.
  HLR_Edge& e = edge({10.0f, 10.0f, 5.0f}, {150.0f, 10.0f, 15.0f});
  const double tol = static_cast<double>(0.01f / 140.0f);
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  ASSERT_EQ(node_count(e), 1);
  EXPECT_EQ(e.intervals->from, 0.5 + tol);
  EXPECT_EQ(e.intervals->to, static_cast<double>(static_cast<float>(80.0 / 140.0)));
  EXPECT_EQ(e.t_min, 0.0);
  EXPECT_EQ(e.t_max, 1.0);
}

TEST_F(Edge_Face, EdgeFromAVertexRunningAwayIsNotHidden) {
  // From vertex (100,0) out to (150,-20), behind: the sides through the
  // vertex cross at t = 0, side 2 behind the start.
  HLR_Edge& away = edge({100.0f, 0.0f, 20.0f}, {150.0f, -20.0f, 20.0f});
  EXPECT_FALSE(test_face(away, depth_tolerance, face_));
  expect_untouched(away);
  // Stored the other way round (the vertex is b): the same.
  HLR_Edge& toward = edge({0.0f, 0.0f, 20.0f}, {-50.0f, -30.0f, 20.0f});
  ASSERT_EQ(toward.b.x, 0.0f);
  EXPECT_FALSE(test_face(toward, depth_tolerance, face_));
  expect_untouched(toward);
}

TEST_F(Edge_Face, EdgeFromAVertexRunningAcrossIsHiddenToTheFarSide) {
  // From vertex (0,0) to (80,80), behind: leaves through side 1 at (50,50).
  HLR_Edge& e = edge({0.0f, 0.0f, 20.0f}, {80.0f, 80.0f, 20.0f});
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  EXPECT_EQ(e.t_min, 0.625);
  EXPECT_EQ(e.t_max, 1.0);
}

TEST_F(Edge_Face, StartInsideButInFrontGoesToTheCoveredSpan) {
  // hide_by_face's third step is one flat chain: an inside start decides
  // only when it also lies behind or on the plane. The plane values passed
  // here say the start is in front; the geometry (z = 20, behind) is what
  // covered_span looks at. From (10,10) inside to (190,10) outside: the
  // crossings at x = 90 (t = 80/180) and x = 0 (t = -10/180, before the
  // start) are both behind, so the span [0, 80/180] moves the start.
  HLR_Edge& behind = edge({10.0f, 10.0f, 20.0f}, {190.0f, 10.0f, 20.0f});
  hide_by_face(behind, depth_tolerance, face_, -1.0f, 1.0f);
  EXPECT_EQ(behind.t_min, static_cast<double>(static_cast<float>(80.0 / 180.0)));

  // The same in front (z = 5): covered_span counts nothing, and the start
  // is not moved to the side crossing.
  HLR_Edge& in_front = edge({10.0f, 10.0f, 5.0f}, {190.0f, 10.0f, 5.0f});
  hide_by_face(in_front, depth_tolerance, face_, -1.0f, 1.0f);
  expect_untouched(in_front);
}

TEST_F(Edge_Face, PiercingPointPushedPastTheEndHidesNothing) {
  // Half a unit long (tolerance 0.01), both ends inside the triangle, from
  // 20 in front to 0.15 behind: the plane is crossed at t = 20 / 20.15 =
  // 0.9926, and one tolerance on that is past the end. The end then counts
  // as on the plane and the start is in front: nothing is hidden (without
  // that rule both ends inside would hide the whole edge).
  HLR_Edge& e = edge({10.0f, 10.0f, -10.0f}, {10.5f, 10.0f, 10.15f});
  ASSERT_EQ(e.t_tolerance, static_cast<double>(0.01f));
  EXPECT_FALSE(test_face(e, depth_tolerance, face_));
  expect_untouched(e);

  // Mirrored: behind at the start, crossing 0.0074 after it.
  HLR_Edge& m = edge({10.0f, 10.0f, 10.15f}, {10.5f, 10.0f, -10.0f});
  EXPECT_FALSE(test_face(m, depth_tolerance, face_));
  expect_untouched(m);
}

}  // namespace
