#include "tool/render/draw_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "tool/common/color.h"
#include "tool/common/errors.h"
#include "tool/common/numbers.h"
#include "tool/common/thread_budget.h"

namespace hlr_tool {

namespace {

// Whole numbers as such ("1000000", not "1e+06"), others in the shortest
// form that reads back to the same double.
std::string number_text(double value) {
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.0f", value);
    return digits;
  }
  char digits[32];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, end);
}

std::string float_text(float value) {
  char digits[32];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, end);
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
  return text;
}

bool in_range(double value, const std::optional<Option_Range>& range) {
  if (!range) return true;
  const bool above_low = range->low_open ? value > range->low : value >= range->low;
  const bool below_high = range->high_open ? value < range->high : value <= range->high;
  return above_low && below_high;
}

std::string range_words(const std::optional<Option_Range>& range) {
  if (!range) return "";
  const bool low = std::isfinite(range->low), high = std::isfinite(range->high);
  const std::string from = number_text(range->low), to = number_text(range->high);
  if (low && high && !range->low_open && !range->high_open) return " from " + from + " to " + to;
  std::string words;
  if (low) words += (range->low_open ? " above " : " at least ") + from;
  if (low && high) words += " and";
  if (high) words += (range->high_open ? " below " : " at most ") + to;
  return words;
}

// Each a whole number in range, two of them, comma separated.
bool is_pair(std::string_view text, const std::optional<Option_Range>& range) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  const std::optional<int> first = parse_whole(text.substr(0, comma));
  const std::optional<int> second = parse_whole(text.substr(comma + 1));
  return first && second && in_range(*first, range) && in_range(*second, range);
}

bool text_fits_kind(const Draw_Option& option, std::string_view text) {
  switch (option.kind) {
    case Option_Kind::flag:
      return text == "true" || text == "false";
    case Option_Kind::integer: {
      const std::optional<int> value = parse_whole(text);
      return value && in_range(*value, option.range);
    }
    case Option_Kind::real: {
      const std::optional<double> value = parse_finite(text);
      return value && in_range(*value, option.range);
    }
    case Option_Kind::pair:
      return is_pair(text, option.range);
    case Option_Kind::choice:
      return std::find(option.choices.begin(), option.choices.end(), text) != option.choices.end();
    case Option_Kind::colour:
      return parse_color(text).has_value();
    case Option_Kind::text:
    case Option_Kind::path:
    case Option_Kind::list:
      break;
  }
  return true;
}

// The helpers below make an option's apply and show from the field it
// sets, given as a function from the request (const or not) to the field.

template <class Field>
Draw_Option flag(Draw_Option option, Field field) {
  option.kind = Option_Kind::flag;
  option.apply = [field](Draw_Request& r, std::string_view text) { field(r) = text == "true"; };
  option.show = [field](const Draw_Request& r) { return std::string(field(r) ? "true" : "false"); };
  return option;
}

template <class Field>
Draw_Option whole(Draw_Option option, Field field) {
  option.kind = Option_Kind::integer;
  option.apply = [field](Draw_Request& r, std::string_view text) { field(r) = *parse_whole(text); };
  option.show = [field](const Draw_Request& r) { return std::to_string(field(r)); };
  return option;
}

template <class Field>
Draw_Option real(Draw_Option option, Field field) {
  option.kind = Option_Kind::real;
  option.apply = [field](Draw_Request& r, std::string_view text) {
    field(r) = static_cast<std::remove_reference_t<decltype(field(r))>>(*parse_finite(text));
  };
  option.show = [field](const Draw_Request& r) {
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(field(r))>, float>) {
      return float_text(field(r));
    } else {
      return number_text(field(r));
    }
  };
  return option;
}

template <class Value, class Field>
Draw_Option choice(Draw_Option option, std::vector<std::pair<std::string, Value>> words,
                   Field field) {
  option.kind = Option_Kind::choice;
  for (const auto& [word, value] : words) option.choices.push_back(word);
  option.apply = [words, field](Draw_Request& r, std::string_view text) {
    for (const auto& [word, value] : words) {
      if (word == text) field(r) = value;
    }
  };
  option.show = [words, field](const Draw_Request& r) {
    for (const auto& [word, value] : words) {
      if (field(r) == value) return word;
    }
    return std::string();
  };
  return option;
}

template <class Field>
Draw_Option colour(Draw_Option option, Field field) {
  option.kind = Option_Kind::colour;
  option.value_name = "COLOR";
  option.apply = [field](Draw_Request& r, std::string_view text) { field(r) = parse_color(text); };
  option.show = [field](const Draw_Request& r) {
    if (!field(r)) return std::string();
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X", unsigned(*field(r)));
    return std::string(digits);
  };
  return option;
}

template <class Field>
Draw_Option path(Draw_Option option, Field field) {
  option.kind = Option_Kind::path;
  option.apply = [field](Draw_Request& r, std::string_view text) { field(r) = text; };
  option.show = [field](const Draw_Request& r) { return field(r); };
  return option;
}

// Free text, as given.
template <class Field>
Draw_Option words(Draw_Option option, Field field) {
  option.kind = Option_Kind::text;
  option.apply = [field](Draw_Request& r, std::string_view text) { field(r) = text; };
  option.show = [field](const Draw_Request& r) { return field(r); };
  return option;
}

// An option that reads its own text: `read` turns the text into the
// field's value (throwing Tool_Error for a fault), `write` the value back.
template <class Field, class Read, class Write>
Draw_Option own_text(Draw_Option option, Option_Kind kind, Field field, Read read, Write write) {
  option.kind = kind;
  option.apply = [field, read](Draw_Request& r, std::string_view text) { field(r) = read(text); };
  option.show = [field, write](const Draw_Request& r) { return write(field(r)); };
  return option;
}

std::string view_names(const std::vector<View_Spec>& views) {
  std::string names;
  for (const View_Spec& view : views) names += (names.empty() ? "" : ",") + view.name;
  return names;
}

std::string weights_text(const Line_Weights& weights) {
  return number_text(weights[static_cast<std::size_t>(Layer::visible)]) + "," +
         number_text(weights[static_cast<std::size_t>(Layer::hidden)]) + "," +
         number_text(weights[static_cast<std::size_t>(Layer::intersections)]);
}

const char* const camera = "Camera";
const char* const lines = "Lines";
const char* const cad = "CAD parts (STEP, IGES, BREP)";
const char* const sheet = "Page and views";
const char* const output = "Output";

std::vector<Draw_Option> camera_options() {
  return {
      own_text(
          {.name = "view",
           .group = camera,
           .value_name = "VIEW",
           .help = "Viewing direction: front, back, left, right, top, bottom, iso, or "
                   "yaw,pitch in degrees"},
          Option_Kind::text, [](auto& r) -> auto& { return r.view; }, parse_view_spec,
          [](const View_Spec& view) { return view.name; }),
      own_text(
          {.name = "up",
           .group = camera,
           .value_name = "x|y|z|-x|-y|-z",
           .help = "Which axis is up in every model's coordinates; the named views follow it "
                   "(with z up, front looks along +y, top down -z, right along -x)",
           .default_note = "each file's convention: z for STEP, IGES, BREP, STL and 3MF, "
                           "y for other meshes unless the file says",
           .choices = {"x", "y", "z", "-x", "-y", "-z"},
           .once_per_run = true},
          Option_Kind::choice, [](auto& r) -> auto& { return r.up; },
          [](std::string_view text) { return parse_up_axis(text); },
          [](const std::optional<Up_Axis>& up) {
            return up ? std::string(up_axis_name(*up)) : std::string();
          }),
      real(
          {.name = "perspective",
           .group = camera,
           .value_name = "FOV",
           .help = "Perspective with this field of view in degrees",
           .default_note = "orthographic",
           .range = Option_Range{0.0, 180.0, false, true}},
          [](auto& r) -> auto& { return r.settings.camera.field_of_view_degrees; }),
      {.name = "size",
       .kind = Option_Kind::pair,
       .group = camera,
       .value_name = "W,H",
       .help = "Drawing size in device units, the SVG's user units",
       .range = Option_Range{1.0, 1000000.0},
       .apply =
           [](Draw_Request& r, std::string_view text) {
             const std::size_t comma = text.find(',');
             r.settings.camera.width = *parse_whole(text.substr(0, comma));
             r.settings.camera.height = *parse_whole(text.substr(comma + 1));
           },
       .show =
           [](const Draw_Request& r) {
             return std::to_string(r.settings.camera.width) + "," +
                    std::to_string(r.settings.camera.height);
           }},
  };
}

std::vector<Draw_Option> line_options() {
  return {
      choice<Edge_Selection>(
          {.name = "edges",
           .group = lines,
           .value_name = "feature|all",
           .help = "feature: boundaries, creases and silhouettes; all: every "
                   "triangle edge (line elements of the file are always "
                   "drawn)"},
          {{"feature", Edge_Selection::feature}, {"all", Edge_Selection::all}},
          [](auto& r) -> auto& { return r.settings.edges.selection; }),
      real(
          {.name = "crease",
           .group = lines,
           .value_name = "DEG",
           .help = "Faces meeting at more than this angle make a crease, for --edges feature",
           .range = Option_Range{0.0, 180.0}},
          [](auto& r) -> auto& { return r.settings.edges.crease_degrees; }),
      choice<Hidden_Lines>(
          {.name = "hidden",
           .group = lines,
           .value_name = "dashed|dotted|dash-dot|solid|off",
           .help = "How hidden lines are drawn, or off"},
          {{"dashed", Hidden_Lines::dashed},
           {"dotted", Hidden_Lines::dotted},
           {"dash-dot", Hidden_Lines::dash_dot},
           {"solid", Hidden_Lines::solid},
           {"off", Hidden_Lines::off}},
          [](auto& r) -> auto& { return r.settings.hidden; }),
      colour(
          {.name = "hidden-color",
           .group = lines,
           .help = "Colour of hidden lines",
           .default_note = "the renderer's, black"},
          [](auto& r) -> auto& { return r.settings.hidden_color; }),
      flag(
          {.name = "retain-hidden-color",
           .group = lines,
           .help = "Hidden lines keep the colour of their model"},
          [](auto& r) -> auto& { return r.settings.retain_hidden_color; }),
      flag(
          {.name = "intersections",
           .group = lines,
           .help = "Also draw the lines where faces cut through one another (faces of two "
                   "bodies that coincide, a shaft in its bore, touch: no lines there)"},
          [](auto& r) -> auto& { return r.settings.intersections; }),
      colour(
          {.name = "intersection-color",
           .group = lines,
           .help = "Colour of intersection lines",
           .default_note = "the renderer's, black"},
          [](auto& r) -> auto& { return r.settings.intersection_color; }),
      choice<Intersection_Lines>(
          {.name = "intersection-pattern",
           .group = lines,
           .value_name = "solid|dashed|dotted",
           .help = "How intersection lines are drawn"},
          {{"solid", Intersection_Lines::solid},
           {"dashed", Intersection_Lines::dashed},
           {"dotted", Intersection_Lines::dotted}},
          [](auto& r) -> auto& { return r.settings.intersection_pattern; }),
      flag(
          {.name = "face-color-intersections",
           .group = lines,
           .help = "Intersection lines take the colour of their faces"},
          [](auto& r) -> auto& { return r.settings.face_color_intersections; }),
      whole(
          {.name = "halo",
           .group = lines,
           .value_name = "N",
           .help = "Open a gap of N device units on either side of every place where a line "
                   "passes from visible to hidden",
           .default_note = "none"},
          [](auto& r) -> auto& { return r.settings.halo; }),
      real(
          {.name = "wzero",
           .group = lines,
           .value_name = "F",
           .help = "Depth tolerance as a fraction of the picture's depth",
           .default_note = "a fixed 0.1 device units"},
          [](auto& r) -> auto& { return r.settings.wzero; }),
      flag(
          {.name = "keep-coincident",
           .group = lines,
           .help = "Keep hidden lines that lie on visible lines, or on one another, as the "
                   "renderer sent them (by default each such line is drawn once, visible "
                   "before hidden, as drafting has it)"},
          [](auto& r) -> auto& { return r.settings.keep_coincident; }),
      choice<bool>(
          {.name = "curves",
           .group = lines,
           .value_name = "arcs|polylines",
           .help = "How the lines, circles and ellipses of CAD parts are written: as lines and "
                   "arcs (SVG path arcs, PDF arcs, DXF LINE, CIRCLE, ARC and ELLIPSE) or as the "
                   "polylines the renderer sent"},
          {{"arcs", true}, {"polylines", false}}, [](auto& r) -> auto& { return r.settings.arcs; }),
      flag(
          {.name = "double",
           .group = lines,
           .help = "The renderer hands on its lines in double precision"},
          [](auto& r) -> auto& { return r.settings.double_precision; }),
      real(
          {.name = "stroke",
           .group = lines,
           .value_name = "WIDTH",
           .help = "Line width in device units without --page",
           .range = Option_Range{0.0, std::numeric_limits<double>::infinity(), true}},
          [](auto& r) -> auto& { return r.stroke_width; }),
  };
}

std::vector<Draw_Option> cad_options() {
  return {
      real(
          {.name = "deflection",
           .group = cad,
           .value_name = "D",
           .help = "Largest distance between a face and its triangles, in model units",
           .default_note = "half a device unit at the drawing's size",
           .range = Option_Range{0.0},
           .once_per_run = true},
          [](auto& r) -> auto& { return r.cad.deflection; }),
      real(
          {.name = "angular-deflection",
           .group = cad,
           .value_name = "DEG",
           .help = "Largest angle between neighbouring triangles of a curved face",
           .range = Option_Range{0.0, 90.0, true},
           .once_per_run = true},
          [](auto& r) -> auto& { return r.cad.angular_deflection_degrees; }),
      flag(
          {.name = "smooth-edges",
           .group = cad,
           .help = "Also draw the edges between tangent faces (such as the ends of a fillet)",
           .once_per_run = true},
          [](auto& r) -> auto& { return r.cad.smooth_edges; }),
      flag(
          {.name = "keep-going",
           .group = cad,
           .help = "Draw the rest instead of failing: a file that cannot be used (unreadable, "
                   "out of time, no faces) is skipped, one that reads only in part is drawn "
                   "as far as it was read, a part whose faces fail to tessellate is drawn "
                   "without them; a warning names each",
           .once_per_run = true},
          [](auto& r) -> auto& { return r.cad.keep_going; }),
      real(
          {.name = "read-timeout",
           .group = cad,
           .value_name = "SECONDS",
           .help = "The longest a CAD file may take to be read, checked and sewn; a file "
                   "that takes longer fails (or with --keep-going is skipped)",
           .range = Option_Range{0.0, std::numeric_limits<double>::infinity(), true},
           .once_per_run = true},
          [](auto& r) -> auto& { return r.cad_reading.timeout_seconds; }),
      {.name = "no-sew",
       .kind = Option_Kind::flag,
       .group = cad,
       .help = "Leave faces that arrive loose (IGES files, STEP shells of unconnected "
               "faces) unsewn: every patch boundary is then drawn as an edge",
       .once_per_run = true,
       .apply = [](Draw_Request& r, std::string_view text) { r.cad_reading.sew = text != "true"; },
       .show =
           [](const Draw_Request& r) { return std::string(r.cad_reading.sew ? "false" : "true"); }},
      real(
          {.name = "sew-tolerance",
           .group = cad,
           .value_name = "T",
           .help = "The largest gap between loose faces that sewing closes, in model units",
           .default_note = "a ten-thousandth of the loose faces' size",
           .range = Option_Range{0.0},
           .once_per_run = true},
          [](auto& r) -> auto& { return r.cad_reading.sew_tolerance; }),
  };
}

std::vector<Draw_Option> sheet_options() {
  return {
      own_text(
          {.name = "page",
           .group = sheet,
           .value_name = "PAGE",
           .help = "Draw on a page: A4, A3, A2, letter or WxHmm, optionally with -landscape "
                   "or -portrait (A4-landscape); sheet units become mm",
           .default_note = "no page, the drawing's own size in device units"},
          Option_Kind::text, [](auto& r) -> auto& { return r.page; },
          [](std::string_view text) { return std::optional<Page_Size>(parse_page(text)); },
          [](const std::optional<Page_Size>& page) {
            return page ? number_text(page->width_mm) + "x" + number_text(page->height_mm) + "mm"
                        : std::string();
          }),
      own_text(
          {.name = "scale",
           .group = sheet,
           .value_name = "1:N",
           .help = "1:N or N:1 with model units as mm",
           .default_note = "as large as the page allows inside 10 mm margins"},
          Option_Kind::text, [](auto& r) -> auto& { return r.scale_mm; },
          [](std::string_view text) { return std::optional<double>(parse_scale(text)); },
          [](const std::optional<double>& scale) {
            return scale ? number_text(*scale) + ":1" : std::string();
          }),
      own_text(
          {.name = "line-weights",
           .group = sheet,
           .value_name = "V,H,I",
           .help = "Visible, hidden and intersection line widths in mm on a page; without a "
                   "page --stroke sets every width",
           .default_note = weights_text(default_line_weights_mm)},
          Option_Kind::list, [](auto& r) -> auto& { return r.line_weights; },
          [](std::string_view text) {
            return std::optional<Line_Weights>(parse_line_weights(text));
          },
          [](const std::optional<Line_Weights>& weights) {
            return weights ? weights_text(*weights) : std::string();
          }),
      own_text(
          {.name = "views",
           .group = sheet,
           .value_name = "LIST",
           .help = "Several views on one sheet: names (front, back, left, right, top, "
                   "bottom, iso) and yaw,pitch pairs, e.g. front,top,right,iso; "
                   "orthographic views aligned at one scale, pictorial ones (and "
                   "--perspective) beside; not with --view",
           .default_note = "the one view of --view"},
          Option_Kind::list, [](auto& r) -> auto& { return r.views; }, parse_view_specs,
          view_names),
      words(
          {.name = "title",
           .group = sheet,
           .value_name = "TEXT",
           .help = "The title in a page's title block",
           .default_note = "the first model file's name"},
          [](auto& r) -> auto& { return r.title; }),
      words(
          {.name = "drawn-by",
           .group = sheet,
           .value_name = "NAME",
           .help = "The creator named in a page's title block",
           .default_note = "none"},
          [](auto& r) -> auto& { return r.drawn_by; }),
      own_text(
          {.name = "date",
           .group = sheet,
           .value_name = "YYYY-MM-DD",
           .help = "The date of issue in a page's title block",
           .default_note = "the day of $SOURCE_DATE_EPOCH, else today (UTC)"},
          Option_Kind::text, [](auto& r) -> auto& { return r.date; },
          [](std::string_view text) {
            const std::optional<std::string> date = parse_date(text);
            if (!date) {
              throw input_error("expected a date YYYY-MM-DD, not '" + std::string(text) + "'");
            }
            return *date;
          },
          [](const std::string& date) { return date; }),
      choice<std::optional<bool>>(
          {.name = "centre-lines",
           .group = sheet,
           .value_name = "on|off",
           .help = "Centre lines on the axes of the cylindrical and conical faces of CAD parts "
                   "(holes, shafts, bosses): a centre mark where a view sees along an axis, the "
                   "axis as a long-dash-dot line where it sees it from the side, 3 mm beyond "
                   "the circle or the outline on the page",
           .default_note = "on with --page, off without"},
          {{"on", true}, {"off", false}}, [](auto& r) -> auto& { return r.centre_lines; }),
      flag(
          {.name = "first-angle",
           .group = sheet,
           .help = "Place the views in first-angle projection (default third-angle: top above "
                   "front, right to its right)"},
          [](auto& r) -> auto& { return r.first_angle; }),
  };
}

std::vector<Draw_Option> output_options() {
  return {
      path(
          {.name = "output",
           .short_name = 'o',
           .group = output,
           .value_name = "FILE",
           .help = "The file to write; its extension names the format: .svg, .pdf, .png, .eps "
                   "or .dxf",
           .required_on_command_line = true,
           .once_per_run = true},
          [](auto& r) -> auto& { return r.output; }),
      real(
          {.name = "dpi",
           .group = output,
           .value_name = "DPI",
           .help = "PNG resolution in dots per inch",
           .range = Option_Range{1.0, 10000.0}},
          [](auto& r) -> auto& { return r.cairo.dpi; }),
      choice<bool>(
          {.name = "background",
           .group = output,
           .value_name = "white|transparent",
           .help = "PNG, PDF and EPS background"},
          {{"white", false}, {"transparent", true}},
          [](auto& r) -> auto& { return r.cairo.transparent; }),
      flag(
          {.name = "optimize",
           .group = output,
           .help = "For pen plotters: order and reverse each layer's polylines for the least "
                   "pen-up travel (greedy nearest neighbour); --stats prints the travel"},
          [](auto& r) -> auto& { return r.optimize; }),
      flag(
          {.name = "stats",
           .group = output,
           .help = "Print counts (faces, edges, pieces), the sheet and its scale, and the time "
                   "of each phase",
           .once_per_run = true},
          [](auto& r) -> auto& { return r.stats; }),
      path(
          {.name = "record",
           .group = output,
           .value_name = "FILE",
           .help = "Also write the picture script of every call made on the renderer; "
                   "`hlr-render run FILE` replays it",
           .once_per_run = true},
          [](auto& r) -> auto& { return r.record; }),
      path(
          {.name = "trace",
           .group = output,
           .value_name = "FILE",
           .help = "Also write every call the renderer sent downstream, one line each (the "
                   "format of `hlr-render run`)",
           .once_per_run = true},
          [](auto& r) -> auto& { return r.trace; }),
      whole(
          {.name = "jobs",
           .short_name = 'j',
           .group = output,
           .value_name = "N",
           .help = "Threads for the drawing: the views of a sheet (or the tiles of --tiles "
                   "drawn here) share them, and each renderer shares its passes among its own; "
                   "the drawing is the same for every N",
           .default_note =
               "one per processor (" + std::to_string(Thread_Budget().threads()) + " here)",
           .range = Option_Range{0.0, double(max_jobs)},
           .once_per_run = true},
          [](auto& r) -> auto& { return r.jobs; }),
      own_text(
          {.name = "tiles",
           .group = output,
           .value_name = "NxM",
           .help = "Cut the view into N columns by M rows of tiles, each drawn by a worker of its "
                   "own that reads only its tile's share of the model, and join them: the same "
                   "lines as one renderer, in less memory per worker",
           .default_note = "no tiles"},
          Option_Kind::text, [](auto& r) -> auto& { return r.tiles; },
          [](std::string_view text) { return std::optional<Tile_Grid>(parse_tile_grid(text)); },
          [](const std::optional<Tile_Grid>& grid) {
            return grid ? tile_grid_text(*grid) : std::string();
          }),
      path(
          {.name = "tile-folder",
           .group = output,
           .value_name = "DIR",
           .help = "Where the tile files of --tiles go; on a cluster, a folder every worker sees",
           .default_note = "a temporary folder"},
          [](auto& r) -> auto& { return r.tile_folder; }),
      flag(
          {.name = "quiet",
           .short_name = 'q',
           .group = output,
           .help = "No progress",
           .once_per_run = true},
          [](auto& r) -> auto& { return r.quiet; }),
      flag(
          {.name = "progress",
           .group = output,
           .help = "Progress even when standard error is not a terminal, one line per phase "
                   "(on a terminal it is shown anyway, on one line)",
           .once_per_run = true},
          [](auto& r) -> auto& { return r.progress; }),
      path(
          {.name = "module",
           .group = output,
           .value_name = "PATH",
           .help = "The renderer module to load",
           .default_note = "$HLR_RENDERER_MODULE, else the one installed beside the program",
           .once_per_run = true},
          [](auto& r) -> auto& { return r.module; }),
  };
}

std::vector<Draw_Option> every_option() {
  std::vector<Draw_Option> options;
  for (auto group : {camera_options, line_options, cad_options, sheet_options, output_options}) {
    for (Draw_Option& option : group()) options.push_back(std::move(option));
  }
  return options;
}

}  // namespace

const std::vector<Draw_Option>& draw_options() {
  static const std::vector<Draw_Option> options = every_option();
  return options;
}

const Draw_Option* find_draw_option(std::string_view name) {
  for (const Draw_Option& option : draw_options()) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

void apply_draw_option(Draw_Request& request, const Draw_Option& option, std::string_view text) {
  try {
    if (!text_fits_kind(option, text)) {
      throw input_error("expected " + accepted_values(option) + ", not '" + std::string(text) +
                        "'");
    }
    option.apply(request, text);
  } catch (const Tool_Error& error) {
    throw input_error("--" + option.name + ": " + error.what());
  }
  if (std::find(request.given.begin(), request.given.end(), option.name) == request.given.end()) {
    request.given.push_back(option.name);
  }
}

std::string accepted_values(const Draw_Option& option) {
  switch (option.kind) {
    case Option_Kind::flag:
      return "true or false";
    case Option_Kind::integer:
      return "a whole number" + range_words(option.range);
    case Option_Kind::real:
      return (option.range ? "a number" : "a finite number") + range_words(option.range);
    case Option_Kind::pair:
      return "W,H: two whole numbers" + range_words(option.range);
    case Option_Kind::choice:
      return "one of " + joined(option.choices, ", ");
    case Option_Kind::colour:
      return color_forms;
    case Option_Kind::text:
    case Option_Kind::path:
    case Option_Kind::list:
      break;
  }
  return option.value_name;
}

std::string default_text(const Draw_Option& option) {
  if (option.kind == Option_Kind::flag) return "";
  const std::string value = option.show(Draw_Request{});
  if (option.default_note.empty()) return value;
  return value + ": " + option.default_note;
}

}  // namespace hlr_tool
