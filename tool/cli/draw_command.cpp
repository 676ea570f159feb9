#include "tool/cli/draw_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tool/cli/draw_stats.h"
#include "tool/cli/progress.h"
#include "tool/common/color.h"
#include "tool/common/errors.h"
#include "tool/common/output_file.h"
#include "tool/drawing/page.h"
#include "tool/drawing/pen_order.h"
#include "tool/drawing/sheet_formats.h"
#include "tool/drawing/svg_writer.h"
#include "tool/models/camera.h"
#include "tool/models/model.h"
#include "tool/render/draw_pipeline.h"
#include "tool/render/draw_views.h"
#include "tool/render/model_files.h"
#include "tool/script/script_recorder.h"
#include "tool/session/module_path.h"
#include "tool/session/renderer_threads.h"

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
  // Page and views: the texts of --page, --scale, --line-weights and
  // --views (empty: not given).
  std::string page, scale, line_weights, views;
  bool first_angle = false;
  Cairo_Options cairo;
  bool optimize = false;
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

// One view of the drawing: what the pipeline draws and where the sheet
// places it.
struct View_Job {
  View_Request request;
  View_Kind kind = View_Kind::pictorial;
  std::string name;  // "front", "iso", "30,20"
};

// What the command writes, beside the pipeline's Draw_Settings.
struct Output_Request {
  Output_Format format = Output_Format::svg;
  std::vector<View_Job> views;  // one or more
  Sheet_Settings sheet;
  // One view at its own size in device units: no page, no scale.
  bool own_size = true;
  // The drawing as write_svg writes it, byte for byte as before sheets.
  bool plain_svg = true;
};

// --views: names and yaw,pitch pairs, all separated by commas
// ("front,top,30,20,iso"). Orthographic views in the grid stay
// orthographic; pictorial ones take --perspective.
std::vector<View_Job> parse_views(const std::string& text, double field_of_view_degrees) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = text.find(',', from);
    parts.push_back(text.substr(from, comma == std::string::npos ? comma : comma - from));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  static const std::pair<std::string_view, View_Kind> kinds[] = {
      {"front", View_Kind::front}, {"back", View_Kind::back}, {"right", View_Kind::right},
      {"left", View_Kind::left},   {"top", View_Kind::top},   {"bottom", View_Kind::bottom},
  };
  std::vector<View_Job> jobs;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    View_Job job;
    job.name = parts[i];
    try {
      job.request.view = parse_view(parts[i]);
    } catch (const Tool_Error&) {
      // Not a name: a yaw,pitch pair takes two parts.
      if (i + 1 >= parts.size()) {
        throw option_error("--views", "'" + parts[i] +
                                          "' is neither a view name (front, back, left, right, "
                                          "top, bottom, iso) nor the yaw of a yaw,pitch pair");
      }
      job.name = parts[i] + "," + parts[i + 1];
      try {
        job.request.view = parse_view(job.name);
      } catch (const Tool_Error& error) {
        throw option_error("--views", error.what());
      }
      ++i;
    }
    for (const auto& [name, kind] : kinds) {
      if (name == job.name) job.kind = kind;
    }
    for (const View_Job& earlier : jobs) {
      if (job.kind != View_Kind::pictorial && earlier.kind == job.kind) {
        throw option_error("--views", "the view '" + job.name + "' appears twice");
      }
    }
    if (job.kind == View_Kind::pictorial) job.request.field_of_view_degrees = field_of_view_degrees;
    jobs.push_back(job);
  }
  return jobs;
}

Output_Request output_request_of(const Draw_Command& command, const Draw_Settings& settings) {
  Output_Request request;
  request.format = output_format_of(command.output);
  if (!command.views.empty()) {
    request.views = parse_views(command.views, settings.camera.field_of_view_degrees);
  } else {
    View_Job job;
    job.request = {settings.camera.view, settings.camera.field_of_view_degrees};
    job.name = command.view;
    request.views.push_back(job);
  }
  const auto wrapped = [](std::string_view option, auto parse) {
    try {
      return parse();
    } catch (const Tool_Error& error) {
      throw option_error(option, error.what());
    }
  };
  Sheet_Settings& sheet = request.sheet;
  sheet.first_angle = command.first_angle;
  if (!command.page.empty()) {
    sheet.page = wrapped("--page", [&] { return parse_page(command.page); });
    sheet.line_weights =
        command.line_weights.empty()
            ? default_line_weights_mm
            : wrapped("--line-weights", [&] { return parse_line_weights(command.line_weights); });
  } else {
    if (!command.line_weights.empty()) {
      throw option_error("--line-weights", "line weights in mm need a page (--page)");
    }
    sheet.line_weights.fill(command.svg.stroke_width);
    // Margin and gap as the camera's margin: a twentieth of the shorter side.
    sheet.margin = sheet.gap =
        0.05 * double(std::min(settings.camera.width, settings.camera.height));
  }
  if (!command.scale.empty()) {
    sheet.scale_mm = wrapped("--scale", [&] { return parse_scale(command.scale); });
  }
  if (!(command.cairo.dpi >= 1.0 && command.cairo.dpi <= 10000.0)) {
    throw option_error("--dpi", "the resolution must be between 1 and 10000");
  }
  if (!command.record.empty() && request.views.size() > 1) {
    throw option_error("--record", "a picture script records one view, not a sheet of --views");
  }
  if (!command.trace.empty() && request.views.size() > 1) {
    throw option_error("--trace", "a call trace is of one view, not a sheet of --views");
  }
  request.own_size = request.views.size() == 1 && !sheet.page && !sheet.scale_mm;
  request.plain_svg = request.own_size && request.format == Output_Format::svg && !command.optimize;
  return request;
}

// ---------------------------------------------------------------------------
// The run: import, the pipeline, the drawing or sheet, the statistics.

using Clock = std::chrono::steady_clock;

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Where the models' box centre, which every view looks at, lies in the
// drawing of `view`: the point a sheet aligns its views on.
Drawing_Point anchor_of(const Draw_Result& view) {
  const Device_Point p = view.camera.to_device(view.camera.centre());
  return {double(p.x), view.drawing.height - double(p.y)};
}

// The drawings on a sheet and written in the sheet's format; --optimize
// orders their lines first, with the pen-up travel told in `travel`.
std::string write_sheet_of(const Draw_Command& command, const Output_Request& request,
                           std::vector<Draw_Result>& views, std::optional<Sheet>& sheet,
                           std::optional<Pen_Travel>& travel) {
  // Pen-up travel per view in its drawing's units, before and after.
  std::vector<Pen_Travel> view_travel(views.size());
  for (std::size_t v = 0; command.optimize && v < views.size(); ++v) {
    view_travel[v].before = pen_up_travel(views[v].drawing);
    order_for_plotter(views[v].drawing);
    view_travel[v].after = pen_up_travel(views[v].drawing);
  }
  if (request.own_size) {
    sheet = single_drawing_sheet(views[0].drawing, command.svg.stroke_width);
  } else {
    std::vector<Sheet_View_Input> inputs;
    for (std::size_t v = 0; v < views.size(); ++v) {
      const View_Job& job = request.views[v];
      inputs.push_back(
          {&views[v].drawing, job.kind, job.name, anchor_of(views[v]), views[v].camera.scale()});
    }
    sheet = lay_out_sheet(inputs, request.sheet);
  }
  if (command.optimize) {
    // On the sheet: each view's travel scaled by its factor.
    travel.emplace();
    for (std::size_t v = 0; v < views.size(); ++v) {
      travel->before += sheet->views[v].factor * view_travel[v].before;
      travel->after += sheet->views[v].factor * view_travel[v].after;
    }
  }
  return write_sheet(*sheet, request.format, command.cairo);
}

void draw(const Draw_Command& command) {
  const Draw_Settings settings = settings_of(command);
  const Output_Request request = output_request_of(command, settings);
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
  std::vector<View_Request> requests;
  for (const View_Job& job : request.views) requests.push_back(job.request);
  std::vector<Draw_Result> views = draw_views(models, settings, requests, module_path, hooks);
  models.clear();

  start = Clock::now();
  progress.show("writing " + command.output);
  std::optional<Sheet> sheet;
  std::optional<Pen_Travel> travel;
  write_output_file(command.output, request.plain_svg
                                        ? write_svg(views[0].drawing, command.svg)
                                        : write_sheet_of(command, request, views, sheet, travel));
  if (!command.record.empty()) write_output_file(command.record, recorder.text());
  if (!command.trace.empty()) write_output_file(command.trace, trace);
  times.write = milliseconds_since(start);
  progress.clear();

  if (command.stats) {
    print_draw_stats(command.models.size(), views, times, sheet ? &*sheet : nullptr,
                     travel ? &*travel : nullptr);
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

// Returns --view, which --views excludes.
CLI::Option* add_camera_options(CLI::App& command, Draw_Command& options) {
  const char* camera = "Camera";
  CLI::Option* view =
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
  return view;
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
      .add_option("--stroke", options.svg.stroke_width,
                  "Line width in device units without --page (default 1)")
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

void add_sheet_options(CLI::App& command, Draw_Command& options, CLI::Option* view_option) {
  const char* sheet = "Page and views";
  command
      .add_option("--page", options.page,
                  "Draw on a page: A4, A3, A2, letter or WxHmm, optionally with -landscape or "
                  "-portrait (A4-landscape); sheet units become mm (default: no page, the "
                  "drawing's own size in device units)")
      ->option_text("PAGE")
      ->group(sheet);
  command
      .add_option("--scale", options.scale,
                  "1:N or N:1 with model units as mm (default: as large as the page allows "
                  "inside 10 mm margins)")
      ->option_text("1:N")
      ->group(sheet);
  command
      .add_option("--line-weights", options.line_weights,
                  "Visible, hidden and intersection line widths in mm on a page (default "
                  "0.5,0.25,0.25); without a page --stroke sets every width")
      ->option_text("V,H,I")
      ->group(sheet);
  command
      .add_option("--views", options.views,
                  "Several views on one sheet: names (front, back, left, right, top, bottom, "
                  "iso) and yaw,pitch pairs, e.g. front,top,right,iso; orthographic views "
                  "aligned at one scale, pictorial ones (and --perspective) beside")
      ->option_text("LIST")
      ->excludes(view_option)
      ->group(sheet);
  command
      .add_flag("--first-angle", options.first_angle,
                "Place the views in first-angle projection (default third-angle: top above "
                "front, right to its right)")
      ->group(sheet);
}

void add_output_options(CLI::App& command, Draw_Command& options) {
  const char* output = "Output";
  command.add_option("--dpi", options.cairo.dpi, "PNG resolution in dots per inch (default 96)")
      ->option_text("DPI")
      ->group(output);
  command
      .add_option("--background", options.cairo.transparent,
                  "PNG, PDF and EPS background (default white)")
      ->transform(one_of<bool>({{"white", false}, {"transparent", true}}))
      ->option_text("white|transparent")
      ->group(output);
  command
      .add_flag("--optimize", options.optimize,
                "For pen plotters: order and reverse each layer's polylines for the least "
                "pen-up travel (greedy nearest neighbour); --stats prints the travel")
      ->group(output);
  command
      .add_flag("--stats", options.stats,
                "Print counts (faces, edges, pieces), the sheet and its scale, and the time of "
                "each phase")
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
                  "Threads of the hidden-line passes; the drawing is the same for every N "
                  "(default: OMP_NUM_THREADS, else one per processor, " +
                      std::to_string(default_renderer_threads()) + " here)")
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
    "Every format has four layers, drawn in this order: hidden, visible, intersections, "
    "markers\n(SVG <g id=...>, DXF layers HIDDEN, VISIBLE, INTERSECTIONS, MARKERS).\n"
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
      "Draw models as a hidden-line drawing (SVG, PDF, PNG, EPS or DXF): visible edges solid, "
      "hidden edges dashed behind them; one view or a sheet of several, on a page at a scale.");
  command
      ->add_option("MODEL", options->models,
                   "Model files (OBJ, STL, PLY, OFF, glTF/GLB, 3MF and whatever else Assimp "
                   "reads) and CAD parts (STEP, IGES, BREP), drawn together")
      ->required();
  command
      ->add_option("-o,--output", options->output,
                   "The file to write; its extension names the format: .svg, .pdf, .png, .eps "
                   "or .dxf")
      ->option_text("FILE")
      ->required();
  CLI::Option* view = add_camera_options(*command, *options);
  add_line_options(*command, *options);
  add_cad_options(*command, *options);
  add_sheet_options(*command, *options, view);
  add_output_options(*command, *options);
  command->footer(draw_footer);
  command->callback([options] { draw(*options); });
}

}  // namespace hlr_tool
