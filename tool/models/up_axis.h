// Which way is up in a model's own coordinates, and the rotation that
// stands the model upright in the camera's world (tool/models/camera.h),
// whose y axis is up.
//
// The rotation is the quarter (or half) turn that takes the model's up
// axis onto +y: about x for z, -z and -y, about z for x and -x. So with z
// up, world (x, y, z) = model (x, z, -y): the front view looks along the
// model's +y, the top view down its -z and the right view along its -x,
// as CAD programs show a part. A model's coordinates are never changed:
// the camera and the scene stand each model upright as they read it, so
// that models of different conventions stand together.
#pragma once

#include <optional>
#include <string_view>

#include "tool/common/vec3.h"

namespace hlr_tool {

enum class Up_Axis { x, y, z, minus_x, minus_y, minus_z };

// "x", "y", "z", "-x", "-y", "-z".
const char* up_axis_name(Up_Axis up);
// The axis of that name; nullopt for any other text.
std::optional<Up_Axis> parse_up_axis(std::string_view text);

// A model point (or direction) in the camera's world, and back.
Vec3 upright(const Vec3& p, Up_Axis up);
Vec3 from_upright(const Vec3& world, Up_Axis up);

// The convention of a file format, by the file name's extension (any
// case): z for the CAD formats (STEP, IGES, BREP), STL and 3MF, whose
// files are made for machines and printers that build along z; y for the
// rest (OBJ, glTF/GLB, PLY, OFF and what else Assimp reads), as their
// specifications or their usual writers have it.
Up_Axis conventional_up_axis(std::string_view path);

}  // namespace hlr_tool
