#include "tool/render/coincident_faces.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "tool/drawing/line_precedence.h"
#include "tool/drawing/segment_grid.h"

namespace hlr_tool {

namespace {

struct Point3 {
  double x, y, z;  // drawing coordinates; z the device depth
};

struct Triangle {
  std::array<Point3, 3> corners;
  std::uint32_t body;
  Point3 normal;  // of unit length; zero for a triangle with no area
};

Point3 minus(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Point3 unit_normal(const std::array<Point3, 3>& c) {
  const Point3 u = minus(c[1], c[0]), v = minus(c[2], c[0]);
  const Point3 n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
  const double length = std::sqrt(dot(n, n));
  if (!(length > 0.0)) return {0.0, 0.0, 0.0};
  return {n.x / length, n.y / length, n.z / length};
}

// The triangle's depth under the drawing point (x, y), or nothing when the
// point lies outside its drawing (by more than `slack` in its barycentric
// weights) or the triangle is seen edge on.
std::optional<double> depth_under(const Triangle& t, double x, double y) {
  constexpr double slack = 1e-6;
  const auto& [a, b, c] = t.corners;
  const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  if (!(std::fabs(area) > 1e-12)) return std::nullopt;
  const double wb = ((x - a.x) * (c.y - a.y) - (y - a.y) * (c.x - a.x)) / area;
  const double wc = ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x)) / area;
  const double wa = 1.0 - wb - wc;
  if (wa < -slack || wb < -slack || wc < -slack) return std::nullopt;
  return wa * a.z + wb * b.z + wc * c.z;
}

// Whether each triangle's corners lie within the tolerance of the other's
// plane.
bool coincide(const Triangle& s, const Triangle& t) {
  const auto near_plane = [](const Triangle& of, const Triangle& plane) {
    return std::all_of(of.corners.begin(), of.corners.end(), [&](const Point3& p) {
      return std::fabs(dot(minus(p, plane.corners[0]), plane.normal)) <= coincident_faces_tolerance;
    });
  };
  return near_plane(s, t) && near_plane(t, s);
}

class Coincident_Faces {
 public:
  Coincident_Faces(const Drawing& drawing, const Scene& scene, const Bounds& bounds,
                   std::size_t segments)
      : triangle_grid_(bounds, std::max<std::size_t>(triangle_count(scene), 1),
                       coincidence_tolerance),
        edge_grid_(bounds, segments, edge_tolerance(drawing)) {
    const auto to_drawing = [&](const Device_Point& p) {
      return Point3{double(p.x), drawing.height - double(p.y), double(p.z)};
    };
    for (std::size_t b = 0; b < scene.bodies.size(); ++b) {
      for (const Device_Polyline& strip : scene.bodies[b].strips) {
        for (std::size_t k = 0; k + 2 < strip.size(); ++k) {
          Triangle t{{to_drawing(strip[k]), to_drawing(strip[k + 1]), to_drawing(strip[k + 2])},
                     std::uint32_t(b),
                     {}};
          t.normal = unit_normal(t.corners);
          Bounds box;
          for (const Point3& c : t.corners) box.add({c.x, c.y});
          triangle_grid_.add_box(box);
          triangles_.push_back(t);
        }
      }
      for (const Device_Polyline& line : scene.bodies[b].polylines) {
        for (std::size_t k = 0; k + 1 < line.size(); ++k) {
          const Point3 a = to_drawing(line[k]), c = to_drawing(line[k + 1]);
          edge_grid_.add({{a.x, a.y}, {c.x, c.y}});
        }
      }
    }
  }

  // Whether the segment lies on an edge of the scene: its two ends within
  // the rounding of device coordinates of one edge segment.
  bool on_edge(const Segment& s) {
    bool found = false;
    edge_grid_.for_each_holding(s, [&](std::size_t) { return found = true; });
    return found;
  }

  // Whether two triangles of two bodies under the segment's middle
  // coincide there.
  bool on_coincident_faces(const Segment& s) {
    const Drawing_Point middle{0.5 * (s.a.x + s.b.x), 0.5 * (s.a.y + s.b.y)};
    under_.clear();
    triangle_grid_.for_each_near({middle, middle}, [&](std::size_t id) {
      if (const std::optional<double> z = depth_under(triangles_[id], middle.x, middle.y))
        under_.push_back({std::uint32_t(id), *z});
    });
    for (std::size_t i = 0; i < under_.size(); ++i) {
      for (std::size_t j = i + 1; j < under_.size(); ++j) {
        const Triangle& a = triangles_[under_[i].triangle];
        const Triangle& b = triangles_[under_[j].triangle];
        if (a.body != b.body && std::fabs(under_[i].z - under_[j].z) <= coincidence_tolerance &&
            coincide(a, b))
          return true;
      }
    }
    return false;
  }

 private:
  struct Under {
    std::uint32_t triangle;
    double z;
  };

  static std::size_t triangle_count(const Scene& scene) {
    std::size_t count = 0;
    for (const Scene_Body& body : scene.bodies) {
      for (const Device_Polyline& strip : body.strips) count += strip.size() - 2;
    }
    return count;
  }

  // Pieces are float device coordinates worked out along their edge: a few
  // float steps of the drawing's size off it at most.
  static double edge_tolerance(const Drawing& drawing) {
    return 1e-5 * (drawing.width + drawing.height);
  }

  Segment_Grid triangle_grid_;
  Segment_Grid edge_grid_;
  std::vector<Triangle> triangles_;
  std::vector<Under> under_;
};

// Splits every polyline of `groups` where `leave_out(segment)` says,
// keeping the model index beside each part.
template <class Leave_Out>
void split_where(std::vector<Style_Group>& groups, Leave_Out&& leave_out) {
  for (Style_Group& group : groups) {
    const bool with_models = group.models.size() == group.polylines.size();
    std::vector<Drawing_Polyline> kept;
    std::vector<std::int32_t> kept_models;
    for (std::size_t p = 0; p < group.polylines.size(); ++p) {
      const Drawing_Polyline& line = group.polylines[p];
      Drawing_Polyline current;
      const auto close = [&] {
        if (current.size() >= 2) {
          kept.push_back(std::move(current));
          if (with_models) kept_models.push_back(group.models[p]);
        }
        current.clear();
      };
      for (std::size_t k = 0; k + 1 < line.size(); ++k) {
        if (leave_out(Segment{line[k], line[k + 1]})) {
          close();
          continue;
        }
        if (current.empty()) current.push_back(line[k]);
        current.push_back(line[k + 1]);
      }
      close();
    }
    group.polylines = std::move(kept);
    if (with_models) group.models = std::move(kept_models);
  }
}

}  // namespace

Coincident_Counts leave_out_coincident_intersections(Drawing& drawing, const Scene& scene) {
  Coincident_Counts counts;
  if (scene.bodies.size() < 2) return counts;
  Bounds bounds;
  bounds.add({0.0, 0.0});
  bounds.add({drawing.width, drawing.height});
  std::size_t segments = 0;
  for (const Scene_Body& body : scene.bodies) {
    for (const Device_Polyline& line : body.polylines) segments += line.size() - 1;
  }
  Coincident_Faces faces(drawing, scene, bounds, segments);
  const auto intersection_piece = [&](const Segment& s) {
    const double length = std::hypot(s.b.x - s.a.x, s.b.y - s.a.y);
    counts.intersection_length += length;
    if (!faces.on_coincident_faces(s)) return false;
    counts.left_out += length;
    return true;
  };
  split_where(drawing.layer(Layer::intersections), intersection_piece);
  split_where(drawing.layer(Layer::hidden),
              [&](const Segment& s) { return !faces.on_edge(s) && intersection_piece(s); });
  return counts;
}

}  // namespace hlr_tool
