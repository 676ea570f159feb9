// Small meshes built by hand for the tool's tests.
#pragma once

#include "tool/models/model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace hlr_tool::testing {

// The cube [-1, 1]^3, each face split along a diagonal, wound outwards.
inline Body cube_body() {
  Body body;
  body.name = "cube";
  for (int i = 0; i < 8; ++i)
    body.positions.push_back({i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0});
  // Corner bits: 1 = +x, 2 = +y, 4 = +z.
  const std::uint32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) {
    body.triangles.push_back({q[0], q[1], q[2]});
    body.triangles.push_back({q[0], q[2], q[3]});
  }
  return body;
}

// A latitude-longitude sphere of radius 1 around the origin with a single
// vertex at each pole.
inline Body sphere_body(int rings, int segments) {
  Body body;
  body.name = "sphere";
  const double pi = std::numbers::pi;
  body.positions.push_back({0, 1, 0});
  for (int r = 1; r < rings; ++r) {
    const double polar = pi * r / rings;
    for (int s = 0; s < segments; ++s) {
      const double azimuth = 2 * pi * s / segments;
      body.positions.push_back({std::sin(polar) * std::cos(azimuth), std::cos(polar),
                                std::sin(polar) * std::sin(azimuth)});
    }
  }
  body.positions.push_back({0, -1, 0});
  const auto ring_vertex = [&](int r, int s) {
    return std::uint32_t(1 + (r - 1) * segments + s % segments);
  };
  const auto south = std::uint32_t(body.positions.size() - 1);
  for (int s = 0; s < segments; ++s) {
    body.triangles.push_back({0, ring_vertex(1, s + 1), ring_vertex(1, s)});
    for (int r = 1; r + 1 < rings; ++r) {
      body.triangles.push_back(
          {ring_vertex(r, s), ring_vertex(r, s + 1), ring_vertex(r + 1, s + 1)});
      body.triangles.push_back(
          {ring_vertex(r, s), ring_vertex(r + 1, s + 1), ring_vertex(r + 1, s)});
    }
    body.triangles.push_back({ring_vertex(rings - 1, s), ring_vertex(rings - 1, s + 1), south});
  }
  return body;
}

// An n x n grid of squares in the plane z = 0, two triangles each.
inline Body grid_body(int n) {
  Body body;
  body.name = "grid";
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) body.positions.push_back({double(i), double(j), 0.0});
  const auto at = [n](int i, int j) { return std::uint32_t(j * (n + 1) + i); };
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      body.triangles.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
      body.triangles.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
    }
  }
  return body;
}

inline Model model_of(Body body) {
  Model model;
  model.path = "test";
  model.bodies.push_back(std::move(body));
  return model;
}

// A triangle's corners in ascending order: the same triangle whichever
// way it is wound.
inline Triangle sorted(Triangle t) {
  std::sort(t.begin(), t.end());
  return t;
}

}  // namespace hlr_tool::testing
