#include "tool/errors.h"
#include "tool/scene.h"

#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace hlr_tool {
namespace {

using testing::cube_body;
using testing::sphere_body;

using Point_Key = std::tuple<float, float, float>;

Point_Key key(const Device_Point& p)
{
    return {p.x, p.y, p.z};
}

std::array<Point_Key, 3> sorted_corners(const Device_Point& a, const Device_Point& b, const Device_Point& c)
{
    std::array<Point_Key, 3> corners{key(a), key(b), key(c)};
    std::sort(corners.begin(), corners.end());
    return corners;
}

Camera frame(std::span<const Model> models)
{
    return Camera::frame(Camera_Settings{}, models);
}

TEST(Scene, StripsCarryExactlyTheProjectedTriangles)
{
    Model model;
    model.bodies = {cube_body(), sphere_body(7, 10)};
    model.bodies[1].positions[0].x += 3.0; // apart from the cube, one point moved
    const Model models[] = {model};
    const Camera camera = frame(models);
    const Scene scene = build_scene(models, camera, {});
    ASSERT_EQ(scene.bodies.size(), 2u);
    EXPECT_EQ(scene.stats.triangles, 12u + 7u * 10u * 2u - 2u * 10u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Body& body = model.bodies[i];
        std::vector<std::array<Point_Key, 3>> expected, drawn;
        for (const Triangle& t : body.triangles)
            expected.push_back(sorted_corners(camera.to_device(body.positions[t[0]]),
                                              camera.to_device(body.positions[t[1]]),
                                              camera.to_device(body.positions[t[2]])));
        for (const Device_Polyline& strip : scene.bodies[i].strips) {
            ASSERT_GE(strip.size(), 3u);
            for (std::size_t k = 0; k + 2 < strip.size(); ++k)
                drawn.push_back(sorted_corners(strip[k], strip[k + 1], strip[k + 2]));
        }
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
    const Model models[] = {testing::model_of(cube)};
    const Camera camera = frame(models);
    const Scene scene = build_scene(models, camera, {});
    EXPECT_EQ(scene.stats.edges, 13u);
    const Scene_Body& body = scene.bodies[0];
    EXPECT_EQ(body.line_color, default_line_color);
    EXPECT_EQ(body.face_color, default_face_color);

    std::vector<std::array<Point_Key, 2>> steps, expected;
    for (const Device_Polyline& line : body.polylines) {
        for (std::size_t i = 1; i < line.size(); ++i) {
            std::array<Point_Key, 2> step{key(line[i - 1]), key(line[i])};
            std::sort(step.begin(), step.end());
            steps.push_back(step);
        }
    }
    for (std::uint32_t a = 0; a < 8; ++a) {
        for (std::uint32_t b = a + 1; b < 8; ++b) {
            if (std::popcount(a ^ b) == 1 || (a == 0 && b == 7)) {
                std::array<Point_Key, 2> step{key(camera.to_device(cube.positions[a])),
                                              key(camera.to_device(cube.positions[b]))};
                std::sort(step.begin(), step.end());
                expected.push_back(step);
            }
        }
    }
    std::sort(steps.begin(), steps.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(scene.stats.polylines, body.polylines.size());
}

TEST(Scene, MaterialColourDrawsFacesAndLines)
{
    Body cube = cube_body();
    cube.color = 0xFF336699u;
    const Model models[] = {testing::model_of(cube)};
    const Scene scene = build_scene(models, frame(models), {Edge_Selection::all, 30.0});
    EXPECT_EQ(scene.bodies[0].face_color, 0xFF336699u);
    EXPECT_EQ(scene.bodies[0].line_color, 0xFF336699u);
    EXPECT_EQ(scene.stats.edges, 18u);
    EXPECT_EQ(scene.width, 1000);
}

TEST(Scene, CreaseAngleOutOfRangeIsAnInputError)
{
    const Model models[] = {testing::model_of(cube_body())};
    for (double crease : {-1.0, 181.0, std::nan("")}) {
        try {
            build_scene(models, frame(models), {Edge_Selection::feature, crease});
            ADD_FAILURE() << crease;
        } catch (const Tool_Error& error) {
            EXPECT_EQ(error.exit_status(), exit_input_error);
        }
    }
    EXPECT_EQ(parse_edge_selection("all"), Edge_Selection::all);
    EXPECT_THROW(parse_edge_selection("some"), Tool_Error);
}

} // namespace
} // namespace hlr_tool
