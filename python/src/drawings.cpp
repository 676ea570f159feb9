// draw, the option table and the finished drawing: the Python package's
// side of tool/render/draw_request.h. The package turns each keyword
// argument into its option's text (hlr_render/__init__.py); everything
// else — checking, defaults, drawing, the file's bytes — is the request's,
// exactly as for hlr-render draw.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "python/src/bindings.h"
#include "tool/common/closest_name.h"
#include "tool/common/errors.h"
#include "tool/common/output_file.h"
#include "tool/common/process_heap.h"
#include "tool/render/draw_options.h"
#include "tool/render/draw_request.h"
#include "tool/session/module_path.h"

namespace hlr_python {

namespace {

using hlr_tool::Finished_Drawing;
using hlr_tool::Layer;

// (name, text) pairs of options, as the package made them.
using Option_Texts = std::vector<std::pair<std::string, std::string>>;

const char* kind_name(hlr_tool::Option_Kind kind) {
  using hlr_tool::Option_Kind;
  switch (kind) {
    case Option_Kind::flag:
      return "flag";
    case Option_Kind::integer:
      return "integer";
    case Option_Kind::real:
      return "real";
    case Option_Kind::text:
      return "text";
    case Option_Kind::path:
      return "path";
    case Option_Kind::choice:
      return "choice";
    case Option_Kind::list:
      return "list";
    case Option_Kind::colour:
      return "colour";
    case Option_Kind::pair:
      return "pair";
  }
  return "text";
}

py::list option_table() {
  py::list options;
  for (const hlr_tool::Draw_Option& option : hlr_tool::draw_options()) {
    py::dict entry;
    entry["name"] = option.name;
    entry["kind"] = kind_name(option.kind);
    entry["group"] = option.group;
    entry["value_name"] = option.value_name;
    entry["help"] = option.help;
    entry["default"] = hlr_tool::default_text(option);
    entry["accepted"] = hlr_tool::accepted_values(option);
    entry["choices"] = option.choices;
    options.append(entry);
  }
  return options;
}

// `run_tiles`, when not None, draws the tiles of tiles= (a list of (tile
// file, drawing file) pairs) elsewhere, on a cluster, and returns when all
// are drawn.
std::shared_ptr<Finished_Drawing> draw(const py::list& items, const Option_Texts& options,
                                       const std::string& installed_module,
                                       const std::string& worker_program,
                                       const py::object& run_tiles) {
  hlr_tool::Draw_Request request;
  for (const py::handle item : items) {
    if (py::isinstance<py::str>(item)) {
      request.models.push_back({item.cast<std::string>(), nullptr});
    } else {
      // Models are immutable once made, so they are read without the GIL.
      request.models.push_back({"", item.cast<std::shared_ptr<hlr_tool::Model>>()});
    }
  }
  apply_options(request, options);
  std::vector<std::string> warnings;
  hlr_tool::Draw_Front_End front_end;
  front_end.default_module = installed_module;
  front_end.warn = [&warnings](const std::string& warning) { warnings.push_back(warning); };
  front_end.polyline_models = true;
  front_end.interrupted = python_signal_raised;
  front_end.worker_program = worker_program;
  if (!run_tiles.is_none()) {
    front_end.run_tiles = [&run_tiles](std::span<const hlr_tool::Tile_Job> jobs) {
      py::gil_scoped_acquire locked;
      py::list pairs;
      for (const hlr_tool::Tile_Job& job : jobs)
        pairs.append(py::make_tuple(job.tile_file, job.drawing_file));
      run_tiles(pairs);
    };
  }
  auto finished = std::make_shared<Finished_Drawing>();
  run_interruptible([&] {
    *finished = hlr_tool::draw_request(request, front_end);
    hlr_tool::write_drawing_files(*finished, request);
  });
  for (const std::string& warning : warnings) {
    if (PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 1) != 0) throw py::error_already_set();
  }
  if (request.stats) {
    const hlr_tool::Output_Format format = request.output.empty()
                                               ? hlr_tool::Output_Format::svg
                                               : hlr_tool::output_format_of(request.output);
    py::print(hlr_tool::draw_stats_text(*finished, format), py::arg("end") = "");
  }
  return finished;
}

const hlr_tool::Drawing& view_drawing(const Finished_Drawing& finished, std::size_t v) {
  if (v >= finished.views.size()) throw py::index_error("no view " + std::to_string(v));
  return finished.views[v].drawing;
}

Layer layer_named(const std::string& name) {
  for (std::size_t l = 0; l < hlr_tool::layer_count; ++l) {
    if (name == hlr_tool::layer_name(static_cast<Layer>(l))) return static_cast<Layer>(l);
  }
  throw py::value_error("no layer '" + name + "'");
}

// Every polyline of the layer, style group after style group, as (p, 2)
// float64 arrays, and beside them the (n,) int32 model of each.
py::tuple layer_of(const Finished_Drawing& finished, std::size_t v, const std::string& name) {
  const hlr_tool::Drawing& drawing = view_drawing(finished, v);
  py::list polylines;
  std::vector<std::int32_t> models;
  for (const hlr_tool::Style_Group& group : drawing.layer(layer_named(name))) {
    for (std::size_t k = 0; k < group.polylines.size(); ++k) {
      const hlr_tool::Drawing_Polyline& line = group.polylines[k];
      py::array_t<double> points({static_cast<py::ssize_t>(line.size()), py::ssize_t(2)});
      double* out = points.mutable_data();
      for (const hlr_tool::Drawing_Point& p : line) {
        *out++ = p.x;
        *out++ = p.y;
      }
      polylines.append(std::move(points));
      models.push_back(k < group.models.size() ? group.models[k] : -1);
    }
  }
  return py::make_tuple(polylines, py::array_t<std::int32_t>(models.size(), models.data()));
}

py::array_t<double> markers_of(const Finished_Drawing& finished, std::size_t v) {
  std::vector<double> xy;
  for (const hlr_tool::Style_Group& group : view_drawing(finished, v).layer(Layer::markers)) {
    for (const hlr_tool::Drawing_Point& p : group.dots) xy.insert(xy.end(), {p.x, p.y});
  }
  py::array_t<double> dots({static_cast<py::ssize_t>(xy.size() / 2), py::ssize_t(2)});
  std::copy(xy.begin(), xy.end(), dots.mutable_data());
  return dots;
}

// The counts and times of --stats, summed over the views.
py::dict stats_of(const Finished_Drawing& finished) {
  const hlr_tool::Draw_Totals t = hlr_tool::draw_totals(finished);
  const auto per_layer = [](const std::array<std::size_t, hlr_tool::layer_count>& counts) {
    py::dict layers;
    for (std::size_t l = 0; l < hlr_tool::layer_count; ++l) {
      layers[hlr_tool::layer_name(static_cast<Layer>(l))] = counts[l];
    }
    return layers;
  };
  py::dict stats;
  stats["models"] = finished.model_count;
  stats["views"] = finished.views.size();
  stats["bodies"] = t.bodies;
  stats["triangles"] = t.scene.triangles;
  stats["strips"] = t.scene.strips;
  stats["edges"] = t.scene.edges;
  stats["edge_polylines"] = t.scene.polylines;
  stats["pieces_received"] = per_layer(t.pieces.received);
  stats["pieces_drawn"] = per_layer(t.pieces.drawn);
  stats["polylines"] = t.polylines;
  py::dict times;
  times["import"] = finished.times.import;
  times["scene"] = t.scene_ms;
  times["capture"] = t.capture_ms;
  times["update"] = t.update_ms;
  times["write"] = finished.times.write;
  stats["time_ms"] = times;
  return stats;
}

// The drawing's file for `path`, in the format its extension names, with
// the request's dpi and background unless `options` give others.
void save(const Finished_Drawing& finished, const std::string& path, const Option_Texts& options) {
  hlr_tool::Draw_Request scratch;
  scratch.cairo = finished.cairo;
  apply_options(scratch, options);
  const hlr_tool::Output_Format format = hlr_tool::output_format_of(path);
  std::string failure;
  {
    py::gil_scoped_release unlocked;
    const std::string bytes = hlr_tool::drawing_bytes(finished, format, scratch.cairo);
    try {
      hlr_tool::write_output_file(path, bytes);
    } catch (const hlr_tool::Tool_Error& error) {
      failure = error.what();
    }
  }
  if (!failure.empty()) {
    PyErr_SetString(PyExc_OSError, failure.c_str());
    throw py::error_already_set();
  }
}

}  // namespace

void apply_options(hlr_tool::Draw_Request& request, const Option_Texts& options) {
  for (const auto& [name, text] : options) {
    const hlr_tool::Draw_Option* option = hlr_tool::find_draw_option(name);
    if (option == nullptr) throw py::type_error("no draw option --" + name);
    hlr_tool::apply_draw_option(request, *option, text);
  }
}

void bind_drawings(py::module_& module) {
  py::class_<Finished_Drawing, std::shared_ptr<Finished_Drawing>>(
      module, "_Drawing", "The native side of hlr_render.Drawing.")
      .def_property_readonly("view_count", [](const Finished_Drawing& d) { return d.views.size(); })
      .def("view_name",
           [](const Finished_Drawing& d, std::size_t v) {
             view_drawing(d, v);
             return d.view_names[v];
           })
      .def("view_size",
           [](const Finished_Drawing& d, std::size_t v) {
             const hlr_tool::Drawing& drawing = view_drawing(d, v);
             return py::make_tuple(drawing.width, drawing.height);
           })
      .def("layer", &layer_of)
      .def("markers", &markers_of)
      .def_property_readonly("sheet",
                             [](const Finished_Drawing& d) {
                               return py::make_tuple(d.sheet.width, d.sheet.height, d.sheet.paged);
                             })
      .def("stats", &stats_of)
      .def("svg",
           [](const Finished_Drawing& d) {
             py::gil_scoped_release unlocked;
             return hlr_tool::drawing_bytes(d, hlr_tool::Output_Format::svg, d.cairo);
           })
      .def("save", &save);

  module.def("draw_options", &option_table);
  module.def("draw", &draw, py::arg("models"), py::arg("options"), py::arg("installed_module"),
             py::arg("worker_program"), py::arg("run_tiles"));
  module.def(
      "closest_name",
      [](const std::string& word, const std::vector<std::string>& names) {
        return hlr_tool::closest_name(word, names);
      },
      py::arg("word"), py::arg("names"));
  module.def("renderer_module_path", &hlr_tool::renderer_module_path, py::arg("given"),
             py::arg("installed"));
  module.def("tune_heap", &hlr_tool::prepare_process_heap);
}

}  // namespace hlr_python
