// hlr-render draw: models in, hidden-line drawing out, in the format the
// output's extension names (SVG, PDF, PNG, EPS or DXF).
//
// The command reads its command line into Draw_Settings (the pipeline's)
// and Sheet_Settings (the page, scale and line weights), imports the
// models, runs the drawing pipeline (tool/render/) once per view (several
// views on threads, tool/render/draw_views.h) and writes the Drawing: one
// view without a page or scale as SVG by write_svg exactly as before,
// anything else as a sheet (tool/drawing/page.h) by the writer of its
// format. The file is written to a temporary file beside the output and
// renamed when complete. With --record it also writes the picture script
// of every call the pipeline made on the renderer.
#pragma once

#include <CLI/CLI.hpp>

namespace hlr_tool {

void add_draw_command(CLI::App& app, const char* argv0);

}  // namespace hlr_tool
