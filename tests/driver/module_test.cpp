// The module as the host sees it: a library loaded by name that exports
// exactly one symbol, KD_Renderer.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "module_loader.h"
#include "recording_renderer.h"

namespace {

TEST(Module, LoadsByPathAndCreatesARenderer) {
  const std::int64_t live_before = KT_Counted::live_objects();
  {
    KT_Renderer_Module module(HLR_MODULE_PATH);
    auto* recorder = new KT_Recording_Renderer;
    recorder->add_reference();
    KT_Renderer_Data* renderer = module.create(recorder);
    renderer->add_reference();
    EXPECT_EQ(renderer->next, recorder);
    EXPECT_EQ(renderer->establish(), 0);
    EXPECT_NE(renderer->option_table.find(L"Halo Gap"), nullptr);
    renderer->drop_reference();
    recorder->drop_reference();
  }
  EXPECT_EQ(KT_Counted::live_objects(), live_before);
}

TEST(Module, LoadingSomethingElseFailsWithTheReason) {
  try {
    KT_Renderer_Module module("/nonexistent/libnothing.so");
    FAIL() << "loaded a missing file";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("/nonexistent/libnothing.so"), std::string::npos);
  }
}

// The dynamic symbol table, as binutils' nm reads it: the defined symbols.
std::vector<std::string> exported_symbols(const std::string& path) {
  std::vector<std::string> symbols;
  const std::string command = "nm -D --defined-only --format=posix '" + path + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return symbols;
  std::array<char, 512> line{};
  while (fgets(line.data(), line.size(), pipe.get())) {
    std::string text(line.data());
    symbols.push_back(text.substr(0, text.find(' ')));
  }
  return symbols;
}

TEST(Module, ExportsOnlyItsEntryPoint) {
  const std::vector<std::string> symbols = exported_symbols(HLR_MODULE_PATH);
  if (symbols.empty()) GTEST_SKIP() << "nm is not available to read the symbol table";
  EXPECT_EQ(symbols, std::vector<std::string>{"KD_Renderer"});
}

}  // namespace
