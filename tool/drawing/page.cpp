#include "tool/drawing/page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <utility>

#include "tool/common/errors.h"
#include "tool/common/numbers.h"

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

// The box of a drawing's lines and dots; empty (min > max) without any.
struct Box {
  double min_x = std::numeric_limits<double>::infinity(), max_x = -min_x;
  double min_y = min_x, max_y = -min_x;
  void add(const Drawing_Point& p) {
    min_x = std::min(min_x, p.x), max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y), max_y = std::max(max_y, p.y);
  }
  bool empty() const { return !(min_x <= max_x); }
};

Box content_box(const Drawing& drawing) {
  Box box;
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
  static constexpr std::pair<std::string_view, Page_Size> named[] = {
      {"A4", {210.0, 297.0}},
      {"A3", {297.0, 420.0}},
      {"A2", {420.0, 594.0}},
      {"letter", {215.9, 279.4}},
  };
  std::optional<Page_Size> page;
  for (const auto& [name, size] : named) {
    if (name == text) page = size;
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

  // Grid places: orthographic views first (a kind appears once), then the
  // pictorial ones.
  std::vector<Grid_Place> places(views.size(), Grid_Place{-1, -1});
  std::map<std::pair<int, int>, std::size_t> taken;
  for (std::size_t v = 0; v < views.size(); ++v) {
    if (views[v].kind == View_Kind::pictorial) continue;
    const Grid_Place place = orthographic_place(views[v].kind, settings.first_angle);
    if (taken.count({place.column, place.row}) != 0) {
      throw input_error("the view '" + views[v].name + "' appears twice on the sheet");
    }
    taken[{place.column, place.row}] = v;
    places[v] = place;
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
    places[v] = place;
  }

  // Compact the grid to the rows and columns in use.
  std::map<int, int> column_index, row_index;
  for (const Grid_Place& place : places) column_index[place.column], row_index[place.row];
  int count = 0;
  for (auto& [c, index] : column_index) index = count++;
  const std::size_t columns = column_index.size();
  count = 0;
  for (auto& [r, index] : row_index) index = count++;
  const std::size_t rows = row_index.size();

  // Extents per column and row around the anchors, in model units: first
  // those of the orthographic views, aligned on their anchors.
  std::vector<double> column_low(columns, 0.0), column_high(columns, 0.0);
  std::vector<double> row_low(rows, 0.0), row_high(rows, 0.0);
  std::vector<bool> column_set(columns, false), row_set(rows, false);
  std::vector<Box> boxes(views.size());
  double smallest_scale = std::numeric_limits<double>::infinity();
  for (std::size_t v = 0; v < views.size(); ++v) {
    const Sheet_View_Input& view = views[v];
    if (view.drawing == nullptr || !(view.units_per_model > 0.0)) {
      throw Tool_Error("a sheet view has no drawing or no scale");
    }
    smallest_scale = std::min(smallest_scale, view.units_per_model);
    const double k = 1.0 / view.units_per_model;
    // Anchor-relative model units from here on.
    Box box = content_box(*view.drawing);
    if (box.empty()) box = Box{view.anchor.x, view.anchor.x, view.anchor.y, view.anchor.y};
    boxes[v] = {(box.min_x - view.anchor.x) * k, (box.max_x - view.anchor.x) * k,
                (box.min_y - view.anchor.y) * k, (box.max_y - view.anchor.y) * k};
    if (view.kind == View_Kind::pictorial) continue;
    const std::size_t c = column_index[places[v].column], r = row_index[places[v].row];
    column_low[c] = std::min(column_low[c], boxes[v].min_x);
    column_high[c] = std::max(column_high[c], boxes[v].max_x);
    row_low[r] = std::min(row_low[r], boxes[v].min_y);
    row_high[r] = std::max(row_high[r], boxes[v].max_y);
    column_set[c] = row_set[r] = true;
  }
  // Then the pictorial views: in a cell beside the orthographic views a
  // view stands against the cell's sides nearest the front view and
  // enlarges the cell away from it only, so the orthographic views keep
  // their gaps; elsewhere it is centred. `corner` is where the box's
  // minimum corner lies, relative to the cell's anchor.
  std::vector<Drawing_Point> corner(views.size(), Drawing_Point{0.0, 0.0});
  const auto place_along = [](double low_box, double high_box, int side, double& low, double& high,
                              bool set) {
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
  };
  for (std::size_t v = 0; v < views.size(); ++v) {
    if (views[v].kind != View_Kind::pictorial) continue;
    const std::size_t c = column_index[places[v].column], r = row_index[places[v].row];
    const int column_side = places[v].column > 1 ? 1 : places[v].column < 1 ? -1 : 0;
    const int row_side = places[v].row > 1 ? 1 : places[v].row < 1 ? -1 : 0;
    corner[v].x = place_along(boxes[v].min_x, boxes[v].max_x, column_side, column_low[c],
                              column_high[c], column_set[c]);
    corner[v].y =
        place_along(boxes[v].min_y, boxes[v].max_y, row_side, row_low[r], row_high[r], row_set[r]);
  }
  double model_width = 0.0, model_height = 0.0;
  for (std::size_t c = 0; c < columns; ++c) model_width += column_high[c] - column_low[c];
  for (std::size_t r = 0; r < rows; ++r) model_height += row_high[r] - row_low[r];
  const double gaps_x = settings.gap * double(columns - 1);
  const double gaps_y = settings.gap * double(rows - 1);

  // One scale for every view, in sheet units per model unit.
  double scale = 0.0;
  if (settings.scale_mm) {
    scale = *settings.scale_mm / sheet.mm_per_unit;
  } else if (settings.page) {
    const double room_x = settings.page->width_mm - 2.0 * settings.margin - gaps_x;
    const double room_y = settings.page->height_mm - 2.0 * settings.margin - gaps_y;
    if (!(room_x > 0.0 && room_y > 0.0)) {
      throw input_error("the page leaves no room for " + std::to_string(views.size()) +
                        " view(s) inside its margins");
    }
    scale = std::numeric_limits<double>::infinity();
    if (model_width > 0.0) scale = room_x / model_width;
    if (model_height > 0.0) scale = std::min(scale, room_y / model_height);
    if (!std::isfinite(scale)) scale = 1.0;
  } else {
    scale = smallest_scale;
  }
  sheet.units_per_model = scale;

  const double grid_width = scale * model_width + gaps_x;
  const double grid_height = scale * model_height + gaps_y;
  if (settings.page) {
    sheet.width = settings.page->width_mm;
    sheet.height = settings.page->height_mm;
    // A thousandth of a millimetre of rounding is not a misfit.
    if (grid_width + 2.0 * settings.margin > sheet.width + 1e-3 ||
        grid_height + 2.0 * settings.margin > sheet.height + 1e-3) {
      throw input_error("at this scale the drawing needs " + millimetres(grid_width) + " x " +
                        millimetres(grid_height) + " mm plus " + millimetres(settings.margin) +
                        " mm margins, more than the " + millimetres(sheet.width) + " x " +
                        millimetres(sheet.height) + " mm page");
    }
  } else {
    sheet.width = grid_width + 2.0 * settings.margin;
    sheet.height = grid_height + 2.0 * settings.margin;
  }

  // Anchor positions of the columns and rows, the grid centred.
  std::vector<double> anchor_x(columns), anchor_y(rows);
  double left = 0.5 * (sheet.width - grid_width);
  for (std::size_t c = 0; c < columns; ++c) {
    anchor_x[c] = left - scale * column_low[c];
    left += scale * (column_high[c] - column_low[c]) + settings.gap;
  }
  double top = 0.5 * (sheet.height - grid_height);
  for (std::size_t r = 0; r < rows; ++r) {
    anchor_y[r] = top - scale * row_low[r];
    top += scale * (row_high[r] - row_low[r]) + settings.gap;
  }

  for (std::size_t v = 0; v < views.size(); ++v) {
    const Sheet_View_Input& view = views[v];
    Placed_View placed;
    placed.drawing = view.drawing;
    placed.name = view.name;
    placed.factor = scale / view.units_per_model;
    const double x = anchor_x[column_index[places[v].column]];
    const double y = anchor_y[row_index[places[v].row]];
    if (view.kind == View_Kind::pictorial) {
      // The box's minimum corner goes to `corner` from the cell's anchor.
      const double k = view.units_per_model;
      const Drawing_Point box_min{view.anchor.x + boxes[v].min_x * k,
                                  view.anchor.y + boxes[v].min_y * k};
      placed.offset = {x + scale * corner[v].x - placed.factor * box_min.x,
                       y + scale * corner[v].y - placed.factor * box_min.y};
    } else {
      placed.offset = {x - placed.factor * view.anchor.x, y - placed.factor * view.anchor.y};
    }
    sheet.views.push_back(std::move(placed));
  }
  return sheet;
}

}  // namespace hlr_tool
