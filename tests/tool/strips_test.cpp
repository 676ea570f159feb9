#include "tool/models/strips.h"
#include "tool/models/edge_table.h"

#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace hlr_tool {
namespace {

using testing::cube_body;
using testing::grid_body;
using testing::sorted;
using testing::sphere_body;

std::vector<Triangle> triangles_of(const std::vector<Strip>& strips) {
  std::vector<Triangle> triangles;
  for (const Strip& strip : strips) {
    EXPECT_GE(strip.size(), 3u);
    for (std::size_t k = 0; k + 2 < strip.size(); ++k)
      triangles.push_back(sorted({strip[k], strip[k + 1], strip[k + 2]}));
  }
  std::sort(triangles.begin(), triangles.end());
  return triangles;
}

std::vector<Triangle> sorted_triangles(const Body& body) {
  std::vector<Triangle> triangles;
  for (const Triangle& t : body.triangles) triangles.push_back(sorted(t));
  std::sort(triangles.begin(), triangles.end());
  return triangles;
}

// Random triangles over few vertices: many edges with three or more
// triangles, repeated triangles, both windings.
Body tangle(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::uint32_t> vertex(0, 11);
  Body body;
  body.positions.resize(12, {0, 0, 0});
  while (body.triangles.size() < 300) {
    const Triangle t{vertex(random), vertex(random), vertex(random)};
    if (t[0] != t[1] && t[1] != t[2] && t[0] != t[2]) body.triangles.push_back(t);
  }
  return body;
}

TEST(Strips, EveryTriangleAppearsInExactlyOneStripOnce) {
  std::vector<Body> bodies{cube_body(), grid_body(13), sphere_body(11, 17), tangle(1), tangle(2)};
  Body doubled = grid_body(4);  // every triangle twice, once reversed
  for (std::size_t i = 0, n = doubled.triangles.size(); i < n; ++i)
    doubled.triangles.push_back(
        {doubled.triangles[i][2], doubled.triangles[i][1], doubled.triangles[i][0]});
  bodies.push_back(doubled);
  for (const Body& body : bodies) {
    const Edge_Table table = build_edge_table(body.triangles, body.positions.size());
    EXPECT_EQ(triangles_of(build_strips(body.triangles, table)), sorted_triangles(body))
        << body.name;
  }
}

// A regular grid strips well: long runs, not a triangle or two per strip.
TEST(Strips, GridGivesLongStrips) {
  const Body grid = grid_body(30);  // 1800 triangles
  const Edge_Table table = build_edge_table(grid.triangles, grid.positions.size());
  const auto strips = build_strips(grid.triangles, table);
  EXPECT_LE(strips.size(), 100u) << strips.size() << " strips, average "
                                 << grid.triangles.size() / strips.size() << " triangles";
}

}  // namespace
}  // namespace hlr_tool
