// Which edges between two faces are smooth (the faces tangent along them),
// worked out from the geometry, in the reader process: files rarely say,
// and Open CASCADE's own BRepLib::EncodeRegularity leaves many tangent
// edges sharp (all 33 tangent edges of occt-misc's hammer.brep, whose
// faces meet within 1e-5 degrees; 166 of bearing.iges once sewn), so that
// the same part drew different edges from different files.
#pragma once

#include <TopoDS_Shape.hxx>

namespace hlr_tool {

// Marks every edge between two distinct faces as G1 (BRep_Builder::
// Continuity) where the faces are tangent along it: at five points spread
// along the edge their surfaces' normals, as lines (a face's orientation
// is not asked: files get it wrong), are within `angle` radians, and the
// faces lie on opposite sides of the edge (two faces folded onto each
// other meet tangent too, but at a sharp edge). Edges whose curves on
// the two faces do not share their parameter are left as they are.
void encode_smooth_edges(const TopoDS_Shape& shape, double angle);

}  // namespace hlr_tool
