#include "tool/drawing/sheet_formats.h"

#include "tool/common/errors.h"
#include "tool/common/input_files.h"
#include "tool/drawing/dxf_writer.h"
#include "tool/drawing/sheet_svg.h"

namespace hlr_tool {

Output_Format output_format_of(std::string_view path) {
  const std::string extension = extension_of(path);
  if (extension == "svg") return Output_Format::svg;
  if (extension == "pdf") return Output_Format::pdf;
  if (extension == "png") return Output_Format::png;
  if (extension == "eps") return Output_Format::eps;
  if (extension == "dxf") return Output_Format::dxf;
  throw input_error("cannot write " + std::string(path) +
                    ": the output's extension names its format, one of .svg, .pdf, .png, .eps "
                    "or .dxf");
}

std::string write_sheet(const Sheet& sheet, Output_Format format, const Cairo_Options& options) {
  switch (format) {
    case Output_Format::svg:
      return write_sheet_svg(sheet);
    case Output_Format::pdf:
      return write_pdf(sheet, options);
    case Output_Format::png:
      return write_png(sheet, options);
    case Output_Format::eps:
      return write_eps(sheet, options);
    case Output_Format::dxf:
      return write_dxf(sheet);
  }
  return write_sheet_svg(sheet);
}

}  // namespace hlr_tool
