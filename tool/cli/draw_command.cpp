#include "tool/cli/draw_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tool/cli/draw_stats.h"
#include "tool/cli/progress.h"
#include "tool/common/color.h"
#include "tool/common/errors.h"
#include "tool/common/output_file.h"
#include "tool/drawing/svg_writer.h"
#include "tool/models/camera.h"
#include "tool/models/model.h"
#include "tool/render/draw_pipeline.h"
#include "tool/render/model_files.h"
#include "tool/script/script_recorder.h"
#include "tool/session/module_path.h"
#include "tool/session/shared_passes.h"

namespace hlr_tool {

namespace {

// What the command line gives: the typed settings CLI11 fills directly,
// and the texts that need our own reading.
struct Draw_Command {
  std::vector<std::string> models;
  std::string output;
  std::string view = "35,25";
  std::vector<int> size{1000, 1000};  // W,H
  std::string hidden_color;           // empty: the renderer's own default
  std::string intersection_color;     // empty: the renderer's own default
  double wzero = 0.0;
  Draw_Settings settings;
  Svg_Options svg;
  std::string record;  // empty: no picture script
  std::string trace;   // empty: no call trace
  Cad_Options cad;
  bool stats = false;
  bool quiet = false;
  std::string module;  // empty: beside the executable
  std::string default_module;
};

Tool_Error option_error(std::string_view option, const std::string& what) {
  return input_error("hlr-render draw: " + std::string(option) + ": " + what);
}

// ---------------------------------------------------------------------------
// Validation and mapping: the command line to Draw_Settings, checked
// completely before any work.

std::uint32_t color_option(const std::string& text, std::string_view option) {
  const std::optional<std::uint32_t> argb = parse_color(text);
  if (!argb) {
    throw option_error(option, "expected a colour as AARRGGBB or RRGGBB in hex, or a name (" +
                                   std::string(color_names) + "), not '" + text + "'");
  }
  return *argb;
}

// Fails early, before the long work, when the output cannot go where asked.
void check_output_folder(const std::string& output) {
  const std::filesystem::path folder = std::filesystem::path(output).parent_path();
  std::error_code error;
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    throw input_error("cannot write " + output + ": no folder " + folder.string());
  }
  if (std::filesystem::is_directory(output, error)) {
    throw input_error("cannot write " + output + ": it is a folder");
  }
}

Draw_Settings settings_of(const Draw_Command& command) {
  Draw_Settings settings = command.settings;
  try {
    settings.camera.view = parse_view(command.view);
  } catch (const Tool_Error& error) {
    throw option_error("--view", error.what());
  }
  settings.camera.width = command.size[0];
  settings.camera.height = command.size[1];
  if (!command.hidden_color.empty()) {
    settings.hidden_color = color_option(command.hidden_color, "--hidden-color");
  }
  if (!command.intersection_color.empty()) {
    settings.intersection_color = color_option(command.intersection_color, "--intersection-color");
  }
  if (!std::isfinite(command.wzero)) throw option_error("--wzero", "must be a finite number");
  settings.wzero = static_cast<float>(command.wzero);
  try {
    // The pipeline's own check, for what CLI11's ranges let through (NaN,
    // the open end of the field of view).
    check_draw_settings(settings);
  } catch (const Tool_Error& error) {
    throw input_error("hlr-render draw: --" + std::string(error.what()));
  }
  if (!(std::isfinite(command.svg.stroke_width) && command.svg.stroke_width > 0.0)) {
    throw option_error("--stroke", "the stroke width must be a number above 0");
  }
  if (!(std::isfinite(command.cad.deflection) && command.cad.deflection >= 0.0)) {
    throw option_error("--deflection", "must be 0 (from the part's size) or a distance above 0");
  }
  const double angular = command.cad.angular_deflection_degrees;
  if (!(angular > 0.0 && angular <= 90.0)) {
    throw option_error("--angular-deflection", "must be above 0 and at most 90 degrees");
  }
  check_output_folder(command.output);
  if (!command.record.empty()) check_output_folder(command.record);
  if (!command.trace.empty()) check_output_folder(command.trace);
  return settings;
}

// ---------------------------------------------------------------------------
// The run: import, the pipeline, the SVG, the statistics.

using Clock = std::chrono::steady_clock;

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void draw(const Draw_Command& command) {
  const Draw_Settings settings = settings_of(command);
  Progress progress(command.quiet);
  Command_Times times;

  Clock::time_point start = Clock::now();
  Cad_Options cad = command.cad;
  cad.drawing_side = std::min(settings.camera.width, settings.camera.height);
  cad.progress = [&progress](const std::string& status) { progress.show(status); };
  cad.warn = [&progress](const std::string& warning) {
    progress.clear();
    std::cerr << "hlr-render: warning: " << warning << std::endl;
  };
  std::vector<Model> models = load_model_files(command.models, std::move(cad));
  times.import = milliseconds_since(start);

  Draw_Hooks hooks;
  hooks.progress = [&progress](const std::string& status) { progress.show(status); };
  Script_Recorder recorder(
      "hlr-render draw --record: every call the drawing made on the "
      "renderer.\nReplay: hlr-render run FILE.pic [--svg FILE.svg]");
  if (!command.record.empty()) hooks.observer = &recorder;
  std::string trace;
  if (!command.trace.empty()) hooks.trace = &trace;
  const std::string& module_path = command.module.empty() ? command.default_module : command.module;
  const Draw_Result result = draw_models(models, settings, module_path, hooks);
  models.clear();

  start = Clock::now();
  progress.show("writing " + command.output);
  write_output_file(command.output, write_svg(result.drawing, command.svg));
  if (!command.record.empty()) write_output_file(command.record, recorder.text());
  if (!command.trace.empty()) write_output_file(command.trace, trace);
  times.write = milliseconds_since(start);
  progress.clear();

  if (command.stats) {
    print_draw_stats(command.models.size(), result, times, svg_polyline_elements(result.drawing));
  }
}

// ---------------------------------------------------------------------------
// The command-line definition.

// A CLI11 transformer from the words of `words` to their values; anything
// else fails with the list of words.
template <class T>
CLI::Validator one_of(const std::vector<std::pair<std::string, T>>& words) {
  std::string names;
  for (const auto& [word, value] : words) names += (names.empty() ? "" : ", ") + word;
  const CLI::Validator to_value = CLI::CheckedTransformer(words);
  return CLI::Validator(
      [to_value, words, names](std::string& text) -> std::string {
        for (const auto& word : words) {
          if (word.first == text) return to_value(text);
        }
        return "expected one of " + names + ", not '" + text + "'";
      },
      "");
}

void add_camera_options(CLI::App& command, Draw_Command& options) {
  const char* camera = "Camera";
  command
      .add_option("--view", options.view,
                  "Viewing direction: front, back, left, right, top, bottom, iso, or "
                  "yaw,pitch in degrees (default 35,25)")
      ->option_text("VIEW")
      ->group(camera);
  command
      .add_option("--perspective", options.settings.camera.field_of_view_degrees,
                  "Perspective with this field of view in degrees (default 0: orthographic)")
      ->check(CLI::Range(0.0, 180.0))
      ->option_text("FOV")
      ->group(camera);
  command
      .add_option("--size", options.size,
                  "Drawing size in device units, the SVG's user units (default 1000,1000)")
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::Range(1, 1000000))
      ->option_text("W,H")
      ->group(camera);
}

void add_line_options(CLI::App& command, Draw_Command& options) {
  Draw_Settings& settings = options.settings;
  const char* lines = "Lines";
  command
      .add_option("--edges", settings.edges.selection,
                  "feature: boundaries, creases and silhouettes; all: every triangle edge "
                  "(line elements of the file are always drawn) (default feature)")
      ->transform(one_of<Edge_Selection>(
          {{"feature", Edge_Selection::feature}, {"all", Edge_Selection::all}}))
      ->option_text("feature|all")
      ->group(lines);
  command
      .add_option("--crease", settings.edges.crease_degrees,
                  "Faces meeting at more than this angle make a crease, for --edges feature "
                  "(default 30)")
      ->check(CLI::Range(0.0, 180.0))
      ->option_text("DEG")
      ->group(lines);
  command
      .add_option("--hidden", settings.hidden,
                  "How hidden lines are drawn, or off (default dashed)")
      ->transform(one_of<Hidden_Lines>({{"dashed", Hidden_Lines::dashed},
                                        {"dotted", Hidden_Lines::dotted},
                                        {"dash-dot", Hidden_Lines::dash_dot},
                                        {"solid", Hidden_Lines::solid},
                                        {"off", Hidden_Lines::off}}))
      ->option_text("dashed|dotted|dash-dot|solid|off")
      ->group(lines);
  command
      .add_option("--hidden-color", options.hidden_color, "Colour of hidden lines (default black)")
      ->option_text("COLOR")
      ->group(lines);
  command
      .add_flag("--retain-hidden-color", settings.retain_hidden_color,
                "Hidden lines keep the colour of their model")
      ->group(lines);
  command
      .add_flag("--intersections", settings.intersections,
                "Also draw the lines where faces cut through one another")
      ->group(lines);
  command
      .add_option("--intersection-color", options.intersection_color,
                  "Colour of intersection lines (default black)")
      ->option_text("COLOR")
      ->group(lines);
  command
      .add_option("--intersection-pattern", settings.intersection_pattern,
                  "How intersection lines are drawn (default solid)")
      ->transform(one_of<Intersection_Lines>({{"solid", Intersection_Lines::solid},
                                              {"dashed", Intersection_Lines::dashed},
                                              {"dotted", Intersection_Lines::dotted}}))
      ->option_text("solid|dashed|dotted")
      ->group(lines);
  command
      .add_flag("--face-color-intersections", settings.face_color_intersections,
                "Intersection lines take the colour of their faces")
      ->group(lines);
  command
      .add_option("--halo", settings.halo,
                  "Open a gap of N device units on either side of every place where a line "
                  "passes from visible to hidden (default 0: none)")
      ->option_text("N")
      ->group(lines);
  command
      .add_option("--wzero", options.wzero,
                  "Depth tolerance as a fraction of the picture's depth (default 0: a fixed "
                  "0.1 device units)")
      ->option_text("F")
      ->group(lines);
  command
      .add_flag("--double", settings.double_precision,
                "The renderer hands on its lines in double precision")
      ->group(lines);
  command
      .add_option("--stroke", options.svg.stroke_width, "Line width in device units (default 1)")
      ->option_text("WIDTH")
      ->group(lines);
}

void add_cad_options(CLI::App& command, Draw_Command& options) {
  const char* cad = "CAD parts (STEP, IGES, BREP)";
  command
      .add_option("--deflection", options.cad.deflection,
                  "Largest distance between a face and its triangles, in model units "
                  "(default: half a device unit at the drawing's size)")
      ->option_text("D")
      ->group(cad);
  command
      .add_option("--angular-deflection", options.cad.angular_deflection_degrees,
                  "Largest angle between neighbouring triangles of a curved face (default 20)")
      ->option_text("DEG")
      ->group(cad);
  command
      .add_flag("--smooth-edges", options.cad.smooth_edges,
                "Also draw the edges between tangent faces (such as the ends of a fillet)")
      ->group(cad);
  command
      .add_flag("--keep-going", options.cad.keep_going,
                "Draw the rest when faces of a part fail to tessellate (a warning names the "
                "part) instead of failing")
      ->group(cad);
}

void add_output_options(CLI::App& command, Draw_Command& options) {
  const char* output = "Output";
  command
      .add_flag("--stats", options.stats,
                "Print counts (faces, edges, pieces) and the time of each phase")
      ->group(output);
  command
      .add_option("--record", options.record,
                  "Also write the picture script of every call made on the renderer; "
                  "`hlr-render run FILE` replays it")
      ->option_text("FILE")
      ->group(output);
  command
      .add_option("--trace", options.trace,
                  "Also write every call the renderer sent downstream, one line each (the "
                  "format of `hlr-render run`)")
      ->option_text("FILE")
      ->group(output);
  command
      .add_option("-j,--jobs", options.settings.jobs,
                  "Renderers working at once; the drawing is the same for every N (default: "
                  "one per 20000 edges drawn, at most one per processor, " +
                      std::to_string(default_jobs()) + " here; --record: one)")
      ->option_text("N")
      ->check(CLI::Range(1, 1024))
      ->group(output);
  command.add_flag("-q,--quiet", options.quiet, "No progress on standard error")->group(output);
  command
      .add_option("--module", options.module,
                  "The renderer module to load (default: " + options.default_module + ")")
      ->option_text("PATH")
      ->envname(module_environment_variable)
      ->group(output);
}

constexpr const char* draw_footer =
    "Colours: AARRGGBB or RRGGBB in hex, or black, white, gray, red, green, blue, yellow, "
    "cyan, magenta, orange.\n"
    "\n"
    "The SVG has four layers (<g id=...>), drawn in this order: hidden, visible, "
    "intersections, markers.\n"
    "Each line lands in its layer by its line pattern number, which this command gives the\n"
    "renderer's \"Hidden Line Pattern\" and \"Intersection Line Pattern\" options:\n"
    "  0 solid visible (model lines)   1 dashed hidden   2 dotted hidden   3 dash-dot hidden\n"
    "  4 solid intersections   5 dashed intersections   6 dotted intersections   7 solid hidden\n"
    "  other numbers: visible, solid.\n"
    "\n"
    "Exit status: 0 done, 2 a fault in the command line or a model, 1 anything else; a failed\n"
    "run leaves no output file.";

}  // namespace

void add_draw_command(CLI::App& app, const char* argv0) {
  auto options = std::make_shared<Draw_Command>();
  options->default_module = default_module_path(argv0);
  CLI::App* command = app.add_subcommand(
      "draw",
      "Draw models as a hidden-line drawing (SVG): visible edges solid, hidden edges "
      "dashed behind them.");
  command
      ->add_option("MODEL", options->models,
                   "Model files (OBJ, STL, PLY, OFF, glTF/GLB, 3MF and whatever else Assimp "
                   "reads), drawn together")
      ->required();
  command->add_option("-o,--output", options->output, "The SVG file to write")
      ->option_text("FILE")
      ->required();
  add_camera_options(*command, *options);
  add_line_options(*command, *options);
  add_cad_options(*command, *options);
  add_output_options(*command, *options);
  command->footer(draw_footer);
  command->callback([options] { draw(*options); });
}

}  // namespace hlr_tool
