// The outlines of curved faces, drawn from the exact surfaces: on small
// fillets and saddles, where the outline found on the triangles zigzags
// across the true one, the drawn outline never turns back on itself.
#include <gtest/gtest.h>

#include "parts.h"

#include <cmath>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using hlr_cad_test::Device_Segment;

// Points of the drawing's polylines where the line turns back (by more
// than 150 degrees) between two legs both shorter than two device units:
// the teeth of an outline that zigzags. A part's corners turn back over
// longer legs, and a cusp of an outline over at least one long leg.
int turn_backs(const std::vector<Device_Segment>& segments) {
  int found = 0;
  for (std::size_t k = 1; k < segments.size(); ++k) {
    const Device_Segment& a = segments[k - 1];
    const Device_Segment& b = segments[k];
    if (a[2] != b[0] || a[3] != b[1]) continue;  // not in one polyline
    const double ax = a[2] - a[0], ay = a[3] - a[1], bx = b[2] - b[0], by = b[3] - b[1];
    const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    if (la == 0.0 || lb == 0.0 || std::max(la, lb) >= 2.0) continue;
    if ((ax * bx + ay * by) / (la * lb) < std::cos(150.0 * 3.14159265358979 / 180.0)) ++found;
  }
  return found;
}

TEST(Cad_Outlines, FilletAndSaddleOutlinesNeverTurnBack) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  const fs::path folder = fs::path(CAD_TEST_OUTPUT) / "outlines";
  fs::create_directories(folder);
  // The shank of linkrods.step, the torus fillet of Axis_of_bearing.brep,
  // Pump_Nut.brep's fillets: 6, 5 and 7 such points (all hidden) when the
  // outlines were the triangles' own edges.
  for (const char* part : {"step/linkrods.step", "occ/Axis_of_bearing.brep", "occ/Pump_Nut.brep"}) {
    SCOPED_TRACE(part);
    const std::string svg = (folder / (fs::path(part).filename().string() + ".svg")).string();
    const hlr_cad_test::Run_Result run =
        hlr_cad_test::run_tool({"draw", *data + "/" + part, "-o", svg, "-q"}, folder.string());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(turn_backs(hlr_cad_test::svg_layer(svg, "visible", 1000)), 0);
    EXPECT_EQ(turn_backs(hlr_cad_test::svg_layer(svg, "hidden", 1000)), 0);
  }
}

}  // namespace
