// The parts of the extension module hlr_render._core, each adding its
// classes and functions to the module.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tool/common/errors.h"
#include "tool/render/draw_request.h"

namespace hlr_python {

namespace py = pybind11;

// Body, Model and load (models.cpp).
void bind_models(py::module_& module);
// draw, the option table and the finished drawing (drawings.cpp).
void bind_drawings(py::module_& module);
// run_script (module.cpp).
void bind_scripts(py::module_& module);
// batch and the tiles of a drawing (batches.cpp).
void bind_batches(py::module_& module);

// Applies (name, text) pairs of draw options, as the package made them
// from keyword arguments, through the option table (draw_options.h).
void apply_options(hlr_tool::Draw_Request& request,
                   const std::vector<std::pair<std::string, std::string>>& options);

// What the tool asks while it reads CAD files (Draw_Front_End::
// interrupted), from a thread that does not hold the GIL: takes it and lets
// Python run its signal handlers; true when one raised (Ctrl-C:
// KeyboardInterrupt). The exception then stays set in the thread, and
// run_interruptible raises it when the tool has stopped.
bool python_signal_raised();

// Runs `work` without the GIL; a Tool_Error it throws after
// python_signal_raised said true becomes the Python exception a signal
// handler raised.
template <class Work>
auto run_interruptible(Work&& work) {
  try {
    py::gil_scoped_release unlocked;
    return work();
  } catch (const hlr_tool::Tool_Error&) {
    if (PyErr_Occurred() != nullptr) throw py::error_already_set();
    throw;
  }
}

// A colour a caller gives, as 0xAARRGGBB: None (none), an int 0xAARRGGBB,
// (r, g, b) or (r, g, b, a) with each in [0, 255], or a string as the
// command line takes it, all read by hlr_tool::parse_color. Raises
// ValueError naming `what` otherwise.
std::optional<std::uint32_t> color_of(const py::handle& value, const char* what);

}  // namespace hlr_python
