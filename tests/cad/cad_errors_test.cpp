// hlr-render draw on faulty CAD input: each ends with exit status 2, one
// message naming the file and what was wrong, and no output file. And a
// part and a mesh drawn together in one drawing.
#include <gtest/gtest.h>

#include "parts.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class Cad_Input : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::path(CAD_TEST_OUTPUT) /
        ("input_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  std::string file(const std::string& name, const std::string& text) const {
    std::ofstream(folder_ / name, std::ios::binary) << text;
    return (folder_ / name).string();
  }
  fs::path folder_;
};

TEST_F(Cad_Input, FaultyPartsFailWithTheirMessageAndNoOutput) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  struct Row {
    std::string model;
    std::string message;  // a part of the one line on standard error
  };
  std::vector<Row> rows = {
      {(folder_ / "missing.step").string(), "missing.step: no such file"},
      {file("words.step", "not a step file\n"), "words.step: cannot read the file as STEP"},
      {file("words.brep", "not a brep file\n"), "words.brep: cannot read the file as BREP"},
      {file("empty.igs", ""), "empty.igs: the IGES file holds no shape"},
  };
  if (data) rows.push_back({*data + "/occ/edge.brep", "edge.brep: holds no faces"});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.model);
    const std::string output = (folder_ / "out.svg").string();
    const hlr_cad_test::Run_Result run =
        hlr_cad_test::run_tool({"draw", row.model, "-o", output}, folder_.string());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_FALSE(fs::exists(output));
  }
  if (!data) GTEST_SKIP() << "the rows on real parts did not run: " << why;
}

TEST_F(Cad_Input, APartAndAMeshDrawTogether) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  const std::string output = (folder_ / "both.svg").string();
  const hlr_cad_test::Run_Result run =
      hlr_cad_test::run_tool({"draw", std::string(EXAMPLES_DIR) + "/bracket.obj",
                              *data + "/step/screw.step", "-o", output, "--stats"},
                             folder_.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("models:          2"), std::string::npos) << run.out;
  EXPECT_FALSE(hlr_cad_test::svg_layer(output, "visible", 1000).empty());
}

}  // namespace
