// Models to and from numpy arrays.
//
// Arrays a caller gives become a Body by the rules load_model keeps
// (tool/models/model.h), so that arrays and the file they came from draw
// the same: vertices that no triangle or line uses are left out, vertices
// at exactly the same position are welded into the first of them (in
// array order; +0 and -0 are the same coordinate), triangles whose corners
// weld together and segments whose ends do are dropped. A body whose
// vertices are distinct and all used keeps its vertex order, so a loaded
// body's arrays give that body back unchanged.
//
// Every fault in the arrays raises ValueError naming the array, the entry
// and what was expected; nothing a caller passes crashes the interpreter.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <string>

#include "tool/models/model.h"

namespace hlr_python {

namespace py = pybind11;

// `vertices`: (n, 3) real numbers, finite. `triangles`: (m, 3) integers
// in [0, n), or None. `lines`: (k, 2) integers in [0, n) (segments), or
// None. At least one triangle or segment must be left after welding.
// Converts the arrays with the GIL held and welds without it.
hlr_tool::Body body_from_arrays(const py::handle& vertices, const py::handle& triangles,
                                const py::handle& lines, std::optional<hlr_tool::Color_ARGB> color,
                                std::string name);

// (n, 3) float64.
py::array_t<double> vertices_of(const hlr_tool::Body& body);
// (m, 3) int64 into vertices_of(body).
py::array_t<std::int64_t> triangles_of(const hlr_tool::Body& body);
// (k, 2) int64: every segment of the body's lines, line by line.
py::array_t<std::int64_t> segments_of(const hlr_tool::Body& body);

}  // namespace hlr_python
