#include "tool/cad/sewing.h"

#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_Sewing.hxx>
#include <BRep_Builder.hxx>
#include <Bnd_Box.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>

#include <cmath>

namespace hlr_tool {

namespace {

// Edges that border exactly one of the faces (degenerated ones aside).
int free_edges_of(const TopoDS_Shape& faces) {
  TopTools_IndexedDataMapOfShapeListOfShape faces_of_edge;
  TopExp::MapShapesAndAncestors(faces, TopAbs_EDGE, TopAbs_FACE, faces_of_edge);
  int free = 0;
  for (Standard_Integer e = 1; e <= faces_of_edge.Extent(); ++e) {
    if (faces_of_edge(e).Extent() == 1 &&
        !BRep_Tool::Degenerated(TopoDS::Edge(faces_of_edge.FindKey(e))))
      ++free;
  }
  return free;
}

double diagonal_of(const TopoDS_Shape& shape) {
  Bnd_Box box;
  BRepBndLib::Add(shape, box, false);
  if (box.IsVoid()) return 0.0;
  double x0, y0, z0, x1, y1, z1;
  box.Get(x0, y0, z0, x1, y1, z1);
  return std::hypot(x1 - x0, y1 - y0, z1 - z0);
}

}  // namespace

Sewing_Outcome sew_loose_faces(std::vector<Cad_Part>& parts, double tolerance,
                               const Message_ProgressRange& progress) {
  BRep_Builder builder;
  TopoDS_Compound loose;
  builder.MakeCompound(loose);
  int count = 0;
  for (const Cad_Part& part : parts) {
    for (TopExp_Explorer x(part.shape, TopAbs_FACE, TopAbs_SOLID); x.More(); x.Next(), ++count)
      builder.Add(loose, x.Current());
  }
  Sewing_Outcome outcome;
  outcome.free_edges_before = outcome.free_edges_after = count < 2 ? 0 : free_edges_of(loose);
  if (outcome.free_edges_before == 0) return outcome;

  if (tolerance <= 0.0) tolerance = automatic_sewing_fraction * diagonal_of(loose);
  BRepBuilderAPI_Sewing sewing(tolerance);
  for (TopExp_Explorer x(loose, TopAbs_FACE); x.More(); x.Next()) sewing.Add(x.Current());
  sewing.Perform(progress);

  // Each part keeps its solids and loose edges and takes the sewn faces of
  // its own loose faces.
  for (Cad_Part& part : parts) {
    TopoDS_Compound sewn;
    builder.MakeCompound(sewn);
    for (TopExp_Explorer x(part.shape, TopAbs_SOLID); x.More(); x.Next())
      builder.Add(sewn, x.Current());
    for (TopExp_Explorer x(part.shape, TopAbs_FACE, TopAbs_SOLID); x.More(); x.Next()) {
      if (sewing.IsDegenerated(x.Current())) continue;
      const TopoDS_Shape& face =
          sewing.IsModified(x.Current()) ? sewing.Modified(x.Current()) : x.Current();
      for (TopExp_Explorer f(face, TopAbs_FACE); f.More(); f.Next()) builder.Add(sewn, f.Current());
    }
    for (TopExp_Explorer x(part.shape, TopAbs_EDGE, TopAbs_FACE); x.More(); x.Next())
      builder.Add(sewn, x.Current());
    part.shape = sewn;
  }
  TopoDS_Compound after;
  builder.MakeCompound(after);
  for (const Cad_Part& part : parts) {
    for (TopExp_Explorer x(part.shape, TopAbs_FACE, TopAbs_SOLID); x.More(); x.Next())
      builder.Add(after, x.Current());
  }
  outcome.free_edges_after = free_edges_of(after);
  return outcome;
}

}  // namespace hlr_tool
