// Intersection lines where faces of two bodies coincide (a shaft in its
// bore, a part resting on another): the two tessellations of one surface
// cross each other all over it, and the renderer, which sees only
// triangles, draws every crossing as an intersection line. Such faces
// touch, they do not cut: this pass leaves those pieces out of a finished
// Drawing, after the renderer (whose output, and --trace, keep them).
//
// A piece is an intersection piece when it lies in the intersections layer
// (the visible ones), or in the hidden layer on no edge of the scene (the
// hidden ones, which the renderer draws in the hidden lines' pattern). It
// lies on coincident faces when, at its middle, two triangles of two
// different bodies cover it in the drawing, meet in depth within
// `coincidence_tolerance`, and each has its corners within
// `coincident_faces_tolerance` of the other's plane: within the
// tessellation's error of one surface. Device units throughout; a uniform
// grid of the triangles (segment_grid.h) keeps the time linear in the
// pieces and triangles.
#pragma once

#include <cstddef>

#include "tool/drawing/drawing.h"
#include "tool/models/scene.h"

namespace hlr_tool {

// Each tessellation lies within half a unit of its surface at the default
// deflection, and a corner of one triangle may lie a chord's step past the
// other's end, where the chord's plane leaves the surface by about as much
// again.
inline constexpr double coincident_faces_tolerance = 2.0;

struct Coincident_Counts {
  double intersection_length = 0.0;  // device units, before
  double left_out = 0.0;             // of that, on coincident faces
};

// `scene` is the one drawn into `drawing` (its device rectangle the drawing
// area, as draw_models makes it). Polylines are split where a piece goes;
// the rest keeps its layer, style, order and model index.
Coincident_Counts leave_out_coincident_intersections(Drawing& drawing, const Scene& scene);

}  // namespace hlr_tool
