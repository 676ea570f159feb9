#include "tool/models/scene.h"

#include "tool/common/errors.h"

#include <algorithm>
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
                      const Camera& camera, const Edge_Options& options, Scene_Stats& stats) {
  Scene_Body out;
  out.name = body.name;
  out.face_color = body.color.value_or(default_face_color);
  out.line_color = body.color.value_or(default_line_color);

  std::vector<Device_Point> device;
  device.reserve(body.positions.size());
  for (const Model_Point& p : body.positions) device.push_back(camera.to_device(upright(p, up)));

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
      scene.bodies.push_back(
          topology != nullptr
              ? build_body(body, model.up, topology->at(b), camera, options, scene.stats)
              : build_body(body, model.up, body_topology(body), camera, options, scene.stats));
    }
  }
  return scene;
}

}  // namespace hlr_tool
