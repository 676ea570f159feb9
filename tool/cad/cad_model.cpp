// The Open CASCADE side of load_cad_model, built as the module the loader
// (cad_loader.cpp) opens on the first CAD file: see cad_entry.h. STEP and
// IGES files are read by the XDE module, which this one opens on the first
// of them: see xde_entry.h.
#include "tool/cad/cad_model.h"
#include "tool/cad/cad_entry.h"
#include "tool/cad/xde_entry.h"
#include "tool/common/module_open.h"

#include "tool/common/errors.h"
#include "tool/common/input_files.h"
#include "tool/models/position_key.h"

#include <BRepAdaptor_Curve.hxx>
#include <BRepBndLib.hxx>
#include <BRepLib.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GCPnts_TangentialDeflection.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <Message_SequenceOfPrinters.hxx>
#include <Poly_Polygon3D.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <Standard_Failure.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_DataMapOfShapeInteger.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
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

enum class Cad_Format { step, iges, brep };

std::optional<Cad_Format> format_of(std::string_view path) {
  const std::string extension = extension_of(path);
  if (extension == "step" || extension == "stp") return Cad_Format::step;
  if (extension == "iges" || extension == "igs") return Cad_Format::iges;
  if (extension == "brep") return Cad_Format::brep;
  return std::nullopt;
}

std::vector<Cad_Part> read_with_xde(const std::string& path, Xde_Format format) {
  std::vector<Cad_Part> parts;
  std::string error;
  const Xde_Read_Call call{&path, format, &parts, &error};
  // The XDE module, opened beside this one on the first STEP or IGES file.
  call_module(reinterpret_cast<const void*>(&read_with_xde), "libhlr_cad_xde.so", xde_entry_name,
              call);
  return parts;
}

std::vector<Cad_Part> read_parts(const std::string& path, Cad_Format format) {
  if (format == Cad_Format::brep) {
    // The reader writes its complaint about a file that is not BREP to
    // standard output, which is the tool's: such a file is turned away
    // here first, by the header every BREP file starts with.
    std::ifstream file(path, std::ios::binary);
    std::string head(512, '\0');
    file.read(head.data(), std::streamsize(head.size()));
    head.resize(std::size_t(file.gcount()));
    if (head.find("CASCADE Topology V") == std::string::npos)
      throw input_error(path + ": cannot read the file as BREP (no \"CASCADE Topology\" header)");
    TopoDS_Shape shape;
    BRep_Builder builder;
    if (!BRepTools::Read(shape, path.c_str(), builder))
      throw input_error(path + ": cannot read the file as BREP");
    if (shape.IsNull()) return {};
    return {{shape, std::filesystem::path(path).stem().string(), std::nullopt}};
  }
  return read_with_xde(path, format == Cad_Format::step ? Xde_Format::step : Xde_Format::iges);
}

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
    TopExp::MapShapes(source.shape, TopAbs_FACE, faces_);
    node_vertex_.assign(std::size_t(faces_.Extent()), {});
    shared_.Clear();
    edge_vertices_.clear();
    for (Standard_Integer f = 1; f <= faces_.Extent(); ++f) {
      ++failure.faces;
      if (!add_face(f)) ++failure.faces_failed;
    }
    add_edges(source.shape);
    faces_.Clear();
    return std::move(body_);
  }

 private:
  std::uint32_t weld(const gp_Pnt& p) {
    const Position_Key key = Position_Key::of(p.X(), p.Y(), p.Z());
    auto [it, inserted] = welded_.try_emplace(key, std::uint32_t(body_.positions.size()));
    if (inserted) body_.positions.push_back({p.X(), p.Y(), p.Z()});
    return it->second;
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
    const auto node_vertex = [&](Standard_Integer n) -> std::uint32_t {
      if (vertex[std::size_t(n)] == no_vertex) {
        const gp_Pnt p = mesh->Node(n).Transformed(placement);
        if (!finite(p)) return no_vertex;
        vertex[std::size_t(n)] = weld(p);
      }
      return vertex[std::size_t(n)];
    };

    for (TopExp_Explorer x(face, TopAbs_EDGE); x.More(); x.Next()) {
      const TopoDS_Edge& edge = TopoDS::Edge(x.Current());
      const Handle(Poly_PolygonOnTriangulation)& polygon =
          BRep_Tool::PolygonOnTriangulation(edge, mesh, location);
      if (polygon.IsNull()) continue;
      const Standard_Integer count = polygon->NbNodes();
      Standard_Integer slot = 0;
      if (shared_.Find(edge, slot) &&
          edge_vertices_[std::size_t(slot)].size() == std::size_t(count)) {
        const std::vector<std::uint32_t>& first = edge_vertices_[std::size_t(slot)];
        for (Standard_Integer k = 1; k <= count; ++k) {
          const Standard_Integer n = polygon->Node(k);
          if (n >= 1 && n <= mesh->NbNodes() && vertex[std::size_t(n)] == no_vertex)
            vertex[std::size_t(n)] = first[std::size_t(k - 1)];
        }
      } else if (!shared_.IsBound(edge)) {
        std::vector<std::uint32_t> first(std::size_t(count), no_vertex);
        for (Standard_Integer k = 1; k <= count; ++k) {
          const Standard_Integer n = polygon->Node(k);
          if (n >= 1 && n <= mesh->NbNodes()) first[std::size_t(k - 1)] = node_vertex(n);
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
      if (line.size() >= 2) body_.lines.push_back(std::move(line));
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
    if (line.size() >= 2) body_.lines.push_back(std::move(line));
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
};

double diagonal_of(const Bnd_Box& box) {
  if (box.IsVoid()) return 0.0;
  double x0, y0, z0, x1, y1, z1;
  box.Get(x0, y0, z0, x1, y1, z1);
  return std::hypot(x1 - x0, y1 - y0, z1 - z0);
}

// Open CASCADE's readers report on standard output, which belongs to the
// program that loaded this module, through the process's default
// messenger. While any load runs, that messenger's stream printers are
// taken off; the last load to end puts them back, so a program using Open
// CASCADE itself keeps its messages.
class Quiet_Messenger {
 public:
  Quiet_Messenger() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (loads_++ > 0) return;
    const Handle(Message_Messenger)& messenger = Message::DefaultMessenger();
    for (const Handle(Message_Printer) & printer : messenger->Printers()) {
      if (printer->IsKind(STANDARD_TYPE(Message_PrinterOStream))) taken_.Append(printer);
    }
    messenger->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
  }
  Quiet_Messenger(const Quiet_Messenger&) = delete;
  Quiet_Messenger& operator=(const Quiet_Messenger&) = delete;
  ~Quiet_Messenger() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (--loads_ > 0) return;
    for (const Handle(Message_Printer) & printer : taken_) {
      Message::DefaultMessenger()->AddPrinter(printer);
    }
    taken_.Clear();
  }

 private:
  static inline std::mutex mutex_;
  static inline int loads_ = 0;
  static inline Message_SequenceOfPrinters taken_;
};

// Held around every read of a file. Every Open CASCADE 7.6 reader,
// BRepTools::Read too, parses numbers with its Strtod, which keeps its
// big-number scratch lists in unlocked globals (two threads reading STEP
// files with 20-digit numbers at once got different models or a corrupted
// heap within a few rounds), and the STEP and IGES readers share their
// session settings besides. One lock for the process, whichever front end
// (a Python thread, a view) reads.
std::mutex reading;

struct File_Read {
  std::string path;
  std::vector<Body_Source> sources;
};

void progress(const Cad_Options& options, const std::string& status) {
  if (options.progress) options.progress(status);
}

File_Read read_file(const std::string& path, Cad_Format format, const Cad_Options& options) {
  progress(options, "reading " + path);
  std::vector<Cad_Part> parts;
  {
    const std::lock_guard<std::mutex> lock(reading);
    parts = read_parts(path, format);
  }
  std::vector<Body_Source> sources = body_sources(parts, path);

  bool has_face = false;
  for (const Body_Source& source : sources) {
    if (TopExp_Explorer(source.shape, TopAbs_FACE).More()) has_face = true;
  }
  if (parts.empty()) throw input_error(path + ": holds no shape");
  if (!has_face) throw input_error(path + ": holds no faces (nothing to draw a surface of)");
  return {path, std::move(sources)};
}

Model tessellate(const File_Read& file, double deflection, const Cad_Options& options) {
  const std::string& path = file.path;
  const std::vector<Body_Source>& sources = file.sources;
  const double angle = options.tessellation.angular_deflection_degrees * degrees;

  // Regularity is what tells smooth edges from sharp ones; files rarely
  // carry it, so it is worked out here.
  TopoDS_Compound everything;
  BRep_Builder builder;
  builder.MakeCompound(everything);
  for (const Body_Source& source : sources) builder.Add(everything, source.shape);
  BRepLib::EncodeRegularity(everything, cad_smooth_angle_radians);

  // All parts in one call, so that the faces of all of them are shared
  // out among the threads. Relative deflection off: the one deflection
  // holds for every part, so small parts beside big ones are meshed as
  // finely as the drawing needs, no finer.
  progress(options, "tessellating " + std::to_string(sources.size()) + " parts of " + path);
  IMeshTools_Parameters mesh_parameters;
  mesh_parameters.Deflection = deflection;
  mesh_parameters.Angle = angle;
  mesh_parameters.Relative = false;
  mesh_parameters.InParallel = options.in_parallel;
  // Surface deflection control refines the inside of curved faces until
  // the triangles keep to the deflection there too, not only along the
  // edges: the outlines found on the triangles depend on it.
  mesh_parameters.ControlSurfaceDeflection = true;
  BRepMesh_IncrementalMesh(everything, mesh_parameters);

  Model model;
  model.path = path;
  // STEP, IGES and BREP parts are modelled z-up (conventional_up_axis).
  model.up = Up_Axis::z;
  Body_Maker maker(options, deflection);
  for (const Body_Source& source : sources) {
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

Cad_Format checked_format(const std::string& path) {
  const std::optional<Cad_Format> format = format_of(path);
  if (!format) throw input_error(path + ": not a STEP, IGES or BREP file name");
  check_readable(path, "CAD file");
  return *format;
}

// Every file is read before any is tessellated: the default deflection
// follows the size of the whole drawing, so that a small part beside a big
// one is meshed for the few device units it covers, not for its own size.
//
// One file after another, on this thread (reading holds `reading` in any
// case). Tessellating several files at once (each file whole
// on one of two threads) was tried and left out: on the 34 occ/*.brep
// parts together it saved 4% of the wall time on a quiet machine (0.589
// -> 0.567 s, medians of 11 alternating runs, the range 0.80 to 1.04 of
// the time) for 6% more processor time and 13 MB more memory (new
// threads' heaps), and lost 5 to 8% at load average 4 to 5; the mesher
// already shares each file's faces among the processors.
std::vector<Model> load_here(const std::vector<std::string>& paths, const Cad_Options& options) {
  const Quiet_Messenger quiet;
  std::vector<File_Read> files;
  Bnd_Box box;
  for (const std::string& path : paths) {
    const Cad_Format format = checked_format(path);
    try {
      files.push_back(read_file(path, format, options));
      for (const Body_Source& source : files.back().sources)
        BRepBndLib::Add(source.shape, box, false);
    } catch (const Standard_Failure& failure) {
      throw open_cascade_error(path, failure);
    }
  }
  if (options.other_models_box) {
    const auto& [low, high] = *options.other_models_box;
    box.Update(low.x, low.y, low.z, high.x, high.y, high.z);
  }
  double deflection = options.tessellation.deflection;
  if (deflection == 0.0) {
    deflection = diagonal_of(box) * default_deflection_device_units / double(options.drawing_side);
  }
  std::vector<Model> models;
  for (const File_Read& file : files) {
    if (!(deflection > 0.0 && std::isfinite(deflection)))
      throw input_error(file.path + ": the part has no size to choose a deflection from");
    try {
      models.push_back(tessellate(file, deflection, options));
    } catch (const Standard_Failure& failure) {
      throw open_cascade_error(file.path, failure);
    }
  }
  return models;
}

}  // namespace

extern "C" HLR_CAD_ENTRY_EXPORT int hlr_cad_load(const Cad_Load_Call* call) {
  return status_of_module_call(*call->error,
                               [call] { *call->models = load_here(*call->paths, *call->options); });
}

}  // namespace hlr_tool
