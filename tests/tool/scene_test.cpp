#include "tool/errors.h"
#include "tool/scene.h"

#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <tuple>

namespace hlr_tool {
namespace {

using testing::cube_body;
using testing::model_of;
using testing::sphere_body;

using Point_Key = std::tuple<float, float, float>;

// A triangle or a segment as its sorted device corners: the same whichever
// way it runs.
template <class... Points>
std::array<Point_Key, sizeof...(Points)> corners(const Points&... p)
{
    std::array<Point_Key, sizeof...(Points)> keys{Point_Key{p.x, p.y, p.z}...};
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Brute force: the triangles of the strips are the bodies' triangles,
// each projected by the camera from its own body's positions.
TEST(Scene, StripsCarryExactlyTheProjectedTriangles)
{
    Model model;
    model.bodies = {cube_body(), sphere_body(7, 10)};
    model.bodies[1].positions[0].x += 3.0; // apart from the cube, one point moved
    const Model models[] = {model};
    const Camera camera = Camera::frame(Camera_Settings{}, models);
    const Scene scene = build_scene(models, camera, {});
    ASSERT_EQ(scene.bodies.size(), 2u);
    EXPECT_EQ(scene.stats.triangles, 12u + 7u * 10u * 2u - 2u * 10u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Body& body = model.bodies[i];
        const auto at = [&](std::uint32_t v) { return camera.to_device(body.positions[v]); };
        std::vector<std::array<Point_Key, 3>> expected, drawn;
        for (const Triangle& t : body.triangles)
            expected.push_back(corners(at(t[0]), at(t[1]), at(t[2])));
        for (const Device_Polyline& strip : scene.bodies[i].strips)
            for (std::size_t k = 0; k + 2 < strip.size(); ++k)
                drawn.push_back(corners(strip[k], strip[k + 1], strip[k + 2]));
        std::sort(expected.begin(), expected.end());
        std::sort(drawn.begin(), drawn.end());
        EXPECT_EQ(drawn, expected) << body.name;
    }
}

// The cube's twelve edges and a line through its body diagonal; the line
// along edge 0-1 repeats a selected edge and is drawn once.
TEST(Scene, FileLinesJoinTheSelectedEdgesWithoutRepeats)
{
    Body cube = cube_body();
    cube.lines = {{0, 1}, {0, 7}, {1, 0}};
    const Model models[] = {model_of(cube)};
    const Camera camera = Camera::frame(Camera_Settings{}, models);
    const Scene scene = build_scene(models, camera, {});
    EXPECT_EQ(scene.stats.edges, 13u);
    std::vector<std::array<Point_Key, 2>> steps, expected;
    for (const Device_Polyline& line : scene.bodies[0].polylines)
        for (std::size_t i = 1; i < line.size(); ++i)
            steps.push_back(corners(line[i - 1], line[i]));
    for (std::uint32_t a = 0; a < 8; ++a)
        for (std::uint32_t b = a + 1; b < 8; ++b)
            if (std::popcount(a ^ b) == 1 || (a == 0 && b == 7))
                expected.push_back(corners(camera.to_device(cube.positions[a]), camera.to_device(cube.positions[b])));
    std::sort(steps.begin(), steps.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(scene.bodies[0].line_color, default_line_color);
    EXPECT_EQ(scene.bodies[0].face_color, default_face_color);
}

TEST(Scene, MaterialColourDrawsFacesAndLines)
{
    Body cube = cube_body();
    cube.color = 0xFF336699u;
    const Model models[] = {model_of(cube)};
    const Camera camera = Camera::frame(Camera_Settings{}, models);
    const Scene scene = build_scene(models, camera, {Edge_Selection::all, 30.0});
    EXPECT_EQ(scene.bodies[0].face_color, 0xFF336699u);
    EXPECT_EQ(scene.bodies[0].line_color, 0xFF336699u);
    EXPECT_EQ(scene.stats.edges, 18u);
    EXPECT_THROW(build_scene(models, camera, {Edge_Selection::feature, std::nan("")}), Tool_Error);
}

} // namespace
} // namespace hlr_tool
