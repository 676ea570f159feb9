// The subcommands of hlr-render. Each one adds itself to the command line
// with its own options and runs from its CLI11 callback; a failure leaves
// the callback as a Tool_Error, which main turns into one message and the
// exit status.
#pragma once

#include <CLI/CLI.hpp>

namespace hlr_tool {

// `run SCRIPT [--trace FILE] [--svg FILE] [--module PATH]`: runs a picture script and
// writes the call trace (run_command.cpp).
void add_run_command(CLI::App& app, const char* argv0);

// `view MODEL... [draw options] [--port N] [--no-browser]`: serves a page
// that turns the models and shows their drawing (view_command.cpp).
void add_view_command(CLI::App& app, const char* argv0);

// `batch INPUT... -o PATTERN [draw options] [--force] [--report FILE]`:
// one drawing per input, each in a process of its own (batch_command.cpp).
void add_batch_command(CLI::App& app, const char* argv0);

}  // namespace hlr_tool
