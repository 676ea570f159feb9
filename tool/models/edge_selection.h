// Which edges of a body are drawn, and how they are joined into polylines.
#pragma once

#include "tool/models/camera.h"
#include "tool/models/edge_table.h"
#include "tool/models/model.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace hlr_tool {

enum class Edge_Selection {
  all,      // every edge of every triangle
  feature,  // boundary, non-manifold, crease and silhouette edges
  // Silhouette edges between two triangles only: what a body whose lines
  // are its edges (Body::lines_are_edges) adds to them. Not a choice on the
  // command line.
  silhouettes,
};

// Reads "all" or "feature"; throws Tool_Error (exit status 2) otherwise.
Edge_Selection parse_edge_selection(std::string_view text);

struct Edge_Options {
  Edge_Selection selection = Edge_Selection::feature;
  // Two faces meeting at a larger angle between their normals make a
  // crease. In [0, 180]; 180 selects no crease at all.
  double crease_degrees = 30.0;
};

// A drawn segment between two vertices of a body.
using Vertex_Pair = std::array<std::uint32_t, 2>;

// The edges to draw, as indices into table.edges in ascending order.
//
// Feature edges are: boundary edges (one triangle), non-manifold edges
// (three or more), creases (normals more than crease_degrees apart) and
// silhouettes of this view. Both tests look at the two triangles' corners
// opposite the edge, so they hold whichever way each triangle is wound:
// the normals are compared after orienting both the same way across the
// edge, and an edge is a silhouette when the opposite corners land on the
// same side of the edge in device x-y (one face turned to the viewer, the
// other away), or when exactly one of the faces is seen edge-on.
// `device` holds the body's positions after projection.
std::vector<std::uint32_t> select_edges(const Edge_Table& table,
                                        std::span<const Triangle> triangles,
                                        std::span<const Model_Point> positions,
                                        std::span<const Device_Point> device,
                                        const Edge_Options& options);

// Joins segments into few, long polylines, walking on through every vertex
// while it has a segment left: first from each vertex where an odd number
// of segments meet (the walks pair those vertices, so no set of open
// polylines could be smaller), then around the closed walks that remain,
// which end at the point where they start. Each segment appears in exactly
// one polyline, once; a segment from a vertex to itself is a polyline of
// its own.
std::vector<std::vector<std::uint32_t>> chain_polylines(std::span<const Vertex_Pair> segments,
                                                        std::size_t vertex_count);

}  // namespace hlr_tool
