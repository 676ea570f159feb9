// IGES files arrive as loose trimmed surfaces, each with its own copy of
// every edge: sewn, the part's drawn edges are its real ones, as from a
// BREP file of the same part.
#include <gtest/gtest.h>

#include "parts.h"

#include <array>
#include <cmath>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

double length_of(const std::vector<hlr_cad_test::Device_Segment>& segments) {
  double length = 0.0;
  for (const auto& s : segments) length += std::hypot(s[2] - s[0], s[3] - s[1]);
  return length;
}

TEST(Cad_Sewing, IgesAndBrepFilesOfOnePartDrawAlike) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  const fs::path folder = fs::path(CAD_TEST_OUTPUT) / "sewing";
  fs::create_directories(folder);
  // Visible and hidden lengths of the hammer, in device units.
  std::array<double, 2> lengths[2];
  const char* files[2] = {"iges/hammer.iges", "occ/hammer.brep"};
  for (int k = 0; k < 2; ++k) {
    const std::string svg = (folder / (std::to_string(k) + ".svg")).string();
    const hlr_cad_test::Run_Result run = hlr_cad_test::run_tool(
        {"draw", *data + "/" + files[k], "-o", svg, "-q", "--view", "iso"}, folder.string());
    ASSERT_EQ(run.status, 0) << run.err;
    lengths[k] = {length_of(hlr_cad_test::svg_layer(svg, "visible", 1000)),
                  length_of(hlr_cad_test::svg_layer(svg, "hidden", 1000))};
  }
  // Unsewn, every patch boundary of the IGES file was drawn: 6263 and
  // 5719 units against the BREP file's 5432 and 3610.
  for (int layer = 0; layer < 2; ++layer) {
    SCOPED_TRACE(layer == 0 ? "visible" : "hidden");
    EXPECT_NEAR(lengths[0][layer] / lengths[1][layer], 1.0, 0.03);
  }
}

}  // namespace
