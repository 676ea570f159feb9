#include "tool/models/scene.h"

#include "tool/common/errors.h"
#include "tool/models/exact_outlines.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hlr_tool {
namespace {

Device_Polyline to_device_points(const std::vector<std::uint32_t>& indices,
                                 std::span<const Device_Point> device) {
  Device_Polyline points;
  points.reserve(indices.size());
  for (std::uint32_t i : indices) points.push_back(device[i]);
  return points;
}

// The file's line segments that are not already selected edges, each once.
void add_line_segments(const Body& body, const Edge_Table& table,
                       const std::vector<std::uint8_t>& edge_selected,
                       std::vector<Vertex_Pair>& segments) {
  std::vector<Vertex_Pair> lines;
  for (const auto& line : body.lines) {
    for (std::size_t i = 1; i < line.size(); ++i) {
      const std::uint32_t a = line[i - 1], b = line[i];
      if (a != b) lines.push_back({std::min(a, b), std::max(a, b)});
    }
  }
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  for (const Vertex_Pair& s : lines) {
    const std::uint32_t e = table.find(s[0], s[1]);
    if (e == no_index || !edge_selected[e]) segments.push_back(s);
  }
}

// The outlines of a body with exact surfaces: its silhouette edges that
// are not also its lines (an outline that lies on an edge is drawn as that
// edge), chained and moved onto the surfaces. The count of their segments.
std::size_t add_exact_outlines(const Body& body, const Edge_Table& table,
                               const std::vector<Vertex_Pair>& silhouettes, const Model_View& view,
                               Scene_Body& out) {
  std::vector<std::uint8_t> on_line(table.edges.size(), 0);
  for (const auto& line : body.lines) {
    for (std::size_t i = 1; i < line.size(); ++i) {
      if (const std::uint32_t e = table.find(line[i - 1], line[i]); e != no_index) on_line[e] = 1;
    }
  }
  std::vector<Vertex_Pair> outline_segments;
  for (const Vertex_Pair& s : silhouettes) {
    const std::uint32_t e = table.find(s[0], s[1]);
    if (e == no_index || !on_line[e]) outline_segments.push_back(s);
  }
  const std::vector<std::vector<std::uint32_t>> chains =
      chain_polylines(outline_segments, body.positions.size());
  std::size_t drawn = 0;
  const auto on_a_line = [&](std::uint32_t a, std::uint32_t b) {
    const std::uint32_t e = table.find(a, b);
    return e != no_index && on_line[e] != 0;
  };
  for (const std::vector<Model_Point>& outline :
       body.exact_outlines->outlines(chains, body.positions, view, on_a_line)) {
    Device_Polyline points;
    points.reserve(outline.size());
    for (const Model_Point& p : outline) points.push_back(view.to_device(p));
    drawn += points.size() - 1;
    out.polylines.push_back(std::move(points));
  }
  return drawn;
}

// A curve seen edge on leaves an ellipse thinner than this, in device
// units: nothing a drawing could show as a curve.
constexpr double least_minor_axis = 0.01;

// The body's curves as the view shows them, and the segments of its lines
// that lie on them. Nothing in perspective.
void add_curves(const Body& body, const Model_View& view, std::span<const Device_Point> device,
                Scene_Curves& curves) {
  if (body.line_curves.empty() || view.perspective()) return;
  std::vector<std::uint32_t> conic_of(body.curves.size(), Line_Curve::none);
  for (std::size_t c = 0; c < body.curves.size(); ++c) {
    const Edge_Curve& curve = body.curves[c];
    const auto origin = view.to_device_xy(curve.origin);
    const auto u = view.to_device_xy(curve.origin + curve.u);
    const auto v = view.to_device_xy(curve.origin + curve.v);
    Device_Conic conic{curve.kind,       origin[0],        origin[1],       u[0] - origin[0],
                       u[1] - origin[1], v[0] - origin[0], v[1] - origin[1]};
    if (curve.kind == Edge_Curve::Kind::ellipse) {
      // The minor semi-axis is the area |u x v| over the major one, at
      // most the longer of u and v.
      const double area = std::fabs(conic.u_x * conic.v_y - conic.u_y * conic.v_x);
      const double major =
          std::max(std::hypot(conic.u_x, conic.u_y), std::hypot(conic.v_x, conic.v_y));
      if (!(area > least_minor_axis * major)) continue;
    }
    conic_of[c] = std::uint32_t(curves.conics.size());
    curves.conics.push_back(conic);
  }
  for (std::size_t l = 0; l < body.line_curves.size() && l < body.lines.size(); ++l) {
    const Line_Curve& on = body.line_curves[l];
    if (on.curve >= conic_of.size() || conic_of[on.curve] == Line_Curve::none) continue;
    const std::vector<std::uint32_t>& line = body.lines[l];
    for (std::size_t i = 1; i < line.size() && i < on.parameters.size(); ++i) {
      curves.segments.push_back({device[line[i - 1]], device[line[i]], conic_of[on.curve],
                                 on.parameters[i - 1], on.parameters[i]});
    }
  }
}

Body_Topology body_topology(const Body& body) {
  // Half-edges are numbered 3 * t + k in 32 bits.
  if (body.triangles.size() > std::numeric_limits<std::uint32_t>::max() / 3 ||
      body.positions.size() >= std::numeric_limits<std::uint32_t>::max())
    throw Tool_Error("body '" + body.name + "' is too large to draw (" +
                     std::to_string(body.triangles.size()) + " triangles)");
  Body_Topology topology;
  topology.table = build_edge_table(body.triangles, body.positions.size());
  topology.strips = build_strips(body.triangles, topology.table);
  return topology;
}

Scene_Body build_body(const Body& body, Up_Axis up, const Body_Topology& topology,
                      const Camera& camera, const Edge_Options& options, Scene_Stats& stats,
                      Scene_Curves& curves) {
  Scene_Body out;
  out.name = body.name;
  out.face_color = body.color.value_or(default_face_color);
  out.line_color = body.color.value_or(default_line_color);

  std::vector<Device_Point> device;
  device.reserve(body.positions.size());
  for (const Model_Point& p : body.positions) device.push_back(camera.to_device(upright(p, up)));

  add_curves(body, Model_View(camera, up), device, curves);

  const Edge_Table& table = topology.table;
  for (const Strip& strip : topology.strips) out.strips.push_back(to_device_points(strip, device));

  Edge_Options body_options = options;
  if (body.lines_are_edges && options.selection != Edge_Selection::all)
    body_options.selection = Edge_Selection::silhouettes;
  const std::vector<std::uint32_t> selected =
      select_edges(table, body.triangles, body.positions, device, body_options);
  std::vector<Vertex_Pair> segments;
  segments.reserve(selected.size());
  std::vector<std::uint8_t> edge_selected(table.edges.size(), 0);
  for (std::uint32_t e : selected) {
    segments.push_back({table.edges[e].a, table.edges[e].b});
    edge_selected[e] = 1;
  }
  if (body.exact_outlines && body_options.selection == Edge_Selection::silhouettes) {
    stats.edges += add_exact_outlines(body, table, segments, Model_View(camera, up), out);
    segments.clear();
    edge_selected.assign(edge_selected.size(), 0);
  }
  add_line_segments(body, table, edge_selected, segments);

  for (const auto& polyline : chain_polylines(segments, body.positions.size()))
    out.polylines.push_back(to_device_points(polyline, device));

  stats.triangles += body.triangles.size();
  stats.strips += out.strips.size();
  stats.edges += segments.size();
  stats.polylines += out.polylines.size();
  return out;
}

}  // namespace

Scene_Topology build_scene_topology(std::span<const Model> models) {
  Scene_Topology topology;
  for (const Model& model : models) {
    for (const Body& body : model.bodies) topology.push_back(body_topology(body));
  }
  return topology;
}

Scene build_scene(std::span<const Model> models, const Camera& camera, const Edge_Options& options,
                  const Scene_Topology* topology) {
  Scene scene;
  scene.width = camera.width();
  scene.height = camera.height();
  for (const Model& model : models) {
    for (const Body& body : model.bodies) {
      const std::size_t b = scene.bodies.size();
      scene.bodies.push_back(topology != nullptr
                                 ? build_body(body, model.up, topology->at(b), camera, options,
                                              scene.stats, scene.curves)
                                 : build_body(body, model.up, body_topology(body), camera, options,
                                              scene.stats, scene.curves));
    }
  }
  return scene;
}

}  // namespace hlr_tool
