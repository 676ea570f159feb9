// The drawing a page of hlr-render view asks for, as the query of its
// address: each parameter is a drawing option of the option table
// (tool/render/draw_options.h) by its long name, its value the option's
// text ("view=30,20&edges=all&intersections=true"). So a drawing takes
// every option `hlr-render draw` takes per drawing, with the same checks
// and messages, and draws what
//   hlr-render draw MODEL... RUN_OPTIONS... --NAME VALUE...
// draws, where RUN_OPTIONS are the options the viewer was started with
// that hold for a whole run (Draw_Option::once_per_run: the CAD parts'
// tessellation, --jobs, --module). Those a drawing may not give.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tool/drawing/sheet_formats.h"
#include "tool/render/draw_options.h"
#include "tool/render/draw_request.h"

namespace hlr_tool {

using Query_Parameter = std::pair<std::string, std::string>;

// A start option as the command line gave it: flags as "true".
struct Start_Option {
  const Draw_Option* option = nullptr;
  std::string text;
};

// The request of one drawing: `models`, the once-per-run options of
// `start`, then every parameter as its option. Throws Tool_Error (exit
// status 2) with the option table's message for a value it refuses, and
// for a parameter that names no option (with the nearest name), names a
// once-per-run option, or comes twice. The request is not yet validated
// (draw_prepared does).
Draw_Request drawing_request(const std::vector<Model_Input>& models,
                             std::span<const Start_Option> start,
                             std::span<const Query_Parameter> parameters);

// The largest PNG a viewer draws, in pixels: an A3 page at 400 dpi. cairo
// would draw up to 32767 pixels a side, four gigabytes, and a drawing's
// request must not hold the viewer for that long.
inline constexpr double max_viewer_png_pixels = 40e6;

// Throws Tool_Error (exit status 2) when `drawing` in `format` is larger
// than a viewer writes (max_viewer_png_pixels).
void check_viewer_size(const Finished_Drawing& drawing, Output_Format format,
                       const Cairo_Options& options);

}  // namespace hlr_tool
