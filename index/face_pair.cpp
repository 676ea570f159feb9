#include "face_pair.h"

#include <algorithm>
#include <utility>

#include "intake_actions.h"

namespace {

// One vertex of a triangle with its signed distance from the other
// triangle's plane, rounded to float.
struct Classified_Vertex {
  float distance;
  const KT_Point* vertex;
};

// A triangle's vertices sorted into the three sides of the other plane,
// each class in the triangle's vertex order.
struct Vertex_Classes {
  Classified_Vertex positive[3];
  Classified_Vertex negative[3];
  Classified_Vertex on_plane[3];
  int positive_count = 0;
  int negative_count = 0;
  int on_plane_count = 0;
};

// ((y*ny + x*nx) + z*nz) + d in double, in exactly that order, rounded to
// float.
inline float signed_distance(const KT_Point& v, const HLR_Plane& plane) {
  const double sum = ((static_cast<double>(v.y) * plane.ny + static_cast<double>(v.x) * plane.nx) +
                      static_cast<double>(v.z) * plane.nz) +
                     plane.d;
  return static_cast<float>(sum);
}

// Within the tolerance on either side counts as on the plane, with the
// distance replaced by 0. What is left that is neither above nor below 0
// (only possible for a negative tolerance) stays on the plane with its own
// distance.
Vertex_Classes classify(const HLR_Face& face, const HLR_Plane& plane, float tolerance) {
  Vertex_Classes classes;
  for (const KT_Point& v : face.vertices) {
    const float distance = signed_distance(v, plane);
    if (!(distance > tolerance) && !(-distance > tolerance)) {
      classes.on_plane[classes.on_plane_count++] = {0.0f, &v};
    } else if (distance > 0.0f) {
      classes.positive[classes.positive_count++] = {distance, &v};
    } else if (distance < 0.0f) {
      classes.negative[classes.negative_count++] = {distance, &v};
    } else {
      classes.on_plane[classes.on_plane_count++] = {distance, &v};
    }
  }
  return classes;
}

// The crossing of the edge from P to N: u = dp / (dp - dn) in double; each
// coordinate is (N.c - P.c) in float, widened, times u, plus P.c, in double,
// rounded to float.
KT_Point crossing(const Classified_Vertex& p, const Classified_Vertex& n) {
  const double dp = static_cast<double>(p.distance);
  const double dn = static_cast<double>(n.distance);
  const double u = dp / (dp - dn);
  const KT_Point& a = *p.vertex;
  const KT_Point& b = *n.vertex;
  return {static_cast<float>(static_cast<double>(b.x - a.x) * u + static_cast<double>(a.x)),
          static_cast<float>(static_cast<double>(b.y - a.y) * u + static_cast<double>(a.y)),
          static_cast<float>(static_cast<double>(b.z - a.z) * u + static_cast<double>(a.z))};
}

struct Segment {
  KT_Point first;
  KT_Point second;
};

// The segment along which a triangle crosses the other plane, or false when
// it lies on one side (touching or on the plane counts as one side).
bool crossing_segment(const HLR_Face& face, const HLR_Plane& plane, float tolerance,
                      Segment& segment) {
  const Vertex_Classes c = classify(face, plane, tolerance);
  if (c.positive_count == 0 || c.negative_count == 0) return false;
  segment.first = crossing(c.positive[0], c.negative[0]);
  if (c.positive_count == 2) {
    segment.second = crossing(c.positive[1], c.negative[0]);
  } else if (c.negative_count == 2) {
    segment.second = crossing(c.positive[0], c.negative[1]);
  } else {
    // With the on-plane vertex's distance (0) the parameter is exactly 1.
    segment.second = crossing(c.positive[0], c.on_plane[0]);
  }
  return true;
}

}  // namespace

bool face_pair_line(const HLR_Face& a, const HLR_Face& b, float tolerance, KT_Point line[2]) {
  // A first: most pairs stop here after three plane distances.
  Segment sa;
  if (!crossing_segment(a, b.plane, tolerance, sa)) return false;
  Segment sb;
  if (!crossing_segment(b, a.plane, tolerance, sb)) return false;

  // The axis with the larger spread over the four points, each spread a
  // float difference of the float extremes; a tie chooses y.
  const float x_low =
      std::min(std::min(std::min(sa.first.x, sa.second.x), sb.first.x), sb.second.x);
  const float x_high =
      std::max(std::max(std::max(sa.first.x, sa.second.x), sb.first.x), sb.second.x);
  const float y_low =
      std::min(std::min(std::min(sa.first.y, sa.second.y), sb.first.y), sb.second.y);
  const float y_high =
      std::max(std::max(std::max(sa.first.y, sa.second.y), sb.first.y), sb.second.y);
  const float x_spread = x_high - x_low;
  const float y_spread = y_high - y_low;
  const bool along_x = x_spread > y_spread;
  const auto axis = [along_x](const KT_Point& p) { return along_x ? p.x : p.y; };

  if (axis(sa.first) > axis(sa.second)) std::swap(sa.first, sa.second);
  if (axis(sb.first) > axis(sb.second)) std::swap(sb.first, sb.second);

  // The common part along the axis. On equal starts the line starts at a's
  // end point; the end point comes from the segment that gave the start on
  // equal ends. Segments that only meet end to end give nothing.
  if (axis(sb.first) > axis(sa.first)) {
    if (axis(sa.second) <= axis(sb.first)) return false;
    line[0] = sb.first;
    line[1] = axis(sb.second) > axis(sa.second) ? sa.second : sb.second;
  } else {
    if (axis(sb.second) <= axis(sa.first)) return false;
    line[0] = sa.first;
    line[1] = axis(sa.second) <= axis(sb.second) ? sa.second : sb.second;
  }
  return true;
}

void intersect_face_pair(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                         const HLR_Face* a, const HLR_Face* b) {
  KT_Point line[2];
  if (face_pair_line(*a, *b, renderer.depth_tolerance, line))
    polyline_f(renderer, rendition, 2, line);
}
