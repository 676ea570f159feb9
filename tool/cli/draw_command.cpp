#include "tool/cli/draw_command.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tool/cli/draw_option_registry.h"
#include "tool/cli/progress.h"
#include "tool/common/color.h"
#include "tool/common/errors.h"
#include "tool/render/draw_options.h"
#include "tool/render/draw_request.h"
#include "tool/session/module_path.h"

namespace hlr_tool {

namespace {

struct Draw_Command {
  std::vector<std::string> models;
  Draw_Option_Registry options;
  std::string default_module;
  std::string worker_program;
};

void draw(const Draw_Command& draw) {
  const Draw_Request request = request_of(draw.models, draw.options.given());
  Progress progress(request.quiet, request.progress);
  Draw_Front_End front_end;
  front_end.default_module = draw.default_module;
  front_end.worker_program = draw.worker_program;
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
         "failed\nrun leaves no output file. With --keep-going, CAD files that cannot be used "
         "are skipped\n(a warning line names each) and the status is 0 when anything is left to "
         "draw.";
}

}  // namespace

void add_draw_command(CLI::App& app, const char* argv0) {
  auto draw_command = std::make_shared<Draw_Command>();
  draw_command->default_module = default_module_path(argv0);
  draw_command->worker_program = worker_program_path(argv0);
  CLI::App* command = app.add_subcommand(
      "draw",
      "Draw models as a hidden-line drawing (SVG, PDF, PNG, EPS or DXF): visible edges solid, "
      "hidden edges dashed behind them; one view or a sheet of several, on a page at a scale.");
  command
      ->add_option("MODEL", draw_command->models,
                   "Model files (OBJ, STL, PLY, OFF, glTF/GLB, 3MF and whatever else Assimp "
                   "reads) and CAD parts (STEP, IGES, BREP), drawn together")
      ->required();
  draw_command->options.register_options(*command);
  command->allow_extras();
  command->footer(footer());
  command->callback([command, draw_command] {
    draw_command->options.refuse_unknown_options(*command);
    draw(*draw_command);
  });
}

}  // namespace hlr_tool
