#include "tool/models/edge_selection.h"
#include "tool/models/edge_table.h"

#include "test_meshes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <set>

namespace hlr_tool {
namespace {

using testing::cube_body;
using testing::model_of;
using testing::sphere_body;

using Pair_Set = std::set<Vertex_Pair>;

std::vector<Device_Point> project(const Body& body, View_Angles view) {
  const Model models[] = {model_of(body)};
  Camera_Settings settings;
  settings.view = view;
  const Camera camera = Camera::frame(settings, models);
  std::vector<Device_Point> device;
  for (const Model_Point& p : body.positions) device.push_back(camera.to_device(p));
  return device;
}

Pair_Set selected_pairs(const Body& body, View_Angles view, Edge_Options options = {}) {
  const Edge_Table table = build_edge_table(body.triangles, body.positions.size());
  Pair_Set pairs;
  for (std::uint32_t e :
       select_edges(table, body.triangles, body.positions, project(body, view), options))
    pairs.insert({table.edges[e].a, table.edges[e].b});
  return pairs;
}

TEST(Edge_Selection, CubeFeaturesAreItsTwelveEdgesNotTheDiagonals) {
  Pair_Set twelve;
  for (std::uint32_t a = 0; a < 8; ++a)
    for (std::uint32_t b = a + 1; b < 8; ++b)
      if (std::popcount(a ^ b) == 1) twelve.insert({a, b});
  Body flipped = cube_body();  // one face wound the other way
  std::swap(flipped.triangles[4][1], flipped.triangles[4][2]);
  std::swap(flipped.triangles[5][1], flipped.triangles[5][2]);
  const View_Angles views[] = {{35, 25}, {0, 0}, {-70, 40}, {130, -20}, {0, 90}};
  for (const Body& body : {cube_body(), flipped})
    for (const View_Angles& view : views)
      EXPECT_EQ(selected_pairs(body, view), twelve)
          << view.yaw_degrees << ',' << view.pitch_degrees;
  EXPECT_EQ(selected_pairs(cube_body(), {}, {Edge_Selection::all, 30.0}).size(), 18u);
}

// On a convex solid seen in a general direction the silhouette edges are
// exactly the edges on the convex outline of the projection: brute force
// checks every edge against every vertex.
TEST(Edge_Selection, SphereSilhouetteMatchesTheProjectedOutline) {
  const Body sphere = sphere_body(9, 14);
  const View_Angles views[] = {{35, 25}, {-17, 61}, {101, -33}, {200, 8}};
  for (const View_Angles& view : views) {
    const auto device = project(sphere, view);
    const Edge_Table table = build_edge_table(sphere.triangles, sphere.positions.size());
    Pair_Set outline;
    for (const Mesh_Edge& e : table.edges) {
      const Device_Point a = device[e.a], b = device[e.b];
      int left = 0, right = 0;
      for (const Device_Point& c : device) {
        const double s =
            (double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x);
        left += s > 0, right += s < 0;
      }
      if (left == 0 || right == 0) outline.insert({e.a, e.b});
    }
    EXPECT_GE(outline.size(), 14u);
    EXPECT_EQ(selected_pairs(sphere, view, {Edge_Selection::feature, 180.0}), outline)
        << view.yaw_degrees << ',' << view.pitch_degrees;
  }
}

// Two triangles hinged on the x axis, both facing the viewer at +z; the
// second is bent away by `bend` degrees, and may be wound either way.
TEST(Edge_Selection, CreaseFollowsTheAngleBetweenNormalsWhateverTheWinding) {
  struct Case {
    double bend, crease;
    bool selected;
  };
  const Case cases[] = {
      {20, 30, false}, {40, 30, true}, {20, 10, true}, {0, 0, false}, {89, 180, false}};
  for (const Case& c : cases) {
    for (bool same_winding : {true, false}) {
      const double bend = c.bend * std::numbers::pi / 180;
      Body hinge;
      hinge.positions = {
          {0, 0, 0}, {1, 0, 0}, {0.5, 1, 0}, {0.5, -std::cos(bend), -std::sin(bend)}};
      hinge.triangles = {{0, 1, 2}, same_winding ? Triangle{1, 0, 3} : Triangle{0, 1, 3}};
      const bool has_hinge =
          selected_pairs(hinge, {0, 0}, {Edge_Selection::feature, c.crease}).count({0, 1});
      EXPECT_EQ(has_hinge, c.selected)
          << c.bend << " at " << c.crease << (same_winding ? "" : " flipped");
    }
  }
}

TEST(Edge_Selection, BoundaryAndNonManifoldEdgesAreAlwaysDrawn) {
  const Edge_Options no_creases{Edge_Selection::feature, 180.0};
  Body square;
  square.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  square.triangles = {{0, 1, 2}, {0, 2, 3}};
  EXPECT_EQ(selected_pairs(square, {10, 10}, no_creases),
            (Pair_Set{{0, 1}, {1, 2}, {2, 3}, {0, 3}}));
  // Three pages on one spine: the spine is non-manifold.
  Body book;
  book.positions = {{0, 0, 0}, {0, 1, 0}, {1, 0.5, 0}, {-1, 0.5, 0.2}, {0, 0.5, -1}};
  book.triangles = {{0, 1, 2}, {0, 1, 3}, {0, 1, 4}};
  EXPECT_EQ(selected_pairs(book, {10, 10}, no_creases).size(), 7u);
}

}  // namespace
}  // namespace hlr_tool
