// The part of one edge that one face hides, recorded on the edge.
//
// A face hides a part of an edge when that part, seen in x-y, lies inside
// the face's triangle and behind the face's plane; plane values within the
// depth tolerance count as lying on the plane, and nothing on a face's plane
// is hidden by it. Single-precision geometry with double intermediate
// products; 1.0 stands for "no crossing" or "nothing covered".
#pragma once

#include "intervals.h"
#include "records.h"

struct HLR_Span {
  double from;
  double to;
};

// Signed distance of P from the face's plane: positive behind, negative in
// front; nx*x + ny*y + nz*z + d in double, rounded to float.
float plane_value(const HLR_Face& face, const KT_Point& p);
// Inclusive point-in-triangle test in x-y, in float.
bool inside_triangle(const HLR_Face& face, const KT_Point& p);
// Where the edge's unbounded x-y line crosses the closed segment P-Q; false
// when parallel (|den| < 1e-5f) or the crossing misses the segment.
bool side_crossing(const HLR_Edge& edge, const KT_Point& p, const KT_Point& q, double& t);
// The first side (0, 1, 2) whose crossing lies strictly between lo and hi
// (both rounded to float), or 1.0.
double first_side_crossing(const HLR_Edge& edge, const HLR_Face& face, double lo, double hi);
// The part of the working range that the face covers and that lies behind
// or on its plane, or (1.0, 1.0).
HLR_Span covered_span(const HLR_Edge& edge, float depth_tolerance, const HLR_Face& face);
// The hidden parts are recorded with nodes from `pool` (intervals.h).
void hide_by_face(HLR_Edge& edge, float depth_tolerance, const HLR_Face& face, float d_start,
                  float d_end, HLR_Interval_Pool& pool);
// True when the edge is fully hidden after the test (also when it already
// was).
bool test_face(HLR_Edge& edge, float depth_tolerance, const HLR_Face& face,
               HLR_Interval_Pool& pool);
