#include "tool/cli/draw_command.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "module_loader.h"
#include "tool/common/errors.h"
#include "tool/common/held_reference.h"
#include "tool/common/output_file.h"
#include "tool/drawing/pen_order.h"
#include "tool/drawing/sheet_formats.h"
#include "tool/drawing/svg_renderer.h"
#include "tool/models/camera.h"
#include "tool/models/edge_selection.h"
#include "tool/models/model.h"
#include "tool/models/scene.h"
#include "tool/session/module_path.h"

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
  std::string page;          // empty: no page, device units
  std::string scale;         // empty: fitted
  std::string line_weights;  // empty: the ISO 128-like defaults
  std::string views;         // empty: the one view of --view
  bool first_angle = false;
  double dpi = 96.0;
  std::string background = "white";
  bool optimize = false;
  bool stats = false;
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

// The four ints of a colour option for 0xAARRGGBB: the renderer packs
// (c0, c1, c2, c3) into the bytes blue = c2, green = c1, red = c0,
// alpha = c3.
KT_Option_Value color_value(std::uint32_t argb) {
  return KT_Option_Value(static_cast<int>((argb >> 16) & 255u),
                         static_cast<int>((argb >> 8) & 255u), static_cast<int>(argb & 255u),
                         static_cast<int>(argb >> 24));
}

void set_option(KT_Renderer_Data& renderer, const wchar_t* name, const KT_Option_Value& value) {
  KT_Option* option = renderer.current_option_table.find(name);
  const std::wstring wide(name);
  if (option == nullptr) {
    throw Tool_Error("the renderer module has no option \"" +
                     std::string(wide.begin(), wide.end()) + "\"");
  }
  try {
    option->set(value);
  } catch (const std::invalid_argument&) {
    throw Tool_Error("the renderer module's option \"" + std::string(wide.begin(), wide.end()) +
                     "\" holds another kind of value");
  }
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
};

// One view of the models as one renderer draws it.
struct View_Job {
  View_Angles angles;
  View_Kind kind = View_Kind::pictorial;
  std::string name;
  double field_of_view_degrees = 0.0;
};

struct View_Result {
  Drawing drawing;
  std::string svg;  // kept only for a single view written as plain SVG
  Svg_Counts counts;
  Scene_Stats scene_stats;
  std::size_t bodies = 0;
  Drawing_Point anchor{0.0, 0.0};  // Render_Settings::anchor in the drawing
  double units_per_model = 1.0;
  Phase_Times times;
};

struct Pen_Travel {
  double before = 0.0, after = 0.0;  // sheet units
};

void print_stats(std::size_t model_count, const std::vector<View_Result>& views,
                 const Phase_Times& times, const Sheet* sheet, const Pen_Travel* travel) {
  Svg_Counts counts;
  Scene_Stats s;
  std::size_t bodies = 0;
  for (const View_Result& view : views) {
    for (std::size_t l = 0; l < svg_layer_count; ++l) {
      counts.received[l] += view.counts.received[l];
      counts.drawn[l] += view.counts.drawn[l];
    }
    counts.polylines += view.counts.polylines;
    counts.markers += view.counts.markers;
    s.triangles += view.scene_stats.triangles;
    s.strips += view.scene_stats.strips;
    s.edges += view.scene_stats.edges;
    s.polylines += view.scene_stats.polylines;
    bodies = std::max(bodies, view.bodies);
  }
  const auto layer = [&counts](Svg_Layer l, bool drawn) {
    return (drawn ? counts.drawn : counts.received)[static_cast<std::size_t>(l)];
  };
  std::printf("models:          %zu (%zu bodies)\n", model_count, bodies);
  std::printf("faces:           %zu triangles in %zu strips\n", s.triangles, s.strips);
  std::printf("edges:           %zu in %zu polylines\n", s.edges, s.polylines);
  std::printf("pieces received: %zu visible, %zu hidden, %zu intersections\n",
              layer(Svg_Layer::visible, false), layer(Svg_Layer::hidden, false),
              layer(Svg_Layer::intersections, false));
  std::printf("pieces drawn:    %zu visible, %zu hidden, %zu intersections\n",
              layer(Svg_Layer::visible, true), layer(Svg_Layer::hidden, true),
              layer(Svg_Layer::intersections, true));
  std::printf("written:         %zu polylines, %zu markers\n", counts.polylines, counts.markers);
  const char* unit = sheet != nullptr && sheet->paged ? "mm" : "device units";
  if (sheet != nullptr) {
    std::printf("sheet:           %.1f x %.1f %s, %zu view(s)", sheet->width, sheet->height, unit,
                sheet->views.size());
    if (sheet->paged && sheet->units_per_model > 0.0) {
      // Model units taken as millimetres.
      if (sheet->units_per_model >= 1.0) {
        std::printf(", scale %.4g:1", sheet->units_per_model);
      } else {
        std::printf(", scale 1:%.4g", 1.0 / sheet->units_per_model);
      }
    }
    std::printf("\n");
  }
  if (travel != nullptr) {
    std::printf("pen-up travel:   %.1f before, %.1f after ordering (%s)\n", travel->before,
                travel->after, unit);
  }
  std::printf(
      "time (ms):       import %.1f, scene %.1f, capture %.1f, hidden-line passes %.1f, "
      "writing %.1f, total %.1f\n",
      times.import, times.scene, times.capture, times.update, times.write,
      times.import + times.scene + times.capture + times.update + times.write);
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

// Sends every body to the renderer: per body a face rendition for its
// strips and a line rendition for its polylines, both clipped to the
// device rectangle.
void capture_scene(KT_Renderer_Data& renderer, const Scene& scene, Progress& progress) {
  const KT_Int_Rectangle device{0, scene.width, 0, scene.height};
  std::vector<KT_Point> points;
  const auto fill = [&points](const Device_Polyline& line) {
    points.clear();
    for (const Device_Point& p : line) points.push_back({p.x, p.y, p.z});
    return static_cast<int>(points.size());
  };
  for (std::size_t b = 0; b < scene.bodies.size(); ++b) {
    const Scene_Body& body = scene.bodies[b];
    if (scene.bodies.size() > 1) {
      progress.show("capturing body " + std::to_string(b + 1) + " of " +
                    std::to_string(scene.bodies.size()));
    }
    KT_Rendition faces = KT_Rendition::create();
    faces.set_color(KT_RGB32::from_argb(body.face_color), false);
    faces.set_line_pattern(line_pattern::visible);
    faces.set_clip_rectangle(device);
    KT_Rendition lines = KT_Rendition::create();
    lines.set_color(KT_RGB32::from_argb(body.line_color), false);
    lines.set_line_pattern(line_pattern::visible);
    lines.set_clip_rectangle(device);
    for (const Device_Polyline& strip : body.strips) {
      const int count = fill(strip);
      renderer.actions.call(KT_Actions::face<1>(KT_Actions::triangle_strip), faces, count,
                            points.data(), nullptr, nullptr);
    }
    for (const Device_Polyline& line : body.polylines) {
      const int count = fill(line);
      renderer.actions.call(KT_Actions::polyline_form<1>(), lines, count, points.data());
    }
  }
}

// What every view's renderer is set up with.
struct Render_Settings {
  Camera_Settings camera;  // view and field of view come from the View_Job
  Edge_Options edges;
  std::optional<std::uint32_t> hidden_color, intersection_color;
  // One model point every view is aligned on: the models' box centre.
  Model_Point anchor{0.0, 0.0, 0.0};
  bool keep_svg = false;
};

// The models' bounding box centre; the origin without any position.
Model_Point box_centre(const std::vector<Model>& models) {
  Model_Point low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const Model& model : models) {
    for (const Body& body : model.bodies) {
      for (const Model_Point& p : body.positions) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
      }
    }
  }
  if (!(low.x <= high.x)) return {0.0, 0.0, 0.0};
  return {0.5 * (low.x + high.x), 0.5 * (low.y + high.y), 0.5 * (low.z + high.z)};
}

// Draws one view through a renderer of its own. `module_lock` guards the
// module's create(); everything else belongs to this view alone.
View_Result draw_view(const std::vector<Model>& models, const View_Job& job,
                      const Render_Settings& settings, const Draw_Options& options,
                      KT_Renderer_Module& module, std::mutex& module_lock, Progress& progress) {
  View_Result result;
  Clock::time_point start = Clock::now();
  Camera_Settings camera_settings = settings.camera;
  camera_settings.view = job.angles;
  camera_settings.field_of_view_degrees = job.field_of_view_degrees;
  const Camera camera = Camera::frame(camera_settings, models);
  Scene scene = build_scene(models, camera, settings.edges);
  result.scene_stats = scene.stats;
  result.bodies = scene.bodies.size();
  const Device_Point anchor = camera.to_device(settings.anchor);
  result.anchor = {double(anchor.x), double(scene.height) - double(anchor.y)};
  result.units_per_model = camera.scale();
  result.times.scene = milliseconds_since(start);

  Svg_Settings svg_settings;
  svg_settings.drawing_area = {0, scene.width, 0, scene.height};
  svg_settings.stroke_width = options.stroke;
  auto* svg = new Svg_Renderer(svg_settings);
  Held_Reference svg_reference(svg);
  {
    // The module outlives the renderer it made: the renderer's reference
    // is dropped at the end of this block.
    KT_Renderer_Data* renderer = nullptr;
    {
      std::lock_guard<std::mutex> lock(module_lock);
      renderer = module.create(svg);
    }
    if (renderer == nullptr) throw Tool_Error("the renderer module created no renderer");
    Held_Reference renderer_reference(renderer);

    const bool show_hidden = options.hidden != "off";
    set_option(*renderer, L"Display Hidden Lines", KT_Option_Value(show_hidden));
    set_option(*renderer, L"Hidden Line Pattern",
               KT_Option_Value(hidden_pattern_of(options.hidden)));
    if (settings.hidden_color) {
      set_option(*renderer, L"Hidden Line Color", color_value(*settings.hidden_color));
    }
    set_option(*renderer, L"Retain Hidden Line Color",
               KT_Option_Value(options.retain_hidden_color));
    set_option(*renderer, L"Display Intersections", KT_Option_Value(options.intersections));
    set_option(*renderer, L"Intersection Line Pattern",
               KT_Option_Value(intersection_pattern_of(options.intersection_pattern)));
    if (settings.intersection_color) {
      set_option(*renderer, L"Intersection Line Color", color_value(*settings.intersection_color));
    }
    set_option(*renderer, L"Use Face Color For Intersections",
               KT_Option_Value(options.face_color_intersections));
    set_option(*renderer, L"Halo Gap", KT_Option_Value(options.halo));
    set_option(*renderer, L"WZERO Factor", KT_Option_Value(static_cast<float>(options.wzero)));
    set_option(*renderer, L"Use Double Precision", KT_Option_Value(options.double_precision));
    // The hidden-line rendition is made from the one the host hands out for
    // the renderer: it clips to the drawing too.
    renderer->renderer_rendition.set_clip_rectangle({0, scene.width, 0, scene.height});

    start = Clock::now();
    progress.show("capturing " + std::to_string(scene.stats.triangles) + " triangles and " +
                  std::to_string(scene.stats.edges) + " edges");
    renderer->establish();
    renderer->begin_picture();
    capture_scene(*renderer, scene, progress);
    result.times.capture = milliseconds_since(start);

    start = Clock::now();
    progress.show(options.intersections ? "intersection and hidden-line passes"
                                        : "hidden-line pass");
    renderer->update();
    renderer->end_picture();
    result.times.update = milliseconds_since(start);
  }
  result.counts = svg->counts();
  if (settings.keep_svg) {
    result.svg = svg->svg();
  } else {
    result.drawing = svg->drawing();
  }
  return result;
}

// --views: names and yaw,pitch pairs, all separated by commas
// ("front,top,30,20,iso").
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
      job.angles = parse_view(parts[i]);
    } catch (const Tool_Error&) {
      // Not a name: a yaw,pitch pair takes two parts.
      if (i + 1 >= parts.size()) {
        throw option_error("--views", "'" + parts[i] +
                                          "' is neither a view name (front, back, left, right, "
                                          "top, bottom, iso) nor the yaw of a yaw,pitch pair");
      }
      job.name = parts[i] + "," + parts[i + 1];
      try {
        job.angles = parse_view(job.name);
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
    // A projection in a grid of views is orthographic; pictorial views may
    // be in perspective.
    if (job.kind == View_Kind::pictorial) job.field_of_view_degrees = field_of_view_degrees;
    jobs.push_back(job);
  }
  return jobs;
}

void draw(const Draw_Options& options) {
  // Everything the command line says is checked before any work.
  const Output_Format format = output_format_of(options.output);
  Render_Settings settings;
  std::vector<View_Job> jobs;
  if (!options.views.empty()) {
    jobs = parse_views(options.views, options.perspective_degrees);
  } else {
    View_Job job;
    try {
      job.angles = parse_view(options.view);
    } catch (const Tool_Error& error) {
      throw option_error("--view", error.what());
    }
    job.name = options.view;
    job.field_of_view_degrees = options.perspective_degrees;
    jobs.push_back(job);
  }
  const std::array<int, 2> size = parse_size(options.size);
  settings.camera.width = size[0];
  settings.camera.height = size[1];
  if (!(options.perspective_degrees >= 0.0 && options.perspective_degrees < 180.0)) {
    throw option_error("--perspective",
                       "the field of view must be 0 (orthographic) or between 0 and 180 degrees");
  }
  settings.edges.selection = parse_edge_selection(options.edges);
  settings.edges.crease_degrees = options.crease_degrees;
  if (!(options.crease_degrees >= 0.0 && options.crease_degrees <= 180.0)) {
    throw option_error("--crease", "the crease angle must be between 0 and 180 degrees");
  }
  if (!options.hidden_color.empty())
    settings.hidden_color = parse_color(options.hidden_color, "--hidden-color");
  if (!options.intersection_color.empty()) {
    settings.intersection_color = parse_color(options.intersection_color, "--intersection-color");
  }
  if (!std::isfinite(options.wzero)) throw option_error("--wzero", "must be a finite number");
  if (!(std::isfinite(options.stroke) && options.stroke > 0.0)) {
    throw option_error("--stroke", "the stroke width must be a number above 0");
  }
  Sheet_Settings sheet_settings;
  sheet_settings.first_angle = options.first_angle;
  const auto wrapped = [](std::string_view option, auto parse) {
    try {
      return parse();
    } catch (const Tool_Error& error) {
      throw option_error(option, error.what());
    }
  };
  if (!options.page.empty()) {
    sheet_settings.page = wrapped("--page", [&] { return parse_page(options.page); });
    sheet_settings.line_weights =
        options.line_weights.empty()
            ? default_line_weights_mm
            : wrapped("--line-weights", [&] { return parse_line_weights(options.line_weights); });
  } else {
    if (!options.line_weights.empty()) {
      throw option_error("--line-weights", "line weights in mm need a page (--page)");
    }
    sheet_settings.line_weights.fill(options.stroke);
    // Margin and gap as the camera's margin: a twentieth of the shorter side.
    sheet_settings.margin = sheet_settings.gap = 0.05 * double(std::min(size[0], size[1]));
  }
  if (!options.scale.empty()) {
    sheet_settings.scale_mm = wrapped("--scale", [&] { return parse_scale(options.scale); });
  }
  Cairo_Options cairo_options;
  cairo_options.dpi = options.dpi;
  cairo_options.transparent = options.background == "transparent";
  if (!(options.dpi >= 1.0 && options.dpi <= 10000.0)) {
    throw option_error("--dpi", "the resolution must be between 1 and 10000");
  }
  // Today's drawing: one view in device units as plain SVG, byte for byte.
  const bool plain_svg = format == Output_Format::svg && jobs.size() == 1 && !sheet_settings.page &&
                         !sheet_settings.scale_mm && !options.optimize;
  settings.keep_svg = plain_svg;
  check_output_folder(options.output);

  Progress progress(options.quiet);
  Phase_Times times;

  Clock::time_point start = Clock::now();
  std::vector<Model> models;
  for (const std::string& path : options.models) {
    progress.show("importing " + path);
    models.push_back(load_model(path));
  }
  times.import = milliseconds_since(start);
  settings.anchor = box_centre(models);

  std::unique_ptr<KT_Renderer_Module> module;
  const std::string module_path = options.module.empty() ? options.default_module : options.module;
  try {
    module = std::make_unique<KT_Renderer_Module>(module_path);
  } catch (const std::runtime_error& error) {
    throw Tool_Error(error.what());
  }

  // The views are independent pictures: up to one thread per core.
  std::vector<View_Result> results(jobs.size());
  std::mutex module_lock;
  if (jobs.size() == 1) {
    progress.show("projecting, stripping and selecting edges");
    results[0] = draw_view(models, jobs[0], settings, options, *module, module_lock, progress);
  } else {
    progress.show("drawing " + std::to_string(jobs.size()) + " views");
    Progress silent(true);
    std::vector<std::exception_ptr> failures(jobs.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
      for (std::size_t v; (v = next.fetch_add(1)) < jobs.size();) {
        try {
          results[v] = draw_view(models, jobs[v], settings, options, *module, module_lock, silent);
        } catch (...) {
          failures[v] = std::current_exception();
        }
      }
    };
    const std::size_t threads =
        std::min<std::size_t>(jobs.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
    for (const std::exception_ptr& failure : failures) {
      if (failure) std::rethrow_exception(failure);
    }
  }
  models.clear();
  for (const View_Result& result : results) {
    times.scene += result.times.scene;
    times.capture += result.times.capture;
    times.update += result.times.update;
  }

  start = Clock::now();
  progress.show("writing " + options.output);
  std::optional<Pen_Travel> travel;
  std::optional<Sheet> sheet;
  if (plain_svg) {
    write_output_file(options.output, results[0].svg);
  } else {
    // Pen-up travel per view in its drawing's units, before and after.
    std::vector<Pen_Travel> view_travel(results.size());
    for (std::size_t v = 0; options.optimize && v < results.size(); ++v) {
      view_travel[v].before = pen_up_travel(results[v].drawing);
      order_for_plotter(results[v].drawing);
      view_travel[v].after = pen_up_travel(results[v].drawing);
    }
    if (jobs.size() == 1 && !sheet_settings.page && !sheet_settings.scale_mm) {
      sheet = single_drawing_sheet(results[0].drawing, options.stroke);
    } else {
      std::vector<Sheet_View_Input> inputs;
      for (std::size_t v = 0; v < jobs.size(); ++v) {
        inputs.push_back({&results[v].drawing, jobs[v].kind, jobs[v].name, results[v].anchor,
                          results[v].units_per_model});
      }
      sheet = lay_out_sheet(inputs, sheet_settings);
    }
    if (options.optimize) {
      // On the sheet: each view's travel scaled by its factor.
      travel.emplace();
      for (std::size_t v = 0; v < results.size(); ++v) {
        travel->before += sheet->views[v].factor * view_travel[v].before;
        travel->after += sheet->views[v].factor * view_travel[v].after;
      }
    }
    write_output_file(options.output, write_sheet(*sheet, format, cairo_options));
  }
  times.write = milliseconds_since(start);
  progress.clear();

  if (options.stats) {
    print_stats(options.models.size(), results, times, sheet ? &*sheet : nullptr,
                travel ? &*travel : nullptr);
  }
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
      "Draw models as a hidden-line drawing (SVG, PDF, PNG, EPS or DXF): visible edges solid, "
      "hidden edges dashed behind them; one view or a sheet of several, on a page at a scale.");
  command
      ->add_option("MODEL", options->models,
                   "Model files (OBJ, STL, PLY, OFF, glTF/GLB, 3MF and whatever else Assimp "
                   "reads), drawn together")
      ->required();
  command
      ->add_option("-o,--output", options->output,
                   "The file to write; its extension names the format: .svg, .pdf, .png, .eps "
                   "or .dxf")
      ->option_text("FILE")
      ->required();

  const char* camera = "Camera";
  CLI::Option* view_option =
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
  command
      ->add_option("--stroke", options->stroke,
                   "Line width in device units without --page (default 1)")
      ->option_text("WIDTH")
      ->group(lines);

  const char* sheet = "Page and views";
  command
      ->add_option("--page", options->page,
                   "Draw on a page: A4, A3, A2, letter or WxHmm, optionally with -landscape or "
                   "-portrait (A4-landscape); sheet units become mm (default: no page, the "
                   "drawing's own size in device units)")
      ->option_text("PAGE")
      ->group(sheet);
  command
      ->add_option("--scale", options->scale,
                   "1:N or N:1 with model units as mm (default: as large as the page allows "
                   "inside 10 mm margins)")
      ->option_text("1:N")
      ->group(sheet);
  command
      ->add_option("--line-weights", options->line_weights,
                   "Visible, hidden and intersection line widths in mm on a page (default "
                   "0.5,0.25,0.25); without a page --stroke sets every width")
      ->option_text("V,H,I")
      ->group(sheet);
  command
      ->add_option("--views", options->views,
                   "Several views on one sheet: names (front, back, left, right, top, bottom, "
                   "iso) and yaw,pitch pairs, e.g. front,top,right,iso; orthographic views "
                   "aligned at one scale, pictorial ones (and --perspective) beside")
      ->option_text("LIST")
      ->excludes(view_option)
      ->group(sheet);
  command
      ->add_flag("--first-angle", options->first_angle,
                 "Place the views in first-angle projection (default third-angle: top above "
                 "front, right to its right)")
      ->group(sheet);

  const char* output = "Output";
  command->add_option("--dpi", options->dpi, "PNG resolution in dots per inch (default 96)")
      ->option_text("DPI")
      ->group(output);
  command
      ->add_option("--background", options->background,
                   "PNG, PDF and EPS background: white or transparent")
      ->check(CLI::IsMember({"white", "transparent"}))
      ->capture_default_str()
      ->group(output);
  command
      ->add_flag("--optimize", options->optimize,
                 "For pen plotters: order and reverse each layer's polylines for the least "
                 "pen-up travel (greedy nearest neighbour); --stats prints the travel")
      ->group(output);
  command
      ->add_flag("--stats", options->stats,
                 "Print counts (faces, edges, pieces), the sheet and its scale, and the time of "
                 "each phase")
      ->group(output);
  command->add_flag("-q,--quiet", options->quiet, "No progress on standard error")->group(output);
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
      "Every format has four layers, drawn in this order: hidden, visible, intersections, "
      "markers\n(SVG <g id=...>, DXF layers HIDDEN, VISIBLE, INTERSECTIONS, MARKERS).\n"
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
