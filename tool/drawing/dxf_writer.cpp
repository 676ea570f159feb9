#include "tool/drawing/dxf_writer.h"

#include <array>
#include <cstddef>
#include <limits>
#include <map>
#include <vector>

#include "tool/drawing/drawing_text.h"

namespace hlr_tool {

namespace {

// The standard colours of the AutoCAD Colour Index as 0xRRGGBB; entry 0
// (by block) and 7 (black or white, by background) are never matched.
constexpr std::array<std::uint32_t, 256> aci_colors{
    0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF, 0xFFFFFF, 0x808080,
    0xC0C0C0, 0xFF0000, 0xFF7F7F, 0xA50000, 0xA55252, 0x7F0000, 0x7F3F3F, 0x4C0000, 0x4C2626,
    0x260000, 0x261313, 0xFF3F00, 0xFF9F7F, 0xA52900, 0xA56752, 0x7F1F00, 0x7F4F3F, 0x4C1300,
    0x4C2F26, 0x260900, 0x261713, 0xFF7F00, 0xFFBF7F, 0xA55200, 0xA57C52, 0x7F3F00, 0x7F5F3F,
    0x4C2600, 0x4C3926, 0x261300, 0x261C13, 0xFFBF00, 0xFFDF7F, 0xA57C00, 0xA59152, 0x7F5F00,
    0x7F6F3F, 0x4C3900, 0x4C4226, 0x261C00, 0x262113, 0xFFFF00, 0xFFFF7F, 0xA5A500, 0xA5A552,
    0x7F7F00, 0x7F7F3F, 0x4C4C00, 0x4C4C26, 0x262600, 0x262613, 0xBFFF00, 0xDFFF7F, 0x7CA500,
    0x91A552, 0x5F7F00, 0x6F7F3F, 0x394C00, 0x424C26, 0x1C2600, 0x212613, 0x7FFF00, 0xBFFF7F,
    0x52A500, 0x7CA552, 0x3F7F00, 0x5F7F3F, 0x264C00, 0x394C26, 0x132600, 0x1C2613, 0x3FFF00,
    0x9FFF7F, 0x29A500, 0x67A552, 0x1F7F00, 0x4F7F3F, 0x134C00, 0x2F4C26, 0x092600, 0x172613,
    0x00FF00, 0x7FFF7F, 0x00A500, 0x52A552, 0x007F00, 0x3F7F3F, 0x004C00, 0x264C26, 0x002600,
    0x132613, 0x00FF3F, 0x7FFF9F, 0x00A529, 0x52A567, 0x007F1F, 0x3F7F4F, 0x004C13, 0x264C2F,
    0x002609, 0x135817, 0x00FF7F, 0x7FFFBF, 0x00A552, 0x52A57C, 0x007F3F, 0x3F7F5F, 0x004C26,
    0x264C39, 0x002613, 0x13581C, 0x00FFBF, 0x7FFFDF, 0x00A57C, 0x52A591, 0x007F5F, 0x3F7F6F,
    0x004C39, 0x264C42, 0x00261C, 0x135858, 0x00FFFF, 0x7FFFFF, 0x00A5A5, 0x52A5A5, 0x007F7F,
    0x3F7F7F, 0x004C4C, 0x264C4C, 0x002626, 0x135858, 0x00BFFF, 0x7FDFFF, 0x007CA5, 0x5291A5,
    0x005F7F, 0x3F6F7F, 0x00394C, 0x26427E, 0x001C26, 0x135858, 0x007FFF, 0x7FBFFF, 0x0052A5,
    0x527CA5, 0x003F7F, 0x3F5F7F, 0x00264C, 0x26397E, 0x001326, 0x131C58, 0x003FFF, 0x7F9FFF,
    0x0029A5, 0x5267A5, 0x001F7F, 0x3F4F7F, 0x00134C, 0x262F7E, 0x000926, 0x131758, 0x0000FF,
    0x7F7FFF, 0x0000A5, 0x5252A5, 0x00007F, 0x3F3F7F, 0x00004C, 0x26267E, 0x000026, 0x131358,
    0x3F00FF, 0x9F7FFF, 0x2900A5, 0x6752A5, 0x1F007F, 0x4F3F7F, 0x13004C, 0x2F267E, 0x090026,
    0x171358, 0x7F00FF, 0xBF7FFF, 0x5200A5, 0x7C52A5, 0x3F007F, 0x5F3F7F, 0x26004C, 0x39267E,
    0x130026, 0x1C1358, 0xBF00FF, 0xDF7FFF, 0x7C00A5, 0x9152A5, 0x5F007F, 0x6F3F7F, 0x39004C,
    0x42264C, 0x1C0026, 0x581358, 0xFF00FF, 0xFF7FFF, 0xA500A5, 0xA552A5, 0x7F007F, 0x7F3F7F,
    0x4C004C, 0x4C264C, 0x260026, 0x581358, 0xFF00BF, 0xFF7FDF, 0xA5007C, 0xA55291, 0x7F005F,
    0x7F3F6F, 0x4C0039, 0x4C2642, 0x26001C, 0x581358, 0xFF007F, 0xFF7FBF, 0xA50052, 0xA5527C,
    0x7F003F, 0x7F3F5F, 0x4C0026, 0x4C2639, 0x260013, 0x58131C, 0xFF003F, 0xFF7F9F, 0xA50029,
    0xA55267, 0x7F001F, 0x7F3F4F, 0x4C0013, 0x4C262F, 0x260009, 0x581317, 0x000000, 0x656565,
    0x666666, 0x999999, 0xCCCCCC, 0xFFFFFF};

constexpr const char* dxf_layer_names[layer_count] = {"HIDDEN", "VISIBLE", "INTERSECTIONS",
                                                      "MARKERS"};

constexpr const char* dash_names[] = {"CONTINUOUS", "DASHED", "DOTTED", "DASHDOT"};

class Dxf_Text {
 public:
  void group(int code, const std::string& value) {
    if (code < 10)
      out_ += "  ";
    else if (code < 100)
      out_ += ' ';
    out_ += std::to_string(code);
    out_ += '\n';
    out_ += value;
    out_ += '\n';
  }
  void group(int code, int value) { group(code, std::to_string(value)); }
  void number(int code, double value) {
    std::string text;
    append_decimal(text, value, 6);
    if (text.find('.') == std::string::npos) text += ".0";
    group(code, text);
  }
  void point(double x, double y) {
    number(10, x);
    number(20, y);
    number(30, 0.0);
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

// A linetype's name for a dash pattern on a layer.
std::string linetype_name(std::size_t layer, Dash dash) {
  if (dash == Dash::solid) return "CONTINUOUS";
  if (static_cast<Layer>(layer) == Layer::hidden && dash == Dash::dashed) return "HIDDEN";
  return std::string(dash_names[static_cast<int>(dash)]) + "_" + dxf_layer_names[layer];
}

void write_linetype(Dxf_Text& dxf, const std::string& name, Dash dash, double width) {
  dxf.group(0, "LTYPE");
  dxf.group(2, name);
  dxf.group(70, 0);
  dxf.group(3, dash == Dash::solid ? "Solid line" : name);
  dxf.group(72, 65);
  const auto lengths = dash_lengths(dash);
  // Round caps stretch each dash by a width; DXF dashes have flat ends.
  std::vector<double> elements;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    elements.push_back(i % 2 == 0 ? (lengths[i] + 1.0) * width : -(lengths[i] - 1.0) * width);
  }
  double total = 0.0;
  for (double e : elements) total += e < 0.0 ? -e : e;
  dxf.group(73, static_cast<int>(elements.size()));
  dxf.number(40, total);
  for (double e : elements) dxf.number(49, e);
}

// Units (mm), extents and limits of the sheet, y up from its lower-left
// corner.
void write_header(Dxf_Text& dxf, const Sheet& sheet) {
  const double mm = sheet.mm_per_unit;
  dxf.group(0, "SECTION");
  dxf.group(2, "HEADER");
  dxf.group(9, "$ACADVER");
  dxf.group(1, "AC1009");
  dxf.group(9, "$INSBASE");
  dxf.point(0.0, 0.0);
  dxf.group(9, "$EXTMIN");
  dxf.point(0.0, 0.0);
  dxf.group(9, "$EXTMAX");
  dxf.point(sheet.width * mm, sheet.height * mm);
  dxf.group(9, "$LIMMIN");
  dxf.number(10, 0.0);
  dxf.number(20, 0.0);
  dxf.group(9, "$LIMMAX");
  dxf.number(10, sheet.width * mm);
  dxf.number(20, sheet.height * mm);
  dxf.group(9, "$LTSCALE");
  dxf.number(40, 1.0);
  dxf.group(9, "$INSUNITS");
  dxf.group(70, 4);
  dxf.group(9, "$MEASUREMENT");
  dxf.group(70, 1);
  dxf.group(0, "ENDSEC");
}

// Linetype name -> its dash pattern and its layer's width in mm.
using Linetypes = std::map<std::string, std::pair<Dash, double>>;

// The linetypes the sheet's lines use, with their layer's width: HIDDEN
// (the hidden layer's own) and CONTINUOUS always.
Linetypes linetypes_in_use(const Sheet& sheet) {
  const double mm = sheet.mm_per_unit;
  const std::size_t hidden = static_cast<std::size_t>(Layer::hidden);
  Linetypes linetypes;
  linetypes["CONTINUOUS"] = {Dash::solid, 0.0};
  linetypes["HIDDEN"] = {Dash::dashed, sheet.line_weights[hidden] * mm};
  for (const Placed_View& view : sheet.views) {
    for (std::size_t l = 0; l < layer_count; ++l) {
      for (const Style_Group& group : view.drawing->layers[l]) {
        if (!group.polylines.empty()) {
          linetypes[linetype_name(l, group.dash)] = {group.dash, sheet.line_weights[l] * mm};
        }
      }
    }
  }
  return linetypes;
}

// The layer's own linetype: HIDDEN for the hidden layer, CONTINUOUS else.
const char* layer_linetype(std::size_t layer) {
  return static_cast<Layer>(layer) == Layer::hidden ? "HIDDEN" : "CONTINUOUS";
}

// The LTYPE table, then the LAYER table: layer 0 and the four layers.
void write_tables(Dxf_Text& dxf, const Linetypes& linetypes) {
  dxf.group(0, "SECTION");
  dxf.group(2, "TABLES");
  dxf.group(0, "TABLE");
  dxf.group(2, "LTYPE");
  dxf.group(70, static_cast<int>(linetypes.size()));
  for (const auto& [name, pattern] : linetypes) {
    write_linetype(dxf, name, pattern.first, pattern.second);
  }
  dxf.group(0, "ENDTAB");
  dxf.group(0, "TABLE");
  dxf.group(2, "LAYER");
  dxf.group(70, static_cast<int>(layer_count + 1));
  const auto write_layer = [&dxf](const std::string& name, const std::string& linetype) {
    dxf.group(0, "LAYER");
    dxf.group(2, name);
    dxf.group(70, 0);
    dxf.group(62, 7);
    dxf.group(6, linetype);
  };
  write_layer("0", "CONTINUOUS");
  for (std::size_t l = 0; l < layer_count; ++l) write_layer(dxf_layer_names[l], layer_linetype(l));
  dxf.group(0, "ENDTAB");
  dxf.group(0, "ENDSEC");
}

// Where a view's drawing point lands in the DXF: millimetres, y up.
struct Dxf_Placement {
  const Sheet& sheet;
  const Placed_View& view;
  double x(const Drawing_Point& p) const {
    return (view.offset.x + view.factor * p.x) * sheet.mm_per_unit;
  }
  double y(const Drawing_Point& p) const {
    return (sheet.height - (view.offset.y + view.factor * p.y)) * sheet.mm_per_unit;
  }
};

// How the entities of one style group are written.
struct Dxf_Style {
  std::string layer;
  std::string linetype;  // written only when it is not the layer's own
  std::string layer_linetype;
  int color;
  double width;  // mm
};

// A POLYLINE with its VERTEXes and SEQEND.
void write_polyline(Dxf_Text& dxf, const Dxf_Placement& at, const Drawing_Polyline& line,
                    const Dxf_Style& style) {
  dxf.group(0, "POLYLINE");
  dxf.group(8, style.layer);
  if (style.linetype != style.layer_linetype) dxf.group(6, style.linetype);
  dxf.group(62, style.color);
  dxf.group(66, 1);
  dxf.point(0.0, 0.0);
  dxf.group(70, 0);
  dxf.number(40, style.width);
  dxf.number(41, style.width);
  for (const Drawing_Point& p : line) {
    dxf.group(0, "VERTEX");
    dxf.group(8, style.layer);
    dxf.point(at.x(p), at.y(p));
  }
  dxf.group(0, "SEQEND");
  dxf.group(8, style.layer);
}

// A marker dot: a CIRCLE of the dot's radius.
void write_dot(Dxf_Text& dxf, const Dxf_Placement& at, const Drawing_Point& p,
               const Dxf_Style& style) {
  dxf.group(0, "CIRCLE");
  dxf.group(8, style.layer);
  dxf.group(62, style.color);
  dxf.point(at.x(p), at.y(p));
  dxf.number(40, marker_radius_widths * style.width);
}

// Every view's layers, styles, polylines and marker dots, in the sheet's
// order.
void write_entities(Dxf_Text& dxf, const Sheet& sheet) {
  dxf.group(0, "SECTION");
  dxf.group(2, "ENTITIES");
  for (const Placed_View& view : sheet.views) {
    const Dxf_Placement at{sheet, view};
    for (std::size_t l = 0; l < layer_count; ++l) {
      for (const Style_Group& group : view.drawing->layers[l]) {
        const Dxf_Style style{dxf_layer_names[l], linetype_name(l, group.dash), layer_linetype(l),
                              nearest_aci(group.color_argb),
                              sheet.line_weights[l] * sheet.mm_per_unit};
        for (const Drawing_Polyline& line : group.polylines) write_polyline(dxf, at, line, style);
        for (const Drawing_Point& p : group.dots) write_dot(dxf, at, p, style);
      }
    }
  }
  dxf.group(0, "ENDSEC");
}

}  // namespace

int nearest_aci(std::uint32_t argb) {
  const std::uint32_t rgb = argb & 0xFFFFFFu;
  if (rgb == 0 || rgb == 0xFFFFFFu) return 7;
  const auto channel = [](std::uint32_t c, int shift) { return int((c >> shift) & 255u); };
  int best = 7;
  long best_distance = std::numeric_limits<long>::max();
  for (int i = 1; i < 256; ++i) {
    if (i == 7) continue;
    long distance = 0;
    for (int shift : {16, 8, 0}) {
      const long d = channel(rgb, shift) - channel(aci_colors[i], shift);
      distance += d * d;
    }
    if (distance < best_distance) best = i, best_distance = distance;
  }
  return best;
}

std::string write_dxf(const Sheet& sheet) {
  Dxf_Text dxf;
  write_header(dxf, sheet);
  write_tables(dxf, linetypes_in_use(sheet));
  write_entities(dxf, sheet);
  dxf.group(0, "EOF");
  return dxf.take();
}

}  // namespace hlr_tool
