// The store's builders: end point order and range of edges, their box and
// tolerance, face orientation, plane and threshold, and the extent.
#include <array>
#include <cmath>

#include "state_fixture.h"

namespace {

constexpr KT_RGB32 red{0, 0, 255, 255};
constexpr KT_RGB32 green{0, 255, 0, 255};

using Store = State_Test;

TEST_F(Store, EdgeRunsFromTheSmallerXWithItsRangeMirroredWhenSwapped) {
  make_edge(state.edge_list, rendition, red, {5, 1, 0}, {2, 7, 3}, 0.25f, 0.5f);
  make_edge(state.edge_list, rendition, red, {2, 7, 3}, {5, 1, 0}, 0.25f, 0.5f);
  const HLR_Edge& e = *state.edge_list.head;
  EXPECT_EQ(e.a, (KT_Point{2, 7, 3}));
  EXPECT_EQ(e.b, (KT_Point{5, 1, 0}));
  EXPECT_EQ(e.t_min, 0.5);
  EXPECT_EQ(e.t_max, 0.75);
  // The direction, and the box: y from the smaller end, z_max the deeper.
  EXPECT_EQ((std::array{e.dx, e.dy, e.dz}), (std::array{3.0f, -6.0f, -3.0f}));
  EXPECT_EQ((std::array{e.x_min, e.x_max, e.y_min, e.y_max, e.z_max}),
            (std::array{2.0f, 5.0f, 1.0f, 7.0f, 3.0f}));
  // Not swapped: the range as given.
  EXPECT_EQ(state.edge_list.tail->t_min, 0.25);
  EXPECT_EQ(state.edge_list.tail->t_max, 0.5);
}

TEST_F(Store, ZeroLengthEdgeIsSwappedWithItsRangeMirroredInFloat) {
  const KT_Point_D p_d{4.0000001, 4, 1};
  const KT_Point_D q_d{4.0000002, 4, 1};
  make_edge(state.edge_list, rendition, red, {4, 4, 1}, {4, 4, 1}, 0.2f, 0.7f, p_d, q_d);
  const HLR_Edge& e = *state.edge_list.head;
  // 1 - 0.7f is exact (0.3f); 1 - 0.2f = 0.79999999702 rounds to 0.8f in
  // float, where a double subtraction would keep 0.79999999702.
  EXPECT_EQ(e.t_min, double(0.3f));
  EXPECT_EQ(e.t_max, double(0.8f));
  EXPECT_EQ(e.a_d, q_d);
  EXPECT_EQ(e.b_d, p_d);
}

TEST_F(Store, ToleranceIsOneHundredthOfAUnitAlongTheDominantAxisAtMostOneHundredth) {
  struct Case {
    KT_Point q;
    float tolerance;
  };
  const Case cases[] = {
      {{0.5f, 0.2f, 0}, 0.01f},    // shorter than a unit: the floor of 1.0
      {{0.5f, -0.9f, 0}, 0.01f},   //
      {{8, 2, 0}, 0.01f / 8.0f},   // x dominant
      {{2, -5, 0}, 0.01f / 5.0f},  // y dominant, downwards
      {{-4, 1, 0}, 0.01f / 4.0f},  // swapped
      {{0, -7, 0}, 0.01f / 7.0f},  // vertical, swapped
      {{0, 0, 50}, 0.01f},         // depth never counts
  };
  for (const Case& c : cases) make_edge(state.edge_list, rendition, red, {0, 0, 0}, c.q, 0, 1);
  const auto all = edges();
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i]->t_tolerance, double(cases[i].tolerance)) << "case " << i;
  }
}

TEST_F(Store, FaceIsStoredCounterClockwiseWithItsUnitPlane) {
  // Clockwise in x-y: stored as (p0, p2, p1).
  const HLR_Face* f = face({0, 0, 2}, {0, 3, 2}, {3, 0, 2}, green, red);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->vertices[1], (KT_Point{3, 0, 2}));
  EXPECT_EQ(f->vertices[2], (KT_Point{0, 3, 2}));
  EXPECT_EQ(f->plane.nx, 0.0);
  EXPECT_EQ(f->plane.ny, 0.0);
  EXPECT_DOUBLE_EQ(f->plane.nz, 1.0);
  EXPECT_DOUBLE_EQ(f->plane.d, -2.0);
  EXPECT_EQ(f->intersection_color, green);
  EXPECT_EQ(f->hidden_color, red);
  // u = (1, 0, 0), v = (0, 1, 1): n = (0, -1, 1) / sqrt(2).
  const HLR_Face* tilted = face({0, 0, 0}, {1, 0, 0}, {0, 1, 1});
  EXPECT_DOUBLE_EQ(tilted->plane.ny, -std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(tilted->plane.nz, std::sqrt(0.5));
  EXPECT_EQ(rendition.data()->reference_count(), 3);
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

TEST_F(Store, ExtentSpansTheFaceVerticesOnly) {
  // The largest x and z come first: each coordinate is tested against the
  // minimum and the maximum independently.
  face({3, 0, 5}, {2, 2, 3}, {1, 0, 1});
  face({-4, 1, 2}, {9, 1, 2}, {0, 6, 8});
  make_edge(state.edge_list, rendition, red, {-100, -100, -100}, {100, 100, 100}, 0, 1);
  make_marker(state.marker_list, rendition, {500, 500, 500});
  const HLR_Extent& x = state.extent;
  EXPECT_EQ((std::array{x.x_min, x.x_max, x.y_min, x.y_max, x.z_min, x.z_max}),
            (std::array{-4.0f, 9.0f, 0.0f, 6.0f, 1.0f, 8.0f}));
  EXPECT_TRUE(references_balanced());
}

}  // namespace
