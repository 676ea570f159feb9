// The intake's scratch arrays from the heap (beyond 64 points): the same
// records from every point form. A failed allocation at any point of them
// is the reliability suite's (Fault_Injection).
#include <vector>

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

using Resources = State_Test;

TEST_F(Resources, LongPrimitivesGiveTheSameRecordsThroughEveryForm) {
  const auto floats = zigzag<KT_Point>(100);
  const auto integer = zigzag<KT_Point_I>(100);
  const auto doubles = zigzag<KT_Point_D>(100);
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
    EXPECT_TRUE(all[e]->a == r.a && all[e]->b == r.b) << e;
    EXPECT_TRUE(all[e]->t_min == r.t_min && all[e]->t_max == r.t_max) << e;
  }
  const auto kept = faces();
  ASSERT_EQ(kept.size() % 3, 0u);
  const std::size_t per_form = kept.size() / 3;
  EXPECT_GT(per_form, 64u);
  for (std::size_t f = per_form; f < kept.size(); ++f) {
    for (int v = 0; v < 3; ++v) EXPECT_EQ(kept[f]->vertices[v], kept[f % per_form]->vertices[v]);
  }
}

}  // namespace
