// The store's builders where the golden traces leave a case open: a
// zero-length edge, the tolerance along each axis, the area threshold of a
// face. End point order, box, plane and extent are pinned by the golden
// traces (edge_direction, depth_tolerance and every hidden line).
#include <cmath>

#include "state_fixture.h"

namespace {

constexpr KT_RGB32 red{0, 0, 255, 255};

using Store = State_Test;

TEST_F(Store, ZeroLengthEdgeIsSwappedWithItsRangeMirroredInFloat) {
  const KT_Point_D p_d{4.0000001, 4, 1};
  const KT_Point_D q_d{4.0000002, 4, 1};
  make_edge(state, rendition, red, {4, 4, 1}, {4, 4, 1}, 0.2f, 0.7f, p_d, q_d);
  const HLR_Edge& e = *state.edge_list.head;
  // 1 - 0.7f is exact (0.3f); 1 - 0.2f = 0.79999999702 rounds to 0.8f in
  // float, where a double subtraction would keep 0.79999999702.
  EXPECT_EQ(e.t_min, double(0.3f));
  EXPECT_EQ(e.t_max, double(0.8f));
  EXPECT_EQ(e.double_ends->a, q_d);
  EXPECT_EQ(e.double_ends->b, p_d);
}

TEST_F(Store, ToleranceIsOneHundredthOfAUnitAlongTheDominantAxisAtMostOneHundredth) {
  const struct {
    KT_Point q;
    float tolerance;
  } cases[] = {
      {{0.5f, 0.2f, 0}, 0.01f},    // shorter than a unit: the floor of 1.0
      {{0.5f, -0.9f, 0}, 0.01f},   //
      {{8, 2, 0}, 0.01f / 8.0f},   // x dominant
      {{2, -5, 0}, 0.01f / 5.0f},  // y dominant, downwards
      {{-4, 1, 0}, 0.01f / 4.0f},  // swapped
      {{0, -7, 0}, 0.01f / 7.0f},  // vertical, swapped
      {{0, 0, 50}, 0.01f},         // depth never counts
  };
  for (const auto& c : cases) {
    make_edge(state, rendition, red, {0, 0, 0}, c.q, 0, 1);
    EXPECT_EQ(state.edge_list.tail->t_tolerance, double(c.tolerance)) << c.q.x << " " << c.q.y;
  }
}

TEST_F(Store, TriangleOfAreaUpTo1e5IsDroppedAndLeavesTheExtent) {
  // Signed areas of about 1e-6 and exactly 1e-5f, both windings.
  EXPECT_EQ(face({0, 0, 0}, {1e-3f, 0, 0}, {0, 1e-3f, 0}), nullptr);
  EXPECT_EQ(face({0, 0, 7}, {1, 0, 7}, {0, 1e-5f, 7}), nullptr);
  EXPECT_EQ(face({0, 0, 7}, {0, 1e-5f, 7}, {1, 0, 7}), nullptr);
  EXPECT_EQ(state.extent.x_min, 1e28f);
  EXPECT_EQ(state.extent.z_max, 0.0f);
  EXPECT_EQ(rendition.data()->reference_count(), 1);
  // The next float above 1e-5f is over the threshold.
  EXPECT_NE(face({0, 0, 7}, {1, 0, 7}, {0, std::nextafter(1e-5f, 1.0f), 7}), nullptr);
}

}  // namespace
