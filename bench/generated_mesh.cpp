#include "generated_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace hlr_bench {

namespace {

constexpr double pi = 3.14159265358979323846;

// A value in [-1, 1] from two grid coordinates (an integer hash), so the
// noise needs no generator state.
double hash_noise(std::uint32_t i, std::uint32_t j) {
  std::uint32_t h = i * 0x8da6b343u ^ j * 0xd8163841u ^ 0x9e3779b9u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return static_cast<double>(h) / 2147483647.5 - 1.0;
}

// Rolling hills of unit size and two shorter waves, plus grid noise of a
// tenth of a cell so that no two neighbouring triangles are coplanar.
hlr_tool::Model terrain(std::size_t triangles) {
  const auto n = static_cast<std::uint32_t>(
      std::max(2.0, std::round(std::sqrt(static_cast<double>(triangles) / 2.0))));
  hlr_tool::Body body;
  body.name = "terrain";
  body.positions.reserve(static_cast<std::size_t>(n + 1) * (n + 1));
  const double cell = 1.0 / n;
  for (std::uint32_t j = 0; j <= n; ++j) {
    for (std::uint32_t i = 0; i <= n; ++i) {
      const double x = i * cell;
      const double z = j * cell;
      const double height = 0.12 * std::sin(2 * pi * 1.3 * x) * std::cos(2 * pi * 1.1 * z) +
                            0.05 * std::sin(2 * pi * (3.7 * x + 2.9 * z)) +
                            0.02 * std::cos(2 * pi * 9.1 * x) * std::sin(2 * pi * 8.3 * z) +
                            0.1 * cell * hash_noise(i, j);
      body.positions.push_back({x, height, z});
    }
  }
  body.triangles.reserve(2 * static_cast<std::size_t>(n) * n);
  const auto at = [n](std::uint32_t i, std::uint32_t j) { return j * (n + 1) + i; };
  for (std::uint32_t j = 0; j < n; ++j) {
    for (std::uint32_t i = 0; i < n; ++i) {
      // Alternate the diagonal so the grid has no preferred direction.
      if ((i + j) % 2 == 0) {
        body.triangles.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
        body.triangles.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
      } else {
        body.triangles.push_back({at(i, j), at(i + 1, j), at(i, j + 1)});
        body.triangles.push_back({at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
      }
    }
  }
  hlr_tool::Model model;
  model.path = "terrain";
  model.bodies.push_back(std::move(body));
  return model;
}

// Latitude rings between two poles, 2 r segments around, the radius
// disturbed by a few per cent so the silhouette and the shading differ
// from a plain sphere's.
hlr_tool::Model sphere(std::size_t triangles) {
  const auto rings = static_cast<std::uint32_t>(
      std::max(2.0, std::round(std::sqrt(static_cast<double>(triangles) / 4.0))));
  const std::uint32_t segments = 2 * rings;
  hlr_tool::Body body;
  body.name = "sphere";
  const auto point = [](double theta, double phi, double radius) {
    return hlr_tool::Model_Point{radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta),
                                 radius * std::sin(theta) * std::sin(phi)};
  };
  body.positions.push_back(point(0.0, 0.0, 1.0));  // north pole, index 0
  for (std::uint32_t r = 1; r < rings; ++r) {
    const double theta = pi * r / rings;
    for (std::uint32_t s = 0; s < segments; ++s) {
      const double phi = 2 * pi * s / segments;
      const double radius =
          1.0 + 0.04 * std::sin(5 * theta) * std::cos(7 * phi) + 0.002 * hash_noise(r, s);
      body.positions.push_back(point(theta, phi, radius));
    }
  }
  const std::uint32_t south = static_cast<std::uint32_t>(body.positions.size());
  body.positions.push_back(point(pi, 0.0, 1.0));
  const auto at = [segments](std::uint32_t r, std::uint32_t s) {
    return 1 + (r - 1) * segments + s % segments;
  };
  for (std::uint32_t s = 0; s < segments; ++s) {
    body.triangles.push_back({0, at(1, s + 1), at(1, s)});
    body.triangles.push_back({south, at(rings - 1, s), at(rings - 1, s + 1)});
  }
  for (std::uint32_t r = 1; r + 1 < rings; ++r) {
    for (std::uint32_t s = 0; s < segments; ++s) {
      body.triangles.push_back({at(r, s), at(r, s + 1), at(r + 1, s + 1)});
      body.triangles.push_back({at(r, s), at(r + 1, s + 1), at(r + 1, s)});
    }
  }
  hlr_tool::Model model;
  model.path = "sphere";
  model.bodies.push_back(std::move(body));
  return model;
}

struct File_Closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

Mesh_Shape parse_mesh_shape(const std::string& text) {
  if (text == "terrain") return Mesh_Shape::terrain;
  if (text == "sphere") return Mesh_Shape::sphere;
  throw std::invalid_argument("unknown mesh shape '" + text + "' (expected terrain or sphere)");
}

hlr_tool::Model generate_mesh(Mesh_Shape shape, std::size_t triangles) {
  return shape == Mesh_Shape::terrain ? terrain(triangles) : sphere(triangles);
}

void write_off(const hlr_tool::Model& model, const std::string& path) {
  const hlr_tool::Body& body = model.bodies.at(0);
  std::unique_ptr<std::FILE, File_Closer> file(std::fopen(path.c_str(), "w"));
  if (!file) throw std::runtime_error("cannot write " + path);
  std::fprintf(file.get(), "OFF\n%zu %zu 0\n", body.positions.size(), body.triangles.size());
  for (const hlr_tool::Model_Point& p : body.positions) {
    std::fprintf(file.get(), "%.9g %.9g %.9g\n", p.x, p.y, p.z);
  }
  for (const hlr_tool::Triangle& t : body.triangles) {
    std::fprintf(file.get(), "3 %u %u %u\n", t[0], t[1], t[2]);
  }
  if (std::ferror(file.get()) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace hlr_bench
