// The exact surfaces a body's triangles stand for (a CAD part's faces),
// onto which the outlines of a view, found on the triangles, are moved.
// Found on the triangles alone, an outline follows their edges: on a small
// fillet or a saddle it zigzags by about a device unit and leaves short
// ticks; on the exact surface it is a smooth curve.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "tool/models/camera.h"
#include "tool/models/model.h"

namespace hlr_tool {

// Whether two vertices of the body are joined by a segment of its lines.
using Line_Test = std::function<bool(std::uint32_t, std::uint32_t)>;

class Exact_Outlines {
 public:
  virtual ~Exact_Outlines() = default;

  // The outlines to draw for the view, in model coordinates,
  // from `chains`: the body's outlines found on its triangles, each a
  // chain of indices into `positions` (the body's). Each point inside a
  // face is moved onto the exact outline nearby (points on the face's
  // edges stay) and the points are drawn in their order along it, so that
  // an outline never turns back on itself over a device unit or two
  // (cusps aside). Left out: a piece shorter than a device unit that ends
  // inside a face, one that reaches no farther than a device unit from its
  // start, and a last step along one of the body's lines (`on_line`),
  // which the line draws. Safe to call from several threads at once.
  virtual std::vector<std::vector<Model_Point>> outlines(
      const std::vector<std::vector<std::uint32_t>>& chains, std::span<const Model_Point> positions,
      const Model_View& view, const Line_Test& on_line) const = 0;
};

}  // namespace hlr_tool
