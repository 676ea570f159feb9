#include "tool/camera.h"
#include "tool/errors.h"

#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace hlr_tool {
namespace {

using testing::cube_body;
using testing::model_of;

Camera camera_for(const Body& body, View_Angles view, double fov_degrees = 0.0, int width = 1000, int height = 1000)
{
    const Model models[] = {model_of(body)};
    Camera_Settings settings;
    settings.view = view;
    settings.field_of_view_degrees = fov_degrees;
    settings.width = width;
    settings.height = height;
    return Camera::frame(settings, models);
}

void expect_device(const Camera& camera, Model_Point p, float x, float y, float z, float tolerance = 0.0f)
{
    const Device_Point d = camera.to_device(p);
    EXPECT_NEAR(d.x, x, tolerance) << p.x << ' ' << p.y << ' ' << p.z;
    EXPECT_NEAR(d.y, y, tolerance) << p.x << ' ' << p.y << ' ' << p.z;
    EXPECT_NEAR(d.z, z, tolerance) << p.x << ' ' << p.y << ' ' << p.z;
}

// The cube [-1, 1]^3 in 1000 x 1000 with a 50 margin: 900 device units for
// 2 model units, scale 450 about the centre 500; the nearest face at z = 1.
TEST(Camera, FrontViewMapsTheCubeByHand)
{
    const Camera camera = camera_for(cube_body(), parse_view("front"));
    EXPECT_EQ(camera.scale(), 450.0);
    expect_device(camera, {1, 1, 1}, 950, 950, 1);
    expect_device(camera, {-1, -1, -1}, 50, 50, 901);
    expect_device(camera, {0.5, -1, 0}, 725, 50, 451);
}

TEST(Camera, SideAndTopViewsTurnTheModelTheRightWay)
{
    // From +x the viewer's right is -z, and +x is nearest.
    const Camera right = camera_for(cube_body(), parse_view("right"));
    expect_device(right, {1, 0, -1}, 950, 500, 1, 1e-3f);
    expect_device(right, {-1, 1, 1}, 50, 950, 901, 1e-3f);
    // From above the front (+z) lies at the bottom, and +y is nearest.
    const Camera top = camera_for(cube_body(), parse_view("top"));
    expect_device(top, {1, 1, 1}, 950, 50, 1, 1e-3f);
    expect_device(top, {-1, -1, -1}, 50, 950, 901, 1e-3f);
}

// Eye at sqrt(6) from the centre (the sphere of radius sqrt(3) fills 90
// degrees). The near face (distance d - 1) spans the 900 units; the far
// corner lands at 500 + 450 (d - 1) / (d + 1) = 689.0918, with depth
// 1 + 900 (d - 1) / d = 533.5765.
TEST(Camera, PerspectiveShrinksFarPointsAndKeepsDistanceAsDepth)
{
    const Camera camera = camera_for(cube_body(), parse_view("front"), 90.0);
    EXPECT_TRUE(camera.is_perspective());
    expect_device(camera, {1, 1, 1}, 950, 950, 1, 1e-3f);
    expect_device(camera, {1, 1, -1}, 689.0918f, 689.0918f, 533.5765f, 1e-3f);
    // The centre, one unit behind the near face: 1 + 450 (d - 1) / d.
    expect_device(camera, {0, 0, 0}, 500, 500, 267.2883f, 1e-3f);
}

TEST(Camera, DepthGrowsAwayFromTheViewerInEveryView)
{
    const View_Angles views[] = {{35, 25}, {-120, 10}, {200, -60}, {0, 90}};
    for (const View_Angles& view : views) {
        for (double fov : {0.0, 50.0}) {
            const Camera camera = camera_for(cube_body(), view, fov);
            // Step towards the viewer from the centre: depth must fall.
            const double yaw = view.yaw_degrees * std::numbers::pi / 180;
            const double pitch = view.pitch_degrees * std::numbers::pi / 180;
            const Model_Point toward{std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
            const float centre = camera.to_device({0, 0, 0}).z;
            const float nearer = camera.to_device({0.5 * toward.x, 0.5 * toward.y, 0.5 * toward.z}).z;
            const float farther = camera.to_device({-0.5 * toward.x, -0.5 * toward.y, -0.5 * toward.z}).z;
            EXPECT_LT(nearer, centre) << view.yaw_degrees << ',' << view.pitch_degrees << " fov " << fov;
            EXPECT_GT(farther, centre) << view.yaw_degrees << ',' << view.pitch_degrees << " fov " << fov;
        }
    }
}

// Random clouds in random views: every point inside the rectangle less its
// margin, the drawing centred and touching the margin on one axis, and
// the nearest point at depth 1.
TEST(Camera, FramingFitsEveryPointInsideTheMargin)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-50.0, 120.0), angle(-180.0, 180.0);
    const std::pair<int, int> sizes[] = {{1000, 1000}, {2000, 500}, {300, 900}};
    for (int trial = 0; trial < 30; ++trial) {
        Body body;
        for (int i = 0; i < 40; ++i)
            body.positions.push_back({coordinate(random), 0.2 * coordinate(random), coordinate(random) - 30.0});
        const auto [width, height] = sizes[trial % 3];
        const double fov = trial % 2 == 0 ? 0.0 : 70.0;
        const Camera camera = camera_for(body, {angle(random), angle(random) / 2}, fov, width, height);
        const double margin = 0.05 * std::min(width, height);
        float min_x = 1e9f, max_x = -1e9f, min_y = 1e9f, max_y = -1e9f, min_z = 1e9f;
        for (const Model_Point& p : body.positions) {
            const Device_Point d = camera.to_device(p);
            min_x = std::min(min_x, d.x), max_x = std::max(max_x, d.x);
            min_y = std::min(min_y, d.y), max_y = std::max(max_y, d.y);
            min_z = std::min(min_z, d.z);
        }
        SCOPED_TRACE(trial);
        EXPECT_GE(min_x, margin - 1e-3);
        EXPECT_LE(max_x, width - margin + 1e-3);
        EXPECT_GE(min_y, margin - 1e-3);
        EXPECT_LE(max_y, height - margin + 1e-3);
        EXPECT_NEAR(0.5 * (min_x + max_x), 0.5 * width, 1e-3);
        EXPECT_NEAR(0.5 * (min_y + max_y), 0.5 * height, 1e-3);
        const bool touches = std::abs(max_x - (width - margin)) < 1e-3 || std::abs(max_y - (height - margin)) < 1e-3;
        EXPECT_TRUE(touches);
        EXPECT_NEAR(min_z, 1.0f, 1e-4);
    }
}

TEST(Camera, ViewsAreReadByNameOrAngles)
{
    struct Case {
        const char* text;
        double yaw, pitch;
    };
    const Case good[] = {{"front", 0, 0}, {"top", 0, 90}, {"right", 90, 0}, {"iso", 45, 35.264389682754654},
                         {"35,25", 35, 25}, {"-10.5, +80", -10.5, 80}};
    for (const Case& c : good) {
        const View_Angles view = parse_view(c.text);
        EXPECT_EQ(view.yaw_degrees, c.yaw) << c.text;
        EXPECT_EQ(view.pitch_degrees, c.pitch) << c.text;
    }
    for (const char* bad : {"sideways", "", "35", "35,", ",25", "nan,3", "1,2,3", "Front"}) {
        try {
            parse_view(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const Tool_Error& error) {
            EXPECT_EQ(error.exit_status(), exit_input_error);
            EXPECT_NE(std::string(error.what()).find(std::string("'") + bad + "'"), std::string::npos);
        }
    }
}

TEST(Camera, SettingsOutOfRangeAreInputErrors)
{
    const Model models[] = {model_of(cube_body())};
    const auto rejected = [&](auto change) {
        Camera_Settings settings;
        change(settings);
        try {
            Camera::frame(settings, models);
        } catch (const Tool_Error& error) {
            return error.exit_status() == exit_input_error;
        }
        return false;
    };
    EXPECT_TRUE(rejected([](Camera_Settings& s) { s.width = 0; }));
    EXPECT_TRUE(rejected([](Camera_Settings& s) { s.height = -4; }));
    EXPECT_TRUE(rejected([](Camera_Settings& s) { s.margin_fraction = 0.5; }));
    EXPECT_TRUE(rejected([](Camera_Settings& s) { s.field_of_view_degrees = 180; }));
    EXPECT_TRUE(rejected([](Camera_Settings& s) { s.field_of_view_degrees = -1; }));
    EXPECT_TRUE(rejected([](Camera_Settings& s) { s.view.yaw_degrees = std::numeric_limits<double>::infinity(); }));
    EXPECT_FALSE(rejected([](Camera_Settings& s) { s.field_of_view_degrees = 179; }));
}

} // namespace
} // namespace hlr_tool
