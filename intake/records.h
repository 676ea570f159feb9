// The records of one picture: faces that can hide lines, edges that may be
// hidden, and markers. Each record is zero-filled and built in place in the
// store's record arena (record_arena.h), owned by the renderer's store from
// the moment it is linked until the store is cleared.
#pragma once

#include "geometry.h"
#include "rendition.h"

struct hidden_interval;

// A rendition the store holds for its records. Records that arrive one
// after another with the same rendition share one of these, so that a
// record costs no reference count of its own to take and to drop.
struct HLR_Held_Rendition {
  KT_Rendition rendition;
  HLR_Held_Rendition* link;  // the one held before
};

// The end points of an edge captured from double points, as they came.
struct HLR_Double_Ends {
  KT_Point_D a;
  KT_Point_D b;
};

// One captured straight segment. `a` has the smaller x (on equal x the
// smaller y); the segment is stored whole, and the part inside the clip
// rectangle is the parameter range [t_min_captured, t_max_captured] from
// t = 0 at `a` to t = 1 at `b`.
//
// The captured range and the tolerance are single-precision values (the
// clipping's parameters, 0.01f over a float length) and are kept as such;
// they widen to exactly the doubles every test compares them as.
struct HLR_Edge {
  KT_Point a;
  KT_Point b;
  float dx;  // b.x - a.x, never negative
  float dy;
  float dz;
  // The box of the still-visible part, narrowed as the edge is hidden;
  // z_max is only ever raised.
  float x_min;
  float x_max;
  float y_min;
  float y_max;
  float z_max;
  float t_min_captured;
  float t_max_captured;
  // 0.01 device units along the dominant axis, in parameter terms; at most
  // 0.01.
  float t_tolerance;
  KT_RGB32 hidden_color;
  // The working range; t_min == 1.0 marks an edge as wholly hidden.
  double t_min;
  double t_max;
  hidden_interval* intervals;
  hidden_interval* intervals_tail;
  HLR_Edge* link;
  // Only for edges captured from double points; null otherwise.
  const HLR_Double_Ends* double_ends;
  const KT_Rendition* rendition;  // held by the store
};

// nx*x + ny*y + nz*z + d = 0 on the plane; the normal has unit length and
// nz > 0, so points deeper than the face have positive values.
struct HLR_Plane {
  double nx;
  double ny;
  double nz;
  double d;
};

// One captured triangle, its vertices ordered so that the signed area in
// x-y is positive (counter-clockwise with x right and y up).
struct HLR_Face {
  const KT_Rendition* rendition;  // held by the store
  KT_Point vertices[3];
  HLR_Plane plane;
  HLR_Face* link;
  KT_RGB32 intersection_color;
  KT_RGB32 hidden_color;  // for hidden pieces of this face's intersection lines
};

struct HLR_Marker {
  KT_Point position;
  HLR_Marker* link;
  const KT_Rendition* rendition;  // held by the store
};
