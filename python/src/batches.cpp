// batch, and the tiles of a drawing on a cluster: the Python package's
// side of tool/batch/batch_run.h and tool/render/draw_tiles.h. The package
// makes the option texts (hlr_render/__init__.py); checking, planning,
// drawing and the report are the tool's, as for hlr-render batch.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <utility>
#include <vector>

#include "python/src/bindings.h"
#include "tool/batch/batch_run.h"
#include "tool/common/errors.h"
#include "tool/common/output_file.h"
#include "tool/common/thread_budget.h"
#include "tool/render/draw_tiles.h"

namespace hlr_python {

namespace {

using Option_Texts = std::vector<std::pair<std::string, std::string>>;

hlr_tool::Batch_Request batch_request(const std::vector<std::string>& inputs,
                                      const Option_Texts& batch_options,
                                      const Option_Texts& draw_options) {
  hlr_tool::Batch_Request request;
  request.inputs = inputs;
  for (const auto& [name, text] : batch_options) {
    const hlr_tool::Batch_Option* found = nullptr;
    for (const hlr_tool::Batch_Option& option : hlr_tool::batch_options()) {
      if (option.name == name) found = &option;
    }
    if (found == nullptr) throw py::type_error("no batch option --" + name);
    hlr_tool::apply_batch_option(request, *found, text);
  }
  request.draw_options = draw_options;
  return request;
}

// The report as JSON text; the GIL is taken back only to let Python look
// for Ctrl-C.
std::string batch(const std::vector<std::string>& inputs, const Option_Texts& batch_options,
                  const Option_Texts& draw_options, const std::string& worker_program) {
  const hlr_tool::Batch_Request request = batch_request(inputs, batch_options, draw_options);
  hlr_tool::Batch_Front_End front_end;
  front_end.worker_program = worker_program;
  bool interrupted = false;
  front_end.interrupted = [&interrupted] {
    py::gil_scoped_acquire locked;
    interrupted = PyErr_CheckSignals() != 0;
    return interrupted;
  };
  std::string report;
  try {
    py::gil_scoped_release unlocked;
    report = hlr_tool::report_json(hlr_tool::run_batch(request, front_end));
  } catch (const hlr_tool::Tool_Error&) {
    if (interrupted) throw py::error_already_set();
    throw;
  }
  return report;
}

std::vector<std::pair<std::string, std::string>> plan_batch(const std::vector<std::string>& inputs,
                                                            const Option_Texts& batch_options,
                                                            const Option_Texts& draw_options) {
  std::vector<std::pair<std::string, std::string>> items;
  for (const hlr_tool::Batch_Item& item :
       hlr_tool::plan_batch(batch_request(inputs, batch_options, draw_options))) {
    items.emplace_back(item.input, item.output);
  }
  return items;
}

// The report of entries drawn elsewhere (on a cluster), written to `path`
// when it is not empty.
std::string batch_report(const std::vector<std::string>& entries, double seconds,
                         const std::string& path) {
  hlr_tool::Batch_Report report;
  for (const std::string& entry : entries)
    report.entries.push_back(hlr_tool::entry_from_json(entry));
  report.seconds = seconds;
  const std::string text = hlr_tool::report_json(report);
  if (!path.empty()) hlr_tool::write_output_file(path, text);
  return text;
}

py::list batch_option_table() {
  py::list options;
  for (const hlr_tool::Batch_Option& option : hlr_tool::batch_options()) {
    py::dict entry;
    entry["name"] = option.name;
    entry["help"] = option.help;
    entry["default"] = option.default_text;
    options.append(entry);
  }
  return options;
}

}  // namespace

void bind_batches(py::module_& module) {
  module.def("batch", &batch, py::arg("inputs"), py::arg("batch_options"), py::arg("draw_options"),
             py::arg("worker_program"));
  module.def("plan_batch", &plan_batch, py::arg("inputs"), py::arg("batch_options"),
             py::arg("draw_options"));
  module.def("batch_report", &batch_report, py::arg("entries"), py::arg("seconds"),
             py::arg("path"));
  module.def("batch_options", &batch_option_table);
  module.def(
      "draw_tile",
      [](const std::string& tile_file, const std::string& drawing_file,
         const std::string& module_path, int threads) {
        if (threads < 0 || threads > hlr_tool::max_jobs) {
          throw py::value_error("threads: 0 to " + std::to_string(hlr_tool::max_jobs) + ", got " +
                                std::to_string(threads));
        }
        py::gil_scoped_release unlocked;
        hlr_tool::draw_tile_file({tile_file, drawing_file}, module_path, threads);
      },
      py::arg("tile_file"), py::arg("drawing_file"), py::arg("module"), py::arg("threads"));
}

}  // namespace hlr_python
