// PDF, EPS and PNG of a sheet, drawn with cairo: the same layers in the
// same order as the SVG (hidden, visible, intersections, markers), each
// style's colour (with its alpha) and dash pattern, each layer's line
// weight, round caps and joins, marker dots.
//
// Sizes: the sheet's millimetres (or its device units at 96 per inch)
// become PDF/EPS points (72 per inch) and PNG pixels at `dpi`; the PNG
// carries its resolution in a pHYs chunk. Each function returns the whole
// file's bytes, so that a caller writes the file only when it is complete.
#pragma once

#include <string>

#include "tool/drawing/page.h"

namespace hlr_tool {

struct Cairo_Options {
  double dpi = 96.0;         // PNG only; 1 to 10000 (Draw_Request::validate)
  bool transparent = false;  // no white page behind the lines
};

// Each throws Tool_Error (exit status 2) for a PNG beyond cairo's 32767
// pixels a side, Tool_Error (status 1) when cairo fails.
std::string write_pdf(const Sheet& sheet, const Cairo_Options& options);
std::string write_eps(const Sheet& sheet, const Cairo_Options& options);
std::string write_png(const Sheet& sheet, const Cairo_Options& options);

}  // namespace hlr_tool
