// Tessellating a file's parts, in the reader process: Open CASCADE's
// mesher over all of them at once, with the regularity of their edges
// worked out first (edge_regularity.h).
#pragma once

#include <Message_ProgressRange.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Shape.hxx>

#include "tool/cad/reader_channel.h"

namespace hlr_tool {

// B-spline faces of more knot spans than this are dense: Open CASCADE's
// default mesher spends nearly all its time on them in its cell filter
// (occt-misc's terrain.brep, one face of 310 x 321 spans: 145 s and 2.9 GB
// at the default deflection). They are meshed with the Delabella
// algorithm, and with the default deflection no finer than the drawing
// can show (the request's min_size, a device unit), so that their
// triangles are no more than their area at the drawing's size calls for
// (terrain.brep: 4 s, 83 MB, 80712 triangles). Other faces keep the
// default mesher and no smallest element: on ordinary faces its triangles
// follow outlines a little better (CrankArm.brep's visible lines within
// 1.5 units of the exact ones: 100%, 99.35% with Delabella; Motor-c.brep's
// hidden lines: 99.61%, 99.48% with a device unit as the smallest
// element).
inline constexpr long dense_face_spans = 10000;

// The dense faces of the shape, in a compound.
TopoDS_Compound dense_faces(const TopoDS_Shape& shape);

void tessellate_shape(const TopoDS_Shape& shape, const Tessellation_Request& request,
                      const Message_ProgressRange& progress);

}  // namespace hlr_tool
