// Open CASCADE's checks of a shape as read, in the reader process,
// narrowed to what leaves a part undrawable in part.
#pragma once

#include <TopoDS_Shape.hxx>

#include <optional>
#include <string>

namespace hlr_tool {

// What the checks found that the drawing cannot do without: faces without
// a surface, edges without a 3D curve or without their curve on a face,
// empty wires and shells. As one sentence ("Open CASCADE's shape checks
// found 2 faults: No Surface (1), No Curve On Surface (1)"), or nothing.
//
// Each face and edge gets BRepCheck's minimum check (BRepCheck_Face,
// BRepCheck_Edge: the geometry is there and in range) and each edge of a
// face its curve on the face; the full BRepCheck_Analyzer is not run. Its
// other findings say nothing the drawing would show and are common in
// files that draw well (occt-misc's Top.brep has self-intersecting wires
// and an unorientable shell), and it is slow: on the 34 occ/*.brep parts
// that have faces it took 0.55 s of processor time, most of what reading
// them all costs without it (0.66 s).
std::optional<std::string> shape_faults(const TopoDS_Shape& shape);

}  // namespace hlr_tool
