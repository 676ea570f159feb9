// A finished line drawing of one view, as every output format writes it:
// the pieces the hidden-line renderer sent downstream, clipped to the
// drawing area, joined into polylines and sorted into layers and styles.
//
// Coordinates are the drawing's own, in device units: x to the right and y
// downwards from the top-left corner of the drawing area (device y grows
// upwards, so y here is y_max - device y). One device unit is one SVG user
// unit; a page layout scales the whole drawing.
//
// What a writer may rely on:
// - layers[l] holds the styles of layer l in the order they first arrived,
//   each style's polylines in the order they were started;
// - every polyline has at least two points, and no two consecutive points
//   are equal; a polyline has no direction (the renderer's pieces may run
//   either way);
// - the markers layer holds dots only, every other layer polylines only.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "tool/drawing/drawing_arc.h"

namespace hlr_tool {

// The layers, in the order they are written (later ones on top). The
// renderer's pieces land in hidden, visible and intersections, its markers
// in markers; centre lines (the axes of holes and shafts, drawn long dash
// dot, under the hidden lines as ISO 128 ranks them) come from the tool
// itself, never from the renderer.
enum class Layer { centre_lines, hidden, visible, intersections, markers };
inline constexpr std::size_t layer_count = 5;

// "centre-lines", "hidden", "visible", "intersections", "markers".
const char* layer_name(Layer layer);

// chain: ISO 128's long dash dot, the line of centre lines and axes.
enum class Dash { solid, dashed, dotted, dash_dot, chain };

// A dash pattern as dash and gap lengths in line widths, dash first; empty
// for solid. Round caps stretch every dash by one line width, which the
// gaps allow for. Every format draws dashes by this one table, a drawing
// at its own size in device units by the screen's table, a sheet on a
// page by ISO 128's (`iso_128`).
std::span<const double> dash_lengths(Dash dash, bool iso_128 = false);

// ISO 128-20's lengths, in line widths d, as drawn (caps included): dashed
// line (02) dashes of 12 d and gaps of 3 d; long dash dot (04) dashes of
// 24 d, gaps of 3 d and dots of at most 0.5 d; dotted (07) dots of 0.5 d and
// gaps of 3 d. A writer that draws flat ends (DXF) uses these.
struct Iso_Dash_Pattern {
  double dash, gap, dot;
};
Iso_Dash_Pattern iso_128_pattern(Dash dash);

// Marker dots: radius in line widths of the markers layer.
inline constexpr double marker_radius_widths = 1.5;

using Drawing_Polyline = std::vector<Drawing_Point>;

// The box of the points added; empty (min > max) before any.
struct Bounds {
  double min_x = std::numeric_limits<double>::infinity(), max_x = -min_x;
  double min_y = min_x, max_y = -min_x;
  void add(const Drawing_Point& p) {
    min_x = std::min(min_x, p.x), max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y), max_y = std::max(max_y, p.y);
  }
  bool empty() const { return !(min_x <= max_x); }
};

// Everything of one layer drawn in one colour and dash pattern.
struct Style_Group {
  std::uint32_t color_argb = 0xFF000000u;  // 0xAARRGGBB
  Dash dash = Dash::solid;
  std::vector<Drawing_Polyline> polylines;  // line layers
  std::vector<Drawing_Point> dots;          // the markers layer: dot centres
  // Beside `polylines` when a caller asked (tool/render/polyline_models.h):
  // the index of the model each was drawn from, -1 for none. Empty
  // otherwise; no writer reads it.
  std::vector<std::int32_t> models;
  // Beside `polylines` when some are pieces of a circle or ellipse of the
  // models (tool/render/true_curves.h), empty otherwise: the arc a
  // polyline is drawn as, which its points follow within the
  // tessellation's deflection and whose ends are the polyline's ends (as
  // near as the curve comes to them). The other polylines stay polylines.
  std::vector<std::optional<Drawing_Arc>> arcs;
};

struct Drawing {
  double width = 0.0;  // the drawing area's size, device units
  double height = 0.0;
  std::array<std::vector<Style_Group>, layer_count> layers;

  const std::vector<Style_Group>& layer(Layer l) const {
    return layers[static_cast<std::size_t>(l)];
  }
  std::vector<Style_Group>& layer(Layer l) { return layers[static_cast<std::size_t>(l)]; }
};

// Adds a centre line (an axis, or an arm of a centre mark) of at least two
// points, in drawing coordinates, to the centre-lines layer in the chain
// pattern: every writer draws it under the hidden lines (SVG group
// "centre-lines", DXF layer CENTER), and line precedence gives it way to
// visible and hidden lines.
void add_centre_line(Drawing& drawing, Drawing_Polyline line,
                     std::uint32_t color_argb = 0xFF000000u);

}  // namespace hlr_tool
