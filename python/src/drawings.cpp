// draw and Drawing: models through the tool's drawing pipeline to a
// finished drawing, and the drawing to numpy arrays and files.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "python/src/bindings.h"
#include "tool/common/errors.h"
#include "tool/common/output_file.h"
#include "tool/drawing/drawing.h"
#include "tool/drawing/sheet_formats.h"
#include "tool/drawing/svg_writer.h"
#include "tool/models/camera.h"
#include "tool/models/edge_selection.h"
#include "tool/models/model.h"
#include "tool/render/draw_pipeline.h"

namespace hlr_python {

namespace {

using hlr_tool::Layer;

// A drawing with what the file writers need besides it.
struct Finished_Drawing {
  hlr_tool::Drawing drawing;
  hlr_tool::Draw_Stats stats;
  std::size_t models = 0;
  double stroke_width = 1.0;  // device units, as `draw --stroke`
};

// The one place where a drawing becomes the bytes of a file: the format
// comes from the extension of `path`, as with `hlr-render draw -o`.
// A drawing's own size in device units, as `draw` writes one view without
// --page: SVG as it stands, the other formats as a sheet of that one view.
std::string file_contents(const Finished_Drawing& finished, const std::string& path) {
  const hlr_tool::Output_Format format = hlr_tool::output_format_of(path);
  if (format == hlr_tool::Output_Format::svg) {
    hlr_tool::Svg_Options options;
    options.stroke_width = finished.stroke_width;
    return hlr_tool::write_svg(finished.drawing, options);
  }
  return hlr_tool::write_sheet(
      hlr_tool::single_drawing_sheet(finished.drawing, finished.stroke_width), format, {});
}

template <typename Value>
Value option(const py::dict& options, const char* name) {
  try {
    return options[name].cast<Value>();
  } catch (const py::cast_error&) {
    throw py::type_error(std::string(name) + ": expected " + py::type_id<Value>() + ", got " +
                         py::repr(options[name]).cast<std::string>());
  }
}

// A choice among names, as the command line offers them.
template <typename Choice, std::size_t count>
Choice choice(const py::dict& options, const char* name,
              const std::pair<const char*, Choice> (&choices)[count]) {
  const std::string text = option<std::string>(options, name);
  std::string names;
  for (const auto& [choice_name, value] : choices) {
    if (text == choice_name) return value;
    names += names.empty() ? "" : ", ";
    names += choice_name;
  }
  throw py::value_error(std::string(name) + ": expected one of " + names + ", not '" + text + "'");
}

hlr_tool::View_Angles view_of(const py::handle& view) {
  if (py::isinstance<py::str>(view)) {
    try {
      return hlr_tool::parse_view(view.cast<std::string>());
    } catch (const hlr_tool::Tool_Error& error) {
      throw py::value_error(std::string("view: ") + error.what());
    }
  }
  try {
    const auto angles = view.cast<std::pair<double, double>>();
    return {angles.first, angles.second};
  } catch (const py::cast_error&) {
    throw py::value_error(
        "view: expected a name (front, back, left, right, top, bottom, iso), 'yaw,pitch' or "
        "(yaw, pitch) in degrees, not " +
        py::repr(view).cast<std::string>());
  }
}

// The pipeline's settings from the keyword arguments of hlr_render.draw
// (every one present; the package fills in the defaults).
hlr_tool::Draw_Settings settings_of(const py::dict& options) {
  hlr_tool::Draw_Settings settings;
  settings.camera.view = view_of(options["view"]);
  settings.camera.field_of_view_degrees = option<double>(options, "perspective");
  try {
    const auto size = options["size"].cast<std::pair<int, int>>();
    settings.camera.width = size.first;
    settings.camera.height = size.second;
  } catch (const py::cast_error&) {
    throw py::value_error("size: expected (width, height), two whole numbers, not " +
                          py::repr(options["size"]).cast<std::string>());
  }
  try {
    settings.edges.selection =
        hlr_tool::parse_edge_selection(option<std::string>(options, "edges"));
  } catch (const hlr_tool::Tool_Error& error) {
    throw py::value_error(std::string("edges: ") + error.what());
  }
  settings.edges.crease_degrees = option<double>(options, "crease");
  using hlr_tool::Hidden_Lines;
  settings.hidden = choice(options, "hidden",
                           {std::pair{"dashed", Hidden_Lines::dashed},
                            {"dotted", Hidden_Lines::dotted},
                            {"dash-dot", Hidden_Lines::dash_dot},
                            {"solid", Hidden_Lines::solid},
                            {"off", Hidden_Lines::off}});
  settings.hidden_color = color_of(options["hidden_color"], "hidden_color");
  settings.retain_hidden_color = option<bool>(options, "retain_hidden_color");
  settings.intersections = option<bool>(options, "intersections");
  settings.intersection_color = color_of(options["intersection_color"], "intersection_color");
  using hlr_tool::Intersection_Lines;
  settings.intersection_pattern = choice(options, "intersection_pattern",
                                         {std::pair{"solid", Intersection_Lines::solid},
                                          {"dashed", Intersection_Lines::dashed},
                                          {"dotted", Intersection_Lines::dotted}});
  settings.face_color_intersections = option<bool>(options, "face_color_intersections");
  settings.halo = option<int>(options, "halo");
  settings.wzero = static_cast<float>(option<double>(options, "wzero"));
  settings.double_precision = option<bool>(options, "double_precision");
  settings.jobs = option<int>(options, "jobs");
  if (settings.jobs < 0) {
    throw py::value_error("jobs: expected 0 (automatic) or a number of threads, not " +
                          std::to_string(settings.jobs));
  }
  return settings;
}

std::shared_ptr<Finished_Drawing> draw(const py::list& model_objects, const py::dict& options) {
  const hlr_tool::Draw_Settings settings = settings_of(options);
  const double stroke = option<double>(options, "stroke");
  if (!(std::isfinite(stroke) && stroke > 0.0)) {
    throw py::value_error("stroke: the stroke width must be a number above 0");
  }
  const std::string module_path = option<std::string>(options, "module");
  // Models are immutable once made, so they are read without the GIL.
  std::vector<std::shared_ptr<const hlr_tool::Model>> held;
  for (const py::handle item : model_objects) {
    held.push_back(item.cast<std::shared_ptr<hlr_tool::Model>>());
  }
  auto finished = std::make_shared<Finished_Drawing>();
  finished->models = held.size();
  finished->stroke_width = stroke;
  py::gil_scoped_release unlocked;
  std::vector<hlr_tool::Model> models;
  models.reserve(held.size());
  for (const auto& model : held) models.push_back(*model);
  hlr_tool::Draw_Result result = hlr_tool::draw_models(models, settings, module_path);
  finished->drawing = std::move(result.drawing);
  finished->stats = result.stats;
  return finished;
}

// Every polyline of `layer`, style group after style group, as (p, 2)
// float64 arrays.
py::list polylines_of(const Finished_Drawing& finished, Layer layer) {
  py::list polylines;
  for (const hlr_tool::Style_Group& group : finished.drawing.layer(layer)) {
    for (const hlr_tool::Drawing_Polyline& line : group.polylines) {
      py::array_t<double> points({static_cast<py::ssize_t>(line.size()), py::ssize_t(2)});
      double* out = points.mutable_data();
      for (const hlr_tool::Drawing_Point& p : line) {
        *out++ = p.x;
        *out++ = p.y;
      }
      polylines.append(std::move(points));
    }
  }
  return polylines;
}

py::array_t<double> markers_of(const Finished_Drawing& finished) {
  std::size_t count = 0;
  for (const hlr_tool::Style_Group& group : finished.drawing.layer(Layer::markers)) {
    count += group.dots.size();
  }
  py::array_t<double> dots({static_cast<py::ssize_t>(count), py::ssize_t(2)});
  double* out = dots.mutable_data();
  for (const hlr_tool::Style_Group& group : finished.drawing.layer(Layer::markers)) {
    for (const hlr_tool::Drawing_Point& p : group.dots) {
      *out++ = p.x;
      *out++ = p.y;
    }
  }
  return dots;
}

py::dict stats_of(const Finished_Drawing& finished) {
  const hlr_tool::Draw_Stats& s = finished.stats;
  const auto per_layer = [](const std::array<std::size_t, hlr_tool::layer_count>& counts) {
    py::dict layers;
    for (std::size_t l = 0; l < hlr_tool::layer_count; ++l) {
      layers[hlr_tool::layer_name(static_cast<Layer>(l))] = counts[l];
    }
    return layers;
  };
  std::size_t polylines = 0;
  for (const auto& layer : finished.drawing.layers) {
    for (const hlr_tool::Style_Group& group : layer) polylines += group.polylines.size();
  }
  py::dict stats;
  stats["models"] = finished.models;
  stats["bodies"] = s.bodies;
  stats["triangles"] = s.scene.triangles;
  stats["strips"] = s.scene.strips;
  stats["edges"] = s.scene.edges;
  stats["edge_polylines"] = s.scene.polylines;
  stats["pieces_received"] = per_layer(s.pieces.received);
  stats["pieces_drawn"] = per_layer(s.pieces.drawn);
  stats["polylines"] = polylines;
  py::dict times;
  times["scene"] = s.scene_ms;
  times["capture"] = s.capture_ms;
  times["update"] = s.update_ms;
  stats["time_ms"] = times;
  return stats;
}

}  // namespace

void bind_drawings(py::module_& module) {
  py::class_<Finished_Drawing, std::shared_ptr<Finished_Drawing>>(
      module, "Drawing",
      "A finished hidden-line drawing of one view.\n\n"
      "Coordinates are the drawing's own, in device units: x to the right and y downwards "
      "from the top-left corner of the drawing area (width by height).")
      .def_property_readonly("width", [](const Finished_Drawing& d) { return d.drawing.width; })
      .def_property_readonly("height", [](const Finished_Drawing& d) { return d.drawing.height; })
      .def_property_readonly(
          "visible", [](const Finished_Drawing& d) { return polylines_of(d, Layer::visible); },
          "The visible lines: a list of (p, 2) float64 polylines (p >= 2).")
      .def_property_readonly(
          "hidden", [](const Finished_Drawing& d) { return polylines_of(d, Layer::hidden); },
          "The hidden lines: a list of (p, 2) float64 polylines; empty with hidden='off'.")
      .def_property_readonly(
          "intersections",
          [](const Finished_Drawing& d) { return polylines_of(d, Layer::intersections); },
          "The intersection lines: a list of (p, 2) float64 polylines.")
      .def_property_readonly("markers", &markers_of, "(q, 2) float64 marker positions.")
      .def_property_readonly("stats", &stats_of,
                             "Counts and phase times of the drawing, as `draw --stats` prints.")
      .def(
          "_repr_svg_",
          [](const Finished_Drawing& d) {
            py::gil_scoped_release unlocked;
            hlr_tool::Svg_Options options;
            options.stroke_width = d.stroke_width;
            return hlr_tool::write_svg(d.drawing, options);
          },
          "The drawing as an SVG document (what save writes to a .svg file).")
      .def(
          "save",
          [](const Finished_Drawing& d, const py::object& path_like) {
            const std::string path =
                py::module_::import("os").attr("fspath")(path_like).cast<std::string>();
            std::string failure;
            {
              py::gil_scoped_release unlocked;
              const std::string contents = file_contents(d, path);
              try {
                hlr_tool::write_output_file(path, contents);
              } catch (const hlr_tool::Tool_Error& error) {
                failure = error.what();
              }
            }
            if (!failure.empty()) {
              PyErr_SetString(PyExc_OSError, failure.c_str());
              throw py::error_already_set();
            }
          },
          py::arg("path"),
          "Writes the drawing to `path` (str or os.PathLike) in the format its extension "
          "names, as `hlr-render draw -o PATH` does, the same bytes for the same options. The "
          "file appears only when complete. Raises ValueError for an extension of no known "
          "format and OSError when the file cannot be written.")
      .def("__repr__", [](const Finished_Drawing& d) {
        std::ostringstream text;
        text << "<hlr_render.Drawing " << d.drawing.width << " x " << d.drawing.height << ", "
             << stats_of(d)["polylines"].cast<std::size_t>() << " polylines>";
        return text.str();
      });

  module.def("draw", &draw, py::arg("models"), py::arg("options"));
}

}  // namespace hlr_python
