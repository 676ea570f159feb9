#include "tool/models/camera.h"

#include "tool/common/errors.h"
#include "tool/common/numbers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

namespace hlr_tool {
namespace {

constexpr double degrees = std::numbers::pi / 180.0;

struct Named_View {
  std::string_view name;
  View_Angles angles;
};

// iso: the classic isometric direction, equal angles to all three axes.
const std::array<Named_View, 7> named_views{{
    {"front", {0.0, 0.0}},
    {"back", {180.0, 0.0}},
    {"right", {90.0, 0.0}},
    {"left", {-90.0, 0.0}},
    {"top", {0.0, 90.0}},
    {"bottom", {0.0, -90.0}},
    {"iso", {45.0, 35.264389682754654}},
}};

struct Bounds {
  double min_x = std::numeric_limits<double>::infinity(), max_x = -min_x;
  double min_y = min_x, max_y = -min_x;
  double min_z = min_x, max_z = -min_x;
  bool empty() const { return !(min_x <= max_x); }
};

}  // namespace

View_Angles parse_view(std::string_view text) {
  for (const Named_View& view : named_views) {
    if (view.name == text) return view.angles;
  }
  const auto comma = text.find(',');
  if (comma != std::string_view::npos) {
    const std::optional<double> yaw = parse_finite(text.substr(0, comma));
    const std::optional<double> pitch = parse_finite(text.substr(comma + 1));
    if (yaw && pitch) return {*yaw, *pitch};
  }
  throw input_error(
      "view '" + std::string(text) +
      "' is neither front, back, left, right, top, bottom, iso nor yaw,pitch in degrees");
}

Camera Camera::frame(const Camera_Settings& settings, std::span<const Model> models) {
  if (settings.width < 1 || settings.height < 1)
    throw input_error("the drawing size must be at least 1 x 1, not " +
                      std::to_string(settings.width) + " x " + std::to_string(settings.height));
  if (!(settings.margin_fraction >= 0.0 && settings.margin_fraction < 0.5))
    throw input_error("the margin must be at least 0 and below 0.5 of the drawing size");
  if (!std::isfinite(settings.view.yaw_degrees) || !std::isfinite(settings.view.pitch_degrees))
    throw input_error("the view angles must be finite numbers");
  const double fov = settings.field_of_view_degrees;
  if (!(fov >= 0.0 && fov < 180.0))
    throw input_error("the field of view must be 0 (orthographic) or between 0 and 180 degrees");

  Camera camera;
  camera.width_ = settings.width;
  camera.height_ = settings.height;
  camera.perspective_ = fov > 0.0;

  const double yaw = settings.view.yaw_degrees * degrees;
  const double pitch = settings.view.pitch_degrees * degrees;
  camera.toward_viewer_ = {std::sin(yaw) * std::cos(pitch), std::sin(pitch),
                           std::cos(yaw) * std::cos(pitch)};
  camera.right_ = {std::cos(yaw), 0.0, -std::sin(yaw)};
  // up = toward_viewer x right, which stays defined looking straight down.
  camera.up_ = {-std::sin(yaw) * std::sin(pitch), std::cos(pitch),
                -std::cos(yaw) * std::sin(pitch)};

  Bounds box;
  for (const Model& model : models) {
    for (const Body& body : model.bodies) {
      for (const Model_Point& position : body.positions) {
        const Model_Point p = upright(position, model.up);
        box.min_x = std::min(box.min_x, p.x), box.max_x = std::max(box.max_x, p.x);
        box.min_y = std::min(box.min_y, p.y), box.max_y = std::max(box.max_y, p.y);
        box.min_z = std::min(box.min_z, p.z), box.max_z = std::max(box.max_z, p.z);
      }
    }
  }
  if (box.empty()) box = Bounds{0, 0, 0, 0, 0, 0};
  camera.centre_ = {0.5 * (box.min_x + box.max_x), 0.5 * (box.min_y + box.max_y),
                    0.5 * (box.min_z + box.max_z)};

  if (camera.perspective_) {
    // The eye stands back far enough for the bounding sphere to fill the
    // field of view, so every point lies in front of it.
    const double radius =
        0.5 * std::hypot(box.max_x - box.min_x, box.max_y - box.min_y, box.max_z - box.min_z);
    camera.eye_distance_ = radius > 0.0 ? radius / std::sin(0.5 * fov * degrees) : 1.0;
  }

  // The view coordinates' extent decides scale and offsets.
  Bounds view;
  for (const Model& model : models) {
    for (const Body& body : model.bodies) {
      for (const Model_Point& p : body.positions) {
        const View_Point v = camera.to_view(upright(p, model.up));
        view.min_x = std::min(view.min_x, v.x), view.max_x = std::max(view.max_x, v.x);
        view.min_y = std::min(view.min_y, v.y), view.max_y = std::max(view.max_y, v.y);
        view.min_z = std::min(view.min_z, v.depth), view.max_z = std::max(view.max_z, v.depth);
      }
    }
  }
  if (view.empty()) view = Bounds{0, 0, 0, 0, 0, 0};

  const double margin =
      settings.margin_fraction * double(std::min(settings.width, settings.height));
  const double room_x = double(settings.width) - 2.0 * margin;
  const double room_y = double(settings.height) - 2.0 * margin;
  const double extent_x = view.max_x - view.min_x;
  const double extent_y = view.max_y - view.min_y;
  // A model that is a point or a line seen end on has no extent in one
  // direction or both; the other direction alone decides.
  double scale = std::numeric_limits<double>::infinity();
  if (extent_x > 0.0) scale = room_x / extent_x;
  if (extent_y > 0.0) scale = std::min(scale, room_y / extent_y);
  if (!std::isfinite(scale) || scale <= 0.0) scale = 1.0;
  camera.scale_ = scale;
  camera.offset_x_ = 0.5 * double(settings.width) - scale * 0.5 * (view.min_x + view.max_x);
  camera.offset_y_ = 0.5 * double(settings.height) - scale * 0.5 * (view.min_y + view.max_y);
  camera.nearest_depth_ = view.min_z;
  return camera;
}

Camera::View_Point Camera::to_view(const Model_Point& p) const {
  const Model_Point relative = p - centre_;
  View_Point v{dot(relative, right_), dot(relative, up_), -dot(relative, toward_viewer_)};
  if (perspective_) {
    // Scaled so that sizes at the centre's distance stay model sizes.
    const double distance = eye_distance_ + v.depth;
    v.x = v.x * eye_distance_ / distance;
    v.y = v.y * eye_distance_ / distance;
    v.depth = distance;
  }
  return v;
}

Device_Point Camera::to_device(const Model_Point& world) const {
  const View_Point v = to_view(world);
  return {float(offset_x_ + scale_ * v.x), float(offset_y_ + scale_ * v.y),
          float(1.0 + scale_ * (v.depth - nearest_depth_))};
}

}  // namespace hlr_tool
