// hlr-render run: a picture script against the renderer module, the call
// trace of what reached the next renderer to standard output or a file.
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "module_loader.h"
#include "recording_renderer.h"
#include "tool/cli/commands.h"
#include "tool/common/errors.h"
#include "tool/common/output_file.h"
#include "tool/drawing/svg_replay.h"
#include "tool/script/picture_script.h"
#include "tool/script/script_runner.h"
#include "tool/session/module_path.h"

namespace hlr_tool {

namespace {

struct Run_Options {
  std::string script;
  std::string trace;   // empty: standard output
  std::string svg;     // empty: no drawing
  std::string module;  // empty: beside the executable
  std::string default_module;
  bool keep_coincident = false;
};

void run(const Run_Options& options) {
  // The script is checked completely before the module is even loaded.
  const Picture_Script script = read_picture_script(options.script);
  const std::string module_path = renderer_module_path(options.module, options.default_module);
  std::unique_ptr<KT_Renderer_Module> module;
  try {
    module = std::make_unique<KT_Renderer_Module>(module_path);
  } catch (const std::runtime_error& error) {
    throw Tool_Error(error.what());
  }
  // The module stays loaded until every renderer it made is gone, which
  // run_picture_script guarantees before it returns.
  const std::vector<KT_Recorded_Call> calls = run_picture_script(script, module->entry());
  std::ostringstream trace;
  write_trace(trace, calls);
  if (!options.svg.empty())
    write_output_file(options.svg, svg_of_calls(calls, 1.0, options.keep_coincident));
  if (options.trace.empty()) {
    std::cout << trace.str() << std::flush;
    if (!std::cout) throw Tool_Error("cannot write the trace to standard output");
  } else {
    write_output_file(options.trace, trace.str());
  }
}

}  // namespace

void add_run_command(CLI::App& app, const char* argv0) {
  auto options = std::make_shared<Run_Options>();
  options->default_module = default_module_path(argv0);
  CLI::App* command = app.add_subcommand(
      "run",
      "Run a picture script against the renderer and write the call trace of what "
      "reached the next renderer.");
  command->add_option("SCRIPT", options->script, "The picture script")->required();
  command
      ->add_option("--trace", options->trace,
                   "Write the call trace to FILE instead of standard output")
      ->option_text("FILE");
  command
      ->add_option("--svg", options->svg,
                   "Also draw what reached the next renderer as an SVG in FILE (pattern 0 "
                   "visible, 1 to 3 and 7 hidden, 4 to 6 intersections)")
      ->option_text("FILE");
  command->add_flag("--keep-coincident", options->keep_coincident,
                    "In the SVG, keep hidden lines that lie on visible lines or on one another "
                    "(by default drawn once, as hlr-render draw does)");
  command
      ->add_option("--module", options->module,
                   "The renderer module to load (default: $HLR_RENDERER_MODULE, else " +
                       options->default_module + ")")
      ->option_text("PATH");
  command->callback([options] { run(*options); });
}

}  // namespace hlr_tool
