// True curves: the lines of a drawing that are pieces of a line, circle or
// ellipse of the models (a CAD part's edges, Body::curves) are found again
// on the scene and marked so that the writers draw each as what it is.
//
// The renderer hands on straight pieces of the scene's polylines and says
// nothing of whose edge they are; a piece whose two ends lie on one
// segment of an edge with a curve (within a few float steps of the
// drawing's size) is a piece of that curve, and each end's parameter on
// the curve is found from the end itself (the affine inverse of the
// projected ellipse, kept within the segment's own range). Consecutive
// pieces of a polyline that continue one another on one ellipse make one
// arc; such a run becomes a polyline of its own, its arc beside it
// (Style_Group::arcs), and the rest of the polyline stays as it was
// around it. Runs on one straight edge lose their inner points. Pieces on
// no curve (outlines, intersection lines, meshes) stay polylines.
#pragma once

#include "tool/drawing/drawing.h"
#include "tool/models/scene.h"

namespace hlr_tool {

// `curves` is the scene's (Scene::curves) whose pieces made `drawing`
// (its device rectangle the drawing area, as draw_models makes it). The
// visible and hidden layers are looked at; the others stay. Each group's
// models (Style_Group::models), when there are some, follow its
// polylines.
void find_true_curves(Drawing& drawing, const Scene_Curves& curves);

}  // namespace hlr_tool
