// A model as the tool reads it from a file: bodies of triangles and lines in
// one world coordinate system, with the file's scene graph already applied.
//
// What a caller may rely on after load_model:
// - every body holds at least one triangle or one line;
// - positions are finite, and no two positions of one body are equal
//   (coincident points were welded, so neighbouring triangles share vertex
//   indices wherever the file's points coincide exactly);
// - every index is below positions.size(), the three indices of a triangle
//   are distinct, and consecutive indices of a line differ.
// Code that builds a Model by hand (tests, generators) keeps the same rules.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tool/common/vec3.h"
#include "tool/models/up_axis.h"

namespace hlr_tool {

using Model_Point = Vec3;

// Indices into Body::positions. The order of the three corners carries no
// meaning for the tool: nothing downstream relies on a consistent winding.
using Triangle = std::array<std::uint32_t, 3>;

// Colours are packed 0xAARRGGBB.
using Color_ARGB = std::uint32_t;

// What a body without a colour of its own is drawn with.
inline constexpr Color_ARGB default_line_color = 0xFF000000u;
inline constexpr Color_ARGB default_face_color = 0xFFB4B4B4u;

// The geometry of one material: everything in the file that shares the
// material becomes one body, so edges between its parts are found.
struct Body {
  std::string name;                 // the material's name
  std::optional<Color_ARGB> color;  // the material's diffuse colour, opaque
  std::vector<Model_Point> positions;
  std::vector<Triangle> triangles;
  std::vector<std::vector<std::uint32_t>> lines;  // polylines of indices
  // The lines are the body's edges, as a CAD part's B-rep edges are: of its
  // triangles' edges only the outlines of the view are drawn besides them
  // (never creases or mesh boundaries), unless every edge is asked for.
  bool lines_are_edges = false;
};

struct Model {
  std::string path;
  std::vector<Body> bodies;
  // Which way is up in the model's coordinates; the camera stands it
  // upright (up_axis.h). Models made by hand are y-up unless they say.
  Up_Axis up = Up_Axis::y;
};

// Reads a model file in any format Assimp reads. Polygons are split into
// triangles; line elements are kept as lines; points are ignored. The up
// axis is the one the file declares where Assimp reports it (the UpAxis and
// UpAxisSign of its metadata, as for FBX), else its format's convention
// (conventional_up_axis: z for STL and 3MF, y for the rest).
// Throws Tool_Error with exit status 2, its message starting with `path`,
// when the file is missing or unreadable, when no reader accepts it, when a
// coordinate is not finite, or when it holds no triangle and no line.
Model load_model(const std::string& path);

}  // namespace hlr_tool
