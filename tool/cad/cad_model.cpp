// The Open CASCADE side of load_cad_model, built as the module the loader
// (cad_loader.cpp) opens on the first CAD file: see cad_entry.h. The files
// are read and tessellated by reader processes (cad_readers.h); here their
// meshed shapes become bodies.
#include "tool/cad/cad_model.h"
#include "tool/cad/cad_entry.h"
#include "tool/cad/cad_readers.h"
#include "tool/cad/outline_refinement.h"
#include "tool/cad/xde_entry.h"

#include "tool/common/errors.h"
#include "tool/models/position_key.h"

#include <BRepAdaptor_Curve.hxx>
#include <BRepAdaptor_Surface.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GCPnts_TangentialDeflection.hxx>
#include <GC_MakeCircle.hxx>
#include <Geom_Circle.hxx>
#include <Poly_Polygon3D.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_DataMapOfShapeInteger.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <gp_Circ.hxx>
#include <gp_Cone.hxx>
#include <gp_Cylinder.hxx>
#include <gp_Elips.hxx>
#include <gp_Lin.hxx>
#include <gp_Sphere.hxx>
#include <gp_Torus.hxx>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <unordered_map>
#include <vector>

namespace hlr_tool {
namespace {

constexpr double degrees = 3.14159265358979323846 / 180.0;

// The default deflection: this many device units when the file's bounding
// box diagonal spans the drawing's shorter side. Half a unit keeps chords
// within half a line width of the true curve.
constexpr double default_deflection_device_units = 0.5;

// What becomes one Body: a solid, or the loose faces and edges of a colour.
struct Body_Source {
  TopoDS_Compound shape;
  std::string name;
  std::optional<Color_ARGB> color;
};

TopoDS_Compound compound_of(std::initializer_list<TopoDS_Shape> shapes) {
  TopoDS_Compound compound;
  BRep_Builder builder;
  builder.MakeCompound(compound);
  for (const TopoDS_Shape& s : shapes) builder.Add(compound, s);
  return compound;
}

// Solids each their own body; faces outside any solid and edges outside
// any face gathered per colour, so an IGES file of thousands of trimmed
// surfaces draws as a few bodies.
std::vector<Body_Source> body_sources(const std::vector<Cad_Part>& parts, const std::string& path) {
  std::vector<Body_Source> sources;
  std::map<std::optional<Color_ARGB>, std::size_t> loose_of_color;
  BRep_Builder builder;
  const std::string stem = std::filesystem::path(path).stem().string();
  for (const Cad_Part& part : parts) {
    const std::string name = part.name.empty() ? stem : part.name;
    int solids = 0;
    for (TopExp_Explorer x(part.shape, TopAbs_SOLID); x.More(); x.Next()) ++solids;
    int k = 0;
    for (TopExp_Explorer x(part.shape, TopAbs_SOLID); x.More(); x.Next()) {
      ++k;
      sources.push_back({compound_of({x.Current()}),
                         solids > 1 ? name + " #" + std::to_string(k) : name, part.color});
    }
    const auto loose = [&]() -> Body_Source& {
      auto [it, inserted] = loose_of_color.try_emplace(part.color, sources.size());
      if (inserted) {
        sources.push_back({compound_of({}), loose_of_color.size() == 1 ? name : stem, part.color});
      } else if (sources[it->second].name != name) {
        sources[it->second].name = stem;  // several parts share it
      }
      return sources[it->second];
    };
    for (TopExp_Explorer x(part.shape, TopAbs_FACE, TopAbs_SOLID); x.More(); x.Next())
      builder.Add(loose().shape, x.Current());
    for (TopExp_Explorer x(part.shape, TopAbs_EDGE, TopAbs_FACE); x.More(); x.Next())
      builder.Add(loose().shape, x.Current());
  }
  return sources;
}

constexpr std::uint32_t no_vertex = std::numeric_limits<std::uint32_t>::max();

struct Tessellation_Failure {
  int faces_failed = 0;
  int faces = 0;
};

// Turns one tessellated body source into a Body.
//
// Neighbouring faces are tessellated apart and each keeps its own copy of
// the nodes along their shared edge. The copies are joined through the
// edge: its polygon on each face lists the face's nodes in the same order,
// so node k on one face becomes the vertex of node k on the first. This
// holds even where the copies differ in their last bits (faces placed by
// different locations), which welding by position alone would miss; the
// seam of a closed face is joined to itself the same way, so a cylinder's
// mesh is closed and its outline is found across the seam.
class Body_Maker {
 public:
  Body_Maker(const Cad_Options& options, double deflection)
      : options_(options), deflection_(deflection) {}

  Body make(const Body_Source& source, Tessellation_Failure& failure) {
    body_ = Body{};
    body_.name = source.name;
    body_.color = source.color;
    body_.lines_are_edges = true;
    welded_.clear();
    curve_index_.clear();
    outlines_ = std::make_shared<Face_Outlines>();
    outlines_->deflection = deflection_;
    TopExp::MapShapes(source.shape, TopAbs_FACE, faces_);
    for (Standard_Integer f = 1; f <= faces_.Extent(); ++f)
      outlines_->faces.push_back(TopoDS::Face(faces_(f)));
    node_vertex_.assign(std::size_t(faces_.Extent()), {});
    shared_.Clear();
    edge_vertices_.clear();
    for (Standard_Integer f = 1; f <= faces_.Extent(); ++f) {
      ++failure.faces;
      if (!add_face(f)) ++failure.faces_failed;
      add_axial_face(TopoDS::Face(faces_(f)));
    }
    add_edges(source.shape);
    faces_.Clear();
    if (!outlines_->faces.empty()) body_.exact_outlines = std::move(outlines_);
    return std::move(body_);
  }

 private:
  std::uint32_t weld(const gp_Pnt& p) {
    const Position_Key key = Position_Key::of(p.X(), p.Y(), p.Z());
    auto [it, inserted] = welded_.try_emplace(key, std::uint32_t(body_.positions.size()));
    if (inserted) {
      body_.positions.push_back({p.X(), p.Y(), p.Z()});
      outlines_->places.emplace_back();
    }
    return it->second;
  }

  // A face round an axis. A cylinder's or cone's axis and extent come
  // from its surface: on a cylinder the point (u, v) is at v along the
  // axis; on a cone at v cos(angle), where the radius is the reference
  // radius plus v sin(angle). A sphere's, torus' or surface of
  // revolution's come from its tessellation's nodes (a dome is a small cap
  // of its sphere), about the surface's own axis.
  void add_axial_face(const TopoDS_Face& face) {
    try {
      const BRepAdaptor_Surface surface(face);
      const auto vec = [](const gp_XYZ& p) { return Vec3{p.X(), p.Y(), p.Z()}; };
      Standard_Real u0 = 0.0, u1 = 0.0, v0 = 0.0, v1 = 0.0;
      BRepTools::UVBounds(face, u0, u1, v0, v1);
      Axial_Face axial;
      axial.turn = std::min(u1 - u0, 2.0 * std::numbers::pi);
      gp_Ax1 axis;
      switch (surface.GetType()) {
        case GeomAbs_Cylinder: {
          const gp_Cylinder cylinder = surface.Cylinder();
          axis = cylinder.Axis();
          axial.from = v0;
          axial.to = v1;
          axial.radius = cylinder.Radius();
          axial.own_axis = true;
          break;
        }
        case GeomAbs_Cone: {
          const gp_Cone cone = surface.Cone();
          const double along = std::cos(cone.SemiAngle()), out = std::sin(cone.SemiAngle());
          axis = cone.Axis();
          axial.from = std::min(v0 * along, v1 * along);
          axial.to = std::max(v0 * along, v1 * along);
          axial.radius = std::max(std::fabs(cone.RefRadius() + v0 * out),
                                  std::fabs(cone.RefRadius() + v1 * out));
          axial.own_axis = true;
          break;
        }
        case GeomAbs_Sphere:
          axis = surface.Sphere().Position().Axis();
          break;
        case GeomAbs_Torus:
          axis = surface.Torus().Axis();
          break;
        case GeomAbs_SurfaceOfRevolution:
          axis = surface.AxeOfRevolution();
          break;
        default:
          return;
      }
      axial.origin = vec(axis.Location().XYZ());
      axial.direction = vec(axis.Direction().XYZ());
      if (!axial.own_axis && !measure_on_nodes(face, axis, axial)) return;
      if (std::isfinite(axial.from) && std::isfinite(axial.to) && axial.to > axial.from &&
          std::isfinite(axial.radius) && axial.radius > 0.0 && axial.turn > 0.0)
        body_.axial_faces.push_back(axial);
    } catch (const Standard_Failure&) {
      // A face without a surface to adapt has no axis to draw.
    }
  }

  // The extent along `axis` and the largest distance from it of the
  // face's tessellation nodes; false without a tessellation.
  static bool measure_on_nodes(const TopoDS_Face& face, const gp_Ax1& axis, Axial_Face& axial) {
    TopLoc_Location location;
    const Handle(Poly_Triangulation)& mesh = BRep_Tool::Triangulation(face, location);
    if (mesh.IsNull() || mesh->NbNodes() == 0) return false;
    const gp_Trsf placement = location.Transformation();
    const gp_Lin line(axis);
    axial.from = std::numeric_limits<double>::infinity();
    axial.to = -axial.from;
    for (Standard_Integer n = 1; n <= mesh->NbNodes(); ++n) {
      const gp_Pnt p = mesh->Node(n).Transformed(placement);
      const double s = gp_Vec(axis.Location(), p).Dot(gp_Vec(axis.Direction()));
      axial.from = std::min(axial.from, s);
      axial.to = std::max(axial.to, s);
      axial.radius = std::max(axial.radius, line.Distance(p));
    }
    return true;
  }

  static bool finite(const gp_Pnt& p) {
    return std::isfinite(p.X()) && std::isfinite(p.Y()) && std::isfinite(p.Z());
  }

  // False when the face has no tessellation (or one with points that are
  // not finite): the mesher failed on it.
  bool add_face(Standard_Integer f) {
    const TopoDS_Face& face = TopoDS::Face(faces_(f));
    TopLoc_Location location;
    const Handle(Poly_Triangulation)& mesh = BRep_Tool::Triangulation(face, location);
    if (mesh.IsNull() || mesh->NbTriangles() == 0) return false;
    const gp_Trsf placement = location.Transformation();
    std::vector<std::uint32_t>& vertex = node_vertex_[std::size_t(f - 1)];
    vertex.assign(std::size_t(mesh->NbNodes()) + 1, no_vertex);
    const bool has_uv = mesh->HasUVNodes();
    const auto node_vertex = [&](Standard_Integer n) -> std::uint32_t {
      if (vertex[std::size_t(n)] == no_vertex) {
        const gp_Pnt p = mesh->Node(n).Transformed(placement);
        if (!finite(p)) return no_vertex;
        vertex[std::size_t(n)] = weld(p);
        Face_Outlines::Vertex_Place& place = outlines_->places[vertex[std::size_t(n)]];
        if (place.face < 0 && has_uv) {
          const gp_Pnt2d uv = mesh->UVNode(n);
          place.face = std::int32_t(f - 1);
          place.u = uv.X();
          place.v = uv.Y();
        }
      }
      return vertex[std::size_t(n)];
    };

    for (TopExp_Explorer x(face, TopAbs_EDGE); x.More(); x.Next()) {
      const TopoDS_Edge& edge = TopoDS::Edge(x.Current());
      const Handle(Poly_PolygonOnTriangulation)& polygon =
          BRep_Tool::PolygonOnTriangulation(edge, mesh, location);
      if (polygon.IsNull()) continue;
      const Standard_Integer count = polygon->NbNodes();
      // Points on the face's edges stay where they are: they are the
      // edges' own.
      const auto mark_on_edge = [&](std::uint32_t v) {
        if (v != no_vertex) outlines_->places[v].on_edge = true;
      };
      Standard_Integer slot = 0;
      if (shared_.Find(edge, slot) &&
          edge_vertices_[std::size_t(slot)].size() == std::size_t(count)) {
        const std::vector<std::uint32_t>& first = edge_vertices_[std::size_t(slot)];
        for (Standard_Integer k = 1; k <= count; ++k) {
          const Standard_Integer n = polygon->Node(k);
          if (n >= 1 && n <= mesh->NbNodes() && vertex[std::size_t(n)] == no_vertex) {
            vertex[std::size_t(n)] = first[std::size_t(k - 1)];
            mark_on_edge(vertex[std::size_t(n)]);
          }
        }
      } else if (!shared_.IsBound(edge)) {
        std::vector<std::uint32_t> first(std::size_t(count), no_vertex);
        for (Standard_Integer k = 1; k <= count; ++k) {
          const Standard_Integer n = polygon->Node(k);
          if (n >= 1 && n <= mesh->NbNodes()) {
            first[std::size_t(k - 1)] = node_vertex(n);
            mark_on_edge(first[std::size_t(k - 1)]);
          }
        }
        shared_.Bind(edge, Standard_Integer(edge_vertices_.size()));
        edge_vertices_.push_back(std::move(first));
      }
    }

    for (Standard_Integer t = 1; t <= mesh->NbTriangles(); ++t) {
      Standard_Integer a = 0, b = 0, c = 0;
      mesh->Triangle(t).Get(a, b, c);
      const Standard_Integer nodes = mesh->NbNodes();
      if (a < 1 || b < 1 || c < 1 || a > nodes || b > nodes || c > nodes) return false;
      const Triangle triangle{node_vertex(a), node_vertex(b), node_vertex(c)};
      if (triangle[0] == no_vertex || triangle[1] == no_vertex || triangle[2] == no_vertex)
        return false;
      // Corners joined into one vertex leave no area to draw.
      if (triangle[0] != triangle[1] && triangle[1] != triangle[2] && triangle[2] != triangle[0])
        body_.triangles.push_back(triangle);
    }
    return true;
  }

  enum class Edge_Kind { none, line, smooth };

  Edge_Kind kind_of(const TopoDS_Edge& edge, const TopTools_ListOfShape& faces) const {
    if (BRep_Tool::Degenerated(edge)) return Edge_Kind::none;
    std::vector<TopoDS_Face> distinct;
    for (const TopoDS_Shape& f : faces) {
      const bool seen = std::any_of(distinct.begin(), distinct.end(),
                                    [&](const TopoDS_Face& d) { return d.IsSame(f); });
      if (!seen) distinct.push_back(TopoDS::Face(f));
    }
    if (distinct.size() == 1)
      return BRep_Tool::IsClosed(edge, distinct[0]) ? Edge_Kind::none : Edge_Kind::line;
    if (distinct.size() == 2 && BRep_Tool::Continuity(edge, distinct[0], distinct[1]) >= GeomAbs_G1)
      return Edge_Kind::smooth;
    return Edge_Kind::line;
  }

  // The edge's polygon on the tessellation of the first of its faces that
  // has one, through that face's node-to-vertex table.
  void add_edge_on_faces(const TopoDS_Edge& edge, const TopTools_ListOfShape& faces) {
    for (const TopoDS_Shape& f : faces) {
      const Standard_Integer index = faces_.FindIndex(f);
      if (index == 0) continue;
      const std::vector<std::uint32_t>& vertex = node_vertex_[std::size_t(index - 1)];
      if (vertex.empty()) continue;  // the face failed to tessellate
      TopLoc_Location location;
      const Handle(Poly_Triangulation)& mesh = BRep_Tool::Triangulation(TopoDS::Face(f), location);
      const Handle(Poly_PolygonOnTriangulation)& polygon =
          BRep_Tool::PolygonOnTriangulation(edge, mesh, location);
      if (polygon.IsNull()) continue;
      std::vector<std::uint32_t> line;
      for (Standard_Integer k = 1; k <= polygon->NbNodes(); ++k) {
        const Standard_Integer n = polygon->Node(k);
        if (n < 1 || std::size_t(n) >= vertex.size() || vertex[std::size_t(n)] == no_vertex)
          continue;
        if (line.empty() || line.back() != vertex[std::size_t(n)])
          line.push_back(vertex[std::size_t(n)]);
      }
      add_line(std::move(line), edge);
      return;
    }
  }

  // An edge on no face: its own polygon from the mesher, or, when it made
  // none, the curve sampled to the same deflections.
  void add_free_edge(const TopoDS_Edge& edge) {
    std::vector<gp_Pnt> points;
    TopLoc_Location location;
    const Handle(Poly_Polygon3D)& polygon = BRep_Tool::Polygon3D(edge, location);
    if (!polygon.IsNull()) {
      const gp_Trsf placement = location.Transformation();
      for (Standard_Integer k = 1; k <= polygon->NbNodes(); ++k)
        points.push_back(polygon->Nodes().Value(k).Transformed(placement));
    } else if (BRep_Tool::IsGeometric(edge)) {
      const BRepAdaptor_Curve curve(edge);
      const GCPnts_TangentialDeflection sampled(
          curve, options_.tessellation.angular_deflection_degrees * degrees, deflection_);
      for (Standard_Integer k = 1; k <= sampled.NbPoints(); ++k) points.push_back(sampled.Value(k));
    }
    std::vector<std::uint32_t> line;
    for (const gp_Pnt& p : points) {
      if (!finite(p)) continue;
      const std::uint32_t v = weld(p);
      if (line.empty() || line.back() != v) line.push_back(v);
    }
    add_line(std::move(line), edge);
  }

  // The edge's curve when it is a line, circle or ellipse (whatever its
  // representation: a trimmed or offset curve, a curve on a surface).
  std::optional<Edge_Curve> exact_curve(const TopoDS_Edge& edge) const {
    try {
      const BRepAdaptor_Curve curve(edge);
      const auto vec = [](const gp_XYZ& p) { return Vec3{p.X(), p.Y(), p.Z()}; };
      switch (curve.GetType()) {
        case GeomAbs_Line: {
          const gp_Lin line = curve.Line();
          return Edge_Curve{Edge_Curve::Kind::line, vec(line.Location().XYZ()),
                            vec(line.Direction().XYZ()), Vec3{0, 0, 0}};
        }
        case GeomAbs_Circle: {
          const gp_Circ circle = curve.Circle();
          const gp_Ax2& axes = circle.Position();
          return Edge_Curve{Edge_Curve::Kind::ellipse, vec(circle.Location().XYZ()),
                            vec(circle.Radius() * axes.XDirection().XYZ()),
                            vec(circle.Radius() * axes.YDirection().XYZ())};
        }
        case GeomAbs_Ellipse: {
          const gp_Elips ellipse = curve.Ellipse();
          const gp_Ax2& axes = ellipse.Position();
          return Edge_Curve{Edge_Curve::Kind::ellipse, vec(ellipse.Location().XYZ()),
                            vec(ellipse.MajorRadius() * axes.XDirection().XYZ()),
                            vec(ellipse.MinorRadius() * axes.YDirection().XYZ())};
        }
        default:
          return recognised_curve(curve);
      }
    } catch (const Standard_Failure&) {
      return std::nullopt;  // no curve to adapt: the line stays a polyline
    }
  }

  // A free-form curve that is a line or a circle all the same (IGES
  // files, and some STEP writers, give circles as rational B-splines):
  // the line through its ends, or the circle through its ends and middle
  // (through three points a third of the way apart when it is closed),
  // when every one of a few points along it lies on that within a
  // hundredth of the deflection.
  std::optional<Edge_Curve> recognised_curve(const BRepAdaptor_Curve& curve) const {
    constexpr int samples = 16;
    const double first = curve.FirstParameter(), last = curve.LastParameter();
    if (!std::isfinite(first) || !std::isfinite(last) || !(last > first)) return std::nullopt;
    std::array<gp_Pnt, samples + 1> points;
    for (int k = 0; k <= samples; ++k)
      points[std::size_t(k)] = curve.Value(first + (last - first) * k / samples);
    const double tolerance = std::max(0.01 * deflection_, Precision::Confusion());
    const auto vec = [](const gp_XYZ& p) { return Vec3{p.X(), p.Y(), p.Z()}; };
    const gp_Pnt& start = points.front();
    const gp_Pnt& end = points.back();
    if (start.Distance(end) > tolerance) {
      const gp_Lin line(start, gp_Dir(gp_Vec(start, end)));
      if (std::all_of(points.begin(), points.end(),
                      [&](const gp_Pnt& p) { return line.Distance(p) <= tolerance; }))
        return Edge_Curve{Edge_Curve::Kind::line, vec(start.XYZ()), vec(line.Direction().XYZ()),
                          Vec3{0, 0, 0}};
    }
    const bool closed = start.Distance(end) <= tolerance;
    const GC_MakeCircle made =
        closed ? GC_MakeCircle(start, points[samples / 3], points[2 * samples / 3])
               : GC_MakeCircle(start, points[samples / 2], end);
    if (!made.IsDone()) return std::nullopt;
    const gp_Circ circle = made.Value()->Circ();
    if (!std::all_of(points.begin(), points.end(),
                     [&](const gp_Pnt& p) { return circle.Distance(p) <= tolerance; }))
      return std::nullopt;
    const gp_Ax2& axes = circle.Position();
    return Edge_Curve{Edge_Curve::Kind::ellipse, vec(circle.Location().XYZ()),
                      vec(circle.Radius() * axes.XDirection().XYZ()),
                      vec(circle.Radius() * axes.YDirection().XYZ())};
  }

  // The parameters of the line's points on `curve`, each within
  // `tolerance` of it (model units); none when a point is farther.
  std::optional<std::vector<double>> parameters_on(const Edge_Curve& curve,
                                                   const std::vector<std::uint32_t>& line,
                                                   double tolerance) const {
    std::vector<double> parameters;
    const double uu = dot(curve.u, curve.u), vv = dot(curve.v, curve.v);
    if (!(uu > 0.0) || (curve.kind == Edge_Curve::Kind::ellipse && !(vv > 0.0)))
      return std::nullopt;
    for (const std::uint32_t vertex : line) {
      const Vec3 d = body_.positions[vertex] - curve.origin;
      double t = 0.0;
      Vec3 on{0, 0, 0};
      if (curve.kind == Edge_Curve::Kind::line) {
        t = dot(d, curve.u) / uu;
        on = Vec3{t * curve.u.x, t * curve.u.y, t * curve.u.z};
      } else {
        t = std::atan2(dot(d, curve.v) / vv, dot(d, curve.u) / uu);
        const double c = std::cos(t), s = std::sin(t);
        on = Vec3{c * curve.u.x + s * curve.v.x, c * curve.u.y + s * curve.v.y,
                  c * curve.u.z + s * curve.v.z};
        // Round a closed curve the parameter runs on from the point
        // before: segments span far less than half a turn.
        if (!parameters.empty())
          t = parameters.back() + std::remainder(t - parameters.back(), 2.0 * std::numbers::pi);
      }
      const Vec3 off = d - on;
      if (!(dot(off, off) <= tolerance * tolerance)) return std::nullopt;
      parameters.push_back(t);
    }
    return parameters;
  }

  void add_line(std::vector<std::uint32_t> line, const TopoDS_Edge& edge) {
    if (line.size() < 2) return;
    Line_Curve on;
    if (const std::optional<Edge_Curve> curve = exact_curve(edge)) {
      const double tolerance = deflection_ + BRep_Tool::Tolerance(edge);
      if (std::optional<std::vector<double>> parameters = parameters_on(*curve, line, tolerance)) {
        // Edges of one circle (a hole's two halves) share its curve, so
        // that a drawing draws them as one.
        const Curve_Key key{double(curve->kind), curve->origin.x, curve->origin.y, curve->origin.z,
                            curve->u.x,          curve->u.y,      curve->u.z,      curve->v.x,
                            curve->v.y,          curve->v.z};
        const auto [it, inserted] = curve_index_.try_emplace(key, body_.curves.size());
        if (inserted) body_.curves.push_back(*curve);
        on.curve = std::uint32_t(it->second);
        on.parameters = std::move(*parameters);
      }
    }
    body_.lines.push_back(std::move(line));
    body_.line_curves.push_back(std::move(on));
  }

  void add_edges(const TopoDS_Shape& shape) {
    TopTools_IndexedDataMapOfShapeListOfShape faces_of_edge;
    TopExp::MapShapesAndAncestors(shape, TopAbs_EDGE, TopAbs_FACE, faces_of_edge);
    for (Standard_Integer e = 1; e <= faces_of_edge.Extent(); ++e) {
      const TopoDS_Edge& edge = TopoDS::Edge(faces_of_edge.FindKey(e));
      const TopTools_ListOfShape& faces = faces_of_edge(e);
      if (faces.IsEmpty()) {
        if (!BRep_Tool::Degenerated(edge)) add_free_edge(edge);
        continue;
      }
      const Edge_Kind kind = kind_of(edge, faces);
      if (kind == Edge_Kind::line ||
          (kind == Edge_Kind::smooth && options_.tessellation.smooth_edges))
        add_edge_on_faces(edge, faces);
    }
  }

  const Cad_Options& options_;
  double deflection_;
  Body body_;
  std::unordered_map<Position_Key, std::uint32_t, Position_Key_Hash> welded_;
  TopTools_IndexedMapOfShape faces_;
  std::vector<std::vector<std::uint32_t>> node_vertex_;  // per face, per node (from 1)
  TopTools_DataMapOfShapeInteger shared_;                // edge -> edge_vertices_ slot
  std::vector<std::vector<std::uint32_t>> edge_vertices_;
  std::shared_ptr<Face_Outlines> outlines_;
  using Curve_Key = std::array<double, 10>;
  std::map<Curve_Key, std::size_t> curve_index_;
};

// The deflection and smallest element of the default tessellation: half a
// device unit and one device unit when the box of all the files (and the
// other models) spans the drawing's shorter side.
Tessellation_Request tessellation_request(const std::vector<std::optional<Read_Summary>>& files,
                                          const Cad_Options& options) {
  Bnd_Box box;
  for (const std::optional<Read_Summary>& file : files) {
    if (file && file->has_box)
      box.Update(file->box[0], file->box[1], file->box[2], file->box[3], file->box[4],
                 file->box[5]);
  }
  if (options.other_models_box) {
    const auto& [low, high] = *options.other_models_box;
    box.Update(low.x, low.y, low.z, high.x, high.y, high.z);
  }
  double diagonal = 0.0;
  if (!box.IsVoid()) {
    double x0, y0, z0, x1, y1, z1;
    box.Get(x0, y0, z0, x1, y1, z1);
    diagonal = std::hypot(x1 - x0, y1 - y0, z1 - z0);
  }
  const double device_unit = diagonal / double(options.drawing_side);
  Tessellation_Request request;
  request.angle = options.tessellation.angular_deflection_degrees * degrees;
  request.in_parallel = options.in_parallel;
  request.deflection = options.tessellation.deflection;
  if (request.deflection == 0.0) {
    request.deflection = default_deflection_device_units * device_unit;
    request.min_size = device_unit;
  }
  return request;
}

Model model_of(const std::string& path, const std::vector<Cad_Part>& parts,
               const Tessellation_Request& request, const Cad_Options& options) {
  Model model;
  model.path = path;
  // STEP, IGES and BREP parts are modelled z-up (conventional_up_axis).
  model.up = Up_Axis::z;
  Body_Maker maker(options, request.deflection);
  for (const Body_Source& source : body_sources(parts, path)) {
    Tessellation_Failure failure;
    Body body = maker.make(source, failure);
    if (failure.faces_failed > 0) {
      const std::string what = path + ": part '" + source.name +
                               "': " + std::to_string(failure.faces_failed) + " of " +
                               std::to_string(failure.faces) + " faces could not be tessellated";
      if (!options.tessellation.keep_going) throw input_error(what);
      if (options.warn) options.warn(what + "; drawing the rest");
    }
    if (!body.triangles.empty() || !body.lines.empty()) model.bodies.push_back(std::move(body));
  }
  if (model.bodies.empty()) throw input_error(path + ": no part could be tessellated");
  return model;
}

// Every file is read before any is tessellated: the default deflection
// follows the size of the whole drawing, so that a small part beside a big
// one is meshed for the few device units it covers, not for its own size.
std::vector<Model> load_here(const std::vector<std::string>& paths, const Cad_Options& options) {
  Cad_Readers readers(paths, options);
  readers.read();
  const std::vector<std::optional<Read_Summary>> summaries = readers.summaries();
  const Tessellation_Request request = tessellation_request(summaries, options);
  bool any_read = false;
  for (std::size_t k = 0; k < paths.size(); ++k) {
    if (!summaries[k]) continue;
    any_read = true;
    if (!(request.deflection > 0.0 && std::isfinite(request.deflection)))
      throw input_error(paths[k] + ": the part has no size to choose a deflection from");
  }
  std::vector<std::optional<std::vector<Cad_Part>>> parts;
  if (any_read) parts = readers.tessellate(request);
  parts.resize(paths.size());

  std::vector<Model> models;
  Cad_Report report;
  report.deflection = request.deflection;
  report.min_size = request.min_size;
  for (std::size_t k = 0; k < paths.size(); ++k) {
    if (summaries[k]) report.dense_faces += summaries[k]->dense_faces;
    if (summaries[k] && summaries[k]->free_edges_before > 0) {
      ++report.files_sewn;
      report.free_edges_before += summaries[k]->free_edges_before;
      report.free_edges_after += summaries[k]->free_edges_after;
    }
    if (!parts[k]) {
      ++report.files_skipped;
      models.push_back(Model{paths[k], {}});
      continue;
    }
    try {
      models.push_back(model_of(paths[k], *parts[k], request, options));
    } catch (const Standard_Failure& failure) {
      throw input_error(paths[k] + ": " + open_cascade_error(failure).what());
    } catch (const Tool_Error& error) {
      if (!options.tessellation.keep_going) throw;
      if (options.warn) options.warn(std::string(error.what()) + "; skipped");
      ++report.files_skipped;
      models.push_back(Model{paths[k], {}});
    }
  }
  if (report.files_skipped == int(paths.size()) && !options.other_models_box)
    throw input_error("nothing to draw: no CAD file could be used");
  if (options.report != nullptr) *options.report = report;
  return models;
}

}  // namespace

extern "C" HLR_CAD_ENTRY_EXPORT int hlr_cad_load(const Cad_Load_Call* call) {
  return status_of_module_call(*call->error,
                               [call] { *call->models = load_here(*call->paths, *call->options); });
}

}  // namespace hlr_tool
