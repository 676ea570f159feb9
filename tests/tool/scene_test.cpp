#include "tool/models/scene.h"

#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <tuple>

namespace hlr_tool {
namespace {

using testing::cube_body;
using testing::model_of;

using Point_Key = std::tuple<float, float, float>;

// A segment as its sorted device ends: the same whichever way it runs.
std::array<Point_Key, 2> corners(const Device_Point& a, const Device_Point& b) {
  const auto [low, high] = std::minmax({Point_Key{a.x, a.y, a.z}, Point_Key{b.x, b.y, b.z}});
  return {low, high};
}

// The cube's twelve edges and a line through its body diagonal; the line
// along edge 0-1 repeats a selected edge and is drawn once.
TEST(Scene, FileLinesJoinTheSelectedEdgesWithoutRepeats) {
  Body cube = cube_body();
  cube.lines = {{0, 1}, {0, 7}, {1, 0}};
  const Model models[] = {model_of(cube)};
  const Camera camera = Camera::frame(Camera_Settings{}, models);
  const Scene scene = build_scene(models, camera, {});
  EXPECT_EQ(scene.stats.edges, 13u);
  std::vector<std::array<Point_Key, 2>> steps, expected;
  for (const Device_Polyline& line : scene.bodies[0].polylines)
    for (std::size_t i = 1; i < line.size(); ++i) steps.push_back(corners(line[i - 1], line[i]));
  for (std::uint32_t a = 0; a < 8; ++a)
    for (std::uint32_t b = a + 1; b < 8; ++b)
      if (std::popcount(a ^ b) == 1 || (a == 0 && b == 7))
        expected.push_back(
            corners(camera.to_device(cube.positions[a]), camera.to_device(cube.positions[b])));
  std::sort(steps.begin(), steps.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(steps, expected);
  EXPECT_EQ(scene.bodies[0].line_color, default_line_color);
  EXPECT_EQ(scene.bodies[0].face_color, default_face_color);
}

}  // namespace
}  // namespace hlr_tool
