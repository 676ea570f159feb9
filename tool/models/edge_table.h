// The edges of a triangle mesh and the triangles on each: the adjacency
// that strips and edge selection both walk.
//
// Half-edge h = 3 * t + k is corner k of triangle t going to corner k + 1
// (mod 3). Each edge is listed once, with its lower vertex first, in order
// of (a, b); the edges of vertex v are first_edge_of_vertex[v] up to
// first_edge_of_vertex[v + 1], those whose lower vertex is v.
#pragma once

#include "tool/models/model.h"

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace hlr_tool {

inline constexpr std::uint32_t no_index = std::numeric_limits<std::uint32_t>::max();

struct Mesh_Edge {
  std::uint32_t a;               // lower vertex index
  std::uint32_t b;               // higher vertex index
  std::uint32_t first_half;      // the lowest half-edge on this edge
  std::uint32_t second_half;     // the next one, or no_index
  std::uint32_t triangle_count;  // 1: boundary, 2: manifold, more: non-manifold
};

struct Edge_Table {
  std::vector<Mesh_Edge> edges;
  std::vector<std::uint32_t> edge_of_half;          // per half-edge
  std::vector<std::uint32_t> first_edge_of_vertex;  // vertex_count + 1 entries

  // The triangle across the edge of half-edge h, when exactly two
  // triangles share it; otherwise no_index.
  std::uint32_t neighbour(std::uint32_t half) const {
    const Mesh_Edge& e = edges[edge_of_half[half]];
    if (e.triangle_count != 2) return no_index;
    return (e.first_half == half ? e.second_half : e.first_half) / 3;
  }

  // The edge joining a and b, or no_index.
  std::uint32_t find(std::uint32_t a, std::uint32_t b) const;
};

// Linear in the number of triangles plus vertices (a counting sort on the
// lower vertex); the triangles must keep the rules of Body.
Edge_Table build_edge_table(std::span<const Triangle> triangles, std::size_t vertex_count);

}  // namespace hlr_tool
