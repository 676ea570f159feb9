#include "tool/cad/edge_regularity.h"

#include <BRepAdaptor_Surface.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Geom2d_Curve.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>

#include <cmath>
#include <optional>

namespace hlr_tool {

namespace {

constexpr int samples = 5;

// A face seen from one of its edges: the edge's curve on it, with the
// parameter range and the edge's orientation in the face's boundary.
struct Edge_On_Face {
  TopoDS_Face face;
  Handle(Geom2d_Curve) curve;
  double first = 0.0, last = 0.0;
  bool reversed = false;
  BRepAdaptor_Surface surface;
};

std::optional<Edge_On_Face> edge_on_face(const TopoDS_Edge& edge, const TopoDS_Face& face) {
  Edge_On_Face on;
  // The boundary's orientation rule (material on the left of each edge in
  // the surface's parameters) holds for the face taken forward.
  on.face = TopoDS::Face(face.Oriented(TopAbs_FORWARD));
  on.curve = BRep_Tool::CurveOnSurface(edge, on.face, on.first, on.last);
  if (on.curve.IsNull()) return std::nullopt;
  for (TopExp_Explorer x(on.face, TopAbs_EDGE); x.More(); x.Next()) {
    if (x.Current().IsSame(edge)) {
      on.reversed = x.Current().Orientation() == TopAbs_REVERSED;
      break;
    }
  }
  on.surface.Initialize(on.face, false);
  return on;
}

struct Surface_Frame {
  gp_Vec normal;  // not of unit length
  gp_Vec inward;  // across the edge into the face, not of unit length
};

Surface_Frame frame_at(const Edge_On_Face& on, double t) {
  gp_Pnt2d uv;
  gp_Vec2d along;
  on.curve->D1(t, uv, along);
  gp_Pnt point;
  gp_Vec du, dv;
  on.surface.D1(uv.X(), uv.Y(), point, du, dv);
  // Left of the boundary as it runs in the face.
  const gp_Vec2d left =
      on.reversed ? gp_Vec2d(along.Y(), -along.X()) : gp_Vec2d(-along.Y(), along.X());
  return {du.Crossed(dv), du * left.X() + dv * left.Y()};
}

bool tangent_along(const TopoDS_Edge& edge, const Edge_On_Face& a, const Edge_On_Face& b,
                   double angle) {
  const double sine = std::sin(angle);
  for (int k = 0; k < samples; ++k) {
    const double s = (k + 0.5) / samples;
    const Surface_Frame fa = frame_at(a, a.first + s * (a.last - a.first));
    const Surface_Frame fb = frame_at(b, b.first + s * (b.last - b.first));
    const double lengths = fa.normal.Magnitude() * fb.normal.Magnitude();
    if (!(lengths > 0.0)) return false;  // a singular point: say nothing
    if (fa.normal.Crossed(fb.normal).Magnitude() > sine * lengths) return false;
    // Folded onto each other: both faces on the same side of the edge.
    if (k == samples / 2 && fa.inward.Dot(fb.inward) >= 0.0) return false;
  }
  (void)edge;
  return true;
}

}  // namespace

void encode_smooth_edges(const TopoDS_Shape& shape, double angle) {
  TopTools_IndexedDataMapOfShapeListOfShape faces_of_edge;
  TopExp::MapShapesAndAncestors(shape, TopAbs_EDGE, TopAbs_FACE, faces_of_edge);
  const BRep_Builder builder;
  for (Standard_Integer e = 1; e <= faces_of_edge.Extent(); ++e) {
    const TopoDS_Edge& edge = TopoDS::Edge(faces_of_edge.FindKey(e));
    if (BRep_Tool::Degenerated(edge) || !BRep_Tool::SameParameter(edge)) continue;
    const TopTools_ListOfShape& faces = faces_of_edge(e);
    std::optional<TopoDS_Face> first, second;
    bool more = false;
    for (const TopoDS_Shape& face : faces) {
      if (!first) {
        first = TopoDS::Face(face);
      } else if (!face.IsSame(*first)) {
        if (second && !face.IsSame(*second)) more = true;
        second = TopoDS::Face(face);
      }
    }
    if (!second || more) continue;
    if (BRep_Tool::Continuity(edge, *first, *second) >= GeomAbs_G1) continue;
    const std::optional<Edge_On_Face> a = edge_on_face(edge, *first);
    const std::optional<Edge_On_Face> b = edge_on_face(edge, *second);
    if (a && b && tangent_along(edge, *a, *b, angle))
      builder.Continuity(edge, *first, *second, GeomAbs_G1);
  }
}

}  // namespace hlr_tool
