#include "tool/batch/batch_request.h"

#include <cmath>
#include <filesystem>

#include "tool/common/errors.h"
#include "tool/common/numbers.h"

namespace hlr_tool {

namespace {

void check_report_folder(const std::string& report) {
  const std::filesystem::path folder = std::filesystem::path(report).parent_path();
  std::error_code error;
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    throw input_error("--report: cannot write " + report + ": no folder " + folder.string());
  }
}

}  // namespace

std::optional<std::string> not_in_batch(std::string_view name) {
  if (name == "output") return "batch writes each input's drawing where -o PATTERN says";
  if (name == "record" || name == "trace") {
    return "batch writes no picture scripts or call traces; draw the input alone with "
           "hlr-render draw --" +
           std::string(name);
  }
  if (name == "stats") return "the report (--report) holds every input's counts and time";
  return std::nullopt;
}

Draw_Request drawing_request(std::span<const Option_Text> draw_options, const Batch_Item& item) {
  Draw_Request request;
  request.models.push_back({item.input, nullptr});
  for (const auto& [name, text] : draw_options) {
    const Draw_Option* option = find_draw_option(name);
    if (option == nullptr) throw input_error("no draw option --" + name);
    apply_draw_option(request, *option, text);
  }
  apply_draw_option(request, *find_draw_option("output"), item.output);
  return request;
}

Draw_Request Batch_Request::draw_settings() const {
  Draw_Request request;
  for (const auto& [name, text] : draw_options) {
    const Draw_Option* option = find_draw_option(name);
    if (option == nullptr) throw input_error("no draw option --" + name);
    if (const std::optional<std::string> why = not_in_batch(name)) {
      throw input_error("--" + name + ": not an option of batch: " + *why);
    }
    apply_draw_option(request, *option, text);
  }
  return request;
}

void Batch_Request::validate() const {
  if (inputs.empty()) throw input_error("nothing to draw: no inputs given");
  check_output_pattern(output);
  draw_settings();
  // The options together, and the pattern's format, as draw checks them
  // for an input in the working folder.
  const std::string sample = std::filesystem::path(output_for(output, "model.obj")).filename();
  drawing_request(draw_options, {"model.obj", sample}).validate();
  if (!(time_limit >= 0.0) || !std::isfinite(time_limit)) {
    throw input_error("--time-limit: expected a number of seconds, 0 for none");
  }
  if (!report.empty()) check_report_folder(report);
}

const std::vector<Batch_Option>& batch_options() {
  static const std::vector<Batch_Option> options = {
      {.name = "output",
       .short_name = 'o',
       .kind = Option_Kind::path,
       .value_name = "PATTERN",
       .help = "Where each input's drawing goes: {stem} (file name without extension), {name} "
               "(file name) and {dir} (its folder) are filled in, e.g. drawings/{stem}.pdf; the "
               "extension names the format; missing folders are made",
       .required_on_command_line = true,
       .apply = [](Batch_Request& r, std::string_view text) { r.output = text; }},
      {.name = "force",
       .kind = Option_Kind::flag,
       .help = "Draw every input, also those whose drawing is newer than the input",
       .apply = [](Batch_Request& r, std::string_view text) { r.force = text == "true"; }},
      {.name = "report",
       .kind = Option_Kind::path,
       .value_name = "FILE",
       .help = "Write a JSON report: every input with its output, status (drawn, up-to-date, "
               "failed), time, counts and message",
       .apply = [](Batch_Request& r, std::string_view text) { r.report = text; }},
      {.name = "time-limit",
       .kind = Option_Kind::real,
       .value_name = "SECONDS",
       .help = "Stop an input that takes longer (reading, drawing and writing) and report it as "
               "failed; 0 for no limit",
       .default_text = "600",
       .apply = [](Batch_Request& r,
                   std::string_view text) { r.time_limit = *parse_finite(text); }},
  };
  return options;
}

void apply_batch_option(Batch_Request& request, const Batch_Option& option, std::string_view text) {
  bool fits = true;
  if (option.kind == Option_Kind::flag) fits = text == "true" || text == "false";
  if (option.kind == Option_Kind::real) {
    const std::optional<double> value = parse_finite(text);
    fits = value && *value >= 0.0;
  }
  if (!fits) {
    throw input_error("--" + option.name + ": expected " +
                      (option.kind == Option_Kind::flag ? "true or false" : "a number at least 0") +
                      ", not '" + std::string(text) + "'");
  }
  option.apply(request, text);
}

}  // namespace hlr_tool
