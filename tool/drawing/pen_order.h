// Pen plotters: the order in which a drawing's polylines are drawn, and
// how far the pen travels lifted between them.
//
// The pen starts at the drawing's origin (0, 0) and draws the layers, their
// styles and their polylines in the order a writer writes them; each
// polyline runs from its first point to its last. Pen-up travel is the sum
// of the straight moves from where the pen is to the start of the next
// polyline (marker dots are not counted: they are not lines).
#pragma once

#include "tool/drawing/drawing.h"

namespace hlr_tool {

// Drawing units.
double pen_up_travel(const Drawing& drawing);

// Reorders and reverses the polylines of each style group (greedy nearest
// neighbour: from where the pen is, the polyline with the nearest end
// next, drawn from that end; ties go to the earlier polyline and its first
// point). Layers, styles and the set of lines drawn do not change, and a
// drawing already in greedy order stays as it is. Each polyline's model
// (Style_Group::models) and arc (Style_Group::arcs) move with it.
void order_for_plotter(Drawing& drawing);

}  // namespace hlr_tool
