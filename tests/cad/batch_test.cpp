// hlr-render batch over real parts (a few of occt-misc's STEP, IGES and
// BREP files; bench/batch.sh runs all of them and the mesh data set), the
// bundled mesh and inputs that fail in every way: a file of words, a
// missing file, a part with no faces and a FIFO that blocks its reader for
// good. Every good input is drawn byte for byte as hlr-render draw draws
// it, the bad ones are reported and the rest go on, and a second run draws
// nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "parts.h"

namespace {

namespace fs = std::filesystem;

std::string bytes_of(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST(Batch, DrawsEachInputAsDrawDoesReportsTheBadOnesAndSkipsWhatIsUpToDate) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  const fs::path folder = fs::path(CAD_TEST_OUTPUT) / "batch";
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "words.step") << "not a step file\n";
  std::ofstream(folder / "list.txt") << "# the STEP and IGES parts\n"
                                     << *data << "/step/screw.step\n\n"
                                     << *data << "/iges/hammer.iges\n";
  ASSERT_EQ(mkfifo((folder / "blocks.obj").c_str(), 0600), 0);
  const std::vector<std::string> arguments = {"batch",
                                              "@" + (folder / "list.txt").string(),
                                              *data + "/occ/B*.brep",  // Ball and Bottom
                                              *data + "/occ/edge.brep",
                                              std::string(EXAMPLES_DIR) + "/bracket.obj",
                                              (folder / "words.step").string(),
                                              (folder / "missing.obj").string(),
                                              (folder / "blocks.obj").string(),
                                              "-o",
                                              (folder / "out/{stem}.svg").string(),
                                              "--view",
                                              "iso",
                                              "--time-limit",
                                              "5",
                                              "--report",
                                              (folder / "report.json").string()};

  const hlr_cad_test::Run_Result first = hlr_cad_test::run_tool(arguments, folder.string());
  EXPECT_EQ(first.status, 3) << first.err;
  const nlohmann::json report = nlohmann::json::parse(bytes_of(folder / "report.json"));
  EXPECT_EQ(report["inputs"], 9);
  std::map<std::string, std::string> messages;  // of the failed inputs, by file name
  for (const nlohmann::json& entry : report["entries"]) {
    const fs::path input = entry["input"].get<std::string>();
    if (entry["status"] != "drawn") {
      messages[input.filename()] = entry["message"];
      continue;
    }
    EXPECT_GT(entry["counts"]["visible"], 0) << input;
    const hlr_cad_test::Run_Result draw = hlr_cad_test::run_tool(
        {"draw", input, "-o", (folder / "draw.svg").string(), "--view", "iso"}, folder.string());
    EXPECT_EQ(bytes_of(folder / "draw.svg"), bytes_of(entry["output"].get<std::string>())) << input;
  }
  EXPECT_EQ(report["drawn"], 5);
  EXPECT_NE(messages["words.step"].find("cannot read the file as STEP"), std::string::npos);
  EXPECT_NE(messages["missing.obj"].find("no such file"), std::string::npos);
  EXPECT_NE(messages["edge.brep"].find("holds no faces"), std::string::npos);
  EXPECT_NE(messages["blocks.obj"].find("time limit of 5 s"), std::string::npos);
  EXPECT_NE(first.err.find("9 inputs: 5 drawn, 0 up to date, 4 failed"), std::string::npos);

  const auto written = fs::last_write_time(folder / "out/screw.svg");
  const hlr_cad_test::Run_Result second = hlr_cad_test::run_tool(arguments, folder.string());
  EXPECT_EQ(second.status, 3);
  EXPECT_NE(second.err.find("9 inputs: 0 drawn, 5 up to date, 4 failed"), std::string::npos)
      << second.err;
  EXPECT_EQ(fs::last_write_time(folder / "out/screw.svg"), written);
}

}  // namespace
