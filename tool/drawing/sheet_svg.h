// The SVG of a sheet: a page in millimetres (width="210mm", viewBox in mm)
// or, without a page, in device units. A drawing sheet's frame comes
// first, in a layer "frame" (border and title block lines, the projection
// symbol's circles, the texts in ISO 3098 lettering). Each view's lines are
// written in sheet coordinates, in the layers and order of its Drawing
// (centre-lines, hidden, visible, intersections, markers; styles and
// polylines in their order), every layer with its own line weight; dashes
// (ISO 128's on a page) and marker dots are sized by that weight as in
// every other format. The centre-lines layer is written on a page, or
// where it holds lines. A sheet of several views holds one layer group
// per view (id "view-N-NAME"), each holding the layers; a sheet of one
// view has the layers at the top, with the ids "centre-lines", "hidden",
// "visible", "intersections" and "markers".
#pragma once

#include <string>

#include "tool/drawing/page.h"

namespace hlr_tool {

std::string write_sheet_svg(const Sheet& sheet);

}  // namespace hlr_tool
