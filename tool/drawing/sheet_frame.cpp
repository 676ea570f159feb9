#include "tool/drawing/sheet_frame.h"

#include <algorithm>
#include <cctype>

namespace hlr_tool {

namespace {

constexpr double border_width = 0.7;
constexpr double outline_width = 0.5;
constexpr double inner_width = 0.25;
constexpr double block_full_width = 180.0;
constexpr double field_row = 11.0;  // creator, date, scale, size, projection
constexpr double title_row = 14.0;
constexpr double label_height = 1.8;
constexpr double entry_height = 3.5;
constexpr double title_height = 5.0;

void line(Sheet_Frame& frame, double x0, double y0, double x1, double y1, double width,
          Dash dash = Dash::solid) {
  frame.lines.push_back({{x0, y0}, {x1, y1}, width, dash});
}

void rectangle(Sheet_Frame& frame, double x0, double y0, double x1, double y1, double width) {
  line(frame, x0, y0, x1, y0, width);
  line(frame, x1, y0, x1, y1, width);
  line(frame, x1, y1, x0, y1, width);
  line(frame, x0, y1, x0, y0, width);
}

void text(Sheet_Frame& frame, double x, double y, double height, std::string words,
          Text_Align align = Text_Align::left) {
  // Printable ASCII only: every format writes it as it is.
  for (char& c : words) {
    if (c < ' ' || c > '~') c = '?';
  }
  frame.texts.push_back({{x, y}, height, std::move(words), align});
}

// A field: its label in the top left corner, its entry along the bottom.
void field(Sheet_Frame& frame, double x, double y, double height, const char* label,
           const std::string& entry, double entry_size) {
  text(frame, x + 1.5, y + 1.5 + label_height, label_height, label);
  if (!entry.empty()) text(frame, x + 2.0, y + height - 2.5, entry_size, entry);
}

// ISO 5456-2's symbol: a truncated cone drawn as its side view (small end
// to the left) and its view from the left (two circles), the circles left
// of the cone in third-angle projection and right of it in first-angle;
// `d` is the large diameter.
void projection_symbol(Sheet_Frame& frame, double centre_x, double centre_y, double d,
                       bool first_angle) {
  const double length = d, gap = 0.5 * d;
  const double total = length + gap + d;
  const double left = centre_x - 0.5 * total;
  const double cone_left = first_angle ? left : left + d + gap;
  const double circles_x = first_angle ? left + length + gap + 0.5 * d : left + 0.5 * d;
  const double cone_right = cone_left + length;
  line(frame, cone_left, centre_y - 0.25 * d, cone_left, centre_y + 0.25 * d, outline_width);
  line(frame, cone_right, centre_y - 0.5 * d, cone_right, centre_y + 0.5 * d, outline_width);
  line(frame, cone_left, centre_y - 0.25 * d, cone_right, centre_y - 0.5 * d, outline_width);
  line(frame, cone_left, centre_y + 0.25 * d, cone_right, centre_y + 0.5 * d, outline_width);
  frame.circles.push_back({{circles_x, centre_y}, 0.5 * d, outline_width});
  frame.circles.push_back({{circles_x, centre_y}, 0.25 * d, outline_width});
  // The axis through both, and across the circles, as thin chain lines.
  const double overhang = 0.2 * d;
  line(frame, left - overhang, centre_y, left + total + overhang, centre_y, inner_width,
       Dash::chain);
  line(frame, circles_x, centre_y - 0.5 * d - overhang, circles_x, centre_y + 0.5 * d + overhang,
       inner_width, Dash::chain);
}

std::string upper(std::string words) {
  for (char& c : words) c = char(std::toupper(static_cast<unsigned char>(c)));
  return words;
}

}  // namespace

Frame_Geometry frame_geometry(const Page_Size& page) {
  Frame_Geometry g;
  g.right = page.width_mm - 10.0;
  g.bottom = page.height_mm - 10.0;
  const double block_width = std::min(block_full_width, g.right - g.left);
  g.block_left = g.right - block_width;
  g.block_top = g.bottom - field_row - title_row;
  return g;
}

void add_sheet_frame(Sheet_Frame& frame, const Page_Size& page, const Title_Block& block,
                     const std::string& scale, bool first_angle) {
  const Frame_Geometry g = frame_geometry(page);
  rectangle(frame, g.left, g.top, g.right, g.bottom, border_width);
  // Centring marks: from the trimmed edge across the border, at the middle
  // of each side; the lower one stops at the border where the title block
  // stands above it.
  const double middle_x = 0.5 * page.width_mm, middle_y = 0.5 * page.height_mm;
  const bool under_block = middle_x > g.block_left;
  line(frame, middle_x, 0.0, middle_x, g.top + 5.0, border_width);
  line(frame, middle_x, page.height_mm, middle_x, g.bottom - (under_block ? 0.0 : 5.0),
       border_width);
  line(frame, 0.0, middle_y, g.left + 5.0, middle_y, border_width);
  line(frame, page.width_mm, middle_y, g.right - 5.0, middle_y, border_width);

  // The block: its outline, the line between its rows, and the fields.
  const double x = g.block_left, y = g.block_top, width = g.right - g.block_left;
  const double split = y + field_row;
  rectangle(frame, x, y, g.right, g.bottom, outline_width);
  line(frame, x, split, g.right, split, inner_width);
  // Field widths as parts of the block's: creator, date, scale, size and
  // projection above; title and sheet below.
  const double k = width / block_full_width;
  const double fields[] = {46.0 * k, 30.0 * k, 24.0 * k, 30.0 * k, 50.0 * k};
  const char* labels[] = {"Drawn by", "Date", "Scale", "Size", "Projection"};
  const std::string entries[] = {upper(block.drawn_by), block.date, scale, page.name, ""};
  double at = x;
  for (int f = 0; f < 5; ++f) {
    if (f > 0) line(frame, at, y, at, split, inner_width);
    field(frame, at, y, field_row, labels[f], entries[f], entry_height);
    at += fields[f];
  }
  // The projection's name along the bottom, its symbol to the right.
  const double projection_right = at;
  text(frame, projection_right - fields[4] + 2.0, split - 2.5, 2.5,
       first_angle ? "FIRST ANGLE" : "THIRD ANGLE");
  projection_symbol(frame, projection_right - 10.0, y + 0.5 * field_row, 6.0, first_angle);
  const double sheet_width = 30.0 * k;
  line(frame, g.right - sheet_width, split, g.right - sheet_width, g.bottom, inner_width);
  field(frame, x, split, title_row, "Title", upper(block.title), title_height);
  field(frame, g.right - sheet_width, split, title_row, "Sheet", "1/1", entry_height);
}

void add_view_label(Sheet_Frame& frame, const std::string& view_name, double centre_x,
                    double bottom_y) {
  const std::string label = view_name == "iso" ? "ISOMETRIC VIEW" : "VIEW " + upper(view_name);
  text(frame, centre_x, bottom_y + 2.0 + entry_height, entry_height, label, Text_Align::centre);
}

}  // namespace hlr_tool
