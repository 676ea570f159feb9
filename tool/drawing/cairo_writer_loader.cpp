// write_pdf, write_eps and write_png on the tool's side: open the cairo
// module beside the binary this code is linked into on first use and call
// its one function (cairo_writer_entry.h).
#include "tool/drawing/cairo_writer.h"
#include "tool/drawing/cairo_writer_entry.h"

namespace hlr_tool {
namespace {

std::string write_through_cairo(const Sheet& sheet, const Cairo_Options& options,
                                Cairo_Format format) {
  std::string bytes, error;
  const Cairo_Write_Call call{&sheet, &options, format, &bytes, &error};
  call_module(reinterpret_cast<const void*>(&write_through_cairo), "libhlr_cairo.so",
              cairo_entry_name, call, "cairo writer module");
  return bytes;
}

}  // namespace

std::string write_pdf(const Sheet& sheet, const Cairo_Options& options) {
  return write_through_cairo(sheet, options, Cairo_Format::pdf);
}

std::string write_eps(const Sheet& sheet, const Cairo_Options& options) {
  return write_through_cairo(sheet, options, Cairo_Format::eps);
}

std::string write_png(const Sheet& sheet, const Cairo_Options& options) {
  return write_through_cairo(sheet, options, Cairo_Format::png);
}

}  // namespace hlr_tool
