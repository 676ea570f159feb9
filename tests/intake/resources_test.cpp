// Resources of the intake: the same records from every point form when the
// scratch arrays come from the heap (beyond 64 points), and a failed
// allocation at any point of an action leaving a consistent store that
// holds a leading part of the full result and no leaked reference (the
// loop's exact allocation counts, at 80 points, include the two heap
// arrays).
#include <algorithm>
#include <new>
#include <vector>

#include "allocation_failure.h"
#include "intake_actions.h"
#include "state_fixture.h"

namespace {

// A zigzag inside (0, 1000, 0, 1000) with no degenerate triangle; every
// seventh point (from point 3) dips below y = 0, so the segments and
// triangles through it cross the rectangle's side.
template <class Point>
std::vector<Point> zigzag(int count) {
  std::vector<Point> points;
  for (int i = 0; i < count; ++i) {
    const int y = i % 7 == 3 ? -30 : (i % 2) * 20 + 10;
    points.push_back(
        {decltype(Point::x)(5 * i + 1), decltype(Point::y)(y), decltype(Point::z)(i % 5)});
  }
  return points;
}

std::vector<KT_Point> as_float(const std::vector<KT_Point_I>& points) {
  std::vector<KT_Point> converted;
  for (const KT_Point_I& p : points) converted.push_back({float(p.x), float(p.y), float(p.z)});
  return converted;
}

using Resources = State_Test;

TEST_F(Resources, LongPrimitivesGiveTheSameRecordsThroughEveryForm) {
  const auto integer = zigzag<KT_Point_I>(100);
  const auto doubles = zigzag<KT_Point_D>(100);
  const auto floats = as_float(integer);
  polyline_f(state, rendition, 100, floats.data());
  polyline_i(state, rendition, 100, integer.data());
  polyline_d(state, rendition, 100, doubles.data());
  strip_f(state, rendition, 100, floats.data());
  strip_i(state, rendition, 100, integer.data());
  strip_d(state, rendition, 100, doubles.data());
  const auto all = edges();
  ASSERT_EQ(all.size(), 3u * 99u);  // segments through a dip are clipped, none dropped
  for (std::size_t e = 99; e < all.size(); ++e) {
    const HLR_Edge& r = *all[e % 99];
    EXPECT_EQ(all[e]->a, r.a) << e;
    EXPECT_EQ(all[e]->b, r.b) << e;
    EXPECT_EQ(all[e]->t_min, r.t_min) << e;
    EXPECT_EQ(all[e]->t_max, r.t_max) << e;
  }
  EXPECT_EQ(all[2 * 99 + 5]->b_d, doubles[6]);
  const auto kept = faces();
  ASSERT_EQ(kept.size() % 3, 0u);
  const std::size_t per_form = kept.size() / 3;
  EXPECT_GT(per_form, 64u);
  for (std::size_t f = per_form; f < kept.size(); ++f) {
    for (int v = 0; v < 3; ++v) EXPECT_EQ(kept[f]->vertices[v], kept[f % per_form]->vertices[v]);
  }
}

// Every list well linked, its count matching; then the first vertex of
// every face (oldest first) and the ends of every edge.
std::vector<KT_Point> consistent_capture(const State_Test& test) {
  const auto edges = test.edges();
  const auto faces = test.faces();
  const HLR_Renderer_State& state = test.state;
  EXPECT_EQ(edges.size(), state.edge_list.count);
  EXPECT_EQ(edges.empty() ? nullptr : edges.back(), state.edge_list.tail);
  EXPECT_EQ(faces.size(), state.face_list.count);
  std::vector<KT_Point> points;
  for (const HLR_Edge* e : edges) {
    points.push_back(e->a);
    points.push_back(e->b);
  }
  for (auto f = faces.rbegin(); f != faces.rend(); ++f) points.push_back((*f)->vertices[0]);
  return points;
}

class Allocation_Failure : public State_Test {
 protected:
  // Makes the 1st, 2nd, ... allocation of `action` fail until it completes;
  // returns the number of allocations the action needed.
  template <class Action>
  int fail_each_allocation(Action action) {
    action();
    const std::vector<KT_Point> full = consistent_capture(*this);
    EXPECT_TRUE(references_balanced());
    for (int n = 1; n < 100000; ++n) {
      bool threw = false;
      {
        allocation_failure::Scope fail(n);
        try {
          action();
        } catch (const std::bad_alloc&) {
          threw = true;
        }
      }
      SCOPED_TRACE(n);
      const std::vector<KT_Point> kept = consistent_capture(*this);
      EXPECT_TRUE(references_balanced());
      if (!threw) {
        EXPECT_EQ(kept.size(), full.size());
        return n - 1;
      }
      EXPECT_LT(kept.size(), full.size());
      EXPECT_TRUE(std::equal(kept.begin(), kept.end(), full.begin()));
      if (HasFailure()) return n;
    }
    ADD_FAILURE() << "the action never completed";
    return 0;
  }
};

TEST_F(Allocation_Failure, EveryIntakePathLeavesALeadingPartAndNoReference) {
  const auto integer = zigzag<KT_Point_I>(80);
  const auto floats = as_float(integer);
  const auto doubles = zigzag<KT_Point_D>(80);
  std::vector<KT_RGB32> colors;
  for (std::uint32_t i = 0; i < 79; ++i) colors.push_back(KT_RGB32::from_argb(0xFF000000u + i));

  // The converted points, the outcodes, then the edges.
  EXPECT_EQ(fail_each_allocation([&] { polyline_i(state, rendition, 80, integer.data()); }),
            2 + 79);
  EXPECT_GT(fail_each_allocation([&] { strip_d(state, rendition, 80, doubles.data()); }), 66);
  // Each segment copies the rendition (another edge holds the previous
  // colour) and builds its edge.
  EXPECT_EQ(fail_each_allocation(
                [&] { colored_polyline_f(state, rendition, 80, floats.data(), colors.data(), 0); }),
            2 * 79);
}

}  // namespace
