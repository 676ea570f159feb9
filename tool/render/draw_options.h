// The options of a drawing, declared once: every option of `hlr-render
// draw` and every keyword argument of the Python package's draw is an entry
// of draw_options(). The command line registers them with CLI11 from the
// table (tool/cli/draw_command.cpp); Python receives the table from
// hlr_render._core, turns each keyword's value into the option's text and
// hands it to apply_draw_option. So a name, a default, a range, a help text
// or an error message is written once and cannot differ between them.
//
// A value arrives as text, as on the command line: "true" for a flag,
// numbers as written, lists and pairs joined by commas ("front,top",
// "3000,3000"), colours as AARRGGBB, RRGGBB, R,G,B[,A] or a name.
//
// Adding an option: one entry in draw_options.cpp (name, kind, group,
// value name, help, range or choices, and the field it sets through one of
// the helpers there) and its field in Draw_Request, with its default as the
// field's initialiser. Both front ends take it from then on.
#pragma once

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tool/render/draw_request.h"

namespace hlr_tool {

enum class Option_Kind {
  flag,     // no value on the command line; "true" or "false"
  integer,  // a whole number in `range`
  real,     // a finite number in `range`
  text,     // a text the option reads itself (a page, a scale, a view)
  path,     // a file name
  choice,   // one of `choices`
  list,     // several values joined by commas
  colour,   // AARRGGBB, RRGGBB, R,G,B[,A] or a colour name
  pair,     // two whole numbers "W,H", each in `range`
};

// The numbers an integer, real or pair option accepts; both ends finite or
// infinite, each closed (the end value accepted) unless marked open.
struct Option_Range {
  double low = -std::numeric_limits<double>::infinity();
  double high = std::numeric_limits<double>::infinity();
  bool low_open = false;
  bool high_open = false;
};

struct Draw_Option {
  std::string name{};   // the long option ("hidden-color"); Python's keyword has '_' for '-'
  char short_name = 0;  // 'o' for -o; 0 for none
  Option_Kind kind = Option_Kind::text;
  std::string group{};       // the heading --help lists it under
  std::string value_name{};  // what --help calls the value ("W,H"); empty for a flag
  std::string help{};        // what it does, without the default
  // Said after the default's value ("automatic", "the renderer's black"),
  // or instead of it when the option has no value by default.
  std::string default_note{};
  std::vector<std::string> choices{};   // choice: the words, in their field's order
  std::optional<Option_Range> range{};  // integer, real and pair
  bool required_on_command_line = false;
  // Given once for a whole run, never per drawing: it changes how the
  // models are read (the CAD parts' tessellation, the up axis), names a
  // file written or the module, or is about the run itself (threads, what
  // the terminal shows). hlr-render view takes it when it starts and
  // refuses it in the request of a drawing.
  bool once_per_run = false;
  // Sets the request's field from a text that passed the kind's check
  // (apply_draw_option); throws Tool_Error (exit status 2) for a text the
  // option reads itself and finds wrong, with the message after "--NAME: ".
  std::function<void(Draw_Request&, std::string_view)> apply{};
  // The field's value as the option's text ("" for none): the default of
  // Draw_Request{}, and what validate() reads back.
  std::function<std::string(const Draw_Request&)> show{};
};

// Every option, in the order --help lists them.
const std::vector<Draw_Option>& draw_options();

// The option of that long name ("hidden-color"), or null.
const Draw_Option* find_draw_option(std::string_view name);

// Checks `text` against the option's kind, range and choices, sets the
// request's field and notes the option as given. Throws Tool_Error (exit
// status 2): "--NAME: expected ..., not 'TEXT'" and the like.
void apply_draw_option(Draw_Request& request, const Draw_Option& option, std::string_view text);

// What the option accepts, as its messages say it: "a number from 0 to
// 180", "one of dashed, dotted, dash-dot, solid, off".
std::string accepted_values(const Draw_Option& option);

// The default as --help and the Python documentation tell it: "30",
// "0: automatic", ": no page" (an empty value with a note); empty for a
// flag.
std::string default_text(const Draw_Option& option);

}  // namespace hlr_tool
