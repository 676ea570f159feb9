#include "tool/render/centre_lines.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace hlr_tool {

namespace {

// An axial face in the camera's world, its direction turned so that its
// largest component is positive (its extent turned with it), so that the
// faces of one axis agree on which way it runs.
Axial_Face upright_face(const Axial_Face& face, Up_Axis up) {
  Axial_Face world = face;
  world.origin = upright(face.origin, up);
  const Vec3 d = upright(face.direction, up);
  const double length = std::sqrt(dot(d, d));
  world.direction = {d.x / length, d.y / length, d.z / length};
  const Vec3& w = world.direction;
  const double largest = std::fabs(w.x) >= std::fabs(w.y) && std::fabs(w.x) >= std::fabs(w.z) ? w.x
                         : std::fabs(w.y) >= std::fabs(w.z)                                   ? w.y
                                                                                              : w.z;
  if (largest < 0.0) {
    world.direction = {-w.x, -w.y, -w.z};
    world.from = -face.to * length;
    world.to = -face.from * length;
  } else {
    world.from = face.from * length;
    world.to = face.to * length;
  }
  return world;
}

// One axis and the faces on it.
struct Axis_Group {
  Vec3 origin, direction;
  std::vector<Axial_Face> faces;
};

double length_of(const Vec3& v) { return std::sqrt(dot(v, v)); }

// The world's faces gathered by axis: every cylinder and cone on one, and
// the spheres, tori and surfaces of revolution on one of theirs. Two
// faces share an axis when their directions agree and each origin lies on
// the other's axis, both within a millionth of the models' size (CAD files
// keep coaxial faces far closer than that).
std::vector<Axis_Group> axis_groups(std::span<const Model> models) {
  std::vector<Axial_Face> faces;
  double size = 0.0;
  for (const Model& model : models) {
    for (const Body& body : model.bodies) {
      for (const Axial_Face& face : body.axial_faces) {
        if (!(length_of(face.direction) > 0.0)) continue;
        faces.push_back(upright_face(face, model.up));
        const Axial_Face& f = faces.back();
        size = std::max({size, length_of(f.origin), std::fabs(f.from), std::fabs(f.to), f.radius});
      }
    }
  }
  // Those with an axis of their own first.
  std::stable_partition(faces.begin(), faces.end(),
                        [](const Axial_Face& face) { return face.own_axis; });
  const double tolerance = 1e-6 * size;
  std::vector<Axis_Group> groups;
  for (const Axial_Face& face : faces) {
    const auto on_axis = [&](const Axis_Group& g) {
      if (length_of(cross(g.direction, face.direction)) > 1e-6) return false;
      return length_of(cross(face.origin - g.origin, g.direction)) <= tolerance;
    };
    auto group = std::find_if(groups.begin(), groups.end(), on_axis);
    if (group == groups.end()) {
      if (!face.own_axis) continue;
      groups.push_back({face.origin, face.direction, {}});
      group = groups.end() - 1;
    }
    group->faces.push_back(face);
  }
  return groups;
}

// Whether a face has company enough of its kind at its radius (within a
// millionth) to go half a turn round the axis: a bore split into halves
// does, and a domed head cut by its slot, but not the fillets along a
// part's edges, nor the blend that turns a little way round a boss into
// an arm.
bool goes_half_round(const Axial_Face& face, const std::vector<Axial_Face>& faces) {
  double turn = 0.0;
  for (const Axial_Face& other : faces) {
    if (other.own_axis == face.own_axis &&
        std::fabs(other.radius - face.radius) <= 1e-6 * face.radius)
      turn += other.turn;
  }
  return turn >= std::numbers::pi - 1e-6;
}

Drawing_Point on_drawing(const Camera& camera, const Vec3& world, double drawing_height) {
  const std::array<double, 2> p = camera.to_device_xy(world);
  return {p[0], drawing_height - p[1]};
}

Vec3 along(const Vec3& origin, const Vec3& direction, double s) {
  return {origin.x + s * direction.x, origin.y + s * direction.y, origin.z + s * direction.z};
}

}  // namespace

std::vector<Centre_Axis> centre_axes(std::span<const Model> models, const Camera& camera,
                                     double drawing_height) {
  std::vector<Centre_Axis> axes;
  if (camera.perspective()) return axes;
  const Vec3 toward_viewer = camera.toward_viewer_from(camera.centre());
  // Within a degree of the view's direction, or of square to it.
  const double degree = std::numbers::pi / 180.0;
  for (const Axis_Group& group : axis_groups(models)) {
    if (std::none_of(group.faces.begin(), group.faces.end(), [&](const Axial_Face& face) {
          return face.own_axis && goes_half_round(face, group.faces);
        }))
      continue;
    double from = 0.0, to = 0.0, radius = 0.0;
    bool any = false;
    for (const Axial_Face& face : group.faces) {
      if (!goes_half_round(face, group.faces)) continue;
      const double offset = dot(face.origin - group.origin, group.direction);
      from = any ? std::min(from, offset + face.from) : offset + face.from;
      to = any ? std::max(to, offset + face.to) : offset + face.to;
      radius = std::max(radius, face.radius);
      any = true;
    }
    const double facing = std::fabs(dot(group.direction, toward_viewer));
    Centre_Axis axis;
    if (facing >= std::cos(degree)) {
      axis.end_on = true;
      axis.a = axis.b = on_drawing(camera, along(group.origin, group.direction, 0.5 * (from + to)),
                                   drawing_height);
      axis.radius = radius * camera.scale();
    } else if (facing <= std::sin(degree)) {
      axis.a = on_drawing(camera, along(group.origin, group.direction, from), drawing_height);
      axis.b = on_drawing(camera, along(group.origin, group.direction, to), drawing_height);
    } else {
      continue;
    }
    axes.push_back(axis);
  }
  return axes;
}

Precedence_Counts add_centre_lines(Drawing& drawing, std::span<const Centre_Axis> axes,
                                   double beyond) {
  // Line precedence is given the centre lines in a drawing of their own,
  // every other line covering them from its visible layer: the drawing's
  // own lines have had their precedence already (and some are marked as
  // arcs, whose polylines must stay whole).
  Drawing centre;
  centre.width = drawing.width;
  centre.height = drawing.height;
  for (const Centre_Axis& axis : axes) {
    if (axis.end_on) {
      // Each arm drawn out from the centre, so that the marks cross on
      // their dashes.
      const double reach = axis.radius + beyond;
      for (const Drawing_Point& arm : {Drawing_Point{1.0, 0.0}, Drawing_Point{-1.0, 0.0},
                                       Drawing_Point{0.0, 1.0}, Drawing_Point{0.0, -1.0}}) {
        add_centre_line(centre, {axis.a, {axis.a.x + reach * arm.x, axis.a.y + reach * arm.y}});
      }
      continue;
    }
    const double dx = axis.b.x - axis.a.x, dy = axis.b.y - axis.a.y;
    const double length = std::hypot(dx, dy);
    if (!(length > 0.0)) continue;
    const double ux = dx / length * beyond, uy = dy / length * beyond;
    add_centre_line(centre, {{axis.a.x - ux, axis.a.y - uy}, {axis.b.x + ux, axis.b.y + uy}});
  }
  if (centre.layer(Layer::centre_lines).empty()) return {};
  std::vector<Style_Group>& covering = centre.layer(Layer::visible);
  for (const Layer layer : {Layer::visible, Layer::hidden, Layer::intersections}) {
    for (const Style_Group& group : drawing.layer(layer)) {
      Style_Group& copy = covering.emplace_back();
      copy.polylines = group.polylines;
    }
  }
  const Precedence_Counts counts = apply_line_precedence(centre);
  std::vector<Style_Group>& kept = centre.layer(Layer::centre_lines);
  std::vector<Style_Group>& lines = drawing.layer(Layer::centre_lines);
  lines.insert(lines.end(), std::make_move_iterator(kept.begin()),
               std::make_move_iterator(kept.end()));
  return counts;
}

}  // namespace hlr_tool
