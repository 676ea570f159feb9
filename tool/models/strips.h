// Triangle strips built greedily from the mesh's adjacency.
//
// A strip is a sequence of vertex indices s in which triangle k has the
// corners s[k], s[k + 1], s[k + 2]. Winding alternates along a strip and is
// not kept: the renderer orders each triangle's corners itself, so only
// which three points make a triangle matters. Every input triangle appears
// in exactly one strip, once.
#pragma once

#include "tool/models/edge_table.h"
#include "tool/models/model.h"

#include <cstdint>
#include <span>
#include <vector>

namespace hlr_tool {

using Strip = std::vector<std::uint32_t>;

// Starts each strip at a triangle with the fewest neighbours left, tries
// the three ways through it (forwards and backwards from each pair of
// edges) and keeps the longest. Linear in the number of triangles.
std::vector<Strip> build_strips(std::span<const Triangle> triangles, const Edge_Table& table);

}  // namespace hlr_tool
