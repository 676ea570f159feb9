// Sheets: page, scale and weight options; the grid of views (aligned,
// evenly spaced, fitted inside the margins, mirrored for first angle);
// the plotter order against a brute-force greedy walk; nearest palette
// colours for DXF.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tool/common/errors.h"
#include "tool/drawing/dxf_writer.h"
#include "tool/drawing/page.h"
#include "tool/drawing/pen_order.h"
#include "tool/drawing/sheet_svg.h"

namespace {

using namespace hlr_tool;

TEST(Sheet, PageScaleAndWeightOptions) {
  struct Row {
    const char* text;
    double width, height;
  };
  const Row pages[] = {
      {"A4", 210, 297},          {"A4-landscape", 297, 210},     {"A3", 297, 420},
      {"A2-portrait", 420, 594}, {"letter", 215.9, 279.4},       {"letter-landscape", 279.4, 215.9},
      {"100x50mm", 100, 50},     {"100x50mm-portrait", 50, 100},
  };
  for (const Row& row : pages) {
    const Page_Size page = parse_page(row.text);
    EXPECT_EQ(page.width_mm, row.width) << row.text;
    EXPECT_EQ(page.height_mm, row.height) << row.text;
  }
  for (const char* bad : {"", "A5", "a4", "A4-sideways", "100x50", "0x50mm", "x50mm", "100x50cm"}) {
    EXPECT_THROW(parse_page(bad), Tool_Error) << bad;
  }
  EXPECT_EQ(parse_scale("1:2"), 0.5);
  EXPECT_EQ(parse_scale("5:1"), 5.0);
  EXPECT_EQ(parse_scale("1:2.5"), 0.4);
  for (const char* bad : {"", "1", "1:0", "0:1", "1:-2", "1:x", ":2", "1:2:3"}) {
    EXPECT_THROW(parse_scale(bad), Tool_Error) << bad;
  }
  const Line_Weights weights = parse_line_weights("0.7,0.35,0.18");
  EXPECT_EQ(weights[static_cast<int>(Layer::visible)], 0.7);
  EXPECT_EQ(weights[static_cast<int>(Layer::hidden)], 0.35);
  EXPECT_EQ(weights[static_cast<int>(Layer::intersections)], 0.18);
  EXPECT_EQ(weights[static_cast<int>(Layer::markers)], 0.7);
  for (const char* bad : {"", "0.5", "0.5,0.25", "0.5,0,0.25", "0.5,0.25,0.25,1", "a,b,c"}) {
    EXPECT_THROW(parse_line_weights(bad), Tool_Error) << bad;
  }
}

// A drawing holding one rectangle: the outline of a box seen along an axis.
Drawing rectangle_drawing(double left, double top, double width, double height) {
  Drawing d;
  d.width = 1000;
  d.height = 1000;
  Style_Group group;
  group.polylines.push_back({{left, top},
                             {left + width, top},
                             {left + width, top + height},
                             {left, top + height},
                             {left, top}});
  d.layers[static_cast<int>(Layer::visible)].push_back(group);
  return d;
}

struct Extent {
  double min_x, max_x, min_y, max_y;
};

Extent on_sheet(const Placed_View& view) {
  Extent e{1e300, -1e300, 1e300, -1e300};
  for (const Drawing_Polyline& line :
       view.drawing->layers[static_cast<int>(Layer::visible)][0].polylines) {
    for (const Drawing_Point& p : line) {
      const double x = view.offset.x + view.factor * p.x, y = view.offset.y + view.factor * p.y;
      e = {std::min(e.min_x, x), std::max(e.max_x, x), std::min(e.min_y, y), std::max(e.max_y, y)};
    }
  }
  return e;
}

// ISO 5455's series: the largest scale at most the one that fits, and
// how a title block states it.
TEST(Sheet, ScalesComeFromIso5455AndAreStatedSo) {
  const struct {
    double fit, scale;
    const char* text;
  } rows[] = {
      {1000.0, 1000.0, "1000:1"}, {999.0, 500.0, "500:1"}, {60.0, 50.0, "50:1"},
      {49.9, 20.0, "20:1"},       {10.0, 10.0, "10:1"},    {9.99, 5.0, "5:1"},
      {2.5, 2.0, "2:1"},          {1.999, 1.0, "1:1"},     {1.0, 1.0, "1:1"},
      {0.99, 0.5, "1:2"},         {0.3, 0.2, "1:5"},       {0.15, 0.1, "1:10"},
      {0.0999, 0.05, "1:20"},     {0.021, 0.02, "1:50"},   {0.011, 0.01, "1:100"},
      {0.0003, 0.0002, "1:5000"},
  };
  for (const auto& row : rows) {
    const double scale = iso_5455_scale(row.fit);
    EXPECT_DOUBLE_EQ(scale, row.scale) << row.fit;
    EXPECT_EQ(scale_text(scale), row.text) << row.fit;
  }
  EXPECT_EQ(scale_text(0.4), "1:2.5");
  EXPECT_EQ(parse_page("A3-landscape").name, "A3");
  EXPECT_EQ(parse_page("100x50mm-portrait").name, "50 x 100 mm");
}

// A drawing sheet: the border 20 mm from the left edge and 10 mm from the
// others, the title block in its lower right corner with its fields, the
// views inside the border above the block at an ISO scale, a pictorial
// view labelled beneath.
TEST(Sheet, ADrawingSheetHasItsBorderTitleBlockAndLabels) {
  const Drawing front = rectangle_drawing(300, 400, 400, 200);  // 40 x 20 at 10/mm
  const Drawing iso = rectangle_drawing(0, 0, 300, 300);
  const std::vector<Sheet_View_Input> views = {
      {&front, View_Kind::front, "front", {500, 500}, 10},
      {&iso, View_Kind::pictorial, "iso", {150, 150}, 7.5},
  };
  Sheet_Settings settings;
  settings.page = parse_page("A4-landscape");
  settings.title_block = Title_Block{"Bracket", "a. drafter", "2024-02-29"};
  const Sheet sheet = lay_out_sheet(views, settings);
  // 297 - 30 mm across less 10 mm clearance and a gap for 80 mm of views:
  // 2.9 fits, so 2:1.
  EXPECT_EQ(sheet.units_per_model, 2.0);
  const auto has_line = [&](double x0, double y0, double x1, double y1) {
    return std::any_of(sheet.frame.lines.begin(), sheet.frame.lines.end(),
                       [&](const Sheet_Line& l) {
                         return l.a.x == x0 && l.a.y == y0 && l.b.x == x1 && l.b.y == y1;
                       });
  };
  EXPECT_TRUE(has_line(20, 10, 287, 10));
  EXPECT_TRUE(has_line(287, 200, 20, 200));
  std::vector<std::string> texts;
  for (const Sheet_Text& t : sheet.frame.texts) texts.push_back(t.text);
  for (const char* text :
       {"Title", "BRACKET", "Drawn by", "A. DRAFTER", "Date", "2024-02-29", "Scale", "2:1", "Size",
        "A4", "Projection", "THIRD ANGLE", "1/1", "ISOMETRIC VIEW"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << text;
  }
  EXPECT_EQ(sheet.frame.circles.size(), 2u);  // the projection symbol
  // The views stand inside the border, clear of the title block (180 mm
  // wide, 25 mm high, in the lower right corner).
  for (const Placed_View& view : sheet.views) {
    const Extent e = on_sheet(view);
    EXPECT_GE(e.min_x, 25.0 - 1e-9);
    EXPECT_LE(e.max_x, 282.0 + 1e-9);
    EXPECT_GE(e.min_y, 15.0 - 1e-9);
    EXPECT_LE(e.max_y, 175.0 + 1e-9);
  }
  // First angle: the symbol's circles stand right of its cone.
  settings.first_angle = true;
  const Sheet first = lay_out_sheet(views, settings);
  EXPECT_GT(first.frame.circles[0].centre.x, sheet.frame.circles[0].centre.x);
  // A page below A5 stays bare.
  settings.page = parse_page("100x50mm");
  EXPECT_TRUE(lay_out_sheet(views, settings).frame.lines.empty());
}

// Centre lines go into their own layer in every format, in ISO 128's long
// dash dot on a page (dashes of 24 and gaps of 3 line widths, less the
// round caps), under the hidden lines.
TEST(Sheet, CentreLinesHaveTheirLayerAndChainInEveryFormat) {
  Drawing drawing = rectangle_drawing(300, 400, 400, 200);
  add_centre_line(drawing, {{250, 500}, {750, 500}});
  add_centre_line(drawing, {{500, 350}, {500, 650}});
  ASSERT_EQ(drawing.layer(Layer::centre_lines).size(), 1u);
  EXPECT_EQ(drawing.layer(Layer::centre_lines)[0].polylines.size(), 2u);
  const std::vector<Sheet_View_Input> views = {
      {&drawing, View_Kind::front, "front", {500, 500}, 10}};
  Sheet_Settings settings;
  settings.page = parse_page("A4");
  const Sheet sheet = lay_out_sheet(views, settings);
  const std::string svg = write_sheet_svg(sheet);
  const std::size_t centre = svg.find("<g id=\"centre-lines\"");
  ASSERT_NE(centre, std::string::npos);
  EXPECT_LT(centre, svg.find("<g id=\"hidden\""));
  EXPECT_NE(svg.find("stroke-dasharray=\"5.75 1 0 1\"", centre), std::string::npos);
  const std::string dxf = write_dxf(sheet);
  EXPECT_NE(dxf.find("LWPOLYLINE\n  5\n"), std::string::npos);
  EXPECT_NE(dxf.find("  8\nCENTER\n"), std::string::npos);
  EXPECT_NE(dxf.find("CENTERTINY"), std::string::npos);
}

// A 40 x 20 x 10 box (x, y, z) in three views, each drawn at its own scale
// with its centre (the anchor) somewhere else in its drawing, plus an
// iso view: the layout lines them up on the box, at one scale.
TEST(Sheet, ViewsOfABoxLineUpAtOneScale) {
  // front: x by y at 10 units/mm; top: x by z at 4; right: z by y at 25.
  const Drawing front = rectangle_drawing(300, 400, 400, 200);
  const Drawing top = rectangle_drawing(100, 500, 160, 40);
  const Drawing right = rectangle_drawing(375, 250, 250, 500);
  const Drawing iso = rectangle_drawing(0, 0, 300, 300);
  const std::vector<Sheet_View_Input> views = {
      {&front, View_Kind::front, "front", {500, 500}, 10},
      {&top, View_Kind::top, "top", {180, 520}, 4},
      {&right, View_Kind::right, "right", {500, 500}, 25},
      {&iso, View_Kind::pictorial, "iso", {150, 150}, 7.5},
  };
  for (const bool first_angle : {false, true}) {
    Sheet_Settings settings;
    settings.page = Page_Size{297, 210};
    settings.first_angle = first_angle;
    const Sheet sheet = lay_out_sheet(views, settings);
    ASSERT_EQ(sheet.views.size(), 4u);
    const Extent f = on_sheet(sheet.views[0]), t = on_sheet(sheet.views[1]),
                 r = on_sheet(sheet.views[2]), i = on_sheet(sheet.views[3]);
    const double s = sheet.units_per_model;
    // One scale: the box's 40 x 20 x 10 mm at s sheet mm per mm.
    EXPECT_NEAR(f.max_x - f.min_x, 40 * s, 1e-9);
    EXPECT_NEAR(t.max_y - t.min_y, 10 * s, 1e-9);
    EXPECT_NEAR(r.max_x - r.min_x, 10 * s, 1e-9);
    EXPECT_NEAR(i.max_x - i.min_x, 40 * s, 1e-9);
    // Aligned, and an even gap apart; third angle puts top above front and
    // right to its right, first angle the other way round.
    EXPECT_NEAR(t.min_x, f.min_x, 1e-9);
    EXPECT_NEAR(t.max_x, f.max_x, 1e-9);
    EXPECT_NEAR(r.min_y, f.min_y, 1e-9);
    EXPECT_NEAR(r.max_y, f.max_y, 1e-9);
    const double gap = settings.gap;
    if (!first_angle) {
      EXPECT_NEAR(f.min_y - t.max_y, gap, 1e-9);
      EXPECT_NEAR(r.min_x - f.max_x, gap, 1e-9);
      // The iso view fills the cell above the right view.
      EXPECT_LT(i.max_y, f.min_y);
      EXPECT_GT(i.min_x, f.max_x);
    } else {
      EXPECT_NEAR(t.min_y - f.max_y, gap, 1e-9);
      EXPECT_NEAR(f.min_x - r.max_x, gap, 1e-9);
    }
    // Fitted: inside the margins, touching them in one direction.
    const double left = std::min({f.min_x, t.min_x, r.min_x, i.min_x});
    const double right_edge = std::max({f.max_x, t.max_x, r.max_x, i.max_x});
    const double high = std::min({f.min_y, t.min_y, r.min_y, i.min_y});
    const double low = std::max({f.max_y, t.max_y, r.max_y, i.max_y});
    EXPECT_GE(left, settings.margin - 1e-9);
    EXPECT_LE(right_edge, 297 - settings.margin + 1e-9);
    EXPECT_GE(high, settings.margin - 1e-9);
    EXPECT_LE(low, 210 - settings.margin + 1e-9);
    EXPECT_TRUE(std::abs(left - settings.margin) < 1e-9 || std::abs(high - settings.margin) < 1e-9);
  }
  // At 10:1 the box needs more than the page.
  Sheet_Settings too_large;
  too_large.page = Page_Size{297, 210};
  too_large.scale_mm = 10.0;
  EXPECT_THROW(lay_out_sheet(views, too_large), Tool_Error);
  too_large.scale_mm = 1.0;
  EXPECT_NEAR(lay_out_sheet(views, too_large).units_per_model, 1.0, 1e-12);
}

double distance(const Drawing_Point& a, const Drawing_Point& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// The greedy walk as written in one line per step: every remaining end
// tried in turn.
std::vector<Drawing_Polyline> brute_force_order(std::vector<Drawing_Polyline> lines,
                                                Drawing_Point& pen) {
  std::vector<Drawing_Polyline> ordered;
  while (!lines.empty()) {
    std::size_t best = 0;
    bool reversed = false;
    double best_distance = 1e300;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      for (const bool back : {false, true}) {
        const double d = distance(pen, back ? lines[i].back() : lines[i].front());
        if (d < best_distance) best = i, reversed = back, best_distance = d;
      }
    }
    Drawing_Polyline line = lines[best];
    if (reversed) std::reverse(line.begin(), line.end());
    pen = line.back();
    ordered.push_back(line);
    lines.erase(lines.begin() + std::ptrdiff_t(best));
  }
  return ordered;
}

TEST(PenOrder, GreedyWalkMatchesBruteForceAndKeepsTheLines) {
  std::mt19937 random(17);
  for (int trial = 0; trial < 30; ++trial) {
    // Clustered and spread-out ends, some lines far outside the rest.
    std::uniform_real_distribution<double> coordinate(0.0, trial % 3 == 0 ? 10.0 : 1000.0);
    std::uniform_int_distribution<int> count(1, 200), length(2, 5), layer(0, 2);
    Drawing drawing;
    for (int g = 0; g < 4; ++g) {
      Style_Group group;
      const int lines = count(random);
      for (int i = 0; i < lines; ++i) {
        Drawing_Polyline line;
        for (int k = length(random); k > 0; --k)
          line.push_back({coordinate(random), coordinate(random)});
        if (i % 50 == 7) line.front().x += 1e5;
        group.polylines.push_back(line);
      }
      drawing.layers[layer(random)].push_back(group);
    }
    Drawing ordered = drawing;
    const double before = pen_up_travel(ordered);
    order_for_plotter(ordered);
    EXPECT_LE(pen_up_travel(ordered), before);
    Drawing_Point pen{0.0, 0.0};
    for (std::size_t l = 0; l < layer_count; ++l) {
      ASSERT_EQ(ordered.layers[l].size(), drawing.layers[l].size());
      for (std::size_t g = 0; g < drawing.layers[l].size(); ++g) {
        const auto expected = brute_force_order(drawing.layers[l][g].polylines, pen);
        ASSERT_EQ(ordered.layers[l][g].polylines.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
          ASSERT_EQ(ordered.layers[l][g].polylines[i].size(), expected[i].size());
          for (std::size_t k = 0; k < expected[i].size(); ++k) {
            EXPECT_EQ(ordered.layers[l][g].polylines[i][k].x, expected[i][k].x);
            EXPECT_EQ(ordered.layers[l][g].polylines[i][k].y, expected[i][k].y);
          }
        }
      }
    }
  }
}

TEST(Dxf, NearestPaletteColour) {
  struct Row {
    std::uint32_t argb;
    int aci;
  };
  const Row rows[] = {
      {0xFF000000u, 7}, {0xFFFFFFFFu, 7}, {0xFFFF0000u, 1}, {0xFFFFFF00u, 2}, {0xFF00FF00u, 3},
      {0xFF0000FFu, 5}, {0x80808080u, 8}, {0xFFC0C0C0u, 9}, {0xFF0000FEu, 5}, {0xFFFE0101u, 1},
  };
  for (const Row& row : rows) EXPECT_EQ(nearest_aci(row.argb), row.aci) << std::hex << row.argb;
}

}  // namespace
