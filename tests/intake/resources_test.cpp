// Resources of the intake: scratch arrays only beyond 64 points, the same
// records whatever the buffer, rendition references balanced, and a failed
// allocation at any point leaving a consistent store and no leaked
// reference.
#include <new>
#include <vector>

#include "allocation_failure.h"
#include "intake_actions.h"
#include "intake_fixture.h"

namespace {

using Resources = Intake_Test;

// A zigzag inside (0, 1000, 0, 1000) with no degenerate triangle; with
// outside points, every seventh point (from point 3) dips below y = 0, so
// the segments and triangles through it cross the rectangle's side.
template <class Point>
std::vector<Point> zigzag(int count, bool with_outside_points) {
  std::vector<Point> points;
  for (int i = 0; i < count; ++i) {
    int y = (i % 2) * 20 + 10;
    if (with_outside_points && i % 7 == 3) y = -30;
    points.push_back({static_cast<decltype(Point::x)>(5 * i + 1),
                      static_cast<decltype(Point::y)>(y),
                      static_cast<decltype(Point::z)>(i % 5)});
  }
  return points;
}

std::vector<KT_Point> as_float(const std::vector<KT_Point_I>& points) {
  std::vector<KT_Point> converted;
  for (const KT_Point_I& p : points) converted.push_back({float(p.x), float(p.y), float(p.z)});
  return converted;
}

// The number of allocations one call makes.
template <class Action>
std::int64_t allocations_of(Action action) {
  allocation_failure::reset_count();
  action();
  return allocation_failure::count();
}

TEST_F(Resources, ScratchArraysComeFromTheHeapOnlyBeyond64Points) {
  for (int count : {64, 65, 100}) {
    const auto integer = zigzag<KT_Point_I>(count, false);
    const auto clipped_integer = zigzag<KT_Point_I>(count, true);
    const auto clipped_double = zigzag<KT_Point_D>(count, true);
    const auto clipped_float = as_float(clipped_integer);
    const std::int64_t segments = count - 1;
    const std::int64_t triangles = count - 2;
    const std::int64_t beyond = count > 64 ? 1 : 0;

    // One allocation per record, plus the point buffer and the outcodes.
    EXPECT_EQ(allocations_of([&] { polyline_i_noclip(state, rendition, count, integer.data()); }),
              segments)
        << count << " points: converted one at a time";
    EXPECT_EQ(allocations_of([&] { polyline_i(state, rendition, count, integer.data()); }),
              segments + 2 * beyond)
        << count << " points";
    EXPECT_EQ(allocations_of([&] { strip_i_noclip(state, rendition, count, integer.data()); }),
              triangles + beyond)
        << count << " points";
    EXPECT_EQ(allocations_of([&] { strip_i(state, rendition, count, integer.data()); }),
              triangles + 2 * beyond)
        << count << " points";
    free_records(state);
    allocation_failure::reset_count();
    strip_f(state, rendition, count, clipped_float.data());
    EXPECT_EQ(allocation_failure::count(), std::int64_t{state.face_list.count} + beyond)
        << count << " points";
    free_records(state);
    allocation_failure::reset_count();
    polyline_d(state, rendition, count, clipped_double.data());
    EXPECT_EQ(allocation_failure::count(), std::int64_t{state.edge_list.count} + beyond)
        << count << " points";
    EXPECT_EQ(state.edge_list.count, segments);
    free_records(state);
  }
}

TEST_F(Resources, LongStripsGiveTheSameFacesThroughEveryForm) {
  const auto integer = zigzag<KT_Point_I>(100, true);
  const auto doubles = zigzag<KT_Point_D>(100, true);
  const auto floats = as_float(integer);

  // The reference: the unclipped float strip of all points, then the
  // clipped float strip.
  HLR_Renderer_State reference{};
  reference.current_option_entries = state.current_option_entries;
  reference.extent = empty_extent;
  strip_f_noclip(reference, rendition, 100, floats.data());
  ASSERT_EQ(reference.face_list.count, 98u);
  strip_f(reference, rendition, 100, floats.data());

  strip_i_noclip(state, rendition, 100, integer.data());
  strip_i(state, rendition, 100, integer.data());
  const auto expected = faces_of(reference);
  auto actual = faces_of(state);
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t f = 0; f < expected.size(); ++f) {
    for (int v = 0; v < 3; ++v) EXPECT_EQ(actual[f]->vertices[v], expected[f]->vertices[v]);
  }

  free_records(state);
  strip_d(state, rendition, 100, doubles.data());
  actual = faces_of(state);
  const std::size_t clipped_faces = expected.size() - 98;
  ASSERT_EQ(actual.size(), clipped_faces);
  for (std::size_t f = 0; f < clipped_faces; ++f) {
    for (int v = 0; v < 3; ++v) EXPECT_EQ(actual[f]->vertices[v], expected[f]->vertices[v]);
  }
  free_records(reference);
}

TEST_F(Resources, LongPolylinesGiveTheSameEdgesThroughEveryForm) {
  const auto integer = zigzag<KT_Point_I>(100, true);
  const auto doubles = zigzag<KT_Point_D>(100, true);
  const auto floats = as_float(integer);
  polyline_f(state, rendition, 100, floats.data());
  const auto reference = edges_of(state);
  // Segments to and from a dipping point are clipped, none dropped.
  ASSERT_EQ(reference.size(), 99u);

  HLR_Renderer_State other{};
  other.current_option_entries = state.current_option_entries;
  polyline_i(other, rendition, 100, integer.data());
  polyline_d(other, rendition, 100, doubles.data());
  const auto edges = edges_of(other);
  ASSERT_EQ(edges.size(), 198u);
  for (std::size_t e = 0; e < 198; ++e) {
    const HLR_Edge& r = *reference[e % 99];
    EXPECT_EQ(edges[e]->a, r.a) << "edge " << e;
    EXPECT_EQ(edges[e]->b, r.b) << "edge " << e;
    EXPECT_EQ(edges[e]->t_min, r.t_min) << "edge " << e;
    EXPECT_EQ(edges[e]->t_max, r.t_max) << "edge " << e;
  }
  for (std::size_t e = 99; e < 198; ++e) {
    const std::size_t i = e - 99;
    EXPECT_EQ(edges[e]->a_d, doubles[i]) << "edge " << e;
    EXPECT_EQ(edges[e]->b_d, doubles[i + 1]) << "edge " << e;
  }
  int clipped = 0;
  for (const HLR_Edge* e : reference) clipped += e->t_min > 0.0 || e->t_max < 1.0;
  EXPECT_EQ(clipped, 2 * 14);
  free_records(other);
  EXPECT_TRUE(references_balanced());
}

// What one action captures, to compare the part kept after a failure with.
struct Captured {
  std::vector<KT_Point> edge_ends;    // a, b of each edge in capture order
  std::vector<KT_Point> face_firsts;  // first vertex of each face, oldest first
};

Captured captured(const HLR_Renderer_State& state) {
  Captured c;
  for (const HLR_Edge* e : edges_of(state)) {
    c.edge_ends.push_back(e->a);
    c.edge_ends.push_back(e->b);
  }
  const auto faces = faces_of(state);
  for (auto f = faces.rbegin(); f != faces.rend(); ++f) c.face_firsts.push_back((*f)->vertices[0]);
  return c;
}

bool is_prefix(const std::vector<KT_Point>& part, const std::vector<KT_Point>& whole) {
  if (part.size() > whole.size()) return false;
  for (std::size_t i = 0; i < part.size(); ++i) {
    if (!(part[i] == whole[i])) return false;
  }
  return true;
}

class Allocation_Failure : public Intake_Test {
 protected:
  // Makes the 1st, 2nd, ... allocation of `action` fail until it completes:
  // each failure must leave by std::bad_alloc with a consistent store that
  // holds a leading part of the full result, and no host object may
  // survive the freeing of the records. Returns the number of allocations
  // the action needed.
  template <class Action>
  int fail_each_allocation(Action action) {
    action();
    const Captured full = captured(state);
    EXPECT_FALSE(full.edge_ends.empty() && full.face_firsts.empty());
    EXPECT_TRUE(references_balanced());

    for (int n = 1; n < 100000; ++n) {
      bool threw = false;
      bool fired = false;
      {
        allocation_failure::Scope fail(n);
        try {
          action();
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        fired = allocation_failure::fired();
      }
      EXPECT_EQ(threw, fired) << "allocation " << n;
      EXPECT_TRUE(store_is_consistent(state)) << "allocation " << n;
      const Captured kept = captured(state);
      if (!fired) {
        EXPECT_EQ(kept.edge_ends.size(), full.edge_ends.size());
        EXPECT_EQ(kept.face_firsts.size(), full.face_firsts.size());
        EXPECT_TRUE(references_balanced());
        return n - 1;
      }
      EXPECT_TRUE(is_prefix(kept.edge_ends, full.edge_ends)) << "allocation " << n;
      EXPECT_TRUE(is_prefix(kept.face_firsts, full.face_firsts)) << "allocation " << n;
      EXPECT_LT(kept.edge_ends.size() + kept.face_firsts.size(),
                full.edge_ends.size() + full.face_firsts.size())
          << "allocation " << n;
      EXPECT_TRUE(references_balanced()) << "allocation " << n;
      if (::testing::Test::HasFailure()) return n;
    }
    ADD_FAILURE() << "the action never completed";
    return 0;
  }
};

TEST_F(Allocation_Failure, ClippedPolylineOf100Points) {
  const auto points = as_float(zigzag<KT_Point_I>(100, true));
  const int allocations =
      fail_each_allocation([&] { polyline_f(state, rendition, 100, points.data()); });
  EXPECT_EQ(allocations, 1 + 99);  // outcodes, then the edges
}

TEST_F(Allocation_Failure, ClippedStripOf100Points) {
  const auto points = as_float(zigzag<KT_Point_I>(100, true));
  const int allocations =
      fail_each_allocation([&] { strip_f(state, rendition, 100, points.data()); });
  EXPECT_GT(allocations, 64);
}

TEST_F(Allocation_Failure, IntegerPolylineAndDoubleStripOf100Points) {
  const auto integer = zigzag<KT_Point_I>(100, true);
  const auto doubles = zigzag<KT_Point_D>(100, true);
  EXPECT_EQ(fail_each_allocation([&] { polyline_i(state, rendition, 100, integer.data()); }),
            2 + 99);  // point buffer, outcodes, the edges
  EXPECT_GT(fail_each_allocation([&] { strip_d(state, rendition, 100, doubles.data()); }), 66);
  EXPECT_EQ(fail_each_allocation([&] { polyline_d(state, rendition, 100, doubles.data()); }),
            1 + 99);
}

TEST_F(Allocation_Failure, ColoredPolylines) {
  const auto integer = zigzag<KT_Point_I>(80, true);
  const auto floats = as_float(integer);
  const auto doubles = zigzag<KT_Point_D>(80, true);
  std::vector<KT_RGB32> colors;
  for (int i = 0; i < 79; ++i) colors.push_back(KT_RGB32::from_argb(0xFF000000u + i));

  // Each segment copies the rendition (another edge holds the previous
  // colour) and builds its edge.
  EXPECT_EQ(fail_each_allocation([&] {
              colored_polyline_f(state, rendition, 80, floats.data(), colors.data(), 0);
            }),
            2 * 79);
  EXPECT_EQ(fail_each_allocation([&] {
              colored_polyline_i_noclip(state, rendition, 80, integer.data(), colors.data(), 0);
            }),
            2 * 79);
  EXPECT_EQ(fail_each_allocation([&] {
              colored_polyline_d(state, rendition, 80, doubles.data(), colors.data(), 1);
            }),
            2 * 79);
}

}  // namespace
