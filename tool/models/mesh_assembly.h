// From the meshes of a file to the Model's bodies, by the rules load_model
// promises (model.h). Both ways of reading a file go through here, Assimp's
// and the tool's own readers of OFF, OBJ, STL and PLY, so the two weld the
// same points in the same order and split the same quadrilaterals the same
// way, and a file gives the same Model whichever reads it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tool/models/model.h"

namespace hlr_tool {

// A body under construction, with the table that welds its positions: a
// position equal (by Position_Key) to one the body already holds gets that
// one's index; a new one is appended, so indices follow first use.
class Body_Builder {
 public:
  Body body;

  // `expected_positions` only sizes the table up front.
  void reserve(std::size_t expected_positions);
  std::uint32_t weld(const Model_Point& p);

 private:
  void grow();

  static constexpr std::uint32_t empty_slot = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> slots_;  // open addressing, linear probing; indices into positions
};

// One mesh as an importer hands it over: single-precision vertices in the
// file's order and faces of indices into them. Every index is below
// vertices.size(). Face sizes are 1 (a point, ignored), 2 (a line segment),
// 3 or 4; a file with larger polygons is left to Assimp, whose ear
// clipping is not reproduced here.
struct Imported_Mesh {
  std::vector<std::array<float, 3>> vertices;
  std::vector<std::uint32_t> corners;    // the faces' indices, one face after another
  std::vector<std::uint8_t> face_sizes;  // one entry per face
};

// Where vertex `v` of the mesh being added was given ("FILE:LINE", or the
// file and a record number), for the message about a coordinate that is
// not finite. Called only when there is such a coordinate.
using Vertex_Place = std::function<std::string(std::uint32_t v)>;

// Adds the mesh's triangles and lines to `builder` as the Assimp path
// always has: a mesh holding a quadrilateral (or any face of another size
// than 1, 2, 3) is triangulated first, each quadrilateral split from its
// concave corner if it has one, and faces rotated where the triangulation's
// polygon marking would otherwise run two polygons together; then only the
// vertices a triangle or line uses are welded, in face order; triangles
// whose corners welded together are dropped; consecutive line segments
// that continue one another become one polyline. Throws Tool_Error
// (status 2) when a used vertex has a coordinate that is not finite.
void add_imported_mesh(Body_Builder& builder, const Imported_Mesh& mesh, const Vertex_Place& place);

// The Model of these bodies in their order, leaving out bodies without a
// triangle or line; throws Tool_Error (status 2) when none is left.
Model finished_model(const std::string& path, std::vector<Body_Builder>& builders);

}  // namespace hlr_tool
