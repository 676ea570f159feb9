// A batch as a front end asks for it: many inputs, one drawing each, all
// with the same draw options. `hlr-render batch` and the Python package's
// batch both fill a Batch_Request (the draw options through the one option
// table of tool/render/draw_options.h, the batch's own through
// batch_options() below), and run_batch (batch_run.h) does the rest.
//
// Every input is drawn exactly as `hlr-render draw INPUT -o OUTPUT` with
// the same options draws it: drawing_request builds that Draw_Request, and
// the worker draws it with draw_request and write_drawing_files.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tool/batch/batch_inputs.h"
#include "tool/render/draw_options.h"
#include "tool/render/draw_request.h"

namespace hlr_tool {

// (long name, text) of a draw option, as apply_draw_option takes it.
using Option_Text = std::pair<std::string, std::string>;

// The exit status of a batch in which some inputs failed and the rest
// were drawn (or were up to date). 0: every input drawn or up to date;
// 2: a fault in the command line, before any input was drawn; 1: anything
// else (the report could not be written, say).
inline constexpr int exit_some_inputs_failed = 3;

// The longest an input may take by default, in seconds, process start to
// the file written; an input that takes longer is stopped and reported.
inline constexpr double default_time_limit_seconds = 600.0;

struct Batch_Request {
  std::vector<std::string> inputs;  // files, glob patterns and @lists
  std::string output;               // the pattern: "drawings/{stem}.pdf"
  std::vector<Option_Text> draw_options;
  bool force = false;                              // draw every input, up to date or not
  std::string report;                              // the JSON report's file; empty: none
  double time_limit = default_time_limit_seconds;  // per input; 0: none

  // Every check before any work: the pattern, each draw option (its value
  // as the table checks it, and that batch takes it: not --output,
  // --record, --trace or --stats), the draw options together as
  // Draw_Request::validate checks them, and the report's folder. Throws
  // Tool_Error (exit status 2) with the message of the first fault.
  void validate() const;

  // The draw options as a request (no models, no output): threads, quiet
  // and the module for the batch itself.
  Draw_Request draw_settings() const;
};

// The request `hlr-render draw INPUT -o OUTPUT` with these options builds.
// Throws Tool_Error (exit status 2) as apply_draw_option does.
Draw_Request drawing_request(std::span<const Option_Text> draw_options, const Batch_Item& item);

// Why batch does not take the draw option `name`, or nothing when it does.
std::optional<std::string> not_in_batch(std::string_view name);

// The batch's own options, beside the draw options: declared once for the
// command line and for Python's keywords.
struct Batch_Option {
  std::string name{};
  char short_name = 0;
  Option_Kind kind = Option_Kind::text;
  std::string value_name{};
  std::string help{};
  std::string default_text{};  // as --help tells it; empty for a flag or none
  bool required_on_command_line = false;
  std::function<void(Batch_Request&, std::string_view)> apply{};
};

const std::vector<Batch_Option>& batch_options();

// Checks `text` as the option's kind and sets the field; throws Tool_Error
// (exit status 2), "--NAME: expected ..., not 'TEXT'".
void apply_batch_option(Batch_Request& request, const Batch_Option& option, std::string_view text);

}  // namespace hlr_tool
