#include "tool/drawing/page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <utility>

#include "tool/common/errors.h"
#include "tool/common/numbers.h"
#include "tool/drawing/sheet_frame.h"

namespace hlr_tool {

namespace {

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string millimetres(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

// At most four significant digits, no trailing zeros: "2", "2.5", "1000".
std::string shortest(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4g", value);
  return buffer;
}

struct Grid_Place {
  int column;
  int row;
};

// Third angle: the view from above stands above the front view, the view
// from the right to its right. First angle mirrors both about the front.
Grid_Place orthographic_place(View_Kind kind, bool first_angle) {
  const int flip = first_angle ? -1 : 1;
  switch (kind) {
    case View_Kind::front:
      return {1, 1};
    case View_Kind::top:
      return {1, 1 - flip};
    case View_Kind::bottom:
      return {1, 1 + flip};
    case View_Kind::right:
      return {1 + flip, 1};
    case View_Kind::left:
      return {1 - flip, 1};
    case View_Kind::back:
      return {3, 1};
    case View_Kind::pictorial:
      break;
  }
  return {1, 1};
}

// The box of a drawing's lines and dots; empty without any.
Bounds content_box(const Drawing& drawing) {
  Bounds box;
  for (const auto& layer : drawing.layers) {
    for (const Style_Group& group : layer) {
      for (const Drawing_Polyline& line : group.polylines) {
        for (const Drawing_Point& p : line) box.add(p);
      }
      for (const Drawing_Point& p : group.dots) box.add(p);
    }
  }
  return box;
}

// The views' places: each orthographic view in the cell of its kind (a
// kind appears once: Draw_Request::validate refuses a second), then each
// pictorial view in a free corner cell whose row and column hold views,
// else in a new column to the right; the rows and columns in use then
// numbered from 0.
struct Grid {
  std::vector<Grid_Place> places;  // per view, in the uncompacted grid
  std::map<int, int> column_index, row_index;

  std::size_t columns() const { return column_index.size(); }
  std::size_t rows() const { return row_index.size(); }
  std::size_t column_of(std::size_t v) const {
    return std::size_t(column_index.at(places[v].column));
  }
  std::size_t row_of(std::size_t v) const { return std::size_t(row_index.at(places[v].row)); }
};

Grid grid_of(std::span<const Sheet_View_Input> views, bool first_angle) {
  Grid grid;
  grid.places.assign(views.size(), Grid_Place{-1, -1});
  std::map<std::pair<int, int>, std::size_t> taken;
  for (std::size_t v = 0; v < views.size(); ++v) {
    if (views[v].kind == View_Kind::pictorial) continue;
    const Grid_Place place = orthographic_place(views[v].kind, first_angle);
    taken[{place.column, place.row}] = v;
    grid.places[v] = place;
  }
  const auto used_column = [&taken](int c) {
    for (const auto& [cell, v] : taken) {
      if (cell.first == c) return true;
    }
    return false;
  };
  const auto used_row = [&taken](int r) {
    for (const auto& [cell, v] : taken) {
      if (cell.second == r) return true;
    }
    return false;
  };
  static constexpr Grid_Place corners[] = {{2, 0}, {0, 0}, {2, 2}, {0, 2}, {3, 0}, {3, 2}};
  int next_column = 0;
  for (const auto& [cell, v] : taken) next_column = std::max(next_column, cell.first + 1);
  for (std::size_t v = 0; v < views.size(); ++v) {
    if (views[v].kind != View_Kind::pictorial) continue;
    Grid_Place place{-1, -1};
    for (const Grid_Place& corner : corners) {
      if (taken.count({corner.column, corner.row}) == 0 && used_column(corner.column) &&
          used_row(corner.row)) {
        place = corner;
        break;
      }
    }
    if (place.column < 0) place = {next_column++, 1};
    taken[{place.column, place.row}] = v;
    grid.places[v] = place;
  }
  // Compact the grid to the rows and columns in use.
  for (const Grid_Place& place : grid.places)
    grid.column_index[place.column], grid.row_index[place.row];
  int count = 0;
  for (auto& [c, index] : grid.column_index) index = count++;
  count = 0;
  for (auto& [r, index] : grid.row_index) index = count++;
  return grid;
}

// Each view's drawn lines as a box around its anchor, in model units (the
// anchor itself for a view without lines).
std::vector<Bounds> model_boxes(std::span<const Sheet_View_Input> views) {
  std::vector<Bounds> boxes(views.size());
  for (std::size_t v = 0; v < views.size(); ++v) {
    const Sheet_View_Input& view = views[v];
    if (view.drawing == nullptr || !(view.units_per_model > 0.0)) {
      throw Tool_Error("a sheet view has no drawing or no scale");
    }
    const double k = 1.0 / view.units_per_model;
    Bounds box = content_box(*view.drawing);
    if (box.empty()) box = Bounds{view.anchor.x, view.anchor.x, view.anchor.y, view.anchor.y};
    boxes[v] = {(box.min_x - view.anchor.x) * k, (box.max_x - view.anchor.x) * k,
                (box.min_y - view.anchor.y) * k, (box.max_y - view.anchor.y) * k};
  }
  return boxes;
}

// How far each column and row reaches on either side of its anchor, in
// model units; `set` once a view has widened it.
struct Grid_Extents {
  std::vector<double> column_low, column_high, row_low, row_high;
  std::vector<bool> column_set, row_set;
};

// First the orthographic views, aligned on their anchors.
Grid_Extents orthographic_extents(std::span<const Sheet_View_Input> views, const Grid& grid,
                                  const std::vector<Bounds>& boxes) {
  Grid_Extents e{std::vector<double>(grid.columns(), 0.0), std::vector<double>(grid.columns(), 0.0),
                 std::vector<double>(grid.rows(), 0.0),    std::vector<double>(grid.rows(), 0.0),
                 std::vector<bool>(grid.columns(), false), std::vector<bool>(grid.rows(), false)};
  for (std::size_t v = 0; v < views.size(); ++v) {
    if (views[v].kind == View_Kind::pictorial) continue;
    const std::size_t c = grid.column_of(v), r = grid.row_of(v);
    e.column_low[c] = std::min(e.column_low[c], boxes[v].min_x);
    e.column_high[c] = std::max(e.column_high[c], boxes[v].max_x);
    e.row_low[r] = std::min(e.row_low[r], boxes[v].min_y);
    e.row_high[r] = std::max(e.row_high[r], boxes[v].max_y);
    e.column_set[c] = e.row_set[r] = true;
  }
  return e;
}

// Where a pictorial view's box starts along one axis of its cell, relative
// to the cell's anchor, widening the cell as it must. In a cell beside the
// orthographic views (`set`) the view stands against the side nearest the
// front view (`side` > 0: beyond it, < 0: before it) and widens the cell
// away from it only, so the orthographic views keep their gaps; elsewhere
// it is centred.
double place_along(double low_box, double high_box, int side, double& low, double& high, bool set) {
  const double size = high_box - low_box;
  if (!set) {
    low = std::min(low, -0.5 * size), high = std::max(high, 0.5 * size);
    return -0.5 * size;
  }
  if (side > 0) {  // beyond the front: against the low side
    high = std::max(high, low + size);
    return low;
  }
  if (side < 0) {  // before the front: against the high side
    low = std::min(low, high - size);
    return high - size;
  }
  low = std::min(low, -0.5 * size), high = std::max(high, 0.5 * size);
  return -0.5 * size;
}

// Then the pictorial views: where each box's minimum corner lies relative
// to its cell's anchor, in model units.
std::vector<Drawing_Point> place_pictorial_views(std::span<const Sheet_View_Input> views,
                                                 const Grid& grid, const std::vector<Bounds>& boxes,
                                                 Grid_Extents& e) {
  std::vector<Drawing_Point> corner(views.size(), Drawing_Point{0.0, 0.0});
  for (std::size_t v = 0; v < views.size(); ++v) {
    if (views[v].kind != View_Kind::pictorial) continue;
    const std::size_t c = grid.column_of(v), r = grid.row_of(v);
    const Grid_Place& place = grid.places[v];
    const int column_side = place.column > 1 ? 1 : place.column < 1 ? -1 : 0;
    const int row_side = place.row > 1 ? 1 : place.row < 1 ? -1 : 0;
    corner[v].x = place_along(boxes[v].min_x, boxes[v].max_x, column_side, e.column_low[c],
                              e.column_high[c], e.column_set[c]);
    corner[v].y = place_along(boxes[v].min_y, boxes[v].max_y, row_side, e.row_low[r], e.row_high[r],
                              e.row_set[r]);
  }
  return corner;
}

double total_extent(const std::vector<double>& low, const std::vector<double>& high) {
  double total = 0.0;
  for (std::size_t k = 0; k < low.size(); ++k) total += high[k] - low[k];
  return total;
}

double gaps(const Sheet_Settings& settings, std::size_t cells) {
  return settings.gap * double(cells - 1);
}

// Where the views go on a page, margins included: the whole page, or on a
// drawing sheet the space inside the border above the title block.
struct Layout_Area {
  double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
  const char* name = "page";
};

// A page smaller than A5 (either way round) has no room for a title block
// and stays bare.
bool drawing_sheet(const Sheet_Settings& settings) {
  if (!settings.page || !settings.title_block) return false;
  const double shorter = std::min(settings.page->width_mm, settings.page->height_mm);
  const double longer = std::max(settings.page->width_mm, settings.page->height_mm);
  return shorter >= 148.0 - 1e-9 && longer >= 210.0 - 1e-9;
}

Layout_Area layout_area(const Sheet_Settings& settings) {
  if (!drawing_sheet(settings)) {
    return {0.0, 0.0, settings.page->width_mm, settings.page->height_mm, "page"};
  }
  // The margins reach out to the border, so that the views keep
  // view_clearance from it and from the title block.
  const Frame_Geometry g = frame_geometry(*settings.page);
  const double out = settings.margin - view_clearance;
  return {g.left - out, g.top - out, g.right - g.left + 2.0 * out, g.block_top - g.top + 2.0 * out,
          "room inside the border above the title block"};
}

// Room below each row for the labels of the pictorial views in it.
std::vector<double> label_room(std::span<const Sheet_View_Input> views, const Grid& grid,
                               const Sheet_Settings& settings) {
  std::vector<double> room(grid.rows(), 0.0);
  if (!drawing_sheet(settings) || views.size() < 2) return room;
  for (std::size_t v = 0; v < views.size(); ++v) {
    if (views[v].kind == View_Kind::pictorial) room[grid.row_of(v)] = view_label_room;
  }
  return room;
}

double sum(const std::vector<double>& values) {
  double total = 0.0;
  for (double v : values) total += v;
  return total;
}

// One scale for every view, in sheet units per model unit: the one asked
// for, else the largest that fits the page inside its margins (on a
// drawing sheet the largest of ISO 5455's series that does), else (without
// a page) the smallest view's, so that no view is enlarged.
double sheet_scale(std::span<const Sheet_View_Input> views, const Sheet_Settings& settings,
                   const Sheet& sheet, const Grid_Extents& e, const std::vector<double>& labels) {
  if (settings.scale_mm) return *settings.scale_mm / sheet.mm_per_unit;
  if (!settings.page) {
    double smallest = std::numeric_limits<double>::infinity();
    for (const Sheet_View_Input& view : views) smallest = std::min(smallest, view.units_per_model);
    return smallest;
  }
  const Layout_Area area = layout_area(settings);
  const double room_x = area.width - 2.0 * settings.margin - gaps(settings, e.column_low.size());
  const double room_y =
      area.height - 2.0 * settings.margin - gaps(settings, e.row_low.size()) - sum(labels);
  if (!(room_x > 0.0 && room_y > 0.0)) {
    throw input_error("the " + std::string(area.name) + " leaves no room for " +
                      std::to_string(views.size()) + " view(s) inside its margins");
  }
  const double model_width = total_extent(e.column_low, e.column_high);
  const double model_height = total_extent(e.row_low, e.row_high);
  double scale = std::numeric_limits<double>::infinity();
  if (model_width > 0.0) scale = room_x / model_width;
  if (model_height > 0.0) scale = std::min(scale, room_y / model_height);
  if (!std::isfinite(scale)) return 1.0;
  return drawing_sheet(settings) ? iso_5455_scale(scale) : scale;
}

// The page's size, checked against the grid at this scale; without a page,
// the grid's size with its margins.
void size_sheet(Sheet& sheet, const Sheet_Settings& settings, const Grid_Extents& e, double scale,
                const std::vector<double>& labels) {
  const double grid_width =
      scale * total_extent(e.column_low, e.column_high) + gaps(settings, e.column_low.size());
  const double grid_height =
      scale * total_extent(e.row_low, e.row_high) + gaps(settings, e.row_low.size()) + sum(labels);
  if (!settings.page) {
    sheet.width = grid_width + 2.0 * settings.margin;
    sheet.height = grid_height + 2.0 * settings.margin;
    return;
  }
  sheet.width = settings.page->width_mm;
  sheet.height = settings.page->height_mm;
  const Layout_Area area = layout_area(settings);
  // A thousandth of a millimetre of rounding is not a misfit.
  if (grid_width + 2.0 * settings.margin > area.width + 1e-3 ||
      grid_height + 2.0 * settings.margin > area.height + 1e-3) {
    throw input_error("at this scale the drawing needs " + millimetres(grid_width) + " x " +
                      millimetres(grid_height) + " mm plus " + millimetres(settings.margin) +
                      " mm margins, more than the " + millimetres(area.width) + " x " +
                      millimetres(area.height) + " mm " + area.name);
  }
}

// The anchor of each column (or row) along the sheet's `length`, the cells
// side by side an even gap apart and the whole centred.
// `below` is room kept under each cell (for view labels).
std::vector<double> anchors(const std::vector<double>& low, const std::vector<double>& high,
                            double start, double length, double scale, double gap,
                            const std::vector<double>& below) {
  const double grid = scale * total_extent(low, high) + gap * double(low.size() - 1) + sum(below);
  std::vector<double> anchor(low.size());
  double at = start + 0.5 * (length - grid);
  for (std::size_t k = 0; k < low.size(); ++k) {
    anchor[k] = at - scale * low[k];
    at += scale * (high[k] - low[k]) + gap + below[k];
  }
  return anchor;
}

// The view on the sheet: an orthographic view's anchor on its cell's; a
// pictorial view's box with its minimum corner at `corner` from it.
Placed_View placed_view(const Sheet_View_Input& view, const Bounds& box,
                        const Drawing_Point& corner, const Drawing_Point& cell_anchor,
                        double scale) {
  Placed_View placed;
  placed.drawing = view.drawing;
  placed.name = view.name;
  placed.factor = scale / view.units_per_model;
  if (view.kind == View_Kind::pictorial) {
    const double k = view.units_per_model;
    const Drawing_Point box_min{view.anchor.x + box.min_x * k, view.anchor.y + box.min_y * k};
    placed.offset = {cell_anchor.x + scale * corner.x - placed.factor * box_min.x,
                     cell_anchor.y + scale * corner.y - placed.factor * box_min.y};
  } else {
    placed.offset = {cell_anchor.x - placed.factor * view.anchor.x,
                     cell_anchor.y - placed.factor * view.anchor.y};
  }
  return placed;
}

}  // namespace

Page_Size parse_page(std::string_view text) {
  const std::string_view original = text;
  int turn = 0;  // 1 landscape, -1 portrait
  if (ends_with(text, "-landscape")) {
    turn = 1;
    text.remove_suffix(10);
  } else if (ends_with(text, "-portrait")) {
    turn = -1;
    text.remove_suffix(9);
  }
  struct Named_Page {
    std::string_view name;
    double width_mm, height_mm;
  };
  static constexpr Named_Page named[] = {
      {"A4", 210.0, 297.0},
      {"A3", 297.0, 420.0},
      {"A2", 420.0, 594.0},
      {"letter", 215.9, 279.4},
  };
  std::optional<Page_Size> page;
  for (const Named_Page& n : named) {
    if (n.name == text) page = Page_Size{n.width_mm, n.height_mm, std::string(n.name)};
  }
  if (!page && ends_with(text, "mm")) {
    const std::string_view numbers = text.substr(0, text.size() - 2);
    const std::size_t x = numbers.find('x');
    const std::optional<double> width =
        x == std::string_view::npos ? std::nullopt : parse_finite(numbers.substr(0, x));
    const std::optional<double> height =
        x == std::string_view::npos ? std::nullopt : parse_finite(numbers.substr(x + 1));
    if (width && height && *width >= 1.0 && *height >= 1.0 && *width <= 10000.0 &&
        *height <= 10000.0) {
      page = Page_Size{*width, *height};
    }
  }
  if (!page) {
    throw input_error("page '" + std::string(original) +
                      "' is neither A4, A3, A2, letter nor WxHmm (1 to 10000 mm a side), "
                      "optionally followed by -landscape or -portrait");
  }
  const bool wide = page->width_mm > page->height_mm;
  if ((turn == 1 && !wide) || (turn == -1 && wide)) std::swap(page->width_mm, page->height_mm);
  if (page->name.empty()) {
    page->name = shortest(page->width_mm) + " x " + shortest(page->height_mm) + " mm";
  }
  return *page;
}

double parse_scale(std::string_view text) {
  const std::size_t colon = text.find(':');
  const std::optional<double> a =
      colon == std::string_view::npos ? std::nullopt : parse_finite(text.substr(0, colon));
  const std::optional<double> b =
      colon == std::string_view::npos ? std::nullopt : parse_finite(text.substr(colon + 1));
  if (!a || !b || !(*a > 0.0 && *b > 0.0)) {
    throw input_error("scale '" + std::string(text) +
                      "' is not 1:N or N:1 with a positive number N (model units as mm)");
  }
  return *a / *b;
}

double iso_5455_scale(double fit) {
  // A millionth of rounding is not a misfit.
  const double limit = fit * (1.0 + 1e-9);
  // Enlargements: 2:1, 5:1, 10:1 in each decade, from the largest down
  // (ISO 5455 extends its series by powers of ten both ways).
  if (limit >= 1.0) {
    double best = 1.0;
    for (double decade = 1.0; decade <= 1e12; decade *= 10.0) {
      for (double step : {2.0, 5.0, 10.0}) {
        if (step * decade <= limit) best = step * decade;
      }
    }
    return best;
  }
  // Reductions: 1:2, 1:5, 1:10 in each decade, the first that fits.
  for (double decade = 1.0; decade < 1e12; decade *= 10.0) {
    for (double step : {2.0, 5.0, 10.0}) {
      const double scale = 1.0 / (step * decade);
      if (scale <= limit) return scale;
    }
  }
  return fit;
}

std::string scale_text(double mm_per_model_unit) {
  if (mm_per_model_unit >= 1.0) return shortest(mm_per_model_unit) + ":1";
  return "1:" + shortest(1.0 / mm_per_model_unit);
}

Line_Weights parse_line_weights(std::string_view text) {
  std::array<double, 3> values{};
  std::string_view rest = text;
  bool good = true;
  for (int k = 0; k < 3 && good; ++k) {
    const std::size_t comma = k < 2 ? rest.find(',') : rest.size();
    const std::optional<double> value =
        comma == std::string_view::npos ? std::nullopt : parse_finite(rest.substr(0, comma));
    good = value && *value > 0.0 && *value <= 100.0;
    if (good) values[k] = *value;
    if (good && k < 2) rest.remove_prefix(comma + 1);
  }
  if (!good) {
    throw input_error("line weights '" + std::string(text) +
                      "' are not V,H,I: visible, hidden and intersection widths in mm, each "
                      "above 0 and at most 100");
  }
  Line_Weights weights{};
  weights[static_cast<std::size_t>(Layer::visible)] = values[0];
  weights[static_cast<std::size_t>(Layer::hidden)] = values[1];
  weights[static_cast<std::size_t>(Layer::intersections)] = values[2];
  weights[static_cast<std::size_t>(Layer::markers)] = values[0];
  weights[static_cast<std::size_t>(Layer::centre_lines)] = values[1];
  return weights;
}

Sheet single_drawing_sheet(const Drawing& drawing, double stroke_width) {
  Sheet sheet;
  sheet.width = drawing.width;
  sheet.height = drawing.height;
  sheet.line_weights.fill(stroke_width);
  sheet.views.push_back({&drawing, "", 1.0, {0.0, 0.0}});
  return sheet;
}

Sheet lay_out_sheet(std::span<const Sheet_View_Input> views, const Sheet_Settings& settings) {
  Sheet sheet;
  sheet.paged = settings.page.has_value();
  sheet.mm_per_unit = sheet.paged ? 1.0 : 25.4 / 96.0;
  sheet.line_weights = settings.line_weights;
  if (views.empty()) return sheet;

  const Grid grid = grid_of(views, settings.first_angle);
  const std::vector<Bounds> boxes = model_boxes(views);
  Grid_Extents extents = orthographic_extents(views, grid, boxes);
  const std::vector<Drawing_Point> corners = place_pictorial_views(views, grid, boxes, extents);
  const std::vector<double> labels = label_room(views, grid, settings);
  const double scale = sheet_scale(views, settings, sheet, extents, labels);
  sheet.units_per_model = scale;
  size_sheet(sheet, settings, extents, scale, labels);

  // Anchor positions of the columns and rows, the grid centred in its area.
  const Layout_Area area = settings.page
                               ? layout_area(settings)
                               : Layout_Area{0.0, 0.0, sheet.width, sheet.height, "sheet"};
  const std::vector<double> anchor_x =
      anchors(extents.column_low, extents.column_high, area.x, area.width, scale, settings.gap,
              std::vector<double>(grid.columns(), 0.0));
  const std::vector<double> anchor_y =
      anchors(extents.row_low, extents.row_high, area.y, area.height, scale, settings.gap, labels);
  for (std::size_t v = 0; v < views.size(); ++v) {
    const Drawing_Point cell_anchor{anchor_x[grid.column_of(v)], anchor_y[grid.row_of(v)]};
    sheet.views.push_back(placed_view(views[v], boxes[v], corners[v], cell_anchor, scale));
  }
  if (drawing_sheet(settings)) {
    add_sheet_frame(sheet.frame, *settings.page, *settings.title_block,
                    scale_text(scale * sheet.mm_per_unit), settings.first_angle);
    // A view alone needs no name; pictorial views beside others do.
    for (std::size_t v = 0; v < views.size() && views.size() > 1; ++v) {
      if (views[v].kind != View_Kind::pictorial) continue;
      // Under the view's box on the sheet.
      const Placed_View& placed = sheet.views[v];
      const double k = views[v].units_per_model;
      const double left =
          placed.offset.x + placed.factor * (views[v].anchor.x + boxes[v].min_x * k);
      const double right =
          placed.offset.x + placed.factor * (views[v].anchor.x + boxes[v].max_x * k);
      const double bottom =
          placed.offset.y + placed.factor * (views[v].anchor.y + boxes[v].max_y * k);
      add_view_label(sheet.frame, views[v].name, 0.5 * (left + right), bottom);
    }
  }
  return sheet;
}

}  // namespace hlr_tool
