// hlr-render draw: models in, hidden-line drawing out, in the format the
// output's extension names (SVG, PDF, PNG, EPS or DXF).
//
// The command is a front end of tool/render/draw_request.h and nothing
// more: its options are registered from the option table (draw_options.h),
// their texts fill a Draw_Request, and draw_request, write_drawing_files
// and draw_stats_text do the rest. What it adds is the terminal's: the
// progress line, warnings on standard error, --stats on standard output.
#pragma once

#include <CLI/CLI.hpp>

namespace hlr_tool {

void add_draw_command(CLI::App& app, const char* argv0);

}  // namespace hlr_tool
