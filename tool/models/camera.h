// The view of the models and their framing in the device rectangle.
//
// The camera's world has y up, and every model enters it stood upright by
// its up axis (Model::up, up_axis.h). The viewer looks at the models'
// bounding box centre from the direction given by yaw (turning about the
// world's y axis, positive towards +x) and pitch (positive from above); yaw
// 0, pitch 0 looks from +z along -z with x to the right: the front view of
// a y-up model, and of a z-up part the view along its +y.
//
// Device space is what the renderer receives: x to the right and y up, both
// inside [0, width] x [0, height]; z is the depth, growing away from the
// viewer, with the nearest model point at z = 1 and depth differences scaled
// like x and y. Orthographic projection keeps x and y parallel; perspective
// divides them by the distance along the view axis, and z is then that
// distance (shifted and scaled the same way).
#pragma once

#include "tool/models/model.h"

#include <span>
#include <string_view>

namespace hlr_tool {

struct View_Angles {
  double yaw_degrees = 35.0;
  double pitch_degrees = 25.0;
};

// Reads a view given on the command line: a name (front, back, left,
// right, top, bottom, iso) or "yaw,pitch" in degrees.
// Throws Tool_Error (exit status 2) naming the text when it is neither.
View_Angles parse_view(std::string_view text);

struct Camera_Settings {
  View_Angles view;
  // 0 for an orthographic view; otherwise the full angle, in degrees, that
  // the models' bounding sphere fills, strictly between 0 and 180.
  double field_of_view_degrees = 0.0;
  int width = 1000;
  int height = 1000;
  // The empty border on every side, as a fraction of the shorter side.
  double margin_fraction = 0.05;
};

struct Device_Point {
  float x;
  float y;
  float z;
};

class Camera {
 public:
  // Chooses the scale and offsets that fit every position of every body
  // into the device rectangle, less the margin, centred, keeping the
  // aspect ratio. Throws Tool_Error (exit status 2) for settings out of
  // range (size below 1, margin outside [0, 0.5), angles not finite,
  // field of view outside [0, 180)).
  static Camera frame(const Camera_Settings& settings, std::span<const Model> models);

  // A point of the camera's world (a model point stood upright:
  // upright(p, model.up)).
  Device_Point to_device(const Model_Point& world) const;

  int width() const { return width_; }
  int height() const { return height_; }
  // Device units per model unit (at the models' centre, in perspective):
  // a sheet draws its views at one scale by it.
  double scale() const { return scale_; }
  // The models' bounding box centre in the world, which the view looks at:
  // every view of the same models shares it, so views are aligned on it.
  const Model_Point& centre() const { return centre_; }

 private:
  struct View_Point {
    double x, y, depth;
  };
  View_Point to_view(const Model_Point& p) const;

  int width_ = 0;
  int height_ = 0;
  bool perspective_ = false;
  Model_Point centre_{0, 0, 0};
  Model_Point right_{1, 0, 0};
  Model_Point up_{0, 1, 0};
  Model_Point toward_viewer_{0, 0, 1};
  double eye_distance_ = 0.0;  // perspective only: eye to centre
  double scale_ = 1.0;
  double offset_x_ = 0.0;
  double offset_y_ = 0.0;
  double nearest_depth_ = 0.0;
};

}  // namespace hlr_tool
