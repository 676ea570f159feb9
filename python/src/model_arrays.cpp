#include "python/src/model_arrays.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace hlr_python {
namespace {

using hlr_tool::Body;
using hlr_tool::Model_Point;

std::string shape_text(const py::array& array) {
  std::string text = "(";
  for (py::ssize_t d = 0; d < array.ndim(); ++d) {
    if (d > 0) text += ", ";
    text += std::to_string(array.shape(d));
  }
  return text + (array.ndim() == 1 ? ",)" : ")");
}

// numpy's reading of `object` as an array, with `name` in the message of
// whatever numpy cannot read (ragged lists, say).
py::array as_array(const py::handle& object, const char* name) {
  try {
    return py::module_::import("numpy").attr("asarray")(object);
  } catch (const py::error_already_set& error) {
    if (!error.matches(PyExc_ValueError) && !error.matches(PyExc_TypeError)) throw;
    throw py::value_error(std::string(name) + ": cannot be read as an array (" +
                          py::str(error.value()).cast<std::string>() + ")");
  }
}

// Checks that `array` has the shape (rows, columns) and returns rows.
py::ssize_t check_shape(const py::array& array, const char* name, py::ssize_t columns,
                        const char* expected) {
  if (array.ndim() != 2 || array.shape(1) != columns) {
    throw py::value_error(std::string(name) + ": expected an array of shape " + expected +
                          ", got shape " + shape_text(array));
  }
  return array.shape(0);
}

std::string dtype_text(const py::array& array) {
  return py::str(array.dtype()).cast<std::string>();
}

std::vector<Model_Point> read_vertices(const py::handle& object) {
  const py::array array = as_array(object, "vertices");
  const py::ssize_t n = check_shape(array, "vertices", 3, "(n, 3)");
  const char kind = array.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u') {
    throw py::value_error("vertices: expected real numbers (a float or integer dtype), got " +
                          dtype_text(array));
  }
  // Indices are 32-bit in a body; the last value marks "no vertex".
  if (n >= py::ssize_t(std::numeric_limits<std::uint32_t>::max())) {
    throw py::value_error("vertices: more than 4294967294 vertices in one body");
  }
  const auto values = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
  if (!values) throw py::error_already_set();
  const double* data = values.data();
  std::vector<Model_Point> points(static_cast<std::size_t>(n));
  for (py::ssize_t i = 0; i < n; ++i) {
    for (int c = 0; c < 3; ++c) {
      const double value = data[3 * i + c];
      if (!std::isfinite(value)) {
        std::ostringstream message;
        message << "vertices[" << i << ", " << c << "] is " << value
                << "; every coordinate must be finite";
        throw py::value_error(message.str());
      }
    }
    points[static_cast<std::size_t>(i)] = {data[3 * i], data[3 * i + 1], data[3 * i + 2]};
  }
  return points;
}

template <typename Index>
void copy_indices(const py::array& array, const char* name, std::size_t vertex_count,
                  std::vector<std::uint32_t>& out) {
  const auto values = py::array_t<Index, py::array::c_style | py::array::forcecast>::ensure(array);
  if (!values) throw py::error_already_set();
  const Index* data = values.data();
  const py::ssize_t columns = array.shape(1);
  out.resize(static_cast<std::size_t>(values.size()));
  for (py::ssize_t k = 0; k < values.size(); ++k) {
    const Index value = data[k];
    bool negative = false;
    if constexpr (std::is_signed_v<Index>) negative = value < 0;
    if (negative || static_cast<std::uint64_t>(value) >= vertex_count) {
      throw py::value_error(std::string(name) + "[" + std::to_string(k / columns) + ", " +
                            std::to_string(k % columns) + "] is " + std::to_string(value) +
                            ", out of range for " + std::to_string(vertex_count) + " vertices");
    }
    out[static_cast<std::size_t>(k)] = static_cast<std::uint32_t>(value);
  }
}

// The indices of `object` ((rows, columns) integers in [0, vertex_count)),
// row after row; None or an empty array give none.
std::vector<std::uint32_t> read_indices(const py::handle& object, const char* name,
                                        py::ssize_t columns, const char* expected,
                                        std::size_t vertex_count) {
  std::vector<std::uint32_t> indices;
  if (object.is_none()) return indices;
  const py::array array = as_array(object, name);
  if (array.size() == 0 && array.ndim() <= 2) return indices;  // [] or np.empty((0, 3))
  check_shape(array, name, columns, expected);
  const char kind = array.dtype().kind();
  if (kind == 'i') {
    copy_indices<std::int64_t>(array, name, vertex_count, indices);
  } else if (kind == 'u') {
    copy_indices<std::uint64_t>(array, name, vertex_count, indices);
  } else {
    throw py::value_error(std::string(name) + ": expected integer indices, got " +
                          dtype_text(array));
  }
  return indices;
}

// Equal coordinates weld; +0 and -0 are one coordinate.
struct Position_Key {
  std::array<std::uint64_t, 3> bits;
  bool operator==(const Position_Key&) const = default;
};

std::uint64_t coordinate_bits(double value) {
  return std::bit_cast<std::uint64_t>(value == 0.0 ? 0.0 : value);
}

struct Position_Key_Hash {
  std::size_t operator()(const Position_Key& key) const {
    std::uint64_t h = 0x9E3779B97F4A7C15u;
    for (std::uint64_t b : key.bits) h = (h ^ b) * 0x100000001B3u;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

constexpr std::uint32_t no_vertex = std::numeric_limits<std::uint32_t>::max();

// The body of welded, used vertices; see the header.
void weld_into(Body& body, const std::vector<Model_Point>& points,
               const std::vector<std::uint32_t>& triangle_indices,
               const std::vector<std::uint32_t>& segment_indices) {
  std::vector<std::uint32_t> body_index(points.size(), no_vertex);
  for (std::uint32_t v : triangle_indices) body_index[v] = 0;
  for (std::uint32_t v : segment_indices) body_index[v] = 0;
  std::unordered_map<Position_Key, std::uint32_t, Position_Key_Hash> welded;
  for (std::size_t v = 0; v < points.size(); ++v) {
    if (body_index[v] == no_vertex) continue;
    const Model_Point& p = points[v];
    const Position_Key key{{coordinate_bits(p.x), coordinate_bits(p.y), coordinate_bits(p.z)}};
    const auto [it, inserted] =
        welded.try_emplace(key, static_cast<std::uint32_t>(body.positions.size()));
    if (inserted) body.positions.push_back(p);
    body_index[v] = it->second;
  }
  for (std::size_t t = 0; t + 2 < triangle_indices.size(); t += 3) {
    const hlr_tool::Triangle triangle{body_index[triangle_indices[t]],
                                      body_index[triangle_indices[t + 1]],
                                      body_index[triangle_indices[t + 2]]};
    if (triangle[0] != triangle[1] && triangle[1] != triangle[2] && triangle[2] != triangle[0])
      body.triangles.push_back(triangle);
  }
  for (std::size_t s = 0; s + 1 < segment_indices.size(); s += 2) {
    const std::uint32_t a = body_index[segment_indices[s]], b = body_index[segment_indices[s + 1]];
    if (a != b) body.lines.push_back({a, b});
  }
}

template <typename Value>
py::array_t<Value> rows_array(std::size_t rows, std::size_t columns) {
  return py::array_t<Value>({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)});
}

}  // namespace

Body body_from_arrays(const py::handle& vertices, const py::handle& triangles,
                      const py::handle& lines, std::optional<hlr_tool::Color_ARGB> color,
                      std::string name) {
  const std::vector<Model_Point> points = read_vertices(vertices);
  const std::vector<std::uint32_t> triangle_indices =
      read_indices(triangles, "triangles", 3, "(m, 3)", points.size());
  const std::vector<std::uint32_t> segment_indices =
      read_indices(lines, "lines", 2, "(k, 2)", points.size());
  Body body;
  body.name = std::move(name);
  body.color = color;
  {
    py::gil_scoped_release unlocked;
    weld_into(body, points, triangle_indices, segment_indices);
  }
  if (body.triangles.empty() && body.lines.empty()) {
    throw py::value_error(
        "a model needs at least one triangle or line segment with distinct corners (after "
        "welding equal vertices), got none");
  }
  return body;
}

py::array_t<double> vertices_of(const Body& body) {
  auto array = rows_array<double>(body.positions.size(), 3);
  double* out = array.mutable_data();
  for (const Model_Point& p : body.positions) {
    *out++ = p.x;
    *out++ = p.y;
    *out++ = p.z;
  }
  return array;
}

py::array_t<std::int64_t> triangles_of(const Body& body) {
  auto array = rows_array<std::int64_t>(body.triangles.size(), 3);
  std::int64_t* out = array.mutable_data();
  for (const hlr_tool::Triangle& t : body.triangles) {
    for (std::uint32_t v : t) *out++ = v;
  }
  return array;
}

py::array_t<std::int64_t> segments_of(const Body& body) {
  std::size_t count = 0;
  for (const auto& line : body.lines) count += line.empty() ? 0 : line.size() - 1;
  auto array = rows_array<std::int64_t>(count, 2);
  std::int64_t* out = array.mutable_data();
  for (const auto& line : body.lines) {
    for (std::size_t i = 1; i < line.size(); ++i) {
      *out++ = line[i - 1];
      *out++ = line[i];
    }
  }
  return array;
}

}  // namespace hlr_python
