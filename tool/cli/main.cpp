// hlr-render: drives the hidden-line renderer from the command line.
// Every failure ends as one message on standard error and the exit status:
// 2 for a fault in the command line or the user's input, 1 for anything
// else, 0 on success.
#include <exception>
#include <iostream>
#include <new>

#include "tool/cli/commands.h"
#include "tool/cli/draw_command.h"
#include "tool/common/errors.h"
#include "tool/common/process_heap.h"

#ifndef HLR_VERSION
#define HLR_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  hlr_tool::prepare_process_heap();
  CLI::App app(
      "Drives the hidden-line renderer: draws models as hidden-line drawings (SVG), "
      "runs picture scripts and writes what the renderer passed on.",
      "hlr-render");
  app.set_version_flag("--version", std::string("hlr-render ") + HLR_VERSION);
  app.require_subcommand(1);
  try {
    hlr_tool::add_draw_command(app, argc > 0 ? argv[0] : nullptr);
    hlr_tool::add_run_command(app, argc > 0 ? argv[0] : nullptr);
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    // --help and --version.
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    std::cerr << "hlr-render: " << error.what() << " (see hlr-render --help)\n";
    return hlr_tool::exit_input_error;
  } catch (const hlr_tool::Tool_Error& error) {
    std::cerr << error.what() << '\n';
    return error.exit_status();
  } catch (const std::bad_alloc&) {
    std::cerr << "hlr-render: out of memory\n";
    return hlr_tool::exit_failure;
  } catch (const std::exception& error) {
    std::cerr << "hlr-render: " << error.what() << '\n';
    return hlr_tool::exit_failure;
  }
  return 0;
}
