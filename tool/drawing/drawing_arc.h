// Arcs of ellipses in a drawing: a circle or ellipse of a model, seen in a
// parallel view, is an ellipse (a circle when seen along its axis), and a
// piece of it an arc that every writer draws as one (SVG path arcs, cairo
// arcs, DXF CIRCLE, ARC and ELLIPSE) instead of its polyline.
#pragma once

#include <vector>

namespace hlr_tool {

struct Drawing_Point {
  double x;
  double y;
};

// The points centre + u cos t + v sin t for t from `start` to `end`: u and
// v are conjugate semi-diameters (of any lengths and angle, not parallel),
// and the arc may run either way round, at most a full turn.
struct Drawing_Arc {
  Drawing_Point centre{0.0, 0.0};
  Drawing_Point u{0.0, 0.0};
  Drawing_Point v{0.0, 0.0};
  double start = 0.0;
  double end = 0.0;

  Drawing_Point at(double t) const;
  // The arc mapped by p -> offset + factor * p (a view placed on a sheet);
  // factor may be negative in y to turn y upwards (DXF).
  Drawing_Arc placed(Drawing_Point offset, double factor_x, double factor_y) const;
};

// The same ellipse on its own axes: centre + major cos s * e + minor sin s
// * e' with e' the axis direction e turned a quarter from x toward y, and
// s = direction * t + phase the parameter there.
struct Ellipse_Axes {
  double major = 0.0;
  double minor = 0.0;
  Drawing_Point major_direction{1.0, 0.0};  // unit length
  double phase = 0.0;
  double direction = 1.0;  // +1 or -1
  // True when the two axes are as long within a millionth: a circle.
  bool circle() const;
  double axes_parameter(double t) const { return direction * t + phase; }
};
Ellipse_Axes ellipse_axes(const Drawing_Arc& arc);

// The arc cut into pieces of at most a quarter turn, in order: what a
// writer whose arcs are ambiguous near half a turn (SVG's large-arc flag)
// writes one by one.
std::vector<Drawing_Arc> quarter_turns(const Drawing_Arc& arc);

}  // namespace hlr_tool
