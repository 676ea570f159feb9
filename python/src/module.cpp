// hlr_render._core: the tool's host side for Python. Failures of the tool
// reach Python as ValueError (a fault in what the caller gave: exit status
// 2 on the command line) or RuntimeError (anything else), with the tool's
// message.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "module_loader.h"
#include "python/src/bindings.h"
#include "recording_renderer.h"
#include "tool/common/color.h"
#include "tool/common/errors.h"
#include "tool/script/picture_script.h"
#include "tool/script/script_runner.h"

namespace hlr_python {

namespace {

// `text` as a script named `name` in messages, or the script file at
// `path` when `text` is None.
std::string run_script(const std::optional<std::string>& text, const std::string& name,
                       const std::string& module_path) {
  py::gil_scoped_release unlocked;
  const hlr_tool::Picture_Script script =
      text ? hlr_tool::parse_picture_script(*text, name) : hlr_tool::read_picture_script(name);
  std::unique_ptr<KT_Renderer_Module> module;
  try {
    module = std::make_unique<KT_Renderer_Module>(module_path);
  } catch (const std::runtime_error& error) {
    throw hlr_tool::Tool_Error(error.what());
  }
  // The module stays loaded until every renderer it made is gone, which
  // run_picture_script guarantees before it returns.
  const std::vector<KT_Recorded_Call> calls = hlr_tool::run_picture_script(script, module->entry());
  std::ostringstream trace;
  write_trace(trace, calls);
  return trace.str();
}

}  // namespace

void bind_scripts(py::module_& module) {
  module.def("run_script", &run_script, py::arg("text"), py::arg("name"), py::arg("module"),
             "The call trace of a picture script: the text `text` (named `name` in "
             "messages), or the file `name` when `text` is None.");
}

bool python_signal_raised() {
  py::gil_scoped_acquire locked;
  return PyErr_CheckSignals() != 0;
}

std::optional<std::uint32_t> color_of(const py::handle& value, const char* what) {
  if (value.is_none()) return std::nullopt;
  // The value as the text of a colour option: an int as AARRGGBB, (r, g,
  // b[, a]) as R,G,B[,A], a str as it is; parse_color reads them all.
  std::string text;
  if (py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value) &&
      py::int_(0) <= value && value <= py::int_(0xFFFFFFFFu)) {
    text = py::str("{:08X}").format(value).cast<std::string>();
  } else if (py::isinstance<py::tuple>(value) || py::isinstance<py::list>(value)) {
    for (const py::handle part : value) {
      const bool whole = py::isinstance<py::int_>(part) && !py::isinstance<py::bool_>(part);
      text += (text.empty() ? "" : ",") + (whole ? py::str(part).cast<std::string>() : "?");
    }
  } else if (py::isinstance<py::str>(value)) {
    text = value.cast<std::string>();
  }
  const std::optional<std::uint32_t> argb = hlr_tool::parse_color(text);
  if (text.empty() || !argb) {
    throw py::value_error(std::string(what) + ": expected " + hlr_tool::color_forms +
                          ", an int 0xAARRGGBB or (r, g, b[, a]); not " +
                          py::repr(value).cast<std::string>());
  }
  return argb;
}

}  // namespace hlr_python

PYBIND11_MODULE(_core, module) {
  namespace py = pybind11;
  module.doc() = "The native part of hlr_render; use the package's functions instead.";
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const hlr_tool::Tool_Error& error) {
      if (error.exit_status() == hlr_tool::exit_input_error) {
        PyErr_SetString(PyExc_ValueError, error.what());
      } else {
        PyErr_SetString(PyExc_RuntimeError, error.what());
      }
    }
  });
  module.attr("__version__") = HLR_VERSION;
  module.attr("module_file_name") = KT_Renderer_Module::file_name("hlr_renderer");
  hlr_python::bind_models(module);
  hlr_python::bind_scripts(module);
  hlr_python::bind_drawings(module);
  hlr_python::bind_batches(module);
}
