// hlr-render draw: models in, hidden-line drawing (SVG) out.
//
// The command reads its command line into Draw_Settings, imports the
// models, runs the drawing pipeline (tool/render/draw_pipeline.h) and
// writes the Drawing as SVG to a temporary file beside the output, renamed
// when complete. With --record it also writes the picture script of every
// call the pipeline made on the renderer.
#pragma once

#include <CLI/CLI.hpp>

namespace hlr_tool {

void add_draw_command(CLI::App& app, const char* argv0);

}  // namespace hlr_tool
