// Which of Open CASCADE's libraries a run links: the XDE readers (and the
// visualisation libraries they need) are most of the dynamic linking, so
// only the reader process of a STEP or IGES file may load them, and
// hlr-render itself never does.
#include <gtest/gtest.h>

#include "parts.h"

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(Cad_Modules, OnlyReadersOfStepAndIgesPartsLoadTheXdeLibraries) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  const fs::path folder = fs::path(CAD_TEST_OUTPUT) / "modules";
  fs::create_directories(folder);
  struct Row {
    std::string part;
    const char* format;
    bool xde;
  };
  const std::vector<Row> rows = {
      {*data + "/occ/bottle.brep", "brep", false},
      {*data + "/step/screw.step", "step", true},
      {*data + "/iges/bearing.iges", "iges", true},
  };
  // The dynamic linker names every library it loads on standard error.
  setenv("LD_DEBUG", "files", 1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.part);
    // hlr-render's own standard error: its reader processes write theirs
    // to /dev/null.
    const hlr_cad_test::Run_Result run = hlr_cad_test::run_tool(
        {"draw", row.part, "-o", (folder / "out.svg").string(), "--quiet"}, folder.string());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("file=libTKBRep.so"), std::string::npos);
    EXPECT_EQ(run.err.find("file=libTKXCAF.so"), std::string::npos);
    // The reader alone, its parent the shell, its socket /dev/null: it
    // reads the file, and ends when no tessellation request comes.
    const std::string reader = (fs::path(HLR_RENDER).parent_path() / "hlr-cad-read").string();
    const std::string command = "sh -c '" + reader + " $$ " + row.format + " auto " + row.part +
                                " 3<>/dev/null; true' 2>" + (folder / "reader.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string loaded = hlr_cad_test::file_text((folder / "reader.txt").string());
    EXPECT_NE(loaded.find("file=libTKBRep.so"), std::string::npos);
    EXPECT_EQ(loaded.find("file=libTKXCAF.so") != std::string::npos, row.xde);
    EXPECT_EQ(loaded.find("file=libTKV3d.so") != std::string::npos, row.xde);
  }
  unsetenv("LD_DEBUG");
}

}  // namespace
