#include "hidden_pass.h"

#include <cmath>
#include <vector>

#include "edge_face.h"
#include "intervals.h"
#include "parallel.h"

namespace {

// Edges per chunk: neighbours in edge_list are neighbours in the picture
// (a polyline's segments follow one another), so a chunk reads the same
// lists of the index again and again.
constexpr std::size_t edge_chunk = 512;
// Below this many edges the pass runs on the calling thread alone.
constexpr std::size_t parallel_edges = 4096;

void hide_edge(HLR_Edge& edge, const HLR_Face_Index& index, float depth_tolerance,
               HLR_Interval_Pool& pool) {
  // Root-box test first: four comparisons skip an edge that misses every
  // face before an iteration is set up.
  const HLR_Index_Node& root = index.root();
  if (!(root.x_max >= edge.x_min && root.y_max >= edge.y_min && edge.x_max >= root.x_min &&
        edge.y_max >= root.y_min)) {
    return;
  }
  // The box is read from the edge again for every call: the face tests
  // narrow it (and may raise z_max) as parts of the edge are hidden.
  HLR_Area_Query faces(index);
  while (const HLR_Face* face =
             faces.next(edge.x_min, edge.x_max, edge.y_min, edge.y_max, edge.z_max)) {
    // A fully hidden edge abandons its iteration at once.
    if (test_face(edge, depth_tolerance, *face, pool)) break;
  }
}

}  // namespace

void hide_edges(HLR_Renderer_State& renderer) {
  const HLR_Face_Index& index = *renderer.face_index;
  const float depth_tolerance = renderer.depth_tolerance;

  // The first edge of every chunk; a chunk runs along the links from there.
  std::vector<HLR_Edge*> chunk_heads;
  chunk_heads.reserve(renderer.edge_list.count / edge_chunk + 1);
  std::size_t count = 0;
  for (HLR_Edge* edge = renderer.edge_list.head; edge != nullptr; edge = edge->link) {
    if (count++ % edge_chunk == 0) chunk_heads.push_back(edge);
  }
  const int team = parallel_team(count, edge_chunk, parallel_edges);

  // One pool per thread, each with its first block made here, so that the
  // threads seldom allocate at all.
  if (renderer.interval_pools == nullptr) renderer.interval_pools = new HLR_Interval_Pools;
  std::vector<HLR_Interval_Pool>& pools = renderer.interval_pools->of_thread;
  while (pools.size() < static_cast<std::size_t>(team)) pools.emplace_back();
  for (HLR_Interval_Pool& pool : pools) pool.reserve();

  parallel_chunks(count, edge_chunk, team, [&](std::size_t begin, std::size_t end, int thread) {
    HLR_Interval_Pool& pool = pools[static_cast<std::size_t>(thread)];
    HLR_Edge* edge = chunk_heads[begin / edge_chunk];
    for (std::size_t k = begin; k < end; ++k, edge = edge->link) {
      hide_edge(*edge, index, depth_tolerance, pool);
    }
  });
}

bool marker_visible(const HLR_Marker& marker, float depth_tolerance, const HLR_Face_Index& index) {
  const KT_Point& p = marker.position;
  const HLR_Index_Node& root = index.root();
  if (!(root.x_max >= p.x && root.y_max >= p.y && p.x >= root.x_min && p.y >= root.y_min)) {
    return true;
  }
  HLR_Point_Query faces(index);
  while (const HLR_Face* face = faces.next(p.x, p.y, p.z)) {
    // Behind the plane beyond the tolerance and inside the triangle: one
    // face is enough to hide a marker.
    const float d = plane_value(*face, p);
    if (d > 0.0f && std::fabs(d) > depth_tolerance && inside_triangle(*face, p)) return false;
  }
  return true;
}
