// The SVG of a sheet: a page in millimetres (width="210mm", viewBox in mm)
// or, without a page, in device units. Each view's lines are written in
// sheet coordinates, in the layers and order of its Drawing (hidden,
// visible, intersections, markers; styles and polylines in their order),
// every layer with its own line weight; dashes and marker dots are sized
// by that weight as in every other format. A sheet of several views holds
// one layer group per view (id "view-N-NAME"), each holding the four
// layers; a sheet of one view has the four layers at the top, with the
// ids "hidden", "visible", "intersections" and "markers".
#pragma once

#include <string>

#include "tool/drawing/page.h"

namespace hlr_tool {

std::string write_sheet_svg(const Sheet& sheet);

}  // namespace hlr_tool
