#include "tool/cad/tessellation.h"

#include <BRepAdaptor_Surface.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRep_Builder.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Message_ProgressScope.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Iterator.hxx>

#include "tool/cad/cad_model.h"
#include "tool/cad/edge_regularity.h"

namespace hlr_tool {

TopoDS_Compound dense_faces(const TopoDS_Shape& shape) {
  TopoDS_Compound dense;
  BRep_Builder builder;
  builder.MakeCompound(dense);
  TopTools_IndexedMapOfShape faces;
  TopExp::MapShapes(shape, TopAbs_FACE, faces);
  for (Standard_Integer k = 1; k <= faces.Extent(); ++k) {
    const BRepAdaptor_Surface surface(TopoDS::Face(faces(k)), false);
    if (surface.GetType() != GeomAbs_BSplineSurface) continue;
    const Handle(Geom_BSplineSurface)& bspline = surface.BSpline();
    if (long(bspline->NbUKnots() - 1) * long(bspline->NbVKnots() - 1) > dense_face_spans)
      builder.Add(dense, faces(k));
  }
  return dense;
}

void tessellate_shape(const TopoDS_Shape& shape, const Tessellation_Request& request,
                      const Message_ProgressRange& progress) {
  encode_smooth_edges(shape, cad_smooth_angle_radians);
  // Relative deflection off: the one deflection holds for every part, so
  // small parts beside big ones are meshed as finely as the drawing needs,
  // no finer.
  IMeshTools_Parameters parameters;
  parameters.Deflection = request.deflection;
  parameters.Angle = request.angle;
  parameters.Relative = false;
  parameters.InParallel = request.in_parallel;
  // Surface deflection control refines the inside of curved faces until
  // the triangles keep to the deflection there too, not only along the
  // edges: the outlines found on the triangles depend on it.
  parameters.ControlSurfaceDeflection = true;

  Message_ProgressScope steps(progress, "tessellating", 2);
  const TopoDS_Compound dense = dense_faces(shape);
  if (TopoDS_Iterator(dense).More()) {
    IMeshTools_Parameters delabella = parameters;
    delabella.MeshAlgo = IMeshTools_MeshAlgoType_Delabella;
    // No element smaller than the drawing can show: the count of the
    // face's triangles then follows its area at the drawing's size.
    if (request.min_size > 0.0) delabella.MinSize = request.min_size;
    BRepMesh_IncrementalMesh(dense, delabella, steps.Next());
  }
  // Faces meshed above keep their triangles: the mesher keeps a face's
  // triangulation made to the same deflection.
  BRepMesh_IncrementalMesh(shape, parameters, steps.Next());
}

}  // namespace hlr_tool
