// Clipping polylines and culling strips against the clip rectangle
// (0, 100, 0, 100): worked parameter ranges in every point form, a sampled
// comparison on random segments, and the strip phases seen through the
// faces captured.
#include <algorithm>
#include <random>
#include <vector>

#include "intake_actions.h"
#include "state_fixture.h"

namespace {

class Clipping : public State_Test {
 protected:
  Clipping() { rendition.set_clip_rectangle({0, 100, 0, 100}); }
};

TEST_F(Clipping, SegmentKeepsItsInsideRangeInEveryPointForm) {
  struct Case {
    KT_Point_I p, q;
    float t_min, t_max;  // of the stored edge, the fractions divided in float; -1: no edge
  };
  const Case cases[] = {
      {{-50, 50, 0}, {50, 50, 0}, 0.5f, 1.0f},                     // enters across x min
      {{50, 50, 0}, {150, 50, 0}, 0.0f, 0.5f},                     // leaves across x max
      {{-50, 50, 0}, {150, 50, 0}, 0.25f, 0.75f},                  // through both
      {{-10, 50, 0}, {50, 120, 0}, 10.0f / 60.0f, 50.0f / 70.0f},  // in by x, out by y
      // In across x min (50/170 beats 20/170 from y max), out across y min
      // (120/170 before 150/170 from x max): from (0, 70) to (70, 0).
      {{-50, 120, 0}, {120, -50, 0}, 50.0f / 170.0f, 120.0f / 170.0f},
      {{0, 50, 0}, {150, 50, 0}, 0.0f, 100.0f / 150.0f},              // starts on a side
      {{50, -20, 0}, {50, 180, 0}, 20.0f / 200.0f, 120.0f / 200.0f},  // vertical, both
      {{50, 50, 0}, {-50, 50, 0}, 0.5f, 1.0f},                        // swapped: mirrored
      {{-50, 20, 0}, {20, -50, 0}, -1, -1},                           // below the corner
      {{-50, 50, 0}, {50, -50, 0}, -1, -1},                           // through the corner only
  };
  for (int form = 0; form < 3; ++form) {
    for (const Case& c : cases) {
      const KT_Point_I points[] = {c.p, c.q};
      const KT_Point f[] = {{float(c.p.x), float(c.p.y), 0}, {float(c.q.x), float(c.q.y), 0}};
      const KT_Point_D d[] = {{double(c.p.x), double(c.p.y), 0}, {double(c.q.x), double(c.q.y), 0}};
      if (form == 0) polyline_f(state, rendition, 2, f);
      if (form == 1) polyline_i(state, rendition, 2, points);
      if (form == 2) polyline_d(state, rendition, 2, d);
      SCOPED_TRACE(::testing::Message() << "form " << form << " from " << c.p.x << ", " << c.p.y);
      ASSERT_EQ(state.edge_list.count, c.t_min < 0 ? 0u : 1u);
      if (c.t_min < 0) continue;
      const HLR_Edge& e = *state.edge_list.head;
      EXPECT_EQ(e.t_min, double(c.t_min));
      EXPECT_EQ(e.t_max, double(c.t_max));
      EXPECT_EQ(e.t_min_captured, double(c.t_min));
      EXPECT_EQ(e.t_max_captured, double(c.t_max));
      clear();
    }
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
    const KT_Point segment[] = {{coordinate(random), coordinate(random), 0},
                                {coordinate(random), coordinate(random), 0}};
    const KT_Point &p = segment[0], &q = segment[1];
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
    clear();
  }
}

// Strips: triangles are culled but never cut, so every face is one of the
// strip's triangles, named by its first point.
TEST_F(Clipping, StripKeepsTheTrianglesItsPhasesChoose) {
  const struct {
    const char* what;
    std::vector<float> xy;  // the points, at depth 0
    std::vector<int> triangles;
  } cases[] = {
      {"the last point outside: captured whole",
       {10, 10, 10, 20, 20, 10, 20, 20, 30, 10, 130, 20},
       {0, 1, 2, 3}},
      {"a first triangle wholly beyond x max is skipped",
       {150, 10, 160, 20, 170, 10, 50, 20, 60, 10},
       {1, 2}},
      // After a crossing triangle the rejection test is not made.
      {"triangles beyond one side after a crossing one are kept",
       {50, 50, 150, 50, 150, 60, 160, 50, 160, 60},
       {0, 1, 2}},
      {"inside runs around one outside point",
       {10, 10, 10, 20, 20, 10, 20, 20, 30, -10, 30, 20, 40, 10, 40, 20, 50, 10},
       {0, 1, 2, 3, 4, 5, 6}},
      {"wholly beyond x max", {150, 10, 160, 20, 170, 10, 180, 20}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<KT_Point> points;
    for (std::size_t i = 0; i < c.xy.size(); i += 2) points.push_back({c.xy[i], c.xy[i + 1], 0});
    strip_f(state, rendition, int(points.size()), points.data());
    auto kept = faces();
    std::reverse(kept.begin(), kept.end());  // capture order
    ASSERT_EQ(kept.size(), c.triangles.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
      const KT_Point* first = &points[std::size_t(c.triangles[i])];
      for (int v = 0; v < 3; ++v) {
        EXPECT_EQ(std::count(first, first + 3, kept[i]->vertices[v]), 1) << "face " << i;
      }
    }
    clear();
  }
}

}  // namespace
