// The outputs a batch writes its inputs to: the fields of -o PATTERN, the
// patterns refused before any work, and two inputs that would write one
// file.
#include <gtest/gtest.h>

#include "tool/batch/batch_inputs.h"
#include "tool/common/errors.h"

namespace hlr_tool {
namespace {

TEST(Batch_Outputs, PatternFieldsComeFromTheInputsPath) {
  const struct {
    const char* pattern;
    const char* input;
    const char* output;
  } rows[] = {
      {"drawings/{stem}.pdf", "parts/v2/axle.step", "drawings/axle.pdf"},
      {"{dir}/{name}.svg", "parts/v2/axle.step", "parts/v2/axle.step.svg"},
      {"{dir}/{stem}.svg", "axle.tar.step", "./axle.tar.svg"},
      {"{{{stem}}}-}}.svg", "/abs/axle.step", "{axle}-}.svg"},
  };
  for (const auto& row : rows) {
    check_output_pattern(row.pattern);
    EXPECT_EQ(output_for(row.pattern, row.input), row.output) << row.pattern;
  }
}

TEST(Batch_Outputs, FaultyPatternsAndSharedOutputsAreRefused) {
  for (const char* pattern : {"{bogus}.svg", "{stem.svg", "out}.svg", "drawings/out.svg"}) {
    EXPECT_THROW(check_output_pattern(pattern), Tool_Error) << pattern;
  }
  const std::vector<std::string> inputs = {"a/axle.step", "b/axle.step"};
  try {
    batch_items(inputs, "{stem}.svg");
    ADD_FAILURE() << "two inputs drawn into axle.svg";
  } catch (const Tool_Error& error) {
    EXPECT_EQ(error.exit_status(), 2);
    EXPECT_NE(std::string(error.what()).find("a/axle.step and b/axle.step"), std::string::npos);
  }
  EXPECT_EQ(batch_items(inputs, "{dir}/{stem}.svg").size(), 2u);
}

}  // namespace
}  // namespace hlr_tool
