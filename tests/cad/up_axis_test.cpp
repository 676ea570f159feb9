// CAD parts stand on their z axis: STEP, IGES and BREP files are read z-up,
// so that their named views are those a CAD program shows (front along
// +y, top down -z, right along -x), and --up turns them as asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>

#include "parts.h"
#include "tool/cad/cad_model.h"

namespace {

namespace fs = std::filesystem;
using hlr_cad_test::Device_Segment;

struct Extent {
  double min_x = std::numeric_limits<double>::infinity(), max_x = -min_x;
  double min_y = min_x, max_y = -min_x;
  double width() const { return max_x - min_x; }
  double height() const { return max_y - min_y; }
};

Extent extent_of(const std::vector<Device_Segment>& segments) {
  Extent e;
  for (const Device_Segment& s : segments) {
    for (int k : {0, 2}) {
      e.min_x = std::min({e.min_x, s[k]}), e.max_x = std::max({e.max_x, s[k]});
      e.min_y = std::min({e.min_y, s[k + 1]}), e.max_y = std::max({e.max_y, s[k + 1]});
    }
  }
  return e;
}

TEST(Cad_Up_Axis, EveryCadFormatIsReadZUp) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  for (const char* file : {"step/screw.step", "iges/bearing.iges", "occ/bottle.brep"}) {
    EXPECT_EQ(hlr_tool::load_cad_model(*data + "/" + file, {}).up, hlr_tool::Up_Axis::z) << file;
  }
}

// OCCT's bottle is 70 wide (x), 30 thick (y) and 55 tall (z) with its neck
// on top. Standing, its front view is 70 x 55 with the neck at the top, its
// right view 30 x 55 (taller than wide); with --up y (the camera's own
// frame, as before) the front view looks down on it: 70 x 30.
TEST(Cad_Up_Axis, TheBottleStandsInItsViewsAndUpTurnsIt) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  const fs::path folder = fs::path(CAD_TEST_OUTPUT) / "up_axis";
  fs::create_directories(folder);
  const std::string bottle = *data + "/occ/bottle.brep";
  const struct {
    const char* view;
    std::vector<std::string> options;
    double width, height;
    bool neck_on_top;
  } cases[] = {
      {"front", {}, 70.0, 55.0, true},
      {"right", {}, 30.0, 55.0, false},
      {"top", {}, 70.0, 30.0, false},
      {"front", {"--up", "z"}, 70.0, 55.0, true},
      {"front", {"--up", "y"}, 70.0, 30.0, false},
      {"front", {"--up=-x"}, 30.0, 70.0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.view) + (c.options.empty() ? "" : " " + c.options.back()));
    const std::string svg = (folder / "bottle.svg").string();
    std::vector<std::string> arguments{"draw", bottle, "-o", svg, "-q", "--view", c.view};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const hlr_cad_test::Run_Result run = hlr_cad_test::run_tool(arguments, folder.string());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto visible = hlr_cad_test::svg_layer(svg, "visible", 1000.0);
    const Extent e = extent_of(visible);
    EXPECT_NEAR(e.height() / e.width(), c.height / c.width, 0.01 * c.height / c.width);
    if (c.neck_on_top) {
      // Standing: the lines near its top are the neck's, far narrower.
      Extent neck;
      for (const Device_Segment& s : visible) {
        if (std::min(s[1], s[3]) > e.max_y - 0.05 * e.height()) {
          neck.min_x = std::min({neck.min_x, s[0], s[2]});
          neck.max_x = std::max({neck.max_x, s[0], s[2]});
        }
      }
      EXPECT_LT(neck.width(), 0.5 * e.width());
    }
  }
}

}  // namespace
