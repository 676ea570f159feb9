// hlr-render draw: models in, hidden-line drawing (SVG, PDF, PNG, EPS or
// DXF, by the output's extension) out.
//
// The command plays the host: it loads the renderer module, creates the
// renderer with an Svg_Renderer as its next renderer, sets the renderer's
// options from the command line, and sends each body's triangles as
// triangle strips and its drawn edges as polylines (both in float points
// that may need clipping, with the device rectangle as clip rectangle)
// between begin_picture and update. What reaches the Svg_Renderer is the
// drawing of one view. With --views every view is drawn so, by a renderer
// of its own on a thread of its own, and the views are laid out on one
// sheet (tool/drawing/page.h); one view without a page or scale is written
// as plain SVG exactly as before. The file is written to a temporary file
// beside the output and renamed when complete.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string_view>

namespace hlr_tool {

void add_draw_command(CLI::App& app, const char* argv0);

// A colour given on the command line: AARRGGBB or RRGGBB in hex (an
// optional leading '#'; six digits mean opaque) or one of the names black,
// white, gray (grey), red, green, blue, yellow, cyan, magenta, orange.
// Returns 0xAARRGGBB; throws Tool_Error (exit status 2) naming `option`
// and the text otherwise.
std::uint32_t parse_color(std::string_view text, std::string_view option);

}  // namespace hlr_tool
