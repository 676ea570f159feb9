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
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tool/common/vec3.h"
#include "tool/models/up_axis.h"

namespace hlr_tool {

class Exact_Outlines;

using Model_Point = Vec3;

// Indices into Body::positions. The order of the three corners carries no
// meaning for the tool: nothing downstream relies on a consistent winding.
using Triangle = std::array<std::uint32_t, 3>;

// Colours are packed 0xAARRGGBB.
using Color_ARGB = std::uint32_t;

// What a body without a colour of its own is drawn with.
inline constexpr Color_ARGB default_line_color = 0xFF000000u;
inline constexpr Color_ARGB default_face_color = 0xFFB4B4B4u;

// A CAD edge's exact curve, in model coordinates: a line, the points
// origin + t * u, or an ellipse, the points origin + u cos t + v sin t (a
// circle when u and v are as long and at right angles). A parallel
// projection maps it onto the same kind of curve, each point keeping its
// parameter t.
struct Edge_Curve {
  enum class Kind : std::uint8_t { line, ellipse };
  Kind kind = Kind::line;
  Vec3 origin{0, 0, 0};
  Vec3 u{0, 0, 0};
  Vec3 v{0, 0, 0};
};

// Where a line of a body lies on one of its curves: the curve's index in
// Body::curves and the parameter of each of the line's points, in the
// line's order. The parameters run on without a jump where a closed curve
// passes its start (2 pi is followed by 2 pi plus a little, not by 0).
struct Line_Curve {
  static constexpr std::uint32_t none = 0xFFFFFFFFu;
  std::uint32_t curve = none;
  std::vector<double> parameters;  // empty with none
};

// A face of a CAD part round an axis, for its centre lines: the points
// origin + s * direction (unit length) are the axis, and the face lies
// between s = from and s = to (from < to), at most `radius` from it. A
// cylinder or cone (a hole, a shaft, a boss, a chamfer) has an axis of its
// own, and goes `turn` radians round it (2 pi for a whole cylinder, pi for
// each of the halves many files split one into); a sphere, torus or
// surface of revolution (a screw's domed head, a fillet round a shaft)
// only lengthens and widens the axis of such faces when it lies on it and
// goes half a turn round it or more.
struct Axial_Face {
  Vec3 origin{0, 0, 0};
  Vec3 direction{0, 0, 1};
  double from = 0.0;
  double to = 0.0;
  double radius = 0.0;
  double turn = 0.0;
  bool own_axis = false;
};

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
  // The exact surfaces the triangles stand for, when there are any (CAD
  // parts): the outlines are drawn on them (exact_outlines.h).
  std::shared_ptr<const Exact_Outlines> exact_outlines;
  // The exact curves of the lines that are lines, circles or ellipses
  // (CAD parts' edges), so that a drawing can draw them as such; every
  // point of such a line lies on its curve within the tessellation's
  // deflection. line_curves is empty, or holds one entry per line.
  std::vector<Edge_Curve> curves;
  std::vector<Line_Curve> line_curves;
  // Its faces round an axis (CAD parts); empty for meshes.
  std::vector<Axial_Face> axial_faces;
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
// `threads`: what reading the file may use (the model is the same for any).
Model load_model(const std::string& path, std::size_t threads = 1);

}  // namespace hlr_tool
