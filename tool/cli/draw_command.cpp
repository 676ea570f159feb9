#include "tool/cli/draw_command.h"

#include <unistd.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "module_loader.h"
#include "tool/common/errors.h"
#include "tool/common/held_reference.h"
#include "tool/common/output_file.h"
#include "tool/drawing/svg_renderer.h"
#include "tool/models/camera.h"
#include "tool/models/edge_selection.h"
#include "tool/models/model.h"
#include "tool/models/scene.h"
#include "tool/session/module_path.h"
#include "tool/session/renderer_session.h"
#include "tool/session/shared_passes.h"

namespace hlr_tool {

namespace {

// The largest drawing side we accept: device coordinates are floats, and
// beyond this their steps grow past a thousandth of a unit.
constexpr int max_drawing_side = 1000000;

struct Draw_Options {
  std::vector<std::string> models;
  std::string output;
  std::string view = "35,25";
  double perspective_degrees = 0.0;
  std::string size = "1000,1000";
  std::string edges = "feature";
  double crease_degrees = 30.0;
  std::string hidden = "dashed";
  std::string hidden_color;  // empty: the renderer's own default
  bool retain_hidden_color = false;
  bool intersections = false;
  std::string intersection_color;  // empty: the renderer's own default
  std::string intersection_pattern = "solid";
  bool face_color_intersections = false;
  int halo = 0;
  double wzero = 0.0;
  bool double_precision = false;
  double stroke = 1.0;
  bool stats = false;
  int jobs = 0;       // 0: automatic (Shared_Pass_Settings)
  std::string trace;  // empty: none
  bool quiet = false;
  std::string module;  // empty: beside the executable
  std::string default_module;
};

Tool_Error option_error(std::string_view option, const std::string& what) {
  return input_error("hlr-render draw: " + std::string(option) + ": " + what);
}

// "W,H", two whole numbers.
std::array<int, 2> parse_size(std::string_view text) {
  std::array<int, 2> size{};
  const std::size_t comma = text.find(',');
  bool good = comma != std::string_view::npos;
  for (int k = 0; good && k < 2; ++k) {
    const std::string_view part = k == 0 ? text.substr(0, comma) : text.substr(comma + 1);
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), size[k]);
    good = error == std::errc() && end == part.data() + part.size() && !part.empty();
  }
  if (!good) {
    throw option_error("--size",
                       "expected W,H (two whole numbers), not '" + std::string(text) + "'");
  }
  if (size[0] < 1 || size[1] < 1 || size[0] > max_drawing_side || size[1] > max_drawing_side) {
    throw option_error("--size", "each side must be between 1 and " +
                                     std::to_string(max_drawing_side) + ", not '" +
                                     std::string(text) + "'");
  }
  return size;
}

// "Hidden Line Pattern" by --hidden (the line-pattern numbers of the
// Svg_Renderer); --hidden off keeps the dashed number but switches the
// hidden lines off.
int hidden_pattern_of(const std::string& hidden) {
  if (hidden == "dotted") return line_pattern::hidden_dotted;
  if (hidden == "dash-dot") return line_pattern::hidden_dash_dot;
  if (hidden == "solid") return line_pattern::hidden_solid;
  return line_pattern::hidden_dashed;
}

int intersection_pattern_of(const std::string& pattern) {
  if (pattern == "dashed") return line_pattern::intersection_dashed;
  if (pattern == "dotted") return line_pattern::intersection_dotted;
  return line_pattern::intersection_solid;
}

using Clock = std::chrono::steady_clock;

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One status line on standard error, rewritten in place, only when standard
// error is a terminal and --quiet was not given.
class Progress {
 public:
  explicit Progress(bool quiet) : shown_(!quiet && isatty(STDERR_FILENO) == 1) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress() { clear(); }

  void show(const std::string& status) {
    if (!shown_) return;
    std::cerr << "\r\033[Khlr-render: " << status << std::flush;
    dirty_ = true;
  }
  void clear() {
    if (!shown_ || !dirty_) return;
    std::cerr << "\r\033[K" << std::flush;
    dirty_ = false;
  }

 private:
  bool shown_;
  bool dirty_ = false;
};

struct Phase_Times {
  double import = 0, scene = 0, capture = 0, update = 0, write = 0;
  std::vector<double> renderer_processor;  // per renderer, milliseconds
};

void print_stats(const Scene& scene, std::size_t model_count, const Svg_Counts& counts,
                 const Phase_Times& times) {
  const auto layer = [&counts](Svg_Layer l, bool drawn) {
    return (drawn ? counts.drawn : counts.received)[static_cast<std::size_t>(l)];
  };
  const Scene_Stats& s = scene.stats;
  std::printf("models:          %zu (%zu bodies)\n", model_count, scene.bodies.size());
  std::printf("faces:           %zu triangles in %zu strips\n", s.triangles, s.strips);
  std::printf("edges:           %zu in %zu polylines\n", s.edges, s.polylines);
  std::printf("pieces received: %zu visible, %zu hidden, %zu intersections\n",
              layer(Svg_Layer::visible, false), layer(Svg_Layer::hidden, false),
              layer(Svg_Layer::intersections, false));
  std::printf("pieces drawn:    %zu visible, %zu hidden, %zu intersections\n",
              layer(Svg_Layer::visible, true), layer(Svg_Layer::hidden, true),
              layer(Svg_Layer::intersections, true));
  std::printf("written:         %zu polylines, %zu markers\n", counts.polylines, counts.markers);
  std::printf(
      "time (ms):       import %.1f, scene %.1f, capture %.1f, hidden-line passes %.1f, "
      "writing %.1f, total %.1f\n",
      times.import, times.scene, times.capture, times.update, times.write,
      times.import + times.scene + times.capture + times.update + times.write);
  std::printf("renderers:       %zu, processor time (ms)", times.renderer_processor.size());
  for (std::size_t k = 0; k < times.renderer_processor.size(); ++k)
    std::printf("%s %.1f", k == 0 ? "" : ",", times.renderer_processor[k]);
  std::printf("\n");
  std::fflush(stdout);
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

void draw(const Draw_Options& options) {
  // Everything the command line says is checked before any work.
  Camera_Settings camera_settings;
  try {
    camera_settings.view = parse_view(options.view);
  } catch (const Tool_Error& error) {
    throw option_error("--view", error.what());
  }
  camera_settings.field_of_view_degrees = options.perspective_degrees;
  const std::array<int, 2> size = parse_size(options.size);
  camera_settings.width = size[0];
  camera_settings.height = size[1];
  if (!(options.perspective_degrees >= 0.0 && options.perspective_degrees < 180.0)) {
    throw option_error("--perspective",
                       "the field of view must be 0 (orthographic) or between 0 and 180 degrees");
  }
  Edge_Options edge_options;
  edge_options.selection = parse_edge_selection(options.edges);
  edge_options.crease_degrees = options.crease_degrees;
  if (!(options.crease_degrees >= 0.0 && options.crease_degrees <= 180.0)) {
    throw option_error("--crease", "the crease angle must be between 0 and 180 degrees");
  }
  std::optional<std::uint32_t> hidden_color, intersection_color;
  if (!options.hidden_color.empty())
    hidden_color = parse_color(options.hidden_color, "--hidden-color");
  if (!options.intersection_color.empty()) {
    intersection_color = parse_color(options.intersection_color, "--intersection-color");
  }
  if (!std::isfinite(options.wzero)) throw option_error("--wzero", "must be a finite number");
  if (!(std::isfinite(options.stroke) && options.stroke > 0.0)) {
    throw option_error("--stroke", "the stroke width must be a number above 0");
  }
  check_output_folder(options.output);
  if (!options.trace.empty()) check_output_folder(options.trace);

  Progress progress(options.quiet);
  Phase_Times times;

  Clock::time_point start = Clock::now();
  std::vector<Model> models;
  for (const std::string& path : options.models) {
    progress.show("importing " + path);
    models.push_back(load_model(path));
  }
  times.import = milliseconds_since(start);

  start = Clock::now();
  progress.show("projecting, stripping and selecting edges");
  const Camera camera = Camera::frame(camera_settings, models);
  const Scene scene = build_scene(models, camera, edge_options);
  models.clear();
  times.scene = milliseconds_since(start);

  const std::string module_path = options.module.empty() ? options.default_module : options.module;
  std::unique_ptr<KT_Renderer_Module> module;
  try {
    module = std::make_unique<KT_Renderer_Module>(module_path);
  } catch (const std::runtime_error& error) {
    throw Tool_Error(error.what());
  }
  Svg_Settings svg_settings;
  svg_settings.drawing_area = {0, scene.width, 0, scene.height};
  svg_settings.stroke_width = options.stroke;
  auto* svg = new Svg_Renderer(svg_settings);
  Held_Reference svg_reference(svg);
  const auto setup = [&](Renderer_Session& session) {
    const bool show_hidden = options.hidden != "off";
    session.set_option("Display Hidden Lines", show_hidden);
    session.set_option("Hidden Line Pattern", hidden_pattern_of(options.hidden));
    if (hidden_color) session.set_color_option("Hidden Line Color", *hidden_color);
    session.set_option("Retain Hidden Line Color", options.retain_hidden_color);
    session.set_option("Display Intersections", options.intersections);
    session.set_option("Intersection Line Pattern",
                       intersection_pattern_of(options.intersection_pattern));
    if (intersection_color)
      session.set_color_option("Intersection Line Color", *intersection_color);
    session.set_option("Use Face Color For Intersections", options.face_color_intersections);
    session.set_option("Halo Gap", options.halo);
    session.set_option("WZERO Factor", static_cast<float>(options.wzero));
    session.set_option("Use Double Precision", options.double_precision);
    // The hidden-line rendition is made from the one the host hands out for
    // the renderer: it clips to the drawing too.
    session.set_default_clip({0, scene.width, 0, scene.height});
  };
  Shared_Pass_Settings pass_settings;
  pass_settings.jobs = options.jobs;
  std::string trace;
  if (!options.trace.empty()) pass_settings.trace = &trace;
  pass_settings.progress = [&progress](std::size_t body, std::size_t bodies) {
    if (bodies > 1) {
      progress.show("capturing body " + std::to_string(body + 1) + " of " + std::to_string(bodies));
    }
  };
  progress.show(
      "capturing " + std::to_string(scene.stats.triangles) + " triangles and " +
      std::to_string(scene.stats.edges) + " edges, " +
      (options.intersections ? "intersection and hidden-line passes" : "hidden-line pass"));
  const Shared_Pass_Times pass_times =
      run_shared_passes(module->entry(), scene, *svg, pass_settings, setup);
  times.capture = pass_times.capture;
  times.update = pass_times.passes;
  times.renderer_processor = pass_times.renderer_processor;
  if (!options.trace.empty()) write_output_file(options.trace, trace);

  start = Clock::now();
  progress.show("writing " + options.output);
  write_output_file(options.output, svg->svg());
  times.write = milliseconds_since(start);
  progress.clear();

  if (options.stats) print_stats(scene, options.models.size(), svg->counts(), times);
}

}  // namespace

std::uint32_t parse_color(std::string_view text, std::string_view option) {
  struct Named_Color {
    std::string_view name;
    std::uint32_t argb;
  };
  static constexpr Named_Color names[] = {
      {"black", 0xFF000000u},   {"white", 0xFFFFFFFFu},  {"gray", 0xFF808080u},
      {"grey", 0xFF808080u},    {"red", 0xFFFF0000u},    {"green", 0xFF008000u},
      {"blue", 0xFF0000FFu},    {"yellow", 0xFFFFFF00u}, {"cyan", 0xFF00FFFFu},
      {"magenta", 0xFFFF00FFu}, {"orange", 0xFFFFA500u},
  };
  for (const Named_Color& named : names) {
    if (named.name == text) return named.argb;
  }
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '#') digits.remove_prefix(1);
  const bool hex = !digits.empty() &&
                   digits.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
  if (hex && (digits.size() == 6 || digits.size() == 8)) {
    std::uint32_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    return digits.size() == 6 ? 0xFF000000u | value : value;
  }
  throw option_error(option,
                     "expected a colour as AARRGGBB or RRGGBB in hex, or a name (black, "
                     "white, gray, red, green, blue, yellow, cyan, magenta, orange), not '" +
                         std::string(text) + "'");
}

void add_draw_command(CLI::App& app, const char* argv0) {
  auto options = std::make_shared<Draw_Options>();
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

  const char* camera = "Camera";
  command
      ->add_option("--view", options->view,
                   "Viewing direction: front, back, left, right, top, bottom, iso, or "
                   "yaw,pitch in degrees (default 35,25)")
      ->option_text("VIEW")
      ->group(camera);
  command
      ->add_option("--perspective", options->perspective_degrees,
                   "Perspective with this field of view in degrees (default 0: orthographic)")
      ->option_text("FOV")
      ->group(camera);
  command
      ->add_option("--size", options->size,
                   "Drawing size in device units, the SVG's user units (default 1000,1000)")
      ->option_text("W,H")
      ->group(camera);

  const char* lines = "Lines";
  command
      ->add_option("--edges", options->edges,
                   "feature: boundaries, creases and silhouettes; all: every triangle edge "
                   "(line elements of the file are always drawn)")
      ->check(CLI::IsMember({"feature", "all"}))
      ->capture_default_str()
      ->group(lines);
  command
      ->add_option("--crease", options->crease_degrees,
                   "Faces meeting at more than this angle make a crease, for --edges feature "
                   "(default 30)")
      ->option_text("DEG")
      ->group(lines);
  command->add_option("--hidden", options->hidden, "How hidden lines are drawn, or off")
      ->check(CLI::IsMember({"dashed", "dotted", "dash-dot", "solid", "off"}))
      ->capture_default_str()
      ->group(lines);
  command
      ->add_option("--hidden-color", options->hidden_color,
                   "Colour of hidden lines (default black)")
      ->option_text("COLOR")
      ->group(lines);
  command
      ->add_flag("--retain-hidden-color", options->retain_hidden_color,
                 "Hidden lines keep the colour of their model")
      ->group(lines);
  command
      ->add_flag("--intersections", options->intersections,
                 "Also draw the lines where faces cut through one another")
      ->group(lines);
  command
      ->add_option("--intersection-color", options->intersection_color,
                   "Colour of intersection lines (default black)")
      ->option_text("COLOR")
      ->group(lines);
  command
      ->add_option("--intersection-pattern", options->intersection_pattern,
                   "How intersection lines are drawn")
      ->check(CLI::IsMember({"solid", "dashed", "dotted"}))
      ->capture_default_str()
      ->group(lines);
  command
      ->add_flag("--face-color-intersections", options->face_color_intersections,
                 "Intersection lines take the colour of their faces")
      ->group(lines);
  command
      ->add_option("--halo", options->halo,
                   "Open a gap of N device units on either side of every place where a line "
                   "passes from visible to hidden (default 0: none)")
      ->option_text("N")
      ->group(lines);
  command
      ->add_option("--wzero", options->wzero,
                   "Depth tolerance as a fraction of the picture's depth (default 0: a fixed "
                   "0.1 device units)")
      ->option_text("F")
      ->group(lines);
  command
      ->add_flag("--double", options->double_precision,
                 "The renderer hands on its lines in double precision")
      ->group(lines);
  command->add_option("--stroke", options->stroke, "Line width in device units (default 1)")
      ->option_text("WIDTH")
      ->group(lines);

  const char* output = "Output";
  command
      ->add_flag("--stats", options->stats,
                 "Print counts (faces, edges, pieces) and the time of each phase")
      ->group(output);
  command->add_flag("-q,--quiet", options->quiet, "No progress on standard error")->group(output);
  command
      ->add_option("-j,--jobs", options->jobs,
                   "Renderers working at once; the drawing is the same for every N (default: "
                   "one per 20000 edges drawn, at most one per processor, " +
                       std::to_string(default_jobs()) + " here)")
      ->option_text("N")
      ->check(CLI::Range(1, 1024))
      ->group(output);
  command
      ->add_option("--trace", options->trace,
                   "Also write every call the renderer sent downstream, one line each")
      ->option_text("FILE")
      ->group(output);
  command
      ->add_option("--module", options->module,
                   "The renderer module to load (default: " + options->default_module + ")")
      ->option_text("PATH")
      ->envname(module_environment_variable)
      ->group(output);

  command->footer(
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
      "run leaves no output file.");
  command->callback([options] { draw(*options); });
}

}  // namespace hlr_tool
