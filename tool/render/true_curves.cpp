#include "tool/render/true_curves.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "tool/drawing/segment_grid.h"

namespace hlr_tool {

namespace {

constexpr double full_turn = 2.0 * std::numbers::pi;
constexpr std::uint32_t no_conic = 0xFFFFFFFFu;

// A conic in drawing coordinates (y down).
struct Conic {
  bool ellipse = false;
  Drawing_Point origin{0.0, 0.0}, u{0.0, 0.0}, v{0.0, 0.0};
};

// Where a piece of a polyline lies: its conic and its ends' parameters.
struct Source {
  std::uint32_t conic = no_conic;
  double t0 = 0.0, t1 = 0.0;
};

class Curve_Finder {
 public:
  Curve_Finder(const Drawing& drawing, const Scene_Curves& curves)
      : height_(drawing.height),
        // Pieces are float device coordinates worked out along their
        // edge: a few float steps of the drawing's size off it at most.
        grid_(drawing_bounds(drawing), curves.segments.size(),
              1e-5 * (drawing.width + drawing.height)),
        curves_(curves) {
    for (const Curve_Segment& s : curves.segments) {
      grid_.add(
          {{double(s.a.x), height_ - double(s.a.y)}, {double(s.b.x), height_ - double(s.b.y)}});
    }
    for (const Device_Conic& c : curves.conics) {
      conics_.push_back({c.kind == Edge_Curve::Kind::ellipse,
                         {c.origin_x, height_ - c.origin_y},
                         {c.u_x, -c.u_y},
                         {c.v_x, -c.v_y}});
    }
  }

  // Splits the group's polylines around their runs on ellipses, as the
  // header says.
  void find(Style_Group& group) const {
    std::vector<Drawing_Polyline> polylines;
    std::vector<std::optional<Drawing_Arc>> arcs;
    std::vector<std::int32_t> models;
    bool any_arc = false;
    for (std::size_t p = 0; p < group.polylines.size(); ++p) {
      const std::size_t before = polylines.size();
      split(group.polylines[p], polylines, arcs);
      for (std::size_t k = before; k < polylines.size(); ++k) {
        any_arc = any_arc || arcs[k].has_value();
        if (!group.models.empty()) models.push_back(group.models[p]);
      }
    }
    group.polylines = std::move(polylines);
    group.models = std::move(models);
    if (any_arc) {
      group.arcs = std::move(arcs);
    } else {
      group.arcs.clear();
    }
  }

 private:
  static Bounds drawing_bounds(const Drawing& drawing) {
    Bounds bounds;
    bounds.add({0.0, 0.0});
    bounds.add({drawing.width, drawing.height});
    return bounds;
  }

  // The parameter of p (a point on segment k) on the segment's conic,
  // within the segment's range.
  double parameter(const Drawing_Point& p, std::uint32_t k) const {
    const Curve_Segment& s = curves_.segments[k];
    const Conic& c = conics_[s.conic];
    const double dx = p.x - c.origin.x, dy = p.y - c.origin.y;
    double t = 0.0;
    if (c.ellipse) {
      const double determinant = c.u.x * c.v.y - c.u.y * c.v.x;
      const double cosine = (c.v.y * dx - c.v.x * dy) / determinant;
      const double sine = (c.u.x * dy - c.u.y * dx) / determinant;
      const double middle = 0.5 * (s.t_a + s.t_b);
      t = middle + std::remainder(std::atan2(sine, cosine) - middle, full_turn);
    } else {
      t = (dx * c.u.x + dy * c.u.y) / (c.u.x * c.u.x + c.u.y * c.u.y);
    }
    return std::clamp(t, std::min(s.t_a, s.t_b), std::max(s.t_a, s.t_b));
  }

  // The conic of the piece a-b: the one of the piece before when it holds
  // this one too (corners of two curves hold both pieces near them).
  Source source(const Drawing_Point& a, const Drawing_Point& b, std::uint32_t previous) const {
    std::optional<std::size_t> found;
    grid_.for_each_holding({a, b}, [&](std::size_t k) {
      if (!found) found = k;
      if (curves_.segments[k].conic != previous) return false;
      found = k;
      return true;
    });
    if (!found) return {};
    return {curves_.segments[*found].conic, parameter(a, *found), parameter(b, *found)};
  }

  void split(const Drawing_Polyline& line, std::vector<Drawing_Polyline>& polylines,
             std::vector<std::optional<Drawing_Arc>>& arcs) const {
    std::vector<Source> sources(line.size() - 1);
    std::uint32_t previous = no_conic;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
      sources[i] = source(line[i], line[i + 1], previous);
      previous = sources[i].conic;
    }
    Drawing_Polyline rest{line[0]};
    const auto flush_rest = [&] {
      if (rest.size() >= 2) {
        polylines.push_back(std::move(rest));
        arcs.emplace_back();
      }
      rest.clear();
    };
    for (std::size_t i = 0; i + 1 < line.size();) {
      const Source& first = sources[i];
      if (first.conic == no_conic) {
        rest.push_back(line[++i]);
        continue;
      }
      const Conic& conic = conics_[first.conic];
      const double direction = first.t1 >= first.t0 ? 1.0 : -1.0;
      double end = first.t1;
      std::size_t j = i + 1;  // the run is pieces i to j - 1
      for (; j + 1 < line.size(); ++j) {
        const Source& next = sources[j];
        if (next.conic != first.conic || (next.t1 - next.t0) * direction < 0.0) break;
        double shift = 0.0;
        if (conic.ellipse) {
          // The pieces meet at one point, whose parameter each found on
          // its own segment: equal but for whole turns and rounding.
          const double gap = std::remainder(next.t0 - end, full_turn);
          if (std::fabs(gap) > 1e-6) break;
          shift = end + gap - next.t0;
          if (std::fabs(next.t1 + shift - first.t0) > full_turn + 1e-9) break;
        }
        end = next.t1 + shift;
      }
      if (conic.ellipse) {
        flush_rest();
        polylines.emplace_back(line.begin() + std::ptrdiff_t(i),
                               line.begin() + std::ptrdiff_t(j) + 1);
        arcs.push_back(Drawing_Arc{conic.origin, conic.u, conic.v, first.t0, end});
        rest.push_back(line[j]);
      } else {
        rest.push_back(line[j]);  // a straight run keeps its two ends
      }
      i = j;
    }
    flush_rest();
  }

  double height_;
  // Its queries stamp the entries they saw: a finder is one thread's.
  mutable Segment_Grid grid_;
  const Scene_Curves& curves_;
  std::vector<Conic> conics_;
};

}  // namespace

void find_true_curves(Drawing& drawing, const Scene_Curves& curves) {
  if (curves.segments.empty()) return;
  const Curve_Finder finder(drawing, curves);
  for (const Layer layer : {Layer::visible, Layer::hidden}) {
    for (Style_Group& group : drawing.layer(layer)) finder.find(group);
  }
}

}  // namespace hlr_tool
