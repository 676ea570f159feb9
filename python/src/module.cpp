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

std::optional<std::uint32_t> color_of(const py::handle& value, const char* what) {
  const auto fail = [what](const std::string& got) -> py::value_error {
    return py::value_error(
        std::string(what) + ": expected a colour as AARRGGBB or RRGGBB in hex, a name (" +
        hlr_tool::color_names + "), an int 0xAARRGGBB or (r, g, b[, a]) from 0 to 255, not " + got);
  };
  if (value.is_none()) return std::nullopt;
  const std::string shown = py::repr(value).cast<std::string>();
  if (py::isinstance<py::bool_>(value)) throw fail(shown);
  if (py::isinstance<py::int_>(value)) {
    const py::int_ number = py::reinterpret_borrow<py::int_>(value);
    if (number < py::int_(0) || number > py::int_(0xFFFFFFFFu)) throw fail(shown);
    return number.cast<std::uint32_t>();
  }
  if (py::isinstance<py::str>(value)) {
    const std::optional<std::uint32_t> argb = hlr_tool::parse_color(value.cast<std::string>());
    if (!argb) throw fail(shown);
    return argb;
  }
  if (py::isinstance<py::tuple>(value) || py::isinstance<py::list>(value)) {
    const py::sequence parts = py::reinterpret_borrow<py::sequence>(value);
    if (parts.size() != 3 && parts.size() != 4) throw fail(shown);
    std::array<std::uint32_t, 4> channels{0, 0, 0, 255};
    for (std::size_t k = 0; k < parts.size(); ++k) {
      const py::handle part = parts[k];
      if (!py::isinstance<py::int_>(part) || py::isinstance<py::bool_>(part)) throw fail(shown);
      const py::int_ channel = py::reinterpret_borrow<py::int_>(part);
      if (channel < py::int_(0) || channel > py::int_(255)) throw fail(shown);
      channels[k] = channel.cast<std::uint32_t>();
    }
    return channels[3] << 24 | channels[0] << 16 | channels[1] << 8 | channels[2];
  }
  throw fail(shown);
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
}
