// Body, Model and load: models as the tool reads them, to and from numpy.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "python/src/bindings.h"
#include "python/src/model_arrays.h"
#include "tool/models/model.h"
#include "tool/render/draw_request.h"

namespace hlr_python {

namespace {

using hlr_tool::Body;
using hlr_tool::Model;

// Per-triangle or per-segment colours of a model, each body's colour (or
// the default the tool draws it with) repeated for its elements.
py::array_t<std::uint32_t> element_colors(const Model& model, bool faces) {
  std::size_t count = 0;
  for (const Body& body : model.bodies) {
    if (faces) {
      count += body.triangles.size();
    } else {
      for (const auto& line : body.lines) count += line.empty() ? 0 : line.size() - 1;
    }
  }
  py::array_t<std::uint32_t> colors(static_cast<py::ssize_t>(count));
  std::uint32_t* out = colors.mutable_data();
  for (const Body& body : model.bodies) {
    const std::uint32_t color =
        body.color.value_or(faces ? hlr_tool::default_face_color : hlr_tool::default_line_color);
    std::size_t n = body.triangles.size();
    if (!faces) {
      n = 0;
      for (const auto& line : body.lines) n += line.empty() ? 0 : line.size() - 1;
    }
    out = std::fill_n(out, n, color);
  }
  return colors;
}

// The bodies' arrays one after the other; indices shifted past the
// vertices of the bodies before.
template <typename Value>
py::array concatenated(const Model& model, py::array_t<Value> (*of)(const Body&), bool indices) {
  py::list parts;
  std::int64_t offset = 0;
  for (const Body& body : model.bodies) {
    py::array_t<Value> part = of(body);
    if (indices && offset != 0) {
      parts.append(part.attr("__add__")(offset));
    } else {
      parts.append(part);
    }
    offset += static_cast<std::int64_t>(body.positions.size());
  }
  return py::module_::import("numpy").attr("concatenate")(parts, 0);
}

}  // namespace

void bind_models(py::module_& module) {
  py::class_<Body, std::shared_ptr<Body>>(
      module, "Body",
      "One body of a model: triangles and lines of one colour over one vertex array.\n\n"
      "Body(vertices, triangles=None, lines=None, *, color=None, name='')\n\n"
      "vertices: (n, 3) real numbers; triangles: (m, 3) integers, lines: (k, 2) integers "
      "(segments), each an index into vertices. Vertices at equal positions are welded, "
      "unused ones left out, and triangles or segments that collapse are dropped, as when "
      "a file is read. color: None (the tool's default), 0xAARRGGBB, (r, g, b[, a]) or a "
      "string as on the command line. Raises ValueError for any fault in the arrays.")
      .def(py::init([](const py::object& vertices, const py::object& triangles,
                       const py::object& lines, const py::object& color, std::string name) {
             return std::make_shared<Body>(body_from_arrays(
                 vertices, triangles, lines, color_of(color, "color"), std::move(name)));
           }),
           py::arg("vertices"), py::arg("triangles") = py::none(), py::arg("lines") = py::none(),
           py::kw_only(), py::arg("color") = py::none(), py::arg("name") = "")
      .def_readonly("name", &Body::name)
      .def_property_readonly(
          "color", [](const Body& body) { return body.color; },
          "0xAARRGGBB, or None when the body has no colour of its own.")
      .def_property_readonly("vertices", &vertices_of, "(n, 3) float64, a new array each time.")
      .def_property_readonly("triangles", &triangles_of,
                             "(m, 3) int64 indices into vertices, a new array each time.")
      .def_property_readonly("lines", &segments_of,
                             "(k, 2) int64 segments into vertices, a new array each time.")
      .def("__repr__", [](const Body& body) {
        std::size_t segments = 0;
        for (const auto& line : body.lines) segments += line.empty() ? 0 : line.size() - 1;
        return "<hlr_render.Body '" + body.name + "': " + std::to_string(body.positions.size()) +
               " vertices, " + std::to_string(body.triangles.size()) + " triangles, " +
               std::to_string(segments) + " line segments>";
      });

  py::class_<Model, std::shared_ptr<Model>>(
      module, "Model",
      "A model: its bodies (one per material of a file) in one coordinate system.\n\n"
      "Model(bodies, *, path='', up=None) joins Body objects (or the bodies of Models) into "
      "one model; up is which way is up in its coordinates ('x', 'y', 'z', '-x', '-y', '-z'), "
      "by default that of the first Model among bodies, else 'y'.")
      .def(
          py::init([](const py::object& bodies, std::string path,
                      const std::optional<std::string>& up) {
            auto model = std::make_shared<Model>();
            model->path = std::move(path);
            std::optional<hlr_tool::Up_Axis> first_up;
            const auto add = [&model, &first_up](const py::handle& item) {
              if (py::isinstance<Body>(item)) {
                model->bodies.push_back(item.cast<const Body&>());
              } else if (py::isinstance<Model>(item)) {
                const Model& other = item.cast<const Model&>();
                if (!first_up) first_up = other.up;
                model->bodies.insert(model->bodies.end(), other.bodies.begin(), other.bodies.end());
              } else {
                throw py::type_error("bodies: expected Body or Model objects, got " +
                                     py::repr(item).cast<std::string>());
              }
            };
            if (py::isinstance<Body>(bodies) || py::isinstance<Model>(bodies)) {
              add(bodies);
            } else {
              for (const py::handle item : bodies) add(item);
            }
            if (model->bodies.empty()) throw py::value_error("bodies: a model needs a body");
            model->up = first_up.value_or(hlr_tool::Up_Axis::y);
            if (up) {
              const std::optional<hlr_tool::Up_Axis> axis = hlr_tool::parse_up_axis(*up);
              if (!axis) {
                throw py::value_error("up: expected one of x, y, z, -x, -y, -z, not '" + *up + "'");
              }
              model->up = *axis;
            }
            return model;
          }),
          py::arg("bodies"), py::kw_only(), py::arg("path") = "", py::arg("up") = py::none())
      .def_readonly("path", &Model::path, "The file the model was read from ('' for none).")
      .def_property_readonly(
          "up", [](const Model& model) { return std::string(hlr_tool::up_axis_name(model.up)); },
          "Which way is up in the model's coordinates: 'x', 'y', 'z', '-x', '-y' or '-z' (a "
          "STEP, IGES, BREP, STL or 3MF file 'z', other meshes as their file says or 'y'). "
          "The views stand it upright.")
      .def_property_readonly(
          "bodies",
          [](const Model& model) {
            py::list bodies;
            for (const Body& body : model.bodies) bodies.append(std::make_shared<Body>(body));
            return bodies;
          },
          "The bodies, in file order (copies).")
      .def_property_readonly(
          "vertices", [](const Model& model) { return concatenated(model, &vertices_of, false); },
          "(n, 3) float64: every body's vertices, body after body.")
      .def_property_readonly(
          "triangles", [](const Model& model) { return concatenated(model, &triangles_of, true); },
          "(m, 3) int64 indices into vertices.")
      .def_property_readonly(
          "lines", [](const Model& model) { return concatenated(model, &segments_of, true); },
          "(k, 2) int64 segments, indices into vertices.")
      .def_property_readonly(
          "triangle_colors", [](const Model& model) { return element_colors(model, true); },
          "(m,) uint32 0xAARRGGBB: the colour each triangle is drawn with.")
      .def_property_readonly(
          "line_colors", [](const Model& model) { return element_colors(model, false); },
          "(k,) uint32 0xAARRGGBB: the colour each line segment is drawn with.")
      .def("__repr__", [](const Model& model) {
        std::size_t vertices = 0, triangles = 0;
        for (const Body& body : model.bodies) {
          vertices += body.positions.size();
          triangles += body.triangles.size();
        }
        return "<hlr_render.Model '" + model.path + "': " + std::to_string(model.bodies.size()) +
               " bodies, " + std::to_string(vertices) + " vertices, " + std::to_string(triangles) +
               " triangles>";
      });

  module.def(
      "load_model",
      [](const std::string& path, const std::vector<std::pair<std::string, std::string>>& options) {
        // Read as a drawing with these options would read it.
        hlr_tool::Draw_Request request;
        request.models.push_back({path, nullptr});
        apply_options(request, options);
        request.validate();
        py::gil_scoped_release unlocked;
        return std::make_shared<Model>(
            std::move(hlr_tool::load_request_models(request, {}).front()));
      },
      py::arg("path"), py::arg("options"));
}

}  // namespace hlr_python
