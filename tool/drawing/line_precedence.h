// Drafting's precedence of coinciding lines, applied to a finished Drawing:
// where a hidden line lies on a visible one (ISO 128-20's order: visible
// outlines, then hidden lines, then centre lines), only the line of higher
// precedence is drawn, and where lines of one kind lie on one another, they
// are drawn once. A plotter then draws each line once, a DXF holds no
// duplicates, and the gaps of a hidden line's dashes are not filled by a
// second hidden line under it.
//
// The renderer's output is left alone: this runs on the Drawing the
// Drawing_Renderer collected, after the renderer has handed everything on
// (so --trace and --record still show every call).
//
// "Lies on" means, in the drawing's device units: every point of the piece
// lies within `coincidence_tolerance` of one segment of the other line, and
// that segment runs parallel to the piece's segment within
// `parallel_degrees`. The removal works segment by segment against a
// uniform grid of the segments kept so far, so its time grows with the
// number of segments and their length, not with their square.
//
// Precedence, from highest:
// 1. the visible and intersections layers: kept whole, and they cover what
//    follows;
// 2. the hidden layer: each piece left out where it lies on a line of (1)
//    or on a hidden piece kept before it (styles, polylines and segments in
//    the Drawing's order);
// 3. the centre-lines layer: likewise against (1), (2) and the centre lines
//    kept before it.
// Markers are never touched. What is kept keeps its layer, style, order and
// direction; a polyline is split where a piece of it was left out, and the
// model index beside it (Style_Group::models), when there is one, goes to
// every part. Pieces left shorter than the tolerance are left out too.
#pragma once

#include <cstddef>

#include "tool/drawing/drawing.h"

namespace hlr_tool {

// One device unit: a CAD part's curves are tessellated within half a unit
// of the true curve (Cad_Tessellation), so the edges of two faces that
// meet the same curve (the front and back rim of a bore seen along it)
// lie within a unit of each other; and lines a unit apart are one line at
// the default stroke of one unit, and a tenth of a millimetre or less
// apart on a sheet. Parallel within ten degrees: the chords of two
// tessellations of one arc turn against each other by less.
inline constexpr double coincidence_tolerance = 1.0;
inline constexpr double parallel_degrees = 10.0;

// The lengths, in device units, that precedence left out of each layer it
// thins, and what was there before.
struct Precedence_Counts {
  double hidden_length = 0.0;  // before
  double hidden_under_visible = 0.0;
  double hidden_under_hidden = 0.0;
  double centre_length = 0.0;  // before
  double centre_left_out = 0.0;
};

Precedence_Counts apply_line_precedence(Drawing& drawing);

}  // namespace hlr_tool
