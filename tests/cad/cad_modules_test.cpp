// Which of Open CASCADE's libraries a run links: the XDE readers (and the
// visualisation libraries they need) are most of the dynamic linking, so
// only a run with a STEP or IGES file may load them.
#include <gtest/gtest.h>

#include "parts.h"

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(Cad_Modules, OnlyStepAndIgesPartsLoadTheXdeLibraries) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  const fs::path folder = fs::path(CAD_TEST_OUTPUT) / "modules";
  fs::create_directories(folder);
  struct Row {
    std::vector<std::string> parts;
    bool xde;
  };
  const std::vector<Row> rows = {
      {{*data + "/occ/Ball.brep", *data + "/occ/bottle.brep"}, false},
      {{*data + "/step/screw.step"}, true},
      {{*data + "/occ/Ball.brep", *data + "/iges/bearing.iges"}, true},
  };
  // The dynamic linker names every library it loads on standard error.
  setenv("LD_DEBUG", "files", 1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.parts.back());
    std::vector<std::string> arguments{"draw"};
    arguments.insert(arguments.end(), row.parts.begin(), row.parts.end());
    arguments.insert(arguments.end(), {"-o", (folder / "out.svg").string(), "--quiet"});
    const hlr_cad_test::Run_Result run = hlr_cad_test::run_tool(arguments, folder.string());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("file=libTKMesh.so"), std::string::npos);
    EXPECT_EQ(run.err.find("file=libTKXCAF.so") != std::string::npos, row.xde);
    EXPECT_EQ(run.err.find("file=libTKV3d.so") != std::string::npos, row.xde);
  }
  unsetenv("LD_DEBUG");
}

}  // namespace
