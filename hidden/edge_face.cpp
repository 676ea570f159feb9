#include "edge_face.h"

#include <algorithm>
#include <cmath>

#include "intervals.h"

namespace {

// Neither d > tolerance nor -d > tolerance: the value counts as lying on
// the plane (a NaN does too).
bool within_tolerance(float d, float depth_tolerance) {
  return !(d > depth_tolerance) && !(-d > depth_tolerance);
}

}  // namespace

float plane_value(const HLR_Face& face, const KT_Point& p) {
  // Double products of the widened coordinates, summed left to right, one
  // rounding to float at the end.
  const HLR_Plane& plane = face.plane;
  return static_cast<float>(plane.nx * static_cast<double>(p.x) +
                            plane.ny * static_cast<double>(p.y) +
                            plane.nz * static_cast<double>(p.z) + plane.d);
}

bool inside_triangle(const HLR_Face& face, const KT_Point& p) {
  // All in float; the vertices run counter-clockwise, so a point inside has
  // no negative cross product with any side, and one on a side has a zero.
  const KT_Point& v0 = face.vertices[0];
  const KT_Point& v1 = face.vertices[1];
  const KT_Point& v2 = face.vertices[2];
  const float c0 = (v1.x - v0.x) * (p.y - v0.y) - (v1.y - v0.y) * (p.x - v0.x);
  if (c0 < 0.0f) return false;
  const float c1 = (v2.x - v1.x) * (p.y - v1.y) - (v2.y - v1.y) * (p.x - v1.x);
  if (c1 < 0.0f) return false;
  const float c2 = (v0.x - v2.x) * (p.y - v2.y) - (v0.y - v2.y) * (p.x - v2.x);
  return c2 >= 0.0f;
}

bool side_crossing(const HLR_Edge& edge, const KT_Point& p, const KT_Point& q, double& t) {
  // Differences in float, widened; products, sums and the quotient in
  // double; the result rounded to float.
  const double ex = static_cast<double>(edge.b.x - edge.a.x);
  const double ey = static_cast<double>(edge.b.y - edge.a.y);
  const double fx = static_cast<double>(p.x - q.x);
  const double fy = static_cast<double>(p.y - q.y);
  const double gx = static_cast<double>(edge.a.x - p.x);
  const double gy = static_cast<double>(edge.a.y - p.y);

  const double den = fx * ey - fy * ex;
  if (static_cast<float>(std::fabs(den)) < 1e-5f) return false;  // parallel

  // The crossing lies on the closed segment P-Q: num / den in [0, 1].
  const double num = gy * ex - gx * ey;
  if (den > 0.0) {
    if (num < 0.0 || num > den) return false;
  } else if (den < 0.0) {
    if (num > 0.0 || num < den) return false;
  }
  t = static_cast<double>(static_cast<float>((gx * fy - gy * fx) / den));
  return true;
}

double first_side_crossing(const HLR_Edge& edge, const HLR_Face& face, double lo, double hi) {
  // The first qualifying side wins, not the nearest crossing.
  const double lo_f = static_cast<double>(static_cast<float>(lo));
  const double hi_f = static_cast<double>(static_cast<float>(hi));
  const KT_Point* v = face.vertices;
  for (int side = 0; side < 3; ++side) {
    double t;
    if (side_crossing(edge, v[side], v[(side + 1) % 3], t) && lo_f < t && t < hi_f) return t;
  }
  return 1.0;
}

HLR_Span covered_span(const HLR_Edge& edge, float depth_tolerance, const HLR_Face& face) {
  // Side crossings that lie behind the plane or on it; a line through a
  // vertex crosses two sides there, so there are at most three.
  double counted[3];
  int count = 0;
  const KT_Point* v = face.vertices;
  for (int side = 0; side < 3; ++side) {
    double t;
    if (!side_crossing(edge, v[side], v[(side + 1) % 3], t)) continue;
    const float d = plane_value(face, point_at(edge, t));
    if (d >= 0.0f || within_tolerance(d, depth_tolerance)) counted[count++] = t;
  }
  if (count < 2) return {1.0, 1.0};

  double smallest = counted[0];
  double largest = counted[0];
  for (int i = 1; i < count; ++i) {
    smallest = std::min(smallest, counted[i]);
    largest = std::max(largest, counted[i]);
  }
  const double from = std::max(edge.t_min, smallest);
  const double to = std::min(edge.t_max, largest);
  if (from < to) return {from, to};
  return {1.0, 1.0};
}

void hide_by_face(HLR_Edge& edge, float depth_tolerance, const HLR_Face& face, float d_start,
                  float d_end, HLR_Interval_Pool& pool) {
  // 1. Where the working range passes through the plane, moved one
  // tolerance into the part behind it.
  double t_c = 0.0;
  if (d_start * d_end < 0.0f) {
    const float f = d_start / (d_start - d_end);
    t_c = static_cast<double>(f) * (edge.t_max - edge.t_min) + edge.t_min;
    if (d_end > 0.0f) {
      t_c += edge.t_tolerance;
    } else {
      t_c -= edge.t_tolerance;
    }
    if (t_c > edge.t_max) {
      d_end = 0.0f;
      if (d_start <= 0.0f) return;
    } else if (t_c < edge.t_min) {
      d_start = 0.0f;
      if (d_end <= 0.0f) return;
    }
  }

  // 2. The edge pierces the triangle itself: only the part behind hides.
  if (d_start * d_end < 0.0f && inside_triangle(face, point_at(edge, t_c))) {
    if (d_start > 0.0f) {
      if (inside_triangle(face, point_at(edge, edge.t_min))) {
        hide_start(edge, t_c, pool);
      } else {
        const double t = first_side_crossing(edge, face, 0.0, t_c);
        if (t != 1.0) hide_interval(edge, t, t_c, pool);
      }
    } else {
      if (inside_triangle(face, point_at(edge, edge.t_max))) {
        hide_end(edge, t_c, pool);
      } else {
        const double t = first_side_crossing(edge, face, t_c, 1.0);
        if (t != 1.0) hide_interval(edge, t_c, t, pool);
      }
    }
    return;
  }

  // 3. What the triangle covers lies on one side of the plane. One flat
  // chain: an end inside the triangle only decides when it also lies
  // behind or on the plane; every other case goes to covered_span.
  const bool in_start = inside_triangle(face, point_at(edge, edge.t_min));
  const bool in_end = inside_triangle(face, point_at(edge, edge.t_max));
  if (in_start && in_end) {
    // Fully hidden; the box is left as it was.
    edge.t_min = 1.0;
    edge.t_max = 1.0;
    free_intervals(edge, pool);
  } else if (in_start && d_start >= 0.0f) {
    const double lo = edge.t_min + edge.t_tolerance;
    if (lo < 1.0) {
      const double t = first_side_crossing(edge, face, lo, 1.0);
      if (t != 1.0) hide_start(edge, t, pool);
    }
  } else if (in_end && d_end >= 0.0f) {
    const double hi = edge.t_max - edge.t_tolerance;
    if (hi > 0.0) {
      const double t = first_side_crossing(edge, face, 0.0, hi);
      if (t != 1.0) hide_end(edge, t, pool);
    }
  } else {
    const HLR_Span span = covered_span(edge, depth_tolerance, face);
    if (span.from != 1.0) hide_interval(edge, span.from, span.to, pool);
  }
}

bool test_face(HLR_Edge& edge, float depth_tolerance, const HLR_Face& face,
               HLR_Interval_Pool& pool) {
  if (edge.t_min == 1.0) return true;

  // Plane values of the end points, snapped to the plane within the
  // tolerance, then interpolated to the ends of the working range.
  float d_a = plane_value(face, edge.a);
  float d_b = plane_value(face, edge.b);
  if (within_tolerance(d_a, depth_tolerance)) d_a = 0.0f;
  if (within_tolerance(d_b, depth_tolerance)) d_b = 0.0f;
  const double slope = static_cast<double>(d_b - d_a);
  const float d_start = static_cast<float>(slope * edge.t_min + static_cast<double>(d_a));
  const float d_end = static_cast<float>(slope * edge.t_max + static_cast<double>(d_a));

  // In front of the plane or on it over the whole working range: an edge
  // bounding the face, or where it meets another, is never hidden by it.
  if (d_start <= 0.0f && d_end <= 0.0f) return false;

  hide_by_face(edge, depth_tolerance, face, d_start, d_end, pool);
  return edge.t_min == 1.0;
}
