#include "tool/cad/outline_refinement.h"

#include <BRepAdaptor_Surface.hxx>
#include <Standard_Failure.hxx>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <optional>

namespace hlr_tool {

namespace {

constexpr int newton_steps = 8;
// A refined point may move this many device units across the view from
// where the triangles put it; farther, Newton's method has run off to
// another outline (or off the face), and the point stays.
constexpr double largest_move_device_units = 2.0;
// The longest leg of a tooth, in device units: see without_teeth.
constexpr double tooth_device_units = 3.0;
// At most this many points in a row are left out for lying behind: more
// means the way the outline runs was misread (where it turns sharply at
// an edge), not a zigzag.
constexpr int max_left_out = 3;
// Pieces shorter than this, in device units, that end inside a face are
// left out: ticks where the outline found on the triangles crosses a fold
// of them.
constexpr double shortest_piece_device_units = 1.0;

gp_Vec vec_of(const Model_Point& p) { return {p.x, p.y, p.z}; }
Model_Point point_of(const gp_Pnt& p) { return {p.X(), p.Y(), p.Z()}; }

// One face's surface, evaluated by one thread (an adaptor keeps caches).
class Face_Surface {
 public:
  explicit Face_Surface(const TopoDS_Face& face) : surface_(face) {}

  struct On_Outline {
    gp_Pnt point;
    gp_Vec tangent;  // along the outline, in model space; not of unit length
    // Of unit length, square to the view: away from the side of the outline
    // where the surface folds back in the drawing (which holds its
    // triangles); zero where the surface does not bend across the view.
    gp_Vec outward;
  };

  // The point on the outline nearest (u, v) along the surface, or nothing
  // when Newton's method does not settle on one within the face's
  // parameter range.
  std::optional<On_Outline> outline_point(double u, double v, const Model_View& view) const {
    for (int step = 0; step < newton_steps; ++step) {
      gp_Pnt p;
      gp_Vec su, sv, suu, svv, suv;
      surface_.D2(u, v, p, su, sv, suu, svv, suv);
      const Model_Point toward = view.toward_viewer_from(point_of(p));
      const gp_Vec w(toward.x, toward.y, toward.z);
      // g = (Su x Sv) . w is zero on the outline; in perspective w turns
      // with the point, but Su x Sv is square to that turn, so the
      // derivatives are the same.
      const gp_Vec normal = su.Crossed(sv);
      const double g = normal.Dot(w);
      const double gu = (suu.Crossed(sv) + su.Crossed(suv)).Dot(w);
      const double gv = (suv.Crossed(sv) + su.Crossed(svv)).Dot(w);
      // Along the outline g stays zero: (du, dv) square to (gu, gv).
      if (std::fabs(g) <= 1e-12 * normal.Magnitude())
        return On_Outline{p, su * -gv + sv * gu, outward(su, sv, suu, suv, svv, w)};
      // The shortest step on the surface (in its metric) that zeroes g to
      // first order: across the outline, not along it.
      const double e = su.Dot(su), f = su.Dot(sv), h = sv.Dot(sv);
      const double det = e * h - f * f;
      if (!(det > 0.0)) return std::nullopt;
      const double a = (h * gu - f * gv) / det, b = (e * gv - f * gu) / det;
      const double across = gu * a + gv * b;
      if (!(across != 0.0)) return std::nullopt;
      u -= g * a / across;
      v -= g * b / across;
      if (u < surface_.FirstUParameter() || u > surface_.LastUParameter() ||
          v < surface_.FirstVParameter() || v > surface_.LastVParameter())
        return std::nullopt;
    }
    return std::nullopt;
  }

 private:
  // Walking on the surface along the line of sight w (which lies in the
  // tangent plane on the outline), the surface leaves that plane toward
  // its normal times the normal curvature k: the drawing of the surface
  // lies on that side of the outline, the outward side on the other.
  static gp_Vec outward(const gp_Vec& su, const gp_Vec& sv, const gp_Vec& suu, const gp_Vec& suv,
                        const gp_Vec& svv, const gp_Vec& w) {
    const gp_Vec normal = su.Crossed(sv);
    if (!(normal.Magnitude() > 0.0)) return {};
    const gp_Vec n = normal / normal.Magnitude();
    // w = a Su + b Sv, solved in the surface's metric.
    const double e = su.Dot(su), f = su.Dot(sv), h = sv.Dot(sv);
    const double det = e * h - f * f;
    const double wu = su.Dot(w), wv = sv.Dot(w);
    const double a = (h * wu - f * wv) / det, b = (e * wv - f * wu) / det;
    const double k = a * a * suu.Dot(n) + 2.0 * a * b * suv.Dot(n) + b * b * svv.Dot(n);
    if (!(std::fabs(k) > 0.0)) return {};
    return k > 0.0 ? -n : n;
  }

  mutable BRepAdaptor_Surface surface_;
};

struct Outline_Point {
  std::uint32_t vertex;
  Model_Point model;
  double x, y;                    // device
  bool inside;                    // inside a face, not on an edge
  std::int32_t face;              // the face it lies inside; -1 when not inside
  std::optional<gp_Vec> tangent;  // when moved onto the exact outline
  gp_Vec outward;                 // On_Outline::outward; zero when not moved
};

double device_distance(const Outline_Point& a, const Outline_Point& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// The chain's points in the order of the exact outline. The outline found
// on the triangles zigzags across the exact one, touching the faces' edges
// on the way where it runs near them, so its points, moved onto the exact
// outline, land out of order there, and drawn in the chain's order they
// double back. Walking the chain, a point is kept only when it lies ahead
// of the last one kept along the way the outline runs there: the exact
// outline's tangent at a moved point, oriented the way the chain runs
// around it; the chain's own way elsewhere. The points kept on either side
// span what is left out. The tangent is the outline's in space, where it
// does not turn back even where its drawing does (a cusp), so cusps stay.
// The chain's ends always stay: they are where the outline meets an edge,
// or closes.
std::vector<Outline_Point> in_outline_order(const std::vector<Outline_Point>& points) {
  // The way the chain runs at point k: from a point a little before to one
  // a little after, across a zigzag's teeth.
  const auto onward = [&points](std::size_t k) {
    const std::size_t before = k >= 2 ? k - 2 : 0;
    const std::size_t after = std::min(k + 2, points.size() - 1);
    return vec_of(points[after].model) - vec_of(points[before].model);
  };
  const auto behind = [&](const Outline_Point& last, const Outline_Point& p, std::size_t k) {
    const gp_Vec& way = last.tangent ? *last.tangent : onward(k);
    return (vec_of(p.model) - vec_of(last.model)).Dot(way) <= 0.0;
  };
  std::vector<Outline_Point> kept;
  int left_out = 0;
  for (std::size_t k = 0; k < points.size(); ++k) {
    Outline_Point p = points[k];
    if (p.tangent && p.tangent->Dot(onward(k)) < 0.0) p.tangent->Reverse();
    const bool end = k + 1 == points.size();
    if (!end && !kept.empty() && left_out < max_left_out && behind(kept.back(), p, k)) {
      ++left_out;
      continue;
    }
    while (end && kept.size() >= 2 && behind(kept.back(), p, k)) kept.pop_back();
    left_out = 0;
    kept.push_back(p);
  }
  return kept;
}

// The chain in outline order (in_outline_order) piece by piece, between
// its steps from one face edge to another at least a tooth long. Such a
// step is one of the triangles' own edges, along an edge between two
// faces (a smooth one, not drawn) or across a face from one of its edges
// to another (a cone's ruling beside a blend): no point of the face lies between
// to move onto the surface, so the outline is drawn as that step, both
// ends kept. Ordered across it, a turn of the chain at its end (up one
// face, then back along the step) would read as points behind and leave
// the step out, and the chord drawn instead would pass through the part,
// hidden. Shorter steps between edges are the chain bouncing on them,
// which the order along the outline smooths.
std::vector<Outline_Point> in_order_between_edges(const std::vector<Outline_Point>& points) {
  if (points.size() < 2) return points;
  std::vector<Outline_Point> ordered;
  std::size_t from = 0;
  const auto add_run = [&](std::size_t to) {  // points[from..to]
    std::vector<Outline_Point> run(points.begin() + std::ptrdiff_t(from),
                                   points.begin() + std::ptrdiff_t(to + 1));
    run = in_outline_order(run);
    ordered.insert(ordered.end(), run.begin() + (ordered.empty() ? 0 : 1), run.end());
  };
  for (std::size_t k = 0; k + 1 < points.size(); ++k) {
    if (points[k].inside || points[k + 1].inside) continue;
    if (device_distance(points[k], points[k + 1]) < tooth_device_units) continue;
    if (k > from) add_run(k);
    if (ordered.empty()) ordered.push_back(points[k]);
    ordered.push_back(points[k + 1]);
    from = k + 1;
  }
  if (points.size() - 1 > from || ordered.empty()) add_run(points.size() - 1);
  return ordered;
}

// What the order along the outline leaves, where the chain bounced on an
// edge or Newton's method failed: teeth in the drawing, the outline
// turning back over a leg shorter than `tooth` device units. The tooth's
// tip goes when it lies inside a face. A tip on an edge is where the
// outline crosses it, at the corner of the two faces: without it the
// outline would cut across the corner, through the part, and be hidden
// there; so the short leg's other end goes instead (never a chain's end).
// A cusp, turning back over a long leg, stays. A spike from a face's exact
// outline out to an edge and back onto it, near where it left, goes
// whatever its legs: on a fillet narrower than a tooth across the view the
// triangles have few vertices inside, and the chain touches the fillet's
// edges on the way, where the exact outline between two of its points has
// no reason to go.
std::vector<Outline_Point> without_teeth(std::vector<Outline_Point> points, double tooth) {
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t k = 1; k + 1 < points.size(); ++k) {
      const Outline_Point& a = points[k - 1];
      const Outline_Point& b = points[k];
      const Outline_Point& c = points[k + 1];
      const double turn = (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y);
      const bool spike = turn < 0.0 && !b.inside && a.tangent && c.tangent && a.face == c.face &&
                         device_distance(a, c) < tooth;
      if (spike) {
        points.erase(points.begin() + std::ptrdiff_t(k));
        changed = true;
        break;
      }
      const double before = device_distance(a, b), after = device_distance(b, c);
      if (!(turn < 0.0 && std::min(before, after) < tooth)) continue;
      std::size_t going = k;
      if (!b.inside) going = before < after ? k - 1 : k + 1;
      if (going == 0 || going + 1 == points.size()) continue;
      points.erase(points.begin() + std::ptrdiff_t(going));
      changed = true;
      break;
    }
  }
  return points;
}

// An outline that meets an edge often runs a step along it on the
// triangles before it ends, and with the points between left out that
// step retraces one of the edge's own segments, doubling back where the
// outline and the edge are joined in the drawing: such an end step goes.
void without_steps_along_edges(std::vector<Outline_Point>& points, const Line_Test& on_line) {
  const auto along_edge = [&on_line](const Outline_Point& a, const Outline_Point& b) {
    return !a.tangent && !b.tangent && on_line(a.vertex, b.vertex);
  };
  if (points.size() >= 3 && along_edge(points[points.size() - 2], points.back())) points.pop_back();
  if (points.size() >= 3 && along_edge(points[0], points[1])) points.erase(points.begin());
}

}  // namespace

std::vector<std::vector<Model_Point>> Face_Outlines::outlines(
    const std::vector<std::vector<std::uint32_t>>& chains, std::span<const Model_Point> positions,
    const Model_View& view, const Line_Test& on_line) const {
  const double unit = 1.0 / view.scale();  // model units per device unit
  std::map<std::int32_t, std::unique_ptr<Face_Surface>> surfaces;
  const auto surface_of = [&](std::int32_t face) -> const Face_Surface& {
    auto& slot = surfaces[face];
    if (!slot) slot = std::make_unique<Face_Surface>(faces[std::size_t(face)]);
    return *slot;
  };
  const auto refined = [&](std::uint32_t vertex) {
    const Model_Point& found = positions[vertex];
    const Vertex_Place& place = places[vertex];
    const bool inside = place.face >= 0 && !place.on_edge;
    Outline_Point point{vertex,       found,   0.0, 0.0, inside, inside ? place.face : -1,
                        std::nullopt, gp_Vec()};
    if (point.inside) {
      try {
        if (const std::optional<Face_Surface::On_Outline> exact =
                surface_of(place.face).outline_point(place.u, place.v, view)) {
          // Only the move across the view counts: along it, nothing shows.
          const gp_Vec move = gp_Vec(exact->point.XYZ()) - vec_of(found);
          const Model_Point toward = view.toward_viewer_from(found);
          const gp_Vec w(toward.x, toward.y, toward.z);
          if ((move - w * move.Dot(w)).Magnitude() <= largest_move_device_units * unit &&
              exact->tangent.Magnitude() > 0.0) {
            point.model = point_of(exact->point);
            point.tangent = exact->tangent;
            point.outward = exact->outward;
          }
        }
      } catch (const Standard_Failure&) {
        // A surface that cannot be evaluated there: the point stays.
      }
    }
    const Device_Point d = view.to_device(point.model);
    point.x = d.x;
    point.y = d.y;
    return point;
  };

  // Drawn a little nearer the viewer than the surface, along the lines of
  // sight, so that nothing moves in the drawing: a chord between two points
  // of the exact outline dips into the part by up to the tessellation's
  // deflection, behind the triangles in front of the outline, which would
  // hide it. The triangles' own edges, which the outline followed before,
  // never dip behind their own triangles.
  const double nearer = 2.0 * std::max(deflection, unit);
  // Nearer is not enough where the triangles beside the outline are seen
  // edge on: there a chord that dips a tenth of a unit into their drawing
  // lies units behind them. So each moved point is also drawn a little
  // outside the outline, across the view, away from the side where the
  // surface (and its triangles, whose corners lie on it) folds back: by
  // the deflection, which bounds how far a chord of the tessellation's
  // spacing dips, but never more than half a unit, the tessellated edges'
  // own error at the default deflection.
  const double outside = std::min(deflection, 0.5 * unit);
  std::vector<std::vector<Model_Point>> drawn;
  for (const std::vector<std::uint32_t>& chain : chains) {
    std::vector<Outline_Point> points;
    points.reserve(chain.size());
    for (const std::uint32_t vertex : chain) points.push_back(refined(vertex));
    points = without_teeth(in_order_between_edges(points), tooth_device_units);
    without_steps_along_edges(points, on_line);
    // Its length, and how far it reaches from its start: a piece that
    // goes out and comes back within a device unit shows as a dot.
    double length = 0.0, reach = 0.0;
    for (std::size_t k = 1; k < points.size(); ++k) {
      length += device_distance(points[k - 1], points[k]);
      reach = std::max(reach, device_distance(points[0], points[k]));
    }
    const bool ends_inside = points.front().inside || points.back().inside;
    if (points.size() < 2 || reach < shortest_piece_device_units ||
        (ends_inside && length < shortest_piece_device_units))
      continue;
    std::vector<Model_Point> outline;
    outline.reserve(points.size());
    for (const Outline_Point& p : points) {
      const Model_Point toward = view.toward_viewer_from(p.model);
      const gp_Vec out = p.outward * outside;
      outline.push_back({p.model.x + nearer * toward.x + out.X(),
                         p.model.y + nearer * toward.y + out.Y(),
                         p.model.z + nearer * toward.z + out.Z()});
    }
    drawn.push_back(std::move(outline));
  }
  return drawn;
}

}  // namespace hlr_tool
