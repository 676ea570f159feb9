#include "tool/models/camera.h"
#include "tool/common/errors.h"

#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace hlr_tool {
namespace {

using testing::cube_body;
using testing::model_of;

Camera camera_for(const Body& body, View_Angles view, double fov_degrees = 0.0, int width = 1000,
                  int height = 1000) {
  const Model models[] = {model_of(body)};
  Camera_Settings settings;
  settings.view = view;
  settings.field_of_view_degrees = fov_degrees;
  settings.width = width;
  settings.height = height;
  return Camera::frame(settings, models);
}

// The cube [-1, 1]^3 in 1000 x 1000 with a 50 margin; the nearest point at
// depth 1.
// Orthographic front, right, top: 900 units for 2, scale 450 about 500.
// Iso looks along the diagonal from (1, 1, 1): the outline is a hexagon
// 4 sqrt(2/3) high, so the scale is 225 sqrt(3/2); the corners (1, 1, 1)
// and (-1, -1, -1) both land at the centre, 2 sqrt(3) apart in depth, and
// (-1, 1, -1) is the top corner, 4 / sqrt(3) behind the nearest.
// Perspective front with 90 degrees: eye at d = sqrt(6) from the centre; the
// near face (distance d - 1) spans the 900 units; the far corner lands at
// 500 + 450 (d - 1) / (d + 1), with depth 1 + 900 (d - 1) / d.
TEST(Camera, HandWorkedPointsInNamedViewsAndPerspective) {
  struct Case {
    const char* view;
    double fov;
    Model_Point p;
    float x, y, z;
  };
  const Case cases[] = {
      {"front", 0, {-1, -1, -1}, 50, 50, 901},
      {"front", 0, {0.5, -1, 0}, 725, 50, 451},
      {"right", 0, {-1, 1, 1}, 50, 950, 901},  // from +x the viewer's right is -z
      {"top", 0, {1, 1, 1}, 950, 50, 1},       // from above the front (+z) is at the bottom
      {"iso", 0, {1, 1, 1}, 500, 500, 1},
      {"iso", 0, {-1, -1, -1}, 500, 500, 955.59415f},
      {"iso", 0, {-1, 1, -1}, 500, 950, 637.39610f},
      {"front", 90, {1, 1, 1}, 950, 950, 1},
      {"front", 90, {1, 1, -1}, 689.0918f, 689.0918f, 533.5765f},
      {"front", 90, {0, 0, 0}, 500, 500, 267.2883f},
  };
  for (const Case& c : cases) {
    const Device_Point d = camera_for(cube_body(), parse_view(c.view), c.fov).to_device(c.p);
    SCOPED_TRACE(::testing::Message()
                 << c.view << " fov " << c.fov << " at " << c.p.x << ',' << c.p.y << ',' << c.p.z);
    EXPECT_NEAR(d.x, c.x, 1e-3f);
    EXPECT_NEAR(d.y, c.y, 1e-3f);
    EXPECT_NEAR(d.z, c.z, 1e-3f);
  }
}

// Random clouds in random views: every point inside the rectangle less its
// margin, the drawing centred and touching the margin on one axis, and
// the nearest point at depth 1.
TEST(Camera, FramingFitsEveryPointInsideTheMargin) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-50.0, 120.0), angle(-180.0, 180.0);
  const std::pair<int, int> sizes[] = {{1000, 1000}, {2000, 500}, {300, 900}};
  for (int trial = 0; trial < 30; ++trial) {
    Body body;
    for (int i = 0; i < 40; ++i)
      body.positions.push_back(
          {coordinate(random), 0.2 * coordinate(random), coordinate(random) - 30.0});
    const auto [width, height] = sizes[trial % 3];
    const Camera camera = camera_for(body, {angle(random), angle(random) / 2},
                                     trial % 2 == 0 ? 0.0 : 70.0, width, height);
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
    EXPECT_TRUE(std::abs(max_x - (width - margin)) < 1e-3 ||
                std::abs(max_y - (height - margin)) < 1e-3);
    EXPECT_NEAR(min_z, 1.0f, 1e-4);
  }
}

// Names are covered by the table above; angles are two numbers, nothing
// else. A field of view of 180 degrees or more is refused.
TEST(Camera, ViewsAndSettingsOutOfRangeAreInputErrors) {
  EXPECT_EQ(parse_view("-10.5, +80").yaw_degrees, -10.5);
  EXPECT_EQ(parse_view("-10.5, +80").pitch_degrees, 80);
  for (const char* bad : {"sideways", "35", ",25", "nan,3", "1,2,3", "Front"})
    EXPECT_THROW(parse_view(bad), Tool_Error) << bad;
  Camera_Settings settings;
  settings.field_of_view_degrees = 180;
  const Model models[] = {model_of(cube_body())};
  EXPECT_THROW(Camera::frame(settings, models), Tool_Error);
  settings.field_of_view_degrees = 179;
  EXPECT_NO_THROW(Camera::frame(settings, models));
}

}  // namespace
}  // namespace hlr_tool

namespace hlr_tool {
namespace {

// Standing a model upright: with z up the front view looks along the
// model's +y, the top view down its -z and the right view along its -x, so
// that each view's device point is the y-up model's at the turned point.
// A box 2 wide (x), 4 deep (y) and 6 tall (z), z-up: its front view is
// 2 x 6, its right view 4 x 6 and its top view 2 x 4, whatever the frame.
TEST(Camera, AModelStandsOnItsUpAxisInEveryNamedView) {
  Body box = testing::cube_body();
  for (Model_Point& p : box.positions) p = {p.x, 2.0 * p.y, 3.0 * p.z};
  const struct {
    Up_Axis up;
    const char* view;
    double width, height;  // the view's extent, in the box's units
  } cases[] = {
      {Up_Axis::z, "front", 2, 6},       {Up_Axis::z, "right", 4, 6},
      {Up_Axis::z, "top", 2, 4},         {Up_Axis::y, "front", 2, 4},
      {Up_Axis::y, "right", 6, 4},       {Up_Axis::y, "top", 2, 6},
      {Up_Axis::x, "front", 4, 2},       {Up_Axis::minus_z, "front", 2, 6},
      {Up_Axis::minus_x, "right", 6, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(up_axis_name(c.up)) + " " + c.view);
    Model model = testing::model_of(box);
    model.up = c.up;
    Camera_Settings settings;
    settings.view = parse_view(c.view);
    const Camera camera = Camera::frame(settings, {&model, 1});
    double min_x = 1e9, max_x = -1e9, min_y = 1e9, max_y = -1e9;
    for (const Model_Point& p : box.positions) {
      const Device_Point d = camera.to_device(upright(p, c.up));
      min_x = std::min(min_x, double(d.x)), max_x = std::max(max_x, double(d.x));
      min_y = std::min(min_y, double(d.y)), max_y = std::max(max_y, double(d.y));
    }
    EXPECT_NEAR((max_x - min_x) / camera.scale(), c.width, 1e-4);
    EXPECT_NEAR((max_y - min_y) / camera.scale(), c.height, 1e-4);
  }
  // z up: the model's top (+z) is up in the front view, and its front
  // (-y, towards the viewer) is nearest.
  Model model = testing::model_of(box);
  model.up = Up_Axis::z;
  Camera_Settings settings;
  settings.view = parse_view("front");
  const Camera camera = Camera::frame(settings, {&model, 1});
  const Device_Point top = camera.to_device(upright({0, 0, 3}, Up_Axis::z));
  const Device_Point bottom = camera.to_device(upright({0, 0, -3}, Up_Axis::z));
  const Device_Point near = camera.to_device(upright({0, -2, 0}, Up_Axis::z));
  const Device_Point far = camera.to_device(upright({0, 2, 0}, Up_Axis::z));
  EXPECT_GT(top.y, bottom.y);
  EXPECT_LT(near.z, far.z);
}

TEST(Up_Axis, TurnsBackAndNamesEachAxis) {
  const Model_Point p{1.5, -2.25, 3.125};
  for (Up_Axis up :
       {Up_Axis::x, Up_Axis::y, Up_Axis::z, Up_Axis::minus_x, Up_Axis::minus_y, Up_Axis::minus_z}) {
    SCOPED_TRACE(up_axis_name(up));
    const Model_Point back = from_upright(upright(p, up), up);
    EXPECT_EQ(back.x, p.x);
    EXPECT_EQ(back.y, p.y);
    EXPECT_EQ(back.z, p.z);
    EXPECT_EQ(parse_up_axis(up_axis_name(up)), up);
    // The up axis itself comes out as the world's +y.
    const Model_Point axis = from_upright({0, 1, 0}, up);
    const Model_Point world = upright(axis, up);
    EXPECT_EQ(world.y, 1.0);
    EXPECT_DOUBLE_EQ(std::abs(axis.x) + std::abs(axis.y) + std::abs(axis.z), 1.0);
  }
  EXPECT_EQ(from_upright({0, 1, 0}, Up_Axis::z).z, 1.0);
  EXPECT_EQ(from_upright({0, 1, 0}, Up_Axis::minus_x).x, -1.0);
  EXPECT_FALSE(parse_up_axis("Z"));
  EXPECT_FALSE(parse_up_axis("+z"));
  // Each format's convention, by the file name's extension in any case.
  const std::pair<const char*, Up_Axis> files[] = {
      {"part.step", Up_Axis::z}, {"part.STP", Up_Axis::z},  {"part.iges", Up_Axis::z},
      {"part.igs", Up_Axis::z},  {"part.brep", Up_Axis::z}, {"print.stl", Up_Axis::z},
      {"print.3mf", Up_Axis::z}, {"mesh.obj", Up_Axis::y},  {"scene.gltf", Up_Axis::y},
      {"scene.glb", Up_Axis::y}, {"scan.ply", Up_Axis::y},  {"mesh.off", Up_Axis::y},
      {"stl/none", Up_Axis::y},
  };
  for (const auto& [file, up] : files) EXPECT_EQ(conventional_up_axis(file), up) << file;
}

}  // namespace
}  // namespace hlr_tool
