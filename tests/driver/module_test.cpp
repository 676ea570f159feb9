// The module as the host sees it: a library loaded by name whose entry
// point, KD_Renderer, makes a renderer. That KD_Renderer is its only export
// is checked on the built file (Module.ExportsOnlyItsEntryPoint in
// CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
