#include "tool/models/edge_selection.h"

#include "tool/common/errors.h"

#include <cmath>
#include <numbers>
#include <string>

namespace hlr_tool {
namespace {

// Twice the signed x-y area of a, b, c in device space, from the widened
// single-precision coordinates.
double signed_area(const Device_Point& a, const Device_Point& b, const Device_Point& c) {
  return (double(b.x) - double(a.x)) * (double(c.y) - double(a.y)) -
         (double(b.y) - double(a.y)) * (double(c.x) - double(a.x));
}

class Feature_Test {
 public:
  Feature_Test(std::span<const Triangle> triangles, std::span<const Model_Point> positions,
               std::span<const Device_Point> device, double crease_degrees)
      : triangles_(triangles),
        positions_(positions),
        device_(device),
        test_creases_(crease_degrees < 180.0),
        cos_crease_(std::cos(crease_degrees * std::numbers::pi / 180.0)) {}

  bool is_feature(const Mesh_Edge& edge) const {
    if (edge.triangle_count != 2) return true;  // boundary or non-manifold
    const Side first = side(edge.first_half), second = side(edge.second_half);
    return is_silhouette(edge, first, second) || (test_creases_ && is_crease(first, second));
  }

  bool is_outline(const Mesh_Edge& edge) const {
    return edge.triangle_count == 2 &&
           is_silhouette(edge, side(edge.first_half), side(edge.second_half));
  }

 private:
  // One triangle seen from an edge: its corner off the edge and whether it
  // runs along the edge from a to b.
  struct Side {
    const Triangle* triangle;
    std::uint32_t opposite;
    std::uint32_t from;
  };

  Side side(std::uint32_t half) const {
    const Triangle& t = triangles_[half / 3];
    const std::uint32_t k = half % 3;
    return {&t, t[(k + 2) % 3], t[k]};
  }

  Vec3 normal(const Triangle& t) const {
    const Model_Point& a = positions_[t[0]];
    return cross(positions_[t[1]] - a, positions_[t[2]] - a);
  }

  // Two triangles wound alike run along their shared edge in opposite
  // directions; when they run the same way one normal is turned round.
  // A triangle without area has no normal and makes no crease.
  bool is_crease(const Side& first, const Side& second) const {
    const Vec3 n0 = normal(*first.triangle);
    Vec3 n1 = normal(*second.triangle);
    if (first.from == second.from) n1 = {-n1.x, -n1.y, -n1.z};
    const double lengths = std::sqrt(dot(n0, n0) * dot(n1, n1));
    if (!(lengths > 0.0)) return false;
    return dot(n0, n1) < cos_crease_ * lengths;
  }

  bool is_silhouette(const Mesh_Edge& edge, const Side& first, const Side& second) const {
    const Device_Point& a = device_[edge.a];
    const Device_Point& b = device_[edge.b];
    const double s0 = signed_area(a, b, device_[first.opposite]);
    const double s1 = signed_area(a, b, device_[second.opposite]);
    if ((s0 > 0.0 && s1 > 0.0) || (s0 < 0.0 && s1 < 0.0)) return true;
    return (s0 == 0.0) != (s1 == 0.0);
  }

  std::span<const Triangle> triangles_;
  std::span<const Model_Point> positions_;
  std::span<const Device_Point> device_;
  bool test_creases_;
  double cos_crease_;
};

}  // namespace

Edge_Selection parse_edge_selection(std::string_view text) {
  if (text == "all") return Edge_Selection::all;
  if (text == "feature") return Edge_Selection::feature;
  throw input_error("edge selection '" + std::string(text) + "' is neither 'all' nor 'feature'");
}

std::vector<std::uint32_t> select_edges(const Edge_Table& table,
                                        std::span<const Triangle> triangles,
                                        std::span<const Model_Point> positions,
                                        std::span<const Device_Point> device,
                                        const Edge_Options& options) {
  if (!(options.crease_degrees >= 0.0 && options.crease_degrees <= 180.0))
    throw input_error("the crease angle must be between 0 and 180 degrees");
  std::vector<std::uint32_t> selected;
  if (options.selection == Edge_Selection::all) {
    selected.resize(table.edges.size());
    for (std::uint32_t e = 0; e < selected.size(); ++e) selected[e] = e;
    return selected;
  }
  const Feature_Test test(triangles, positions, device, options.crease_degrees);
  if (options.selection == Edge_Selection::silhouettes) {
    for (std::uint32_t e = 0; e < table.edges.size(); ++e) {
      if (test.is_outline(table.edges[e])) selected.push_back(e);
    }
    return selected;
  }
  for (std::uint32_t e = 0; e < table.edges.size(); ++e) {
    if (test.is_feature(table.edges[e])) selected.push_back(e);
  }
  return selected;
}

std::vector<std::vector<std::uint32_t>> chain_polylines(std::span<const Vertex_Pair> segments,
                                                        std::size_t vertex_count) {
  std::vector<std::vector<std::uint32_t>> polylines;

  // Segments at each vertex, in compressed rows.
  std::vector<std::uint32_t> first(vertex_count + 1, 0);
  for (const Vertex_Pair& s : segments) {
    if (s[0] != s[1]) ++first[s[0] + 1], ++first[s[1] + 1];
  }
  for (std::size_t v = 0; v < vertex_count; ++v) first[v + 1] += first[v];
  std::vector<std::uint32_t> at_vertex(first[vertex_count]);
  {
    std::vector<std::uint32_t> cursor(first.begin(), first.end() - 1);
    for (std::uint32_t i = 0; i < segments.size(); ++i) {
      const Vertex_Pair& s = segments[i];
      if (s[0] == s[1]) {
        polylines.push_back({s[0], s[1]});  // a point: nothing to join it to
        continue;
      }
      at_vertex[cursor[s[0]]++] = i;
      at_vertex[cursor[s[1]]++] = i;
    }
  }

  // Each vertex's cursor only moves forward past used segments, so all
  // the searches together cost one pass over at_vertex.
  std::vector<std::uint32_t> cursor(first.begin(), first.end() - 1);
  std::vector<std::uint32_t> unused(vertex_count);
  for (std::size_t v = 0; v < vertex_count; ++v) unused[v] = first[v + 1] - first[v];
  std::vector<std::uint8_t> used(segments.size(), 0);
  // Walked into one buffer and copied out at its length: one allocation
  // per polyline rather than one per doubling.
  std::vector<std::uint32_t> line;
  const auto walk = [&](std::uint32_t v) {
    line.assign(1, v);
    while (unused[v] > 0) {
      while (used[at_vertex[cursor[v]]]) ++cursor[v];
      const std::uint32_t s = at_vertex[cursor[v]];
      used[s] = 1;
      --unused[v];
      v = segments[s][0] == v ? segments[s][1] : segments[s][0];
      --unused[v];
      line.push_back(v);
    }
    polylines.emplace_back(line.begin(), line.end());
  };

  // A walk passes through a vertex by using two of its segments, so one
  // that starts where an odd number is left ends at another such vertex:
  // these walks pair the odd vertices, the fewest open polylines there
  // can be. What is left has an even number at every vertex and falls
  // into closed walks.
  for (std::uint32_t v = 0; v < vertex_count; ++v) {
    if (unused[v] % 2 == 1) walk(v);
  }
  for (std::uint32_t v = 0; v < vertex_count; ++v) {
    while (unused[v] > 0) walk(v);
  }
  return polylines;
}

}  // namespace hlr_tool
