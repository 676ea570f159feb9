#include "tool/models/edge_table.h"

#include <algorithm>
#include <utility>

namespace hlr_tool {

std::uint32_t Edge_Table::find(std::uint32_t a, std::uint32_t b) const {
  if (a > b) std::swap(a, b);
  if (std::size_t(a) + 1 >= first_edge_of_vertex.size()) return no_index;
  const auto first = edges.begin() + first_edge_of_vertex[a];
  const auto last = edges.begin() + first_edge_of_vertex[a + 1];
  const auto it =
      std::lower_bound(first, last, b, [](const Mesh_Edge& e, std::uint32_t v) { return e.b < v; });
  return it != last && it->b == b ? std::uint32_t(it - edges.begin()) : no_index;
}

Edge_Table build_edge_table(std::span<const Triangle> triangles, std::size_t vertex_count) {
  const std::size_t half_count = 3 * triangles.size();
  Edge_Table table;
  table.edge_of_half.resize(half_count);
  table.first_edge_of_vertex.assign(vertex_count + 1, 0);

  // Counting sort of the half-edges on their lower vertex; each entry
  // carries (higher vertex, half-edge) packed so that sorting a vertex's
  // entries groups equal edges in half-edge order without touching the
  // triangles again.
  std::vector<std::uint32_t> start(vertex_count + 1, 0);
  for (const Triangle& t : triangles) {
    for (int k = 0; k < 3; ++k) ++start[std::min(t[k], t[(k + 1) % 3]) + 1];
  }
  for (std::size_t v = 0; v < vertex_count; ++v) start[v + 1] += start[v];
  std::vector<std::uint64_t> sorted(half_count);
  {
    std::vector<std::uint32_t> cursor(start.begin(), start.end() - 1);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
      for (int k = 0; k < 3; ++k) {
        const std::uint32_t u = triangles[t][k], w = triangles[t][(k + 1) % 3];
        const std::uint64_t half = 3 * t + std::size_t(k);
        sorted[cursor[std::min(u, w)]++] = std::uint64_t(std::max(u, w)) << 32 | half;
      }
    }
  }

  // Each vertex's entries sorted, and the edges counted, first: a mesh
  // with a border has more than half as many edges as half-edges, and a
  // guess that falls short would copy the whole table once more.
  std::size_t edge_count = 0;
  for (std::size_t v = 0; v < vertex_count; ++v) {
    const auto first = sorted.begin() + start[v], last = sorted.begin() + start[v + 1];
    // Most vertices carry a handful of entries; a fan's hub may carry
    // thousands, which std::sort handles at n log n.
    std::sort(first, last);
    for (auto it = first; it != last; ++it)
      edge_count += it == first || std::uint32_t(*it >> 32) != std::uint32_t(it[-1] >> 32);
  }
  table.edges.reserve(edge_count);
  for (std::size_t v = 0; v < vertex_count; ++v) {
    table.first_edge_of_vertex[v] = std::uint32_t(table.edges.size());
    const auto first = sorted.begin() + start[v], last = sorted.begin() + start[v + 1];
    for (auto it = first; it != last;) {
      const std::uint32_t b = std::uint32_t(*it >> 32);
      Mesh_Edge edge{std::uint32_t(v), b, std::uint32_t(*it), no_index, 0};
      const auto edge_index = std::uint32_t(table.edges.size());
      for (; it != last && std::uint32_t(*it >> 32) == b; ++it) {
        const auto half = std::uint32_t(*it);
        if (edge.triangle_count == 1) edge.second_half = half;
        ++edge.triangle_count;
        table.edge_of_half[half] = edge_index;
      }
      table.edges.push_back(edge);
    }
  }
  table.first_edge_of_vertex[vertex_count] = std::uint32_t(table.edges.size());
  return table;
}

}  // namespace hlr_tool
