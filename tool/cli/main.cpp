// hlr-render: drives the hidden-line renderer from the command line.
// Every failure ends as one message on standard error, starting with
// "hlr-render: " or, within a subcommand, "hlr-render draw: ", and the exit
// status: 2 for a fault in the command line or the user's input, 1 for
// anything else, 0 on success.
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "tool/cli/commands.h"
#include "tool/cli/draw_command.h"
#include "tool/common/closest_name.h"
#include "tool/common/errors.h"
#include "tool/common/process_heap.h"

#ifndef HLR_VERSION
#define HLR_VERSION "unknown"
#endif

namespace {

// A first word that is no option and no subcommand: most likely a
// subcommand mistyped (CLI11 would only say that one is required).
void refuse_unknown_subcommand(const CLI::App& app, int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') return;
  std::vector<std::string> names;
  for (const CLI::App* subcommand : app.get_subcommands({}))
    names.push_back(subcommand->get_name());
  const std::string word = argv[1];
  for (const std::string& name : names) {
    if (name == word) return;
  }
  const std::string closest = hlr_tool::closest_name(word, names);
  std::string known;
  for (const std::string& name : names) known += (known.empty() ? "" : ", ") + name;
  throw hlr_tool::input_error("unknown command '" + word + "'" +
                              (closest.empty() ? "" : "; did you mean " + closest + "?") +
                              " (commands: " + known + ")");
}

// "hlr-render" and the subcommand the failure happened in, if any.
std::string program_of(const CLI::App& app) {
  std::string program = "hlr-render";
  for (const CLI::App* subcommand : app.get_subcommands()) program += " " + subcommand->get_name();
  return program;
}

}  // namespace

int main(int argc, char** argv) {
  // The one place that tunes the process (process_heap.h says why); the
  // libraries change nothing process-wide.
  hlr_tool::prepare_process_heap();
  CLI::App app(
      "Drives the hidden-line renderer: draws models and CAD parts as hidden-line drawings (SVG, "
      "PDF, PNG, EPS or DXF), runs picture scripts and writes what the renderer passed on.",
      "hlr-render");
  app.set_version_flag("--version", std::string("hlr-render ") + HLR_VERSION);
  app.require_subcommand(1);
  try {
    hlr_tool::add_draw_command(app, argc > 0 ? argv[0] : nullptr);
    hlr_tool::add_run_command(app, argc > 0 ? argv[0] : nullptr);
    hlr_tool::add_view_command(app, argc > 0 ? argv[0] : nullptr);
    hlr_tool::add_batch_command(app, argc > 0 ? argv[0] : nullptr);
    refuse_unknown_subcommand(app, argc, argv);
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    // --help and --version.
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    std::cerr << program_of(app) << ": " << error.what() << " (see " << program_of(app)
              << " --help)\n";
    return hlr_tool::exit_input_error;
  } catch (const hlr_tool::Tool_Error& error) {
    std::cerr << program_of(app) << ": " << error.what() << '\n';
    return error.exit_status();
  } catch (const std::bad_alloc&) {
    std::cerr << program_of(app) << ": out of memory\n";
    return hlr_tool::exit_failure;
  } catch (const std::exception& error) {
    std::cerr << program_of(app) << ": " << error.what() << '\n';
    return hlr_tool::exit_failure;
  }
  return 0;
}
