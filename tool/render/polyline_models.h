// Which model each line of a drawing was drawn from, for a caller that
// tells its models apart (the Python package's Drawing.visible_models).
//
// The renderer hands on pieces without saying whose edge they lie on, so
// the answer is found again on the scene: a polyline belongs to the model
// whose edge (a segment of the scene's polylines) holds the polyline's
// first segment, within a small tolerance of the device coordinates'
// rounding. Where edges of several models coincide, the line goes to the
// first of them; a polyline joined from pieces of two models goes by its
// first segment. Intersection lines lie on no model's edge and belong to
// none.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tool/drawing/drawing.h"
#include "tool/models/model.h"
#include "tool/models/scene.h"

namespace hlr_tool {

// Fills every style group's `models` with the index in `models` of each
// polyline's model, -1 for none (intersection lines, and a line on no
// model's edge). `scene` was built from `models` and drawn into `drawing`
// (its device rectangle the drawing area, as draw_models makes it).
void find_polyline_models(Drawing& drawing, const Scene& scene, std::span<const Model> models);

}  // namespace hlr_tool
