// Centre lines of the holes, shafts and bosses of CAD parts: for the axis
// of their cylindrical and conical faces (Body::axial_faces), a view that
// sees along it gets a centre mark (two chain lines crossing at the axis,
// horizontal and vertical), one that sees it from the side the axis as a
// chain line; both reach a given length beyond the largest circle or the
// outline of the faces round the axis. Faces on one axis (a shaft's steps
// and chamfers, a bore split into halves, a screw's domed head) share one
// mark or one line, which spans them all. Views that see an axis at a
// slant, and perspective views, draw none for it: drafting draws centre
// lines where a circle is seen true or edge on.
//
// Faces that go less than half a turn round their axis at one radius (the
// fillets along a part's edges, a blend from a boss into an arm) count
// for none.
//
// The axes are found while the models are at hand (centre_axes) and drawn
// once the sheet's scale is known (add_centre_lines): the length beyond
// is given in millimetres of the page.
#pragma once

#include <span>
#include <vector>

#include "tool/drawing/drawing.h"
#include "tool/drawing/line_precedence.h"
#include "tool/models/camera.h"
#include "tool/models/model.h"

namespace hlr_tool {

// An axis as a view shows it, in drawing coordinates (y down): seen end
// on, `a` is its centre and `radius` that of its largest circle (drawing
// units); seen from the side, it runs from `a` to `b`, the ends of its
// faces' extent.
struct Centre_Axis {
  bool end_on = false;
  Drawing_Point a{0.0, 0.0};
  Drawing_Point b{0.0, 0.0};
  double radius = 0.0;
};

// The axes of the models' cylindrical and conical faces in the view the
// camera frames, whose drawing is `drawing_height` units high; none in
// perspective.
std::vector<Centre_Axis> centre_axes(std::span<const Model> models, const Camera& camera,
                                     double drawing_height);

// Adds the axes to the drawing's centre-lines layer (add_centre_line),
// `beyond` drawing units past each circle or outline, and gives them way
// where they lie on the drawing's other lines (line precedence: visible
// and hidden lines are drawn over centre lines). The other layers are left
// as they are. Returns what precedence left out of the centre lines.
Precedence_Counts add_centre_lines(Drawing& drawing, std::span<const Centre_Axis> axes,
                                   double beyond);

}  // namespace hlr_tool
