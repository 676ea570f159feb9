#include "tool/drawing/drawing_arc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace hlr_tool {

Drawing_Point Drawing_Arc::at(double t) const {
  const double c = std::cos(t), s = std::sin(t);
  return {centre.x + c * u.x + s * v.x, centre.y + c * u.y + s * v.y};
}

Drawing_Arc Drawing_Arc::placed(Drawing_Point offset, double factor_x, double factor_y) const {
  return {{offset.x + factor_x * centre.x, offset.y + factor_y * centre.y},
          {factor_x * u.x, factor_y * u.y},
          {factor_x * v.x, factor_y * v.y},
          start,
          end};
}

bool Ellipse_Axes::circle() const { return major - minor <= 1e-6 * major; }

// The principal axes of M = [u v] are the eigenvectors of M M^T = u u^T +
// v v^T; the minor semi-axis is |det M| over the major one, which stays
// exact where the smaller eigenvalue would lose its digits.
Ellipse_Axes ellipse_axes(const Drawing_Arc& arc) {
  const Drawing_Point& u = arc.u;
  const Drawing_Point& v = arc.v;
  const double xx = u.x * u.x + v.x * v.x;
  const double yy = u.y * u.y + v.y * v.y;
  const double xy = u.x * u.y + v.x * v.y;
  const double half_difference = 0.5 * (xx - yy);
  const double larger = 0.5 * (xx + yy) + std::hypot(half_difference, xy);
  const double angle = 0.5 * std::atan2(2.0 * xy, xx - yy);
  const double determinant = u.x * v.y - u.y * v.x;
  Ellipse_Axes axes;
  axes.major = std::sqrt(larger);
  axes.minor = axes.major > 0.0 ? std::fabs(determinant) / axes.major : 0.0;
  axes.major_direction = {std::cos(angle), std::sin(angle)};
  axes.direction = determinant < 0.0 ? -1.0 : 1.0;
  // At t = 0 the arc stands at centre + u.
  const Drawing_Point e = axes.major_direction;
  const double along = (u.x * e.x + u.y * e.y) / axes.major;
  const double across = axes.minor > 0.0 ? (-u.x * e.y + u.y * e.x) / axes.minor : 0.0;
  axes.phase = std::atan2(across, along);
  return axes;
}

std::vector<Drawing_Arc> quarter_turns(const Drawing_Arc& arc) {
  const double sweep = arc.end - arc.start;
  const int pieces =
      std::max(1, int(std::ceil(std::fabs(sweep) / (0.5 * std::numbers::pi) - 1e-9)));
  std::vector<Drawing_Arc> out;
  for (int k = 0; k < pieces; ++k) {
    Drawing_Arc piece = arc;
    piece.start = arc.start + sweep * double(k) / double(pieces);
    piece.end = k + 1 == pieces ? arc.end : arc.start + sweep * double(k + 1) / double(pieces);
    out.push_back(piece);
  }
  return out;
}

}  // namespace hlr_tool
