#include "store.h"

#include <algorithm>
#include <cmath>

KT_RGB32 pack_color(const KT_Color_Components& c) {
  return KT_RGB32{static_cast<std::uint8_t>(c[2]), static_cast<std::uint8_t>(c[1]),
                  static_cast<std::uint8_t>(c[0]), static_cast<std::uint8_t>(c[3])};
}

KT_Color_Components unpack_color(KT_RGB32 color) {
  const std::uint32_t h = color.argb();
  return {static_cast<int>((h >> 16) & 255), static_cast<int>((h >> 8) & 255),
          static_cast<int>(h & 255), static_cast<int>(h >> 24)};
}

KT_RGB32 hidden_color_for(const HLR_Renderer_State& renderer, const KT_Rendition& rendition) {
  if (renderer.retain_hidden_line_color) return rendition.color();
  return pack_color(renderer.current_option_entries[hidden_line_color_option]->color_value());
}

KT_RGB32 intersection_color_for(const HLR_Renderer_State& renderer, const KT_Rendition& rendition) {
  if (renderer.use_face_color_for_intersections) return rendition.color();
  return pack_color(renderer.current_option_entries[intersection_line_color_option]->color_value());
}

namespace {

// The rendition a new record points to: the latest one held when it is the
// same (its data is alive, held there, so an equal address is the same
// data, unchanged since: a shared rendition is copied before any change),
// else a new hold on `rendition`.
const KT_Rendition* held(HLR_Renderer_State& renderer, const KT_Rendition& rendition) {
  HLR_Held_Rendition* latest = renderer.held_renditions;
  if (latest != nullptr && latest->rendition.data() == rendition.data()) return &latest->rendition;
  auto* hold = renderer.records.make<HLR_Held_Rendition>();
  hold->rendition = rendition;
  hold->link = latest;
  renderer.held_renditions = hold;
  return &hold->rendition;
}

// Fills every field, keeping the double end points in `ends` when given,
// then appends the edge.
void build_edge(HLR_Edge_List& edges, HLR_Edge* edge, const KT_Rendition* rendition,
                KT_RGB32 hidden_color, const KT_Point& p, const KT_Point& q, float t0, float t1,
                HLR_Double_Ends* ends, const KT_Point_D& p_d, const KT_Point_D& q_d) {
  edge->hidden_color = hidden_color;
  edge->rendition = rendition;

  // Keep the input order when q lies to the right of p, or straight above it
  // (d is 0 or NaN); otherwise swap, so a zero-length segment is swapped.
  const float d = q.x - p.x;
  const bool keep = d > 0.0f || (!(d < 0.0f) && q.y > p.y);
  float start = t0;
  float end = t1;
  if (keep) {
    edge->a = p;
    edge->b = q;
    if (ends != nullptr) *ends = {p_d, q_d};
  } else {
    edge->a = q;
    edge->b = p;
    if (ends != nullptr) *ends = {q_d, p_d};
    start = 1.0f - t1;
    end = 1.0f - t0;
  }
  edge->double_ends = ends;
  // Not -(q.x - p.x) of the swapped order: a vertical edge gets dx = -0.0.
  edge->dx = d > 0.0f ? d : -d;
  edge->t_min_captured = start;
  edge->t_max_captured = end;
  edge->t_min = static_cast<double>(start);
  edge->t_max = static_cast<double>(end);

  const KT_Point& a = edge->a;
  const KT_Point& b = edge->b;
  edge->dy = b.y - a.y;
  edge->dz = b.z - a.z;
  edge->x_min = a.x;
  edge->x_max = b.x;
  if (edge->dy > 0.0f) {
    edge->y_min = a.y;
    edge->y_max = b.y;
  } else {
    edge->y_min = b.y;
    edge->y_max = a.y;
  }
  edge->z_max = std::max(a.z, b.z);

  const float dominant = edge->dx > std::fabs(edge->dy) ? edge->dx : std::fabs(edge->dy);
  edge->t_tolerance = 0.01f / std::max(dominant, 1.0f);

  if (edges.head == nullptr) {
    edges.head = edge;
  } else {
    edges.tail->link = edge;
  }
  edges.tail = edge;
  ++edges.count;
}

}  // namespace

void make_edge(HLR_Renderer_State& renderer, const KT_Rendition& rendition, KT_RGB32 hidden_color,
               const KT_Point& p, const KT_Point& q, float t0, float t1) {
  build_edge(renderer.edge_list, renderer.records.make<HLR_Edge>(), held(renderer, rendition),
             hidden_color, p, q, t0, t1, nullptr, KT_Point_D{}, KT_Point_D{});
}

void make_edge(HLR_Renderer_State& renderer, const KT_Rendition& rendition, KT_RGB32 hidden_color,
               const KT_Point& p, const KT_Point& q, float t0, float t1, const KT_Point_D& p_d,
               const KT_Point_D& q_d) {
  auto* ends = renderer.records.make<HLR_Double_Ends>();
  build_edge(renderer.edge_list, renderer.records.make<HLR_Edge>(), held(renderer, rendition),
             hidden_color, p, q, t0, t1, ends, p_d, q_d);
}

HLR_Plane face_plane(const KT_Point& a, const KT_Point& b, const KT_Point& c) {
  // Differences in float, widened; everything after in double.
  const double ux = static_cast<double>(b.x - a.x);
  const double uy = static_cast<double>(b.y - a.y);
  const double uz = static_cast<double>(b.z - a.z);
  const double vx = static_cast<double>(c.x - a.x);
  const double vy = static_cast<double>(c.y - a.y);
  const double vz = static_cast<double>(c.z - a.z);
  double nx = uy * vz - uz * vy;
  double ny = uz * vx - ux * vz;
  double nz = ux * vy - uy * vx;
  const double inv = 1.0 / std::sqrt((nx * nx + ny * ny) + nz * nz);
  nx *= inv;
  ny *= inv;
  nz *= inv;
  const double d = -((static_cast<double>(a.x) * nx + static_cast<double>(a.y) * ny) +
                     static_cast<double>(a.z) * nz);
  return {nx, ny, nz, d};
}

void grow_extent(HLR_Extent& extent, const KT_Point& a, const KT_Point& b, const KT_Point& c) {
  // Two independent tests per axis: the empty extent (1e28, 0.0) can be
  // widened on both sides by one point.
  for (const KT_Point* p : {&a, &b, &c}) {
    if (p->x < extent.x_min) extent.x_min = p->x;
    if (p->x > extent.x_max) extent.x_max = p->x;
    if (p->y < extent.y_min) extent.y_min = p->y;
    if (p->y > extent.y_max) extent.y_max = p->y;
    if (p->z < extent.z_min) extent.z_min = p->z;
    if (p->z > extent.z_max) extent.z_max = p->z;
  }
}

void make_face(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
               KT_RGB32 intersection_color, KT_RGB32 hidden_color, const KT_Point& p0,
               const KT_Point& p1, const KT_Point& p2) {
  // Signed area in float, widened, against the float 1e-5f widened.
  const double s =
      static_cast<double>((p1.x - p0.x) * (p2.y - p0.y) - (p2.x - p0.x) * (p1.y - p0.y));
  constexpr double threshold = static_cast<double>(1e-5f);
  const KT_Point* second;
  const KT_Point* third;
  if (s > threshold) {
    second = &p1;
    third = &p2;
  } else if (s < -threshold) {
    second = &p2;
    third = &p1;
  } else {
    return;
  }
  // A NaN depth (never a host's intent) drops the triangle too. NaN in x or
  // y already fails the area test; a NaN depth passes it, but the face's
  // plane would be NaN and hide nothing, while its NaN key in the face index
  // would end the scans of its node, so that ordinary faces listed after it
  // there would hide nothing either. Infinite depths are kept: they sort to
  // either end of a node's list and end no scan early.
  if (std::isnan(p0.z) || std::isnan(p1.z) || std::isnan(p2.z)) return;

  auto* face = renderer.records.make<HLR_Face>();
  face->rendition = held(renderer, rendition);
  face->vertices[0] = p0;
  face->vertices[1] = *second;
  face->vertices[2] = *third;
  face->plane = face_plane(face->vertices[0], face->vertices[1], face->vertices[2]);
  face->intersection_color = intersection_color;
  face->hidden_color = hidden_color;
  face->link = renderer.face_list.head;
  renderer.face_list.head = face;
  grow_extent(renderer.extent, face->vertices[0], face->vertices[1], face->vertices[2]);
  ++renderer.face_list.count;
}

void make_marker(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                 const KT_Point& position) {
  auto* marker = renderer.records.make<HLR_Marker>();
  marker->position = position;
  marker->rendition = held(renderer, rendition);
  marker->link = renderer.marker_list.head;
  renderer.marker_list.head = marker;
}

void clear_records(HLR_Renderer_State& renderer) {
  for (HLR_Held_Rendition* hold = renderer.held_renditions; hold != nullptr; hold = hold->link) {
    hold->rendition.reset();
  }
  renderer.held_renditions = nullptr;
  renderer.records.release();
  renderer.edge_list = {};
  renderer.face_list = {};
  renderer.marker_list = {};
  renderer.extent = empty_extent;
}
