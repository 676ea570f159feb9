#include "tool/server/viewer_request.h"

#include <cmath>

#include "tool/common/closest_name.h"
#include "tool/common/errors.h"

namespace hlr_tool {

namespace {

const Draw_Option& option_named(const std::string& name) {
  const Draw_Option* option = find_draw_option(name);
  if (option == nullptr) {
    std::vector<std::string> names;
    for (const Draw_Option& known : draw_options()) {
      if (!known.once_per_run) names.push_back(known.name);
    }
    const std::string closest = closest_name(name, names);
    throw input_error("unknown parameter '" + name + "'" +
                      (closest.empty() ? "" : "; did you mean " + closest + "?") +
                      " (a drawing's parameters are the options of hlr-render draw --help)");
  }
  if (option->once_per_run) {
    throw input_error("--" + name +
                      ": holds for the whole run, not one drawing; give it when starting "
                      "hlr-render view");
  }
  return *option;
}

}  // namespace

Draw_Request drawing_request(const std::vector<Model_Input>& models,
                             std::span<const Start_Option> start,
                             std::span<const Query_Parameter> parameters) {
  Draw_Request request;
  request.models = models;
  for (const Start_Option& given : start) {
    if (given.option->once_per_run) apply_draw_option(request, *given.option, given.text);
  }
  for (std::size_t p = 0; p < parameters.size(); ++p) {
    const auto& [name, text] = parameters[p];
    const Draw_Option& option = option_named(name);
    for (std::size_t earlier = 0; earlier < p; ++earlier) {
      if (parameters[earlier].first == name) throw input_error("--" + name + ": given twice");
    }
    apply_draw_option(request, option, text);
  }
  return request;
}

void check_viewer_size(const Finished_Drawing& drawing, Output_Format format,
                       const Cairo_Options& options) {
  if (format != Output_Format::png) return;
  // As cairo_writer.h sizes a PNG: the sheet's millimetres at `dpi`.
  const double per_unit = drawing.sheet.mm_per_unit / 25.4 * options.dpi;
  const double pixels =
      std::round(drawing.sheet.width * per_unit) * std::round(drawing.sheet.height * per_unit);
  if (pixels > max_viewer_png_pixels) {
    throw input_error("--dpi: the PNG would have " + std::to_string(std::llround(pixels / 1e6)) +
                      " million pixels, more than the viewer draws (" +
                      std::to_string(std::llround(max_viewer_png_pixels / 1e6)) +
                      " million); lower --dpi or --size, or write it with hlr-render draw");
  }
}

}  // namespace hlr_tool
