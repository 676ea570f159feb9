// Sheets: one or more finished drawings placed on a page (or on a sheet of
// their own size), at one scale, with a line weight per layer. Every
// writer of a printable format (sheet SVG, PDF, PNG, EPS, DXF) writes a
// Sheet; none of them looks at the camera or the models.
//
// Sheet units: millimetres on a page (--page); without a page, device
// units, each one CSS pixel (1/96 inch) as SVG viewers show a user unit.
// x runs to the right and y downwards from the sheet's top-left corner, as
// in a Drawing.
//
// Several views: the orthographic views stand in a grid, front in the
// middle, in third-angle projection (top above front, right to its right,
// left to its left, bottom below, back right of right) or first-angle
// (top below, right to the left, left to the right, bottom above, back
// right of left). All views share one scale, and the views of one column
// share the x of their anchor, those of one row its y, so that the front
// and top views of a part line up exactly. Pictorial views take a free
// cell of the grid whose row and column hold views (the upper right one
// for front, top and right), else a new column to the right; in a free
// cell it stands against the cell's sides nearest the front view, so that
// a large pictorial view widens its row and column away from the
// orthographic views and never pushes them apart. Rows and columns are as
// tall and wide as the drawn lines in them and stand an even gap apart;
// the grid is centred on the page.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tool/drawing/drawing.h"

namespace hlr_tool {

struct Page_Size {
  double width_mm = 0.0;
  double height_mm = 0.0;
  std::string name{};  // "A4", "letter", "200 x 100 mm": as a title block states it
};

// A4, A3, A2 or letter (portrait), or WxHmm (as given); a "-landscape"
// suffix turns the page so that its long side is horizontal, "-portrait"
// so that it is vertical. Throws Tool_Error (exit status 2) naming the
// text and the accepted forms.
Page_Size parse_page(std::string_view text);

// "1:N" or "N:1" (N a positive number): sheet millimetres per model unit,
// model units taken as millimetres. Throws Tool_Error (exit status 2).
double parse_scale(std::string_view text);

// The largest scale of ISO 5455's series (50:1, 20:1, 10:1, 5:1, 2:1, 1:1,
// 1:2, 1:5, 1:10, 1:20, 1:50, 1:100, extended both ways by powers of ten
// as the standard allows: 100:1, 1:200 ...) at most `fit` (sheet mm per
// model unit, > 0).
double iso_5455_scale(double fit);
// "1:2", "5:1", "1:1", "1:2.5": as a title block states a scale.
std::string scale_text(double mm_per_model_unit);

// What a sheet's title block says beside what the layout gives (scale,
// sheet size, projection): ISO 7200's fields a user supplies.
struct Title_Block {
  std::string title;     // the drawing's name: --title, else the model file's
  std::string drawn_by;  // the creator; may be empty
  std::string date;      // the date of issue, YYYY-MM-DD
};

// Line widths per layer, in sheet units, indexed by Layer.
using Line_Weights = std::array<double, layer_count>;

// ISO 128's weights in millimetres: wide (0.5) for visible lines, narrow
// (0.25) for hidden, intersection and centre lines; markers like visible
// lines.
inline constexpr Line_Weights default_line_weights_mm{0.25, 0.25, 0.5, 0.25, 0.5};

// "V,H,I": visible, hidden and intersection weights in millimetres, each
// above 0 (markers take the visible weight, centre lines the hidden). Throws Tool_Error (exit
// status 2).
Line_Weights parse_line_weights(std::string_view text);

enum class View_Kind { front, back, right, left, top, bottom, pictorial };

// The grid place of an orthographic view comes from its kind; a pictorial
// one goes beside them.
struct Sheet_View_Input {
  const Drawing* drawing = nullptr;
  View_Kind kind = View_Kind::pictorial;
  std::string name;  // "front", "iso", "30,20": what the view is called
  // Where one and the same model point (any, as long as every view of the
  // sheet uses the same one) lies in this drawing's coordinates; the views
  // are aligned on it.
  Drawing_Point anchor{0.0, 0.0};
  // Drawing units per model unit (the camera's scale); > 0.
  double units_per_model = 1.0;
};

struct Sheet_Settings {
  std::optional<Page_Size> page;  // none: a sheet of the views' own size
  // Sheet millimetres per model unit; none: the largest scale at which
  // the views fit the page inside its margins (without a page: the scale
  // of the smallest view, so that no view is enlarged).
  std::optional<double> scale_mm;
  bool first_angle = false;
  // Margin around the grid and gap between views, in sheet units (> 0).
  double margin = 10.0;
  double gap = 10.0;
  Line_Weights line_weights = default_line_weights_mm;  // sheet units
  // With a page: a drawing sheet. The page gets ISO 5457's border (20 mm
  // from the left edge for filing, 10 mm from the others), an ISO 7200
  // title block in the border's lower right corner, and the views stand
  // inside the border above the title block, 5 mm from both; without
  // `scale_mm` the scale is the largest of ISO 5455's series that fits;
  // pictorial views are labelled beneath. Ignored without a page, and on a
  // page smaller than A5, which has no room for the title block.
  std::optional<Title_Block> title_block;
};

// A drawing on the sheet: sheet = offset + factor * drawing.
struct Placed_View {
  const Drawing* drawing = nullptr;
  std::string name;
  double factor = 1.0;
  Drawing_Point offset{0.0, 0.0};
};

// What a drawing sheet draws besides its views, in sheet units, black:
// the border, the title block and its texts, the projection symbol, view
// labels. Lines and circles stand apart, so that a writer draws a circle
// as one (an SVG circle, a cairo arc, a DXF CIRCLE).
struct Sheet_Line {
  Drawing_Point a, b;
  double width = 0.25;
  Dash dash = Dash::solid;  // its pattern in ISO 128's lengths
};
struct Sheet_Circle {
  Drawing_Point centre;
  double radius = 1.0;
  double width = 0.25;
};
enum class Text_Align { left, centre };
// Lettering after ISO 3098: osifont (Debian's fonts-osifont, ISO 3098's
// letter shapes) where installed, else DejaVu Sans; a text's height is that
// of its capitals, which these fonts draw at this part of the font size.
inline constexpr const char* sheet_font_families = "osifont, DejaVu Sans, sans-serif";
inline constexpr double cap_height_per_font_size = 0.72;
struct Sheet_Text {
  Drawing_Point at;     // the start (left) or middle (centre) of the baseline
  double height = 3.5;  // of a capital letter, ISO 3098's sizes
  std::string text;     // printable ASCII
  Text_Align align = Text_Align::left;
};
struct Sheet_Frame {
  std::vector<Sheet_Line> lines;
  std::vector<Sheet_Circle> circles;
  std::vector<Sheet_Text> texts;
};

struct Sheet {
  double width = 0.0;  // sheet units
  double height = 0.0;
  bool paged = false;                             // sheet units are millimetres
  double mm_per_unit = 25.4 / 96;                 // 1 on a page
  Line_Weights line_weights{1.0, 1.0, 1.0, 1.0};  // sheet units
  // Sheet units per model unit, the same for every view (0 when a single
  // drawing stands at its own size and nothing else is known).
  double units_per_model = 0.0;
  std::vector<Placed_View> views;  // drawn in this order
  // A drawing sheet's border, title block and labels (Sheet_Settings::
  // title_block); empty otherwise. Drawn beneath the views.
  Sheet_Frame frame;
};

// One drawing at its own size in device units (what `draw` writes without
// a page): every layer `stroke_width` wide.
Sheet single_drawing_sheet(const Drawing& drawing, double stroke_width);

// Places the views as the header comment says; each orthographic kind
// comes at most once (a second would share its cell). Throws Tool_Error
// (exit status 2) when the views do not fit the page at the scale asked
// for, or the page leaves no room inside its margins.
Sheet lay_out_sheet(std::span<const Sheet_View_Input> views, const Sheet_Settings& settings);

}  // namespace hlr_tool
