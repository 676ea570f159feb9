// A Drawing as one SVG 1.1 document.
//
// The SVG's user space is the drawing's own (one device unit, one user
// unit); width, height and viewBox are the drawing's size. Four layers
// (<g id="..."> with Inkscape's layer attributes), always present and in
// the drawing's layer order, so that later ones are drawn on top: hidden,
// visible, intersections, markers; before them "centre-lines" when the
// drawing holds centre lines. Each style group is one <g> with its
// stroke (fill for dots) and stroke-opacity when alpha is not FF; dash
// lengths are multiples of the stroke width; markers are dots of 1.5
// stroke widths radius. A polyline of more than 2000 points is cut into
// several <polyline> elements that share their joints, so that no
// attribute grows beyond what XML readers accept by default (libxml2 stops
// at 10 MB). Coordinates are written with three decimals, trailing zeros
// cut. The same drawing gives the same bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "tool/drawing/drawing.h"

namespace hlr_tool {

struct Svg_Options {
  // In device units, > 0 and finite. Dash lengths and dots grow with it.
  double stroke_width = 1.0;
  // At most that many threads format the lines; the bytes are the same
  // for any number.
  std::size_t threads = 1;
};

// Throws std::invalid_argument for a stroke width out of range.
std::string write_svg(const Drawing& drawing, const Svg_Options& options = {});
// The same bytes handed to `write` piece by piece, in order, as they are
// formatted.
void write_svg(const Drawing& drawing, const Svg_Options& options,
               const std::function<void(std::string_view)>& write);

// The <polyline> elements write_svg writes for `drawing`.
std::size_t svg_polyline_elements(const Drawing& drawing);

}  // namespace hlr_tool
