#include "tool/cli/draw_command.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tool/cli/progress.h"
#include "tool/common/closest_name.h"
#include "tool/common/color.h"
#include "tool/common/errors.h"
#include "tool/render/draw_options.h"
#include "tool/render/draw_request.h"
#include "tool/session/module_path.h"

namespace hlr_tool {

namespace {

// An option of the table as CLI11 holds it: a flag counts, any other
// option keeps its text for apply_draw_option.
struct Registered_Option {
  const Draw_Option* option = nullptr;
  CLI::Option* cli = nullptr;
  std::string text;
};

struct Draw_Command {
  std::vector<std::string> models;
  std::vector<std::unique_ptr<Registered_Option>> options;
  std::string default_module;
};

std::string help_of(const Draw_Option& option) {
  const std::string default_value = default_text(option);
  if (default_value.empty()) return option.help;
  return option.help + " (default" + (default_value.front() == ':' ? "" : " ") + default_value +
         ")";
}

void register_option(CLI::App& command, Draw_Command& draw, const Draw_Option& option) {
  auto& registered = *draw.options.emplace_back(std::make_unique<Registered_Option>());
  registered.option = &option;
  std::string names = "--" + option.name;
  if (option.short_name != 0) names = std::string("-") + option.short_name + "," + names;
  if (option.kind == Option_Kind::flag) {
    registered.cli = command.add_flag(names)->description(help_of(option));
  } else {
    registered.cli =
        command.add_option(names, registered.text, help_of(option))->option_text(option.value_name);
  }
  registered.cli->group(option.group)->required(option.required_on_command_line);
}

// CLI11 leaves what it does not know to us (allow_extras): the first
// unknown option is named with the option the user most likely meant.
void refuse_unknown_options(const CLI::App& command) {
  for (const std::string& word : command.remaining()) {
    if (word.rfind("--", 0) != 0) continue;
    std::vector<std::string> names;
    for (const Draw_Option& option : draw_options()) names.push_back("--" + option.name);
    const std::string name = word.substr(0, word.find('='));
    const std::string closest = closest_name(name, names);
    throw input_error("unknown option " + name +
                      (closest.empty() ? "" : "; did you mean " + closest + "?") +
                      " (hlr-render draw --help lists them)");
  }
  if (!command.remaining().empty()) {
    throw input_error("unknown option " + command.remaining().front() +
                      " (hlr-render draw --help lists them)");
  }
}

Draw_Request request_of(const Draw_Command& draw) {
  Draw_Request request;
  for (const std::string& path : draw.models) request.models.push_back({path, nullptr});
  for (const auto& registered : draw.options) {
    if (registered->cli->count() == 0) continue;
    const bool flag = registered->option->kind == Option_Kind::flag;
    apply_draw_option(request, *registered->option, flag ? "true" : registered->text);
  }
  return request;
}

void draw(const Draw_Command& draw) {
  const Draw_Request request = request_of(draw);
  Progress progress(request.quiet);
  Draw_Front_End front_end;
  front_end.default_module = draw.default_module;
  front_end.progress = [&progress](const std::string& status) { progress.show(status); };
  front_end.warn = [&progress](const std::string& warning) {
    progress.clear();
    std::cerr << "hlr-render draw: warning: " << warning << std::endl;
  };
  Finished_Drawing drawing = draw_request(request, front_end);
  progress.show("writing " + request.output);
  write_drawing_files(drawing, request);
  progress.clear();
  if (request.stats) {
    std::cout << draw_stats_text(drawing, output_format_of(request.output)) << std::flush;
  }
}

std::string footer() {
  return std::string("COLOR: ") + color_forms +
         ".\n"
         "\n"
         "Every format has four layers, drawn in this order: hidden, visible, intersections, "
         "markers\n(SVG <g id=...>, DXF layers HIDDEN, VISIBLE, INTERSECTIONS, MARKERS).\n"
         "Each line lands in its layer by its line pattern number, which this command gives the\n"
         "renderer's \"Hidden Line Pattern\" and \"Intersection Line Pattern\" options:\n"
         "  0 solid visible (model lines)   1 dashed hidden   2 dotted hidden   3 dash-dot "
         "hidden\n"
         "  4 solid intersections   5 dashed intersections   6 dotted intersections   7 solid "
         "hidden\n"
         "  other numbers: visible, solid.\n"
         "\n"
         "Every option is also a keyword argument of the Python package's hlr_render.draw, with\n"
         "'_' for '-' (hidden_color=\"red\", size=(800, 600)).\n"
         "\n"
         "Exit status: 0 done, 2 a fault in the command line or a model, 1 anything else; a "
         "failed\nrun leaves no output file.";
}

}  // namespace

void add_draw_command(CLI::App& app, const char* argv0) {
  auto draw_command = std::make_shared<Draw_Command>();
  draw_command->default_module = default_module_path(argv0);
  CLI::App* command = app.add_subcommand(
      "draw",
      "Draw models as a hidden-line drawing (SVG, PDF, PNG, EPS or DXF): visible edges solid, "
      "hidden edges dashed behind them; one view or a sheet of several, on a page at a scale.");
  command
      ->add_option("MODEL", draw_command->models,
                   "Model files (OBJ, STL, PLY, OFF, glTF/GLB, 3MF and whatever else Assimp "
                   "reads) and CAD parts (STEP, IGES, BREP), drawn together")
      ->required();
  for (const Draw_Option& option : draw_options()) register_option(*command, *draw_command, option);
  command->allow_extras();
  command->footer(footer());
  command->callback([command, draw_command] {
    refuse_unknown_options(*command);
    draw(*draw_command);
  });
}

}  // namespace hlr_tool
