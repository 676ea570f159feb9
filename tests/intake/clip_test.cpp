// Culling strips and clipping polylines against the clip rectangle
// (0, 100, 0, 100): the parameter ranges of clipped segments, the segments
// and triangles dropped, and the strip phases seen through the faces
// captured.
#include <algorithm>
#include <cmath>
#include <random>

#include "intake_actions.h"
#include "intake_fixture.h"

namespace {

class Clipping : public Intake_Test {
 protected:
  // The rendition is not shared, so this changes it in place and makes no
  // new host object.
  Clipping() { rendition.set_clip_rectangle({0, 100, 0, 100}); }
};

enum class Point_Form { single, integer, double_precision };

// Captures the polyline through the clipped operation of the given form.
void capture_polyline(HLR_Renderer_State& state, const KT_Rendition& rendition, Point_Form form,
                      const std::vector<KT_Point_I>& points) {
  const int count = static_cast<int>(points.size());
  std::vector<KT_Point> singles;
  std::vector<KT_Point_D> doubles;
  for (const KT_Point_I& p : points) {
    singles.push_back({float(p.x), float(p.y), float(p.z)});
    doubles.push_back({double(p.x), double(p.y), double(p.z)});
  }
  switch (form) {
    case Point_Form::single:
      polyline_f(state, rendition, count, singles.data());
      break;
    case Point_Form::integer:
      polyline_i(state, rendition, count, points.data());
      break;
    case Point_Form::double_precision:
      polyline_d(state, rendition, count, doubles.data());
      break;
  }
}

TEST_F(Clipping, SegmentKeepsItsInsideRangeInEveryPointForm) {
  struct Case {
    KT_Point_I p, q;
    float t_min, t_max;  // the fractions divided in float
  };
  const Case cases[] = {
      {{-50, 50, 0}, {50, 50, 0}, 0.5f, 1.0f},                      // enters across x min
      {{50, 50, 0}, {150, 50, 0}, 0.0f, 0.5f},                      // leaves across x max
      {{-50, 50, 0}, {150, 50, 0}, 0.25f, 0.75f},                   // through both
      {{-10, 50, 0}, {50, 120, 0}, 10.0f / 60.0f, 50.0f / 70.0f},   // in by x, out by y
      // In across x min (50/170 beats 20/170 from y max), out across y min
      // (120/170 before 150/170 from x max): from (0, 70) to (70, 0).
      {{-50, 120, 0}, {120, -50, 0}, 50.0f / 170.0f, 120.0f / 170.0f},
      {{0, 50, 0}, {150, 50, 0}, 0.0f, 100.0f / 150.0f},            // starts on a side
      {{50, -20, 0}, {50, 180, 0}, 20.0f / 200.0f, 120.0f / 200.0f},  // vertical, both
  };
  for (Point_Form form : {Point_Form::single, Point_Form::integer, Point_Form::double_precision}) {
    for (const Case& c : cases) {
      capture_polyline(state, rendition, form, {c.p, c.q});
      const auto edges = edges_of(state);
      ASSERT_EQ(edges.size(), 1u) << "segment from x " << c.p.x << " y " << c.p.y;
      EXPECT_EQ(edges[0]->t_min, double(c.t_min)) << "segment from x " << c.p.x << " y " << c.p.y;
      EXPECT_EQ(edges[0]->t_max, double(c.t_max)) << "segment from x " << c.p.x << " y " << c.p.y;
      EXPECT_EQ(edges[0]->t_min_captured, double(c.t_min));
      EXPECT_EQ(edges[0]->t_max_captured, double(c.t_max));
      EXPECT_EQ(edges[0]->a.x, float(c.p.x));  // every case runs to larger x or up
      free_records(state);
    }
  }
}

TEST_F(Clipping, SegmentRunningToSmallerXStoresTheMirroredRange) {
  const KT_Point points[] = {{50, 50, 0}, {-50, 50, 0}};
  polyline_f(state, rendition, 2, points);
  ASSERT_EQ(state.edge_list.count, 1u);
  const HLR_Edge& e = *state.edge_list.head;
  EXPECT_EQ(e.a, (KT_Point{-50, 50, 0}));
  EXPECT_EQ(e.t_min, 0.5);
  EXPECT_EQ(e.t_max, 1.0);
}

TEST_F(Clipping, SegmentsThatMissTheRectangleGiveNoEdge) {
  // Below the corner: in at 50/70, out at 20/70, the outcodes (left, below)
  // share no bit.
  const KT_Point corner[] = {{-50, 20, 0}, {20, -50, 0}};
  polyline_f(state, rendition, 2, corner);
  EXPECT_EQ(state.edge_list.count, 0u);

  // Both beyond x min, within a polyline whose next segment enters.
  const KT_Point beyond_one_side[] = {{-50, 50, 0}, {-10, 80, 0}, {50, 50, 0}};
  polyline_f(state, rendition, 3, beyond_one_side);
  ASSERT_EQ(state.edge_list.count, 1u);
  EXPECT_EQ(state.edge_list.head->a, (KT_Point{-10, 80, 0}));
  EXPECT_EQ(state.edge_list.head->t_min, double(10.0f / 60.0f));
  EXPECT_EQ(state.edge_list.head->t_max, 1.0);

  // Wholly outside on one side.
  const KT_Point outside[] = {{120, 0, 0}, {150, 50, 0}, {130, 90, 0}};
  polyline_f(state, rendition, 3, outside);
  EXPECT_EQ(state.edge_list.count, 1u);
  EXPECT_TRUE(store_is_consistent(state));
}

TEST_F(Clipping, PolylineWhollyInsideGivesTheUnclippedEdges) {
  const KT_Point points[] = {{0, 0, 1}, {100, 30, 2}, {40, 100, 3}, {40, 100, 3}, {5, 5, 9}};
  polyline_f(state, rendition, 5, points);
  HLR_Renderer_State unclipped{};
  unclipped.current_option_entries = state.current_option_entries;
  polyline_f_noclip(unclipped, rendition, 5, points);

  const auto clipped_edges = edges_of(state);
  const auto plain_edges = edges_of(unclipped);
  ASSERT_EQ(clipped_edges.size(), 4u);
  ASSERT_EQ(plain_edges.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    const HLR_Edge& c = *clipped_edges[i];
    const HLR_Edge& u = *plain_edges[i];
    EXPECT_EQ(c.a, u.a);
    EXPECT_EQ(c.b, u.b);
    EXPECT_EQ(c.t_min, 0.0);
    EXPECT_EQ(c.t_max, 1.0);
    EXPECT_EQ(u.t_min, 0.0);
    EXPECT_EQ(u.t_max, 1.0);
    EXPECT_EQ(c.t_tolerance, u.t_tolerance);
    EXPECT_EQ(c.hidden_color, u.hidden_color);
  }
  free_records(unclipped);
}

TEST_F(Clipping, DoublePolylineKeepsItsDoublesInStoredOrder) {
  // Wholly inside, the first segment running to smaller x.
  const KT_Point_D inside[] = {{10.1, 20.2, 0.3}, {5.05, 90.7, 1.9}, {60.123456789, 1e-3, 2.5}};
  polyline_d(state, rendition, 3, inside);
  // Clipped, entering across x min.
  const KT_Point_D crossing[] = {{-50.5, 50.25, 0.1}, {50.125, 50.25, 0.2}};
  polyline_d(state, rendition, 2, crossing);

  const auto edges = edges_of(state);
  ASSERT_EQ(edges.size(), 3u);
  EXPECT_EQ(edges[0]->a_d, inside[1]);
  EXPECT_EQ(edges[0]->b_d, inside[0]);
  EXPECT_EQ(edges[0]->a, (KT_Point{5.05f, 90.7f, 1.9f}));
  EXPECT_EQ(edges[0]->b, (KT_Point{10.1f, 20.2f, 0.3f}));
  EXPECT_EQ(edges[0]->t_min, 0.0);
  EXPECT_EQ(edges[0]->t_max, 1.0);
  EXPECT_EQ(edges[1]->a_d, inside[1]);
  EXPECT_EQ(edges[1]->b_d, inside[2]);
  EXPECT_EQ(edges[1]->b, (KT_Point{60.123456789f, 1e-3f, 2.5f}));

  EXPECT_EQ(edges[2]->a_d, crossing[0]);
  EXPECT_EQ(edges[2]->b_d, crossing[1]);
  EXPECT_EQ(edges[2]->a, (KT_Point{-50.5f, 50.25f, 0.1f}));
  // The range comes from the float points: 50.5 / 100.625 divided in float.
  EXPECT_EQ(edges[2]->t_min, double(50.5f / 100.625f));
  EXPECT_EQ(edges[2]->t_max, 1.0);
}

TEST_F(Clipping, SinglePrecisionEdgesCarryNoDoubles) {
  const KT_Point points[] = {{-50, 50, 0}, {50, 50, 0}, {60, 60, 0}};
  polyline_f(state, rendition, 3, points);
  for (const HLR_Edge* e : edges_of(state)) {
    EXPECT_EQ(e->a_d, (KT_Point_D{0, 0, 0}));
    EXPECT_EQ(e->b_d, (KT_Point_D{0, 0, 0}));
  }
}

// The inside part of a segment, found by sampling: the range it keeps must
// agree with where its points lie.
TEST_F(Clipping, RangeAgreesWithSampledInsidePoints) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<float> coordinate(-80.0f, 180.0f);
  constexpr int samples = 20000;
  constexpr double step = 1.0 / samples;
  for (int trial = 0; trial < 2000; ++trial) {
    const KT_Point p{coordinate(random), coordinate(random), 0};
    const KT_Point q{coordinate(random), coordinate(random), 0};
    const KT_Point segment[] = {p, q};
    polyline_f(state, rendition, 2, segment);

    double inside_from = 2.0;
    double inside_to = -1.0;
    for (int i = 0; i <= samples; ++i) {
      const double t = i * step;
      const double x = double(p.x) + t * (double(q.x) - double(p.x));
      const double y = double(p.y) + t * (double(q.y) - double(p.y));
      if (x >= 0 && x <= 100 && y >= 0 && y <= 100) {
        inside_from = std::min(inside_from, t);
        inside_to = std::max(inside_to, t);
      }
    }

    ASSERT_LE(state.edge_list.count, 1u);
    if (state.edge_list.count == 0) {
      // Nothing sampled inside, or a sliver shorter than two samples.
      EXPECT_LT(inside_to - inside_from, 2 * step) << "trial " << trial;
      continue;
    }
    const HLR_Edge& e = *state.edge_list.head;
    // Back to the parameter from p to q.
    const bool swapped = !(e.a == p);
    const double from = swapped ? 1.0 - e.t_max : e.t_min;
    const double to = swapped ? 1.0 - e.t_min : e.t_max;
    EXPECT_GE(from, 0.0);
    EXPECT_LE(to, 1.0);
    EXPECT_LT(from, to);
    if (inside_to < inside_from) {
      EXPECT_LT(to - from, 2 * step) << "trial " << trial;
    } else {
      EXPECT_NEAR(from, inside_from, 2 * step) << "trial " << trial;
      EXPECT_NEAR(to, inside_to, 2 * step) << "trial " << trial;
    }
    free_records(state);
  }
}

// Strips: triangles are culled but never cut, so every face has input
// points as vertices.

bool face_has_vertices(const HLR_Face& face, const KT_Point& p0, const KT_Point& p1,
                       const KT_Point& p2) {
  const KT_Point expected[] = {p0, p1, p2};
  for (const KT_Point& e : expected) {
    if (std::none_of(std::begin(face.vertices), std::end(face.vertices),
                     [&](const KT_Point& v) { return v == e; })) {
      return false;
    }
  }
  return true;
}

// The faces of the strip's triangles `triangles`, in capture order (the
// face list runs newest first).
::testing::AssertionResult faces_are_triangles(const HLR_Renderer_State& state,
                                               const KT_Point* points,
                                               std::vector<int> triangles) {
  auto faces = faces_of(state);
  std::reverse(faces.begin(), faces.end());
  if (faces.size() != triangles.size()) {
    return ::testing::AssertionFailure()
           << faces.size() << " faces, expected " << triangles.size();
  }
  for (std::size_t i = 0; i < faces.size(); ++i) {
    const int k = triangles[i];
    if (!face_has_vertices(*faces[i], points[k], points[k + 1], points[k + 2])) {
      return ::testing::AssertionFailure() << "face " << i << " is not triangle " << k;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(Clipping, StripWhoseLastPointIsOutsideIsCapturedWhole) {
  // Triangles 0 to 2 are inside, triangle 3 reaches x = 130.
  const KT_Point points[] = {{10, 10, 0}, {10, 20, 0}, {20, 10, 0},
                             {20, 20, 0}, {30, 10, 0}, {130, 20, 0}};
  strip_f(state, rendition, 6, points);
  EXPECT_TRUE(faces_are_triangles(state, points, {0, 1, 2, 3}));
  EXPECT_EQ(state.extent.x_max, 130.0f);
}

TEST_F(Clipping, StripTriangleWhollyBeyondXMaxAtTheStartIsSkipped) {
  const KT_Point points[] = {{150, 10, 0}, {160, 20, 0}, {170, 10, 0}, {50, 20, 0}, {60, 10, 0}};
  strip_f(state, rendition, 5, points);
  EXPECT_TRUE(faces_are_triangles(state, points, {1, 2}));
  EXPECT_EQ(state.extent.x_min, 50.0f);
  EXPECT_EQ(state.extent.x_max, 170.0f);
}

TEST_F(Clipping, StripTrianglesBeyondOneSideAfterACrossingOneAreCaptured) {
  // Triangle 0 crosses x max; triangles 1 and 2 lie wholly beyond it but
  // follow a crossing triangle, where the rejection test is not made.
  const KT_Point points[] = {{50, 50, 0}, {150, 50, 0}, {150, 60, 0}, {160, 50, 0}, {160, 60, 0}};
  strip_f(state, rendition, 5, points);
  EXPECT_TRUE(faces_are_triangles(state, points, {0, 1, 2}));
}

TEST_F(Clipping, StripInsideRunsAroundAnOutsidePoint) {
  // Point 4 alone is outside: the run 0..3, triangles 2 to 4 crossing, the
  // run 5..8.
  const KT_Point points[] = {{10, 10, 0}, {10, 20, 0}, {20, 10, 0}, {20, 20, 0}, {30, -10, 0},
                             {30, 20, 0}, {40, 10, 0}, {40, 20, 0}, {50, 10, 0}};
  strip_f(state, rendition, 9, points);
  EXPECT_TRUE(faces_are_triangles(state, points, {0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(Clipping, StripWhollyOutsideOrTooShortCapturesNothing) {
  const KT_Point beyond_x_max[] = {{150, 10, 0}, {160, 20, 0}, {170, 10, 0}, {180, 20, 0}};
  strip_f(state, rendition, 4, beyond_x_max);
  const KT_Point two[] = {{10, 10, 0}, {150, 20, 0}};
  strip_f(state, rendition, 2, two);
  strip_f(state, rendition, 1, two);
  strip_f(state, rendition, 0, two);
  strip_f(state, rendition, -5, two);
  EXPECT_EQ(state.face_list.count, 0u);
  EXPECT_EQ(state.extent.x_min, 1e28f);
}

TEST_F(Clipping, StripWhollyInsideEqualsTheUnclippedStrip) {
  const KT_Point points[] = {{0, 0, 1}, {100, 0, 2}, {0, 100, 3}, {100, 100, 4}, {50, 50, 5}};
  strip_f(state, rendition, 5, points);
  EXPECT_TRUE(faces_are_triangles(state, points, {0, 1, 2}));
}

}  // namespace
