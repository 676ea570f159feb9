// The output formats of a sheet, chosen by the output file's extension.
#pragma once

#include <string>
#include <string_view>

#include "tool/drawing/cairo_writer.h"
#include "tool/drawing/page.h"

namespace hlr_tool {

enum class Output_Format { svg, pdf, png, eps, dxf };

// By the extension of `path`, in any case: .svg, .pdf, .png, .eps, .dxf.
// Throws Tool_Error (exit status 2) naming the path and the formats
// otherwise.
Output_Format output_format_of(std::string_view path);

// The whole file of the sheet in `format` (write_sheet_svg, write_pdf, ...);
// `options` matter to the cairo formats only.
std::string write_sheet(const Sheet& sheet, Output_Format format, const Cairo_Options& options);

}  // namespace hlr_tool
