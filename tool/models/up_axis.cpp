#include "tool/models/up_axis.h"

#include <array>
#include <string>
#include <utility>

#include "tool/common/input_files.h"

namespace hlr_tool {

namespace {

constexpr std::array<std::pair<std::string_view, Up_Axis>, 6> names{{
    {"x", Up_Axis::x},
    {"y", Up_Axis::y},
    {"z", Up_Axis::z},
    {"-x", Up_Axis::minus_x},
    {"-y", Up_Axis::minus_y},
    {"-z", Up_Axis::minus_z},
}};

}  // namespace

const char* up_axis_name(Up_Axis up) {
  for (const auto& [name, axis] : names) {
    if (axis == up) return name.data();
  }
  return "y";
}

std::optional<Up_Axis> parse_up_axis(std::string_view text) {
  for (const auto& [name, axis] : names) {
    if (name == text) return axis;
  }
  return std::nullopt;
}

Vec3 upright(const Vec3& p, Up_Axis up) {
  switch (up) {
    case Up_Axis::y:
      return p;
    case Up_Axis::z:  // a quarter turn about x: +z to +y, +y to -z
      return {p.x, p.z, -p.y};
    case Up_Axis::minus_z:
      return {p.x, -p.z, p.y};
    case Up_Axis::minus_y:  // a half turn about x
      return {p.x, -p.y, -p.z};
    case Up_Axis::x:  // a quarter turn about z: +x to +y, +y to -x
      return {-p.y, p.x, p.z};
    case Up_Axis::minus_x:
      return {p.y, -p.x, p.z};
  }
  return p;
}

Vec3 from_upright(const Vec3& world, Up_Axis up) {
  const Vec3& w = world;
  switch (up) {
    case Up_Axis::y:
      return w;
    case Up_Axis::z:
      return {w.x, -w.z, w.y};
    case Up_Axis::minus_z:
      return {w.x, w.z, -w.y};
    case Up_Axis::minus_y:
      return {w.x, -w.y, -w.z};
    case Up_Axis::x:
      return {w.y, -w.x, w.z};
    case Up_Axis::minus_x:
      return {-w.y, w.x, w.z};
  }
  return w;
}

Up_Axis conventional_up_axis(std::string_view path) {
  static constexpr std::string_view z_up[] = {"step", "stp", "iges", "igs", "brep", "stl", "3mf"};
  const std::string extension = extension_of(path);
  for (std::string_view e : z_up) {
    if (extension == e) return Up_Axis::z;
  }
  return Up_Axis::y;
}

}  // namespace hlr_tool
