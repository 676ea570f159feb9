// The exact outlines of a CAD part's body (tool/models/exact_outlines.h):
// each outline point found on the triangles, inside a face, is moved onto
// the face's surface where its normal is square to the view, by Newton's
// method from the point's own surface parameters.
#pragma once

#include <TopoDS_Face.hxx>

#include <cstdint>
#include <vector>

#include "tool/models/exact_outlines.h"

namespace hlr_tool {

class Face_Outlines final : public Exact_Outlines {
 public:
  // Where a body's vertex lies: inside a face at surface parameters (u, v),
  // on an edge (where it stays), or nowhere (a point of a free edge).
  struct Vertex_Place {
    std::int32_t face = -1;  // index into faces; -1: on no face
    bool on_edge = false;
    double u = 0.0, v = 0.0;
  };

  std::vector<TopoDS_Face> faces;    // placed in world coordinates
  std::vector<Vertex_Place> places;  // one per vertex of the body
  double deflection = 0.0;           // of the triangles, model units

  std::vector<std::vector<Model_Point>> outlines(
      const std::vector<std::vector<std::uint32_t>>& chains, std::span<const Model_Point> positions,
      const Model_View& view, const Line_Test& on_line) const override;
};

}  // namespace hlr_tool
