#include "tool/cad/shape_checks.h"

#include <BRepCheck.hxx>
#include <BRepCheck_Edge.hxx>
#include <BRepCheck_Face.hxx>
#include <BRepCheck_ListOfStatus.hxx>
#include <BRep_Tool.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Iterator.hxx>

#include <map>
#include <sstream>

namespace hlr_tool {

namespace {

bool undrawable(BRepCheck_Status status) {
  switch (status) {
    case BRepCheck_NoSurface:
    case BRepCheck_No3DCurve:
    case BRepCheck_Invalid3DCurve:
    case BRepCheck_NoCurveOnSurface:
    case BRepCheck_InvalidRange:
    case BRepCheck_EmptyWire:
    case BRepCheck_EmptyShell:
      return true;
    default:
      return false;
  }
}

using Found = std::map<BRepCheck_Status, int>;

void note(Found& found, const BRepCheck_ListOfStatus& statuses) {
  for (const BRepCheck_Status status : statuses) {
    if (undrawable(status)) ++found[status];
  }
}

bool is_empty(const TopoDS_Shape& shape) { return !TopoDS_Iterator(shape).More(); }

}  // namespace

std::optional<std::string> shape_faults(const TopoDS_Shape& shape) {
  Found found;
  TopTools_IndexedMapOfShape faces, edges;
  TopExp::MapShapes(shape, TopAbs_FACE, faces);
  TopExp::MapShapes(shape, TopAbs_EDGE, edges);
  for (Standard_Integer k = 1; k <= faces.Extent(); ++k) {
    const TopoDS_Face& face = TopoDS::Face(faces(k));
    note(found, BRepCheck_Face(face).Status());
    if (BRep_Tool::Surface(face).IsNull()) continue;
    for (TopExp_Explorer x(face, TopAbs_EDGE); x.More(); x.Next()) {
      Standard_Real first = 0.0, last = 0.0;
      if (BRep_Tool::CurveOnSurface(TopoDS::Edge(x.Current()), face, first, last).IsNull())
        ++found[BRepCheck_NoCurveOnSurface];
    }
  }
  for (Standard_Integer k = 1; k <= edges.Extent(); ++k)
    note(found, BRepCheck_Edge(TopoDS::Edge(edges(k))).Status());
  for (TopExp_Explorer x(shape, TopAbs_WIRE); x.More(); x.Next()) {
    if (is_empty(x.Current())) ++found[BRepCheck_EmptyWire];
  }
  for (TopExp_Explorer x(shape, TopAbs_SHELL); x.More(); x.Next()) {
    if (is_empty(x.Current())) ++found[BRepCheck_EmptyShell];
  }
  if (found.empty()) return std::nullopt;

  int total = 0;
  std::ostringstream kinds;
  for (const auto& [status, count] : found) {
    total += count;
    if (kinds.tellp() > 0) kinds << ", ";
    BRepCheck::Print(status, kinds);
    kinds << " (" << count << ")";
  }
  std::string text = kinds.str();
  std::erase(text, '\n');
  return "Open CASCADE's shape checks found " + std::to_string(total) +
         (total == 1 ? " fault: " : " faults: ") + text;
}

}  // namespace hlr_tool
