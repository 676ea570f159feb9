#include "tool/render/draw_request.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <utility>

#include "tool/common/clock.h"
#include "tool/common/errors.h"
#include "tool/common/numbers.h"
#include "tool/common/output_file.h"
#include "tool/common/thread_budget.h"
#include "tool/drawing/pen_order.h"
#include "tool/drawing/svg_writer.h"
#include "tool/render/centre_lines.h"
#include "tool/render/draw_options.h"
#include "tool/render/draw_views.h"
#include "tool/script/script_recorder.h"
#include "tool/session/module_path.h"

namespace hlr_tool {

namespace {

// Fails early, before the long work, when a file cannot go where asked.
void check_output_folder(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    throw input_error("cannot write " + path + ": no folder " + folder.string());
  }
  if (std::filesystem::is_directory(path, error)) {
    throw input_error("cannot write " + path + ": it is a folder");
  }
}

// Each option's value as the option table checks it. A front end's texts
// were checked as they were applied; this catches what a caller set
// directly, by showing each value as text and reading it back.
void check_every_option(const Draw_Request& request) {
  for (const Draw_Option& option : draw_options()) {
    const std::string text = option.show(request);
    if (text.empty()) continue;
    Draw_Request scratch;
    apply_draw_option(scratch, option, text);
  }
}

bool given(const Draw_Request& request, std::string_view name) {
  return std::find(request.given.begin(), request.given.end(), name) != request.given.end();
}

void check_options_together(const Draw_Request& request) {
  if (given(request, "view") && given(request, "views")) {
    throw input_error(
        "--views: each view of a sheet has its own direction; give --views or --view, not both");
  }
  if (request.line_weights && !request.page) {
    throw input_error("--line-weights: line weights in mm need a page (--page)");
  }
  if (!request.record.empty() && request.views.size() > 1) {
    throw input_error("--record: a picture script records one view, not a sheet of --views");
  }
  if (!request.trace.empty() && request.views.size() > 1) {
    throw input_error("--trace: a call trace is of one view, not a sheet of --views");
  }
  if (given(request, "sew-tolerance") && !request.cad_reading.sew) {
    throw input_error("--sew-tolerance: sewing is off (--no-sew)");
  }
  if (request.quiet && request.progress) {
    throw input_error("--progress: progress is off (--quiet); give one or the other");
  }
  if (request.tiles && request.views.size() > 1) {
    throw input_error("--tiles: a view is cut into tiles, not a sheet of --views");
  }
  if (request.tiles && (!request.record.empty() || !request.trace.empty())) {
    throw input_error(std::string("--") + (request.record.empty() ? "trace" : "record") +
                      ": the calls of one renderer, not of the renderers of --tiles");
  }
  if (!request.tile_folder.empty() && !request.tiles) {
    throw input_error("--tile-folder: needs --tiles (the folder is where the tile files go)");
  }
}

void check_models(const Draw_Request& request) {
  if (request.models.empty()) throw input_error("nothing to draw: no models given");
  for (const Model_Input& input : request.models) {
    if (!input.model && input.path.empty()) throw input_error("a model file's path is empty");
  }
}

void check_files_to_write(const Draw_Request& request) {
  if (!request.output.empty()) {
    output_format_of(request.output);
    check_output_folder(request.output);
  }
  if (!request.record.empty()) check_output_folder(request.record);
  if (!request.trace.empty()) check_output_folder(request.trace);
}

// The date of issue: $SOURCE_DATE_EPOCH's day (for builds that must give
// the same bytes every time), else today's, in UTC.
std::string today() {
  std::time_t now = std::time(nullptr);
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr) {
    if (const std::optional<double> seconds = parse_finite(epoch); seconds && *seconds >= 0.0) {
      now = static_cast<std::time_t>(*seconds);
    }
  }
  std::tm day{};
  gmtime_r(&now, &day);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1,
                day.tm_mday);
  return text;
}

Sheet_Settings sheet_settings_of(const Draw_Request& request) {
  Sheet_Settings sheet;
  sheet.first_angle = request.first_angle;
  sheet.page = request.page;
  sheet.scale_mm = request.scale_mm;
  if (request.page) {
    sheet.title_block = title_block_of(request);
    sheet.line_weights = request.line_weights.value_or(default_line_weights_mm);
  } else {
    sheet.line_weights.fill(request.stroke_width);
    // Margin and gap as the camera's margin: a twentieth of the shorter side.
    const Camera_Settings& camera = request.settings.camera;
    sheet.margin = sheet.gap = 0.05 * double(std::min(camera.width, camera.height));
  }
  return sheet;
}

// Where the models' box centre, which every view looks at, lies in the
// drawing of `view`: the point a sheet aligns its views on.
Drawing_Point anchor_of(const Draw_Result& view) {
  const Device_Point p = view.camera.to_device(view.camera.centre());
  return {double(p.x), view.drawing.height - double(p.y)};
}

std::vector<View_Request> view_requests_of(const Draw_Request& request) {
  const double field_of_view = request.settings.camera.field_of_view_degrees;
  std::vector<View_Request> requests;
  for (const View_Spec& view : request.drawn_views()) {
    // On a sheet the orthographic views in the grid stay orthographic; a
    // view alone takes --perspective whatever its name.
    const bool orthographic = !request.views.empty() && view.kind != View_Kind::pictorial;
    requests.push_back({view.angles, orthographic ? 0.0 : field_of_view});
  }
  return requests;
}

// --optimize: each view's lines in plotter order, the pen-up travel per
// view in its drawing's units, before and after.
std::vector<Pen_Travel> order_views_for_plotter(std::vector<Draw_Result>& views) {
  std::vector<Pen_Travel> travel(views.size());
  for (std::size_t v = 0; v < views.size(); ++v) {
    travel[v].before = pen_up_travel(views[v].drawing);
    order_for_plotter(views[v].drawing);
    travel[v].after = pen_up_travel(views[v].drawing);
  }
  return travel;
}

Sheet sheet_of(const Draw_Request& request, const std::vector<Draw_Result>& views, bool own_size) {
  if (own_size) return single_drawing_sheet(views[0].drawing, request.stroke_width);
  std::vector<Sheet_View_Input> inputs;
  const std::span<const View_Spec> specs = request.drawn_views();
  for (std::size_t v = 0; v < views.size(); ++v) {
    // A view alone (--view) stands as it is, whatever its name: only the
    // views of --views have places in the grid.
    const View_Kind kind = request.views.empty() ? View_Kind::pictorial : specs[v].kind;
    inputs.push_back(
        {&views[v].drawing, kind, specs[v].name, anchor_of(views[v]), views[v].camera.scale()});
  }
  return lay_out_sheet(inputs, sheet_settings_of(request));
}

// Every view of the request drawn, not yet placed on the sheet.
Finished_Drawing draw_views_of(const Draw_Request& request, std::span<const Model> models,
                               const Scene_Topology* topology, const Draw_Front_End& front_end) {
  const Thread_Budget threads(request.jobs);
  Finished_Drawing finished;
  finished.model_count = request.models.size();
  finished.stroke_width = request.stroke_width;
  finished.threads = std::size_t(threads.threads());
  finished.cairo = request.cairo;
  for (const View_Spec& view : request.drawn_views()) finished.view_names.push_back(view.name);

  Draw_Hooks hooks;
  hooks.progress = front_end.progress;
  hooks.polyline_models = front_end.polyline_models;
  hooks.deadline = front_end.deadline;
  Script_Recorder recorder(
      "hlr-render draw --record: every call the drawing made on the "
      "renderer.\nReplay: hlr-render run FILE.pic [--svg FILE.svg]");
  if (!request.record.empty()) hooks.observer = &recorder;
  if (!request.trace.empty()) hooks.trace = &finished.trace;
  const std::string module = renderer_module_path(request.module, front_end.default_module);
  Draw_Settings settings = request.settings;
  settings.centre_lines = request.centre_lines.value_or(request.page.has_value());
  if (request.tiles) {
    const View_Request view = view_requests_of(request)[0];
    settings.camera.view = view.view;
    settings.camera.field_of_view_degrees = view.field_of_view_degrees;
    const Tiled_View tiled{*request.tiles, request.tile_folder, module, front_end.worker_program,
                           front_end.run_tiles};
    Draw_Result& drawn =
        finished.views.emplace_back(draw_in_tiles(models, settings, tiled, threads, hooks));
    // The tiles' workers draw lines only; the axes are the whole view's.
    if (settings.centre_lines)
      drawn.centre_axes = centre_axes(models, drawn.camera, drawn.drawing.height);
  } else {
    finished.views =
        draw_views({models, topology}, settings, view_requests_of(request), module, threads, hooks);
  }
  if (!request.record.empty()) finished.script = recorder.text();
  return finished;
}

// ISO 128's centre lines reach this far past their circle or outline.
constexpr double centre_line_beyond_mm = 3.0;

// The views on their sheet with their centre lines, which reach a length
// of the sheet beyond their circles and outlines, so are drawn once the
// sheet's scale is known (they stand in the margins the layout left round
// the views' lines); in plotter order with --optimize.
void place_views(const Draw_Request& request, Finished_Drawing& finished) {
  const bool own_size = finished.views.size() == 1 && !request.page && !request.scale_mm;
  finished.sheet = sheet_of(request, finished.views, own_size);
  for (std::size_t v = 0; v < finished.views.size(); ++v) {
    Draw_Result& view = finished.views[v];
    if (view.centre_axes.empty()) continue;
    const double mm_per_unit = finished.sheet.views[v].factor * finished.sheet.mm_per_unit;
    const Precedence_Counts counts =
        add_centre_lines(view.drawing, view.centre_axes, centre_line_beyond_mm / mm_per_unit);
    view.stats.precedence.centre_length += counts.centre_length;
    view.stats.precedence.centre_left_out += counts.centre_left_out;
  }
  finished.plain = own_size && !request.optimize;
  std::vector<Pen_Travel> view_travel;
  if (request.optimize) view_travel = order_views_for_plotter(finished.views);
  if (request.optimize) {
    // On the sheet: each view's travel scaled by its factor.
    Pen_Travel& travel = finished.travel.emplace();
    for (std::size_t v = 0; v < view_travel.size(); ++v) {
      travel.before += finished.sheet.views[v].factor * view_travel[v].before;
      travel.after += finished.sheet.views[v].factor * view_travel[v].after;
    }
  }
}

bool same_inputs(const std::vector<Model_Input>& a, const std::vector<Model_Input>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const Model_Input& x, const Model_Input& y) {
                      return x.path == y.path && x.model == y.model;
                    });
}

void check_same_reading(const Model_Reading& wanted, const Model_Reading& read) {
  if (!same_inputs(wanted.models, read.models)) {
    throw input_error("these are not the models that were read");
  }
  if (wanted.cad != read.cad || wanted.cad_reading != read.cad_reading) {
    throw input_error(
        "--deflection, --angular-deflection, --smooth-edges, --keep-going, --read-timeout, "
        "--no-sew and --sew-tolerance: the CAD parts were read and tessellated with other "
        "values");
  }
  if (wanted.drawing_side != read.drawing_side) {
    throw input_error(
        "--size: the CAD parts were tessellated for a drawing whose shorter side "
        "is " +
        std::to_string(read.drawing_side) +
        " (their default --deflection follows it); draw at that size, or read "
        "them with --deflection");
  }
}

void append_format(std::string& out, const char* format, auto... values) {
  char line[256];
  std::snprintf(line, sizeof line, format, values...);
  out += line;
}

}  // namespace

Title_Block title_block_of(const Draw_Request& request) {
  Title_Block block;
  block.title = request.title;
  if (block.title.empty()) {
    for (const Model_Input& input : request.models) {
      if (!input.path.empty()) {
        block.title = std::filesystem::path(input.path).stem().string();
        break;
      }
      if (input.model && !input.model->path.empty()) {
        block.title = std::filesystem::path(input.model->path).stem().string();
        break;
      }
    }
  }
  block.drawn_by = request.drawn_by;
  block.date = request.date.empty() ? today() : request.date;
  return block;
}

std::optional<std::string> parse_date(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const std::optional<int> year = parse_whole(text.substr(0, 4));
  const std::optional<int> month = parse_whole(text.substr(5, 2));
  const std::optional<int> day = parse_whole(text.substr(8, 2));
  if (!year || !month || !day || *year < 1 || *month < 1 || *month > 12 || *day < 1) {
    return std::nullopt;
  }
  static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  if (*day > days[*month - 1] || (*month == 2 && *day == 29 && !leap)) return std::nullopt;
  return std::string(text);
}

View_Spec parse_view_spec(std::string_view text) {
  static constexpr std::pair<std::string_view, View_Kind> kinds[] = {
      {"front", View_Kind::front}, {"back", View_Kind::back}, {"right", View_Kind::right},
      {"left", View_Kind::left},   {"top", View_Kind::top},   {"bottom", View_Kind::bottom},
  };
  View_Spec view{std::string(text), View_Kind::pictorial, parse_view(text)};
  for (const auto& [name, kind] : kinds) {
    if (name == text) view.kind = kind;
  }
  return view;
}

std::vector<View_Spec> parse_view_specs(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t from = 0;;) {
    const std::size_t comma = text.find(',', from);
    parts.push_back(text.substr(from, comma == std::string_view::npos ? comma : comma - from));
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
  std::vector<View_Spec> views;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string name(parts[i]);
    // Not a name: a yaw,pitch pair takes two parts.
    if (!parse_finite(name) || i + 1 >= parts.size()) {
      try {
        views.push_back(parse_view_spec(name));
      } catch (const Tool_Error&) {
        throw input_error("'" + name +
                          "' is neither a view name (front, back, left, right, top, bottom, "
                          "iso) nor the yaw of a yaw,pitch pair");
      }
    } else {
      views.push_back(parse_view_spec(name + "," + std::string(parts[++i])));
    }
    for (std::size_t earlier = 0; earlier + 1 < views.size(); ++earlier) {
      if (views.back().kind != View_Kind::pictorial && views[earlier].kind == views.back().kind) {
        throw input_error("the view '" + views.back().name + "' appears twice");
      }
    }
  }
  return views;
}

void Draw_Request::validate() const {
  check_models(*this);
  check_every_option(*this);
  check_options_together(*this);
  check_files_to_write(*this);
}

std::span<const View_Spec> Draw_Request::drawn_views() const {
  return views.empty() ? std::span<const View_Spec>(&view, 1) : std::span<const View_Spec>(views);
}

Finished_Drawing draw_request(const Draw_Request& request, const Draw_Front_End& front_end) {
  request.validate();
  const Clock::time_point start = Clock::now();
  std::optional<Cad_Report> cad_report;
  std::vector<Model> models = load_request_models(request, front_end, &cad_report);
  const double import_ms = milliseconds_since(start);
  Finished_Drawing finished = draw_views_of(request, models, nullptr, front_end);
  finished.cad = cad_report;
  models.clear();
  finished.times.import = import_ms;
  place_views(request, finished);
  return finished;
}

Model_Reading model_reading_of(const Draw_Request& request) {
  Model_Reading reading{request.models, request.cad, request.cad_reading, 0};
  for (const Model_Input& input : request.models) {
    if (!input.model && is_cad_file(input.path)) {
      reading.drawing_side =
          std::min(request.settings.camera.width, request.settings.camera.height);
    }
  }
  return reading;
}

std::vector<Model> load_request_models(const Draw_Request& request, const Draw_Front_End& front_end,
                                       std::optional<Cad_Report>* cad_report) {
  const Model_Reading reading = model_reading_of(request);
  Cad_Options cad;
  cad.tessellation = reading.cad;
  cad.reading = reading.cad_reading;
  cad.drawing_side = std::max(reading.drawing_side, 1);
  cad.progress = front_end.progress;
  cad.warn = front_end.warn;
  cad.interrupted = front_end.interrupted;
  Cad_Report report;
  // drawing_side is set exactly when a file is a CAD part.
  if (reading.drawing_side > 0) cad.report = &report;
  std::vector<Model> models = load_models(reading.models, cad, Thread_Budget(request.jobs));
  if (reading.drawing_side > 0 && cad_report != nullptr) *cad_report = report;
  if (request.up) {
    for (Model& model : models) model.up = *request.up;
  }
  return models;
}

Prepared_Models prepare_models(const Draw_Request& request, const Draw_Front_End& front_end) {
  request.validate();
  Prepared_Models prepared;
  prepared.reading = model_reading_of(request);
  prepared.models = load_request_models(request, front_end);
  prepared.topology = build_scene_topology(prepared.models);
  return prepared;
}

Finished_Drawing draw_prepared(const Draw_Request& request, const Prepared_Models& prepared,
                               const Draw_Front_End& front_end) {
  request.validate();
  check_same_reading(model_reading_of(request), prepared.reading);
  Finished_Drawing finished =
      draw_views_of(request, prepared.models, &prepared.topology, front_end);
  place_views(request, finished);
  return finished;
}

namespace {

// The file of the drawing, handed to `write` piece by piece.
void write_drawing_bytes(const Finished_Drawing& drawing, Output_Format format,
                         const Cairo_Options& options, const Output_Writer& write) {
  if (drawing.plain && format == Output_Format::svg) {
    // Written as it is formatted: a large drawing's text is never held
    // whole.
    write_svg(drawing.views[0].drawing, {drawing.stroke_width, drawing.threads}, write);
  } else {
    write(write_sheet(drawing.sheet, format, options));
  }
}

}  // namespace

std::string drawing_bytes(const Finished_Drawing& drawing, Output_Format format,
                          const Cairo_Options& options) {
  std::string bytes;
  write_drawing_bytes(drawing, format, options,
                      [&bytes](std::string_view piece) { bytes += piece; });
  return bytes;
}

void write_drawing_files(Finished_Drawing& drawing, const Draw_Request& request) {
  const Clock::time_point start = Clock::now();
  if (!request.output.empty()) {
    const Output_Format format = output_format_of(request.output);
    write_output_file(request.output, [&](const Output_Writer& write) {
      write_drawing_bytes(drawing, format, request.cairo, write);
    });
  }
  if (!request.record.empty()) write_output_file(request.record, drawing.script);
  if (!request.trace.empty()) write_output_file(request.trace, drawing.trace);
  drawing.times.write = milliseconds_since(start);
}

Draw_Totals draw_totals(const Finished_Drawing& drawing) {
  Draw_Totals totals;
  for (const Draw_Result& view : drawing.views) {
    const Draw_Stats& stats = view.stats;
    for (std::size_t l = 0; l < layer_count; ++l) {
      totals.pieces.received[l] += stats.pieces.received[l];
      totals.pieces.drawn[l] += stats.pieces.drawn[l];
    }
    totals.precedence.hidden_length += stats.precedence.hidden_length;
    totals.precedence.hidden_under_visible += stats.precedence.hidden_under_visible;
    totals.precedence.hidden_under_hidden += stats.precedence.hidden_under_hidden;
    totals.precedence.centre_length += stats.precedence.centre_length;
    totals.precedence.centre_left_out += stats.precedence.centre_left_out;
    totals.coincident.intersection_length += stats.coincident.intersection_length;
    totals.coincident.left_out += stats.coincident.left_out;
    totals.scene.triangles += stats.scene.triangles;
    totals.scene.strips += stats.scene.strips;
    totals.scene.edges += stats.scene.edges;
    totals.scene.polylines += stats.scene.polylines;
    totals.bodies = std::max(totals.bodies, stats.bodies);
    totals.svg_polylines += svg_polyline_elements(view.drawing);
    for (const auto& layer : view.drawing.layers) {
      for (const Style_Group& group : layer) {
        totals.polylines += group.polylines.size();
        totals.markers += group.dots.size();
      }
    }
    totals.scene_ms += stats.scene_ms;
    totals.capture_ms += stats.capture_ms;
    totals.update_ms += stats.update_ms;
    totals.precedence_ms += stats.precedence_ms;
  }
  return totals;
}

std::string draw_stats_text(const Finished_Drawing& drawing, Output_Format format) {
  const Draw_Totals t = draw_totals(drawing);
  const Scene_Stats& s = t.scene;
  const auto count = [&t](Layer l, bool drawn) {
    return (drawn ? t.pieces.drawn : t.pieces.received)[static_cast<std::size_t>(l)];
  };
  std::string out;
  append_format(out, "models:          %zu (%zu bodies)\n", drawing.model_count, t.bodies);
  append_format(out, "faces:           %zu triangles in %zu strips\n", s.triangles, s.strips);
  append_format(out, "edges:           %zu in %zu polylines\n", s.edges, s.polylines);
  append_format(out, "pieces received: %zu visible, %zu hidden, %zu intersections\n",
                count(Layer::visible, false), count(Layer::hidden, false),
                count(Layer::intersections, false));
  append_format(out, "pieces drawn:    %zu visible, %zu hidden, %zu intersections\n",
                count(Layer::visible, true), count(Layer::hidden, true),
                count(Layer::intersections, true));
  if (t.precedence.hidden_length > 0.0) {
    const Precedence_Counts& p = t.precedence;
    append_format(out,
                  "precedence:      of %.1f hidden length %.1f on visible and %.1f on hidden "
                  "lines left out (device units)\n",
                  p.hidden_length, p.hidden_under_visible, p.hidden_under_hidden);
  }
  if (t.precedence.centre_length > 0.0) {
    append_format(out,
                  "centre lines:    of %.1f length %.1f on other lines left out (device units)\n",
                  t.precedence.centre_length, t.precedence.centre_left_out);
  }
  if (t.coincident.intersection_length > 0.0) {
    append_format(out,
                  "intersections:   of %.1f length %.1f on coincident faces of two bodies left "
                  "out (device units)\n",
                  t.coincident.intersection_length, t.coincident.left_out);
  }
  append_format(out, "written:         %zu polylines, %zu markers\n", t.svg_polylines, t.markers);
  const Sheet& sheet = drawing.sheet;
  const char* unit = sheet.paged ? "mm" : "device units";
  if (!(drawing.plain && format == Output_Format::svg)) {
    append_format(out, "sheet:           %.1f x %.1f %s, %zu view(s)", sheet.width, sheet.height,
                  unit, sheet.views.size());
    if (sheet.paged && sheet.units_per_model > 0.0) {
      // Model units taken as millimetres.
      if (sheet.units_per_model >= 1.0) {
        append_format(out, ", scale %.4g:1", sheet.units_per_model);
      } else {
        append_format(out, ", scale 1:%.4g", 1.0 / sheet.units_per_model);
      }
    }
    out += '\n';
  }
  if (drawing.cad) {
    const Cad_Report& cad = *drawing.cad;
    append_format(out, "CAD parts:       deflection %.4g", cad.deflection);
    if (cad.dense_faces > 0 && cad.min_size > 0.0) {
      append_format(out,
                    "; %d dense face(s) meshed no finer than %.4g (a device unit: their "
                    "triangles capped by their area)",
                    cad.dense_faces, cad.min_size);
    }
    out += '\n';
    if (cad.files_sewn > 0) {
      append_format(out, "sewing:          %d file(s), %ld free edges before, %ld after\n",
                    cad.files_sewn, cad.free_edges_before, cad.free_edges_after);
    }
    if (cad.files_skipped > 0)
      append_format(out, "skipped:         %d file(s)\n", cad.files_skipped);
  }
  if (drawing.travel) {
    append_format(out, "pen-up travel:   %.1f before, %.1f after ordering (%s)\n",
                  drawing.travel->before, drawing.travel->after, unit);
  }
  const double total = drawing.times.import + t.scene_ms + t.capture_ms + t.update_ms +
                       t.precedence_ms + drawing.times.write;
  append_format(out,
                "time (ms):       import %.1f, scene %.1f, capture %.1f, hidden-line passes "
                "%.1f, precedence %.1f, writing %.1f, total %.1f\n",
                drawing.times.import, t.scene_ms, t.capture_ms, t.update_ms, t.precedence_ms,
                drawing.times.write, total);
  std::size_t tiles = 0;
  for (const Draw_Result& view : drawing.views) tiles += view.stats.tile_peak_mib.size();
  if (tiles > 0) {
    append_format(out, "tiles:           %zu, each worker's peak memory (MiB)", tiles);
    std::size_t k = 0;
    for (const Draw_Result& view : drawing.views) {
      for (const double mib : view.stats.tile_peak_mib) {
        append_format(out, "%s %.1f", k++ == 0 ? "" : ",", mib);
      }
    }
    out += '\n';
  }
  // One renderer per view, in the order of the views.
  append_format(out, "renderers:       %zu, processor time (ms)", drawing.views.size());
  for (std::size_t v = 0; v < drawing.views.size(); ++v) {
    append_format(out, "%s %.1f", v == 0 ? "" : ",", drawing.views[v].stats.renderer_processor_ms);
  }
  out += '\n';
  return out;
}

}  // namespace hlr_tool
