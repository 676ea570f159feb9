// Meshes made up for the benchmarks: a noisy terrain (a height field over a
// square grid, seen from above at an angle its hills hide one another) and
// a bumpy sphere (its back half hidden by its front). Both come with any
// number of triangles, so the scaling series can be measured at chosen
// sizes, and both are the same bytes on every run and every machine: the
// noise is a hash of the grid position, not a random generator.
#pragma once

#include <cstddef>
#include <string>

#include "tool/models/model.h"

namespace hlr_bench {

enum class Mesh_Shape { terrain, sphere };

// Reads "terrain" or "sphere"; throws std::invalid_argument otherwise.
Mesh_Shape parse_mesh_shape(const std::string& text);

// A model of one body with close to `triangles` triangles (never fewer
// than 8): a terrain of 2 n^2 triangles with n = round(sqrt(triangles / 2)),
// or a sphere of 4 r (r - 1) triangles with r = round(sqrt(triangles / 4))
// rings. The model follows load_model's rules (distinct positions, distinct
// corners), so the tool's scene building takes it as it takes a file.
hlr_tool::Model generate_mesh(Mesh_Shape shape, std::size_t triangles);

// Writes the model's first body as an OFF file; throws std::runtime_error
// when the file cannot be written.
void write_off(const hlr_tool::Model& model, const std::string& path);

}  // namespace hlr_bench
