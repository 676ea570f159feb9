// What the renderer is fed for one drawing: per body, its triangles as
// strips and its drawn edges as polylines, in device coordinates.
#pragma once

#include "tool/models/camera.h"
#include "tool/models/edge_selection.h"
#include "tool/models/model.h"

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

// Stands every model upright (Model::up), projects its bodies through the
// camera, strips their triangles and selects and joins their edges (crease
// angles are the model's own). A line segment of the file that repeats a selected
// edge, or another line segment, is drawn once.
// Throws Tool_Error (exit status 2) for a crease angle outside [0, 180].
Scene build_scene(std::span<const Model> models, const Camera& camera, const Edge_Options& options);

}  // namespace hlr_tool
