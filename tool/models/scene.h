// What the renderer is fed for one drawing: per body, its triangles as
// strips and its drawn edges as polylines, in device coordinates.
#pragma once

#include "tool/models/camera.h"
#include "tool/models/edge_selection.h"
#include "tool/models/edge_table.h"
#include "tool/models/model.h"
#include "tool/models/strips.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace hlr_tool {

using Device_Polyline = std::vector<Device_Point>;

struct Scene_Body {
  std::string name;
  Color_ARGB face_color;  // the material's colour, or default_face_color
  Color_ARGB line_color;  // the material's colour, or default_line_color
  // Triangle k of a strip has the points k, k + 1, k + 2; every strip has
  // at least three points.
  std::vector<Device_Polyline> strips;
  // The selected edges and the file's lines, joined where they meet;
  // every polyline has at least two points.
  std::vector<Device_Polyline> polylines;
};

struct Scene_Stats {
  std::size_t triangles = 0;
  std::size_t strips = 0;
  std::size_t edges = 0;  // drawn segments: selected edges plus line segments
  std::size_t polylines = 0;
};

struct Scene {
  int width = 0;  // the device rectangle [0, width] x [0, height]
  int height = 0;
  std::vector<Scene_Body> bodies;  // models in order, bodies in file order
  Scene_Stats stats;
};

// What of a body's scene holds in every view: its edge table and its
// triangles as strips of vertex indices.
struct Body_Topology {
  Edge_Table table;
  std::vector<Strip> strips;
};

// One per body of the models, in the scene's order.
using Scene_Topology = std::vector<Body_Topology>;

// Throws Tool_Error (exit status 2) for a body too large to draw (its
// half-edges are numbered in 32 bits).
Scene_Topology build_scene_topology(std::span<const Model> models);

// Stands every model upright (Model::up), projects its bodies through the
// camera, strips their triangles and selects and joins their edges. A line
// segment of the file that repeats a selected edge, or another line
// segment, is drawn once. `topology`, when given, is
// build_scene_topology(models), made once for many views; without it each
// body's is made as the body is projected and dropped after it, so the
// scene is the same either way.
// Throws Tool_Error (exit status 2) for a crease angle outside [0, 180] and
// for a body too large to draw.
Scene build_scene(std::span<const Model> models, const Camera& camera, const Edge_Options& options,
                  const Scene_Topology* topology = nullptr);

}  // namespace hlr_tool
