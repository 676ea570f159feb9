// The one function of the cairo module (libhlr_cairo.so), which holds the
// PDF, EPS and PNG writers and is all of the tool that links cairo. The
// tool opens it only to write one of those formats: cairo and the
// libraries it pulls in (pixman, fontconfig, freetype, X11's) took 0.9 ms
// of processor time in the dynamic linking of every run, an SVG or DXF run
// included.
#pragma once

#include <string>

#include "tool/common/module_open.h"
#include "tool/drawing/cairo_writer.h"

namespace hlr_tool {

enum class Cairo_Format { pdf, eps, png };

struct Cairo_Write_Call {
  const Sheet* sheet;
  const Cairo_Options* options;
  Cairo_Format format;
  std::string* bytes;  // the whole file when the call returns 0
  std::string* error;  // the message when it returns an exit status
};

inline constexpr const char* cairo_entry_name = "hlr_cairo_write";

// write_pdf, write_eps or write_png in the module: 0 on success, else the
// exit status of the Tool_Error it threw, with its message in *error.
extern "C" HLR_MODULE_ENTRY_EXPORT int hlr_cairo_write(const Cairo_Write_Call* call);

}  // namespace hlr_tool
