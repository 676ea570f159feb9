// The store's builders: end point order and range of edges, their box and
// tolerance, face orientation and plane, the extent, and list order.
#include <cmath>

#include "intake_fixture.h"
#include "store.h"

namespace {

constexpr KT_RGB32 hidden_red{0, 0, 255, 255};
constexpr KT_RGB32 crossing_green{0, 255, 0, 255};

using Store = Intake_Test;

TEST_F(Store, EdgeRunningToSmallerXIsSwappedWithItsRangeMirrored) {
  make_edge(state.edge_list, rendition, hidden_red, {5, 1, 0}, {2, 7, 3}, 0.25f, 0.5f);

  ASSERT_EQ(state.edge_list.count, 1u);
  const HLR_Edge& e = *state.edge_list.head;
  EXPECT_EQ(state.edge_list.tail, &e);
  EXPECT_EQ(e.a, (KT_Point{2, 7, 3}));
  EXPECT_EQ(e.b, (KT_Point{5, 1, 0}));
  EXPECT_EQ(e.t_min, 0.5);
  EXPECT_EQ(e.t_max, 0.75);
  EXPECT_EQ(e.t_min_captured, 0.5);
  EXPECT_EQ(e.t_max_captured, 0.75);
  EXPECT_EQ(e.dx, 3.0f);
  EXPECT_EQ(e.dy, -6.0f);
  EXPECT_EQ(e.dz, -3.0f);
  EXPECT_EQ(e.x_min, 2.0f);
  EXPECT_EQ(e.x_max, 5.0f);
  EXPECT_EQ(e.y_min, 1.0f);
  EXPECT_EQ(e.y_max, 7.0f);
  EXPECT_EQ(e.z_max, 3.0f);
  // 0.01 / 6 divided in float, then widened.
  EXPECT_EQ(e.t_tolerance, static_cast<double>(0.01f / 6.0f));
  EXPECT_EQ(e.hidden_color, hidden_red);
  EXPECT_EQ(e.rendition.data(), rendition.data());
  EXPECT_EQ(rendition.data()->reference_count(), 2);
  EXPECT_EQ(e.a_d, (KT_Point_D{0, 0, 0}));
  EXPECT_EQ(e.b_d, (KT_Point_D{0, 0, 0}));
  EXPECT_EQ(e.intervals, nullptr);
  EXPECT_EQ(e.intervals_tail, nullptr);
  EXPECT_EQ(e.link, nullptr);
}

TEST_F(Store, EdgeRunningToLargerXKeepsItsOrderAndRange) {
  make_edge(state.edge_list, rendition, hidden_red, {2, 7, 3}, {5, 1, 0}, 0.25f, 0.5f);

  const HLR_Edge& e = *state.edge_list.head;
  EXPECT_EQ(e.a, (KT_Point{2, 7, 3}));
  EXPECT_EQ(e.b, (KT_Point{5, 1, 0}));
  EXPECT_EQ(e.t_min, 0.25);
  EXPECT_EQ(e.t_max, 0.5);
}

TEST_F(Store, VerticalEdgeRunsUpwardsWithNegativeZeroDx) {
  make_edge(state.edge_list, rendition, hidden_red, {3, 9, 0}, {3, 2, 0}, 0.0f, 1.0f);
  make_edge(state.edge_list, rendition, hidden_red, {3, 2, 0}, {3, 9, 0}, 0.0f, 1.0f);

  for (const HLR_Edge* e : edges_of(state)) {
    EXPECT_EQ(e->a, (KT_Point{3, 2, 0}));
    EXPECT_EQ(e->b, (KT_Point{3, 9, 0}));
    // dx is -d whenever d is not > 0, so equal x gives -0.0.
    EXPECT_EQ(e->dx, 0.0f);
    EXPECT_TRUE(std::signbit(e->dx));
    EXPECT_EQ(e->dy, 7.0f);
    EXPECT_EQ(e->y_min, 2.0f);
    EXPECT_EQ(e->y_max, 9.0f);
    EXPECT_EQ(e->t_min, 0.0);
    EXPECT_EQ(e->t_max, 1.0);
    EXPECT_EQ(e->t_tolerance, static_cast<double>(0.01f / 7.0f));
  }
}

TEST_F(Store, ZeroLengthEdgeIsSwappedAndItsRangeMirroredInFloat) {
  make_edge(state.edge_list, rendition, hidden_red, {4, 4, 1}, {4, 4, 1}, 0.2f, 0.7f);

  const HLR_Edge& e = *state.edge_list.head;
  // 1 - 0.7f is exact (0.3f); 1 - 0.2f = 0.79999999702 rounds to 0.8f in
  // float, where a double subtraction would keep 0.79999999702.
  EXPECT_EQ(e.t_min, static_cast<double>(0.3f));
  EXPECT_EQ(e.t_max, static_cast<double>(0.8f));
  EXPECT_EQ(e.t_tolerance, static_cast<double>(0.01f));
  EXPECT_EQ(e.dy, 0.0f);
  EXPECT_EQ(e.z_max, 1.0f);
}

TEST_F(Store, ZeroLengthEdgeWithDoublesSwapsTheDoubles) {
  const KT_Point_D p_d{4.0000001, 4, 1};
  const KT_Point_D q_d{4.0000002, 4, 1};
  make_edge(state.edge_list, rendition, hidden_red, {4, 4, 1}, {4, 4, 1}, 0.0f, 1.0f, p_d, q_d);

  const HLR_Edge& e = *state.edge_list.head;
  EXPECT_EQ(e.a_d, q_d);
  EXPECT_EQ(e.b_d, p_d);
}

TEST_F(Store, ToleranceIsOneHundredthOfAUnitAlongTheDominantAxisAtMostOneHundredth) {
  struct Case {
    KT_Point q;
    float tolerance;
  };
  const Case cases[] = {
      {{0.5f, 0.2f, 0}, 0.01f},         // shorter than a unit: the floor of 1.0
      {{0.5f, -0.9f, 0}, 0.01f},        //
      {{8, 2, 0}, 0.01f / 8.0f},        // x dominant
      {{2, -5, 0}, 0.01f / 5.0f},       // y dominant, downwards
      {{2, 2, 0}, 0.01f / 2.0f},        // equal: |dy|
      {{-4, 1, 0}, 0.01f / 4.0f},       // swapped
      {{0, 0, 50}, 0.01f},              // depth never counts
  };
  for (const Case& c : cases) make_edge(state.edge_list, rendition, hidden_red, {0, 0, 0}, c.q, 0, 1);

  const auto edges = edges_of(state);
  ASSERT_EQ(edges.size(), std::size(cases));
  for (std::size_t i = 0; i < edges.size(); ++i) {
    EXPECT_EQ(edges[i]->t_tolerance, static_cast<double>(cases[i].tolerance)) << "case " << i;
  }
}

TEST_F(Store, TriangleIsStoredCounterClockwiseWithItsPlane) {
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 0}, {0, 1, 0}, {1, 0, 0});

  const auto faces = faces_of(state);
  ASSERT_EQ(faces.size(), 2u);
  for (const HLR_Face* f : faces) {
    EXPECT_EQ(f->vertices[0], (KT_Point{0, 0, 0}));
    EXPECT_EQ(f->vertices[1], (KT_Point{1, 0, 0}));
    EXPECT_EQ(f->vertices[2], (KT_Point{0, 1, 0}));
    EXPECT_EQ(f->plane.nx, 0.0);
    EXPECT_EQ(f->plane.ny, 0.0);
    EXPECT_EQ(f->plane.nz, 1.0);
    EXPECT_EQ(f->plane.d, 0.0);
    EXPECT_EQ(f->intersection_color, crossing_green);
    EXPECT_EQ(f->hidden_color, hidden_red);
    EXPECT_EQ(f->rendition.data(), rendition.data());
  }
  EXPECT_EQ(rendition.data()->reference_count(), 3);
}

TEST_F(Store, PlaneOfTiltedAndRaisedTriangles) {
  // u = (1, 0, 0), v = (0, 1, 1): n = (0, -1, 1) / sqrt(2), through the
  // origin.
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 0}, {1, 0, 0}, {0, 1, 1});
  const HLR_Plane tilted = state.face_list.head->plane;
  EXPECT_EQ(tilted.nx, 0.0);
  EXPECT_DOUBLE_EQ(tilted.ny, -std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(tilted.nz, std::sqrt(0.5));
  EXPECT_EQ(tilted.d, 0.0);

  // Horizontal at depth 2, given clockwise: n = (0, 0, 1), d = -2.
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 2}, {0, 3, 2}, {3, 0, 2});
  const HLR_Plane raised = state.face_list.head->plane;
  EXPECT_EQ(raised.nx, 0.0);
  EXPECT_EQ(raised.ny, 0.0);
  EXPECT_DOUBLE_EQ(raised.nz, 1.0);
  EXPECT_DOUBLE_EQ(raised.d, -2.0);

  // Points deeper than the face are on the positive side.
  const double deeper = raised.nx * 1 + raised.ny * 1 + raised.nz * 5 + raised.d;
  EXPECT_GT(deeper, 0.0);
}

TEST_F(Store, NearlyDegenerateTriangleMakesNoFaceAndLeavesTheExtent) {
  // Signed areas of about 1e-6, both windings, and exactly 1e-5f.
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 0}, {1e-3f, 0, 0}, {0, 1e-3f, 0});
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 0}, {0, 1e-3f, 0}, {1e-3f, 0, 0});
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 7}, {1, 0, 7}, {0, 1e-5f, 7});
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 7}, {0, 1e-5f, 7}, {1, 0, 7});

  EXPECT_EQ(state.face_list.count, 0u);
  EXPECT_EQ(state.face_list.head, nullptr);
  EXPECT_EQ(state.extent.x_min, 1e28f);
  EXPECT_EQ(state.extent.x_max, 0.0f);
  EXPECT_EQ(state.extent.z_min, 1e28f);
  EXPECT_EQ(state.extent.z_max, 0.0f);
  EXPECT_EQ(rendition.data()->reference_count(), 1);

  // The next float above 1e-5f is over the threshold.
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, 7}, {1, 0, 7},
            {0, std::nextafter(1e-5f, 1.0f), 7});
  EXPECT_EQ(state.face_list.count, 1u);
}

TEST_F(Store, ExtentSpansTheFaceVertices) {
  // The largest x and z come first in the stored order: each coordinate is
  // tested against the minimum and the maximum independently.
  make_face(state, rendition, crossing_green, hidden_red, {3, 0, 5}, {2, 2, 3}, {1, 0, 1});
  EXPECT_EQ(state.extent.x_min, 1.0f);
  EXPECT_EQ(state.extent.x_max, 3.0f);
  EXPECT_EQ(state.extent.y_min, 0.0f);
  EXPECT_EQ(state.extent.y_max, 2.0f);
  EXPECT_EQ(state.extent.z_min, 1.0f);
  EXPECT_EQ(state.extent.z_max, 5.0f);

  make_face(state, rendition, crossing_green, hidden_red, {-4, 1, 2}, {9, 1, 2}, {0, 6, 8});
  EXPECT_EQ(state.extent.x_min, -4.0f);
  EXPECT_EQ(state.extent.x_max, 9.0f);
  EXPECT_EQ(state.extent.y_max, 6.0f);
  EXPECT_EQ(state.extent.z_max, 8.0f);
  EXPECT_EQ(state.extent.z_min, 1.0f);

  // Edges and markers never widen it.
  make_edge(state.edge_list, rendition, hidden_red, {-100, -100, -100}, {100, 100, 100}, 0, 1);
  make_marker(state.marker_list, rendition, {500, 500, 500});
  EXPECT_EQ(state.extent.x_min, -4.0f);
  EXPECT_EQ(state.extent.x_max, 9.0f);
}

TEST_F(Store, FacesBehindTheViewerKeepZMaxAtZero) {
  make_face(state, rendition, crossing_green, hidden_red, {0, 0, -5}, {1, 0, -3}, {0, 1, -1});
  EXPECT_EQ(state.extent.z_min, -5.0f);
  EXPECT_EQ(state.extent.z_max, 0.0f);
  // The maxima start at 0.0, so x and y max cannot fall below it either.
  make_face(state, rendition, crossing_green, hidden_red, {-9, -9, -2}, {-8, -9, -2}, {-9, -8, -2});
  EXPECT_EQ(state.extent.x_min, -9.0f);
  EXPECT_EQ(state.extent.x_max, 1.0f);
  EXPECT_EQ(state.extent.z_min, -5.0f);
  EXPECT_EQ(state.extent.z_max, 0.0f);
}

TEST_F(Store, EdgesRunInCaptureOrderFacesAndMarkersNewestFirst) {
  for (int i = 0; i < 3; ++i) {
    const float x = static_cast<float>(i);
    make_edge(state.edge_list, rendition, hidden_red, {x, 0, 0}, {x + 1, 0, 0}, 0, 1);
    make_face(state, rendition, crossing_green, hidden_red, {x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0});
    make_marker(state.marker_list, rendition, {x, 5, 0});
  }
  EXPECT_TRUE(store_is_consistent(state));

  const auto edges = edges_of(state);
  const auto faces = faces_of(state);
  const auto markers = markers_of(state);
  ASSERT_EQ(edges.size(), 3u);
  ASSERT_EQ(faces.size(), 3u);
  ASSERT_EQ(markers.size(), 3u);
  EXPECT_EQ(state.edge_list.tail, edges[2]);
  for (int i = 0; i < 3; ++i) {
    const float x = static_cast<float>(i);
    EXPECT_EQ(edges[i]->a.x, x);
    EXPECT_EQ(faces[2 - i]->vertices[0].x, x);
    EXPECT_EQ(markers[2 - i]->position, (KT_Point{x, 5, 0}));
    EXPECT_EQ(markers[2 - i]->rendition.data(), rendition.data());
  }
  EXPECT_EQ(rendition.data()->reference_count(), 10);
  EXPECT_TRUE(references_balanced());
  EXPECT_EQ(rendition.data()->reference_count(), 1);
}

}  // namespace
