#include "tool/drawing/dxf_writer.h"

#include <dxflib/dl_dxf.h>
#include <dxflib/dl_writer_ascii.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <string>
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

constexpr const char* dxf_layer_names[layer_count] = {"CENTER", "HIDDEN", "VISIBLE",
                                                      "INTERSECTIONS", "MARKERS"};
// The layer of a drawing sheet's border, title block, texts and labels.
constexpr const char* frame_layer = "FRAME";
constexpr const char* text_style = "ISO3098";

// dxflib writes through DL_WriterA, which writes a file of its own; the
// bytes are kept here instead, by taking over its five output functions
// (the file it opens, /dev/null, receives nothing). Numbers are written
// with at most six decimals, independent of the locale.
class Dxf_Bytes final : public DL_WriterA {
 public:
  Dxf_Bytes() : DL_WriterA("/dev/null", DL_Codes::AC1015) {}

  void dxfReal(int gc, double value) const override {
    std::string text;
    append_decimal(text, value, 6);
    if (text.find('.') == std::string::npos) text += ".0";
    dxfString(gc, text);
  }
  void dxfInt(int gc, int value) const override { dxfString(gc, std::to_string(value)); }
  void dxfHex(int gc, int value) const override {
    char text[16];
    std::snprintf(text, sizeof text, "%X", unsigned(value));
    dxfString(gc, text);
  }
  void dxfString(int gc, const char* value) const override { dxfString(gc, std::string(value)); }
  void dxfString(int gc, const std::string& value) const override {
    if (gc < 10) {
      out_ += "  ";
    } else if (gc < 100) {
      out_ += ' ';
    }
    out_ += std::to_string(gc);
    out_ += '\n';
    out_ += value;
    out_ += '\n';
  }
  std::string take() { return std::move(out_); }

 private:
  mutable std::string out_;
};

// A linetype: its name, and its elements in millimetres for a line 1 mm
// wide (dashes positive, gaps negative, 0 a dot); an entity scales them by
// its width through its linetype scale (group 48).
struct Linetype {
  std::string name;
  std::vector<double> elements;
};

// The linetype of a dash pattern: on a page ISO 128's, without a page the
// screen's. Programs that draw a file's own patterns (AutoCAD, ezdxf,
// BricsCAD) draw these. LibreCAD 2.2 draws only its built-in patterns, at
// fixed millimetres on paper whatever the scales, chosen by name: so the
// names are those whose built-in pattern comes nearest to ISO 128 at the
// narrow 0.25 mm weight (HIDDEN2: dashes of 2 mm and gaps of 1 mm, drawn
// 2.25 and 0.75 with the pen's ends, where ISO 128 asks 3 and 0.75;
// CENTERTINY: 5, 1, 1, 1 for 6, 0.75, a dot, 0.75; DOTTINY), where the
// names of acadiso.lin (ACAD_ISO02W100) would give dashes of 12 mm.
Linetype linetype_of(Dash dash, bool iso_128) {
  if (dash == Dash::solid) return {"CONTINUOUS", {}};
  if (iso_128) {
    const Iso_Dash_Pattern p = iso_128_pattern(dash);
    switch (dash) {
      case Dash::dashed:
        return {"HIDDEN2", {p.dash, -p.gap}};
      case Dash::dotted:
        return {"DOTTINY", {0.0, -p.gap}};
      case Dash::dash_dot:
      case Dash::chain:
        return {"CENTERTINY", {p.dash, -p.gap, 0.0, -p.gap}};
      case Dash::solid:
        break;
    }
    return {"CONTINUOUS", {}};
  }
  // Round caps stretch each dash by a width; DXF dashes have flat ends.
  std::vector<double> elements;
  const auto lengths = dash_lengths(dash);
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    elements.push_back(i % 2 == 0 ? lengths[i] + 1.0 : -(lengths[i] - 1.0));
  }
  static constexpr const char* names[] = {"CONTINUOUS", "HIDDEN", "DOT", "DASHDOT", "CENTER"};
  return {names[static_cast<int>(dash)], elements};
}

// The layer's own pattern: chain for centre lines, dashed for hidden lines.
Dash layer_dash(std::size_t layer) {
  switch (static_cast<Layer>(layer)) {
    case Layer::centre_lines:
      return Dash::chain;
    case Layer::hidden:
      return Dash::dashed;
    default:
      return Dash::solid;
  }
}

// The nearest of DXF's line weights (group 370), in hundredths of a
// millimetre.
int dxf_line_weight(double width_mm) {
  static constexpr int weights[] = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                    53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
  int best = 0;
  for (int w : weights) {
    if (std::fabs(w - 100.0 * width_mm) < std::fabs(best - 100.0 * width_mm)) best = w;
  }
  return best;
}

// The entity colour: the nearest ACI (group 62) and, for a colour that is
// neither black nor white, the true colour (group 420) that R2000 carries.
struct Dxf_Colour {
  int aci;
  int true_colour;  // -1: none
};
Dxf_Colour dxf_colour(std::uint32_t argb) {
  const std::uint32_t rgb = argb & 0xFFFFFFu;
  return {nearest_aci(argb), rgb == 0 || rgb == 0xFFFFFFu ? -1 : int(rgb)};
}

// Where sheet points land in the DXF: millimetres, y up.
struct Dxf_Placement {
  double mm;
  double height;
  double x(double sheet_x) const { return sheet_x * mm; }
  double y(double sheet_y) const { return (height - sheet_y) * mm; }
};

class Sheet_Dxf {
 public:
  explicit Sheet_Dxf(const Sheet& sheet)
      : sheet_(sheet), at_{sheet.mm_per_unit, sheet.height}, iso_(sheet.paged) {
    linetypes_.push_back(linetype_of(Dash::dashed, iso_));
    linetypes_.push_back(linetype_of(Dash::chain, iso_));
    for (const Placed_View& view : sheet.views) {
      for (const auto& layer : view.drawing->layers) {
        for (const Style_Group& group : layer) add_linetype(group.dash);
      }
    }
    for (const Sheet_Line& line : sheet.frame.lines) add_linetype(line.dash);
  }

  std::string write() {
    header();
    tables();
    blocks();
    out_.sectionEntities();
    frame();
    for (const Placed_View& view : sheet_.views) this->view(view);
    out_.sectionEnd();
    dxf_.writeObjects(out_);
    dxf_.writeObjectsEnd(out_);
    out_.dxfEOF();
    return out_.take();
  }

 private:
  void add_linetype(Dash dash) {
    Linetype type = linetype_of(dash, iso_);
    if (dash == Dash::solid) return;
    for (const Linetype& known : linetypes_) {
      if (known.name == type.name) return;
    }
    linetypes_.push_back(std::move(type));
  }

  double layer_width_mm(std::size_t layer) const {
    return sheet_.line_weights[layer] * sheet_.mm_per_unit;
  }

  // Units (mm), extents and limits of the sheet, y up from its lower-left
  // corner; line weights shown; linetypes at their own scale.
  void header() {
    dxf_.writeHeader(out_);
    const double width = sheet_.width * sheet_.mm_per_unit;
    const double height = sheet_.height * sheet_.mm_per_unit;
    const auto point = [this](const char* name, double x, double y) {
      out_.dxfString(9, name);
      out_.dxfReal(10, x);
      out_.dxfReal(20, y);
      out_.dxfReal(30, 0.0);
    };
    point("$INSBASE", 0.0, 0.0);
    point("$EXTMIN", 0.0, 0.0);
    point("$EXTMAX", width, height);
    out_.dxfString(9, "$LIMMIN");
    out_.dxfReal(10, 0.0);
    out_.dxfReal(20, 0.0);
    out_.dxfString(9, "$LIMMAX");
    out_.dxfReal(10, width);
    out_.dxfReal(20, height);
    out_.dxfString(9, "$INSUNITS");
    out_.dxfInt(70, 4);
    out_.dxfString(9, "$MEASUREMENT");
    out_.dxfInt(70, 1);
    out_.dxfString(9, "$LTSCALE");
    out_.dxfReal(40, 1.0);
    out_.dxfString(9, "$CELTSCALE");
    out_.dxfReal(40, 1.0);
    out_.dxfString(9, "$PSLTSCALE");
    out_.dxfInt(70, 0);
    out_.dxfString(9, "$LWDISPLAY");
    out_.dxfInt(290, 1);
    out_.dxfString(9, "$TEXTSTYLE");
    out_.dxfString(7, text_style);
    out_.sectionEnd();
  }

  void tables() {
    out_.sectionTables();
    dxf_.writeVPort(out_);

    out_.tableLinetypes(int(linetypes_.size()) + 3);
    dxf_.writeLinetype(out_, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
    dxf_.writeLinetype(out_, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    dxf_.writeLinetype(out_, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
    for (Linetype& type : linetypes_) {
      double length = 0.0;
      for (double e : type.elements) length += std::fabs(e);
      dxf_.writeLinetype(out_, DL_LinetypeData(type.name, type.name, 0, int(type.elements.size()),
                                               length, type.elements.data()));
    }
    out_.tableEnd();

    out_.tableLayers(int(layer_count) + 2);
    const auto layer = [this](const std::string& name, Dash dash, double width_mm) {
      dxf_.writeLayer(
          out_, DL_LayerData(name, 0),
          DL_Attributes("", 7, dxf_line_weight(width_mm), linetype_of(dash, iso_).name, 1.0));
    };
    layer("0", Dash::solid, 0.25);
    for (std::size_t l = 0; l < layer_count; ++l) {
      layer(dxf_layer_names[l], layer_dash(l), layer_width_mm(l));
    }
    layer(frame_layer, Dash::solid, 0.25);
    out_.tableEnd();

    // dxflib's dimension style refers to the style Standard by handle, so
    // it is written too.
    out_.tableStyle(2);
    dxf_.writeStyle(out_, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, 2.5, "txt", ""));
    dxf_.writeStyle(out_, DL_StyleData(text_style, 0, 0.0, 1.0, 0.0, 0, 3.5, "isocp.shx", ""));
    out_.tableEnd();
    dxf_.writeView(out_);
    dxf_.writeUcs(out_);
    out_.tableAppid(1);
    dxf_.writeAppid(out_, "ACAD");
    out_.tableEnd();
    dxf_.writeDimStyle(out_, 2.5, 1.25, 0.625, 0.625, 2.5);
    dxf_.writeBlockRecord(out_);
    out_.tableEnd();
    out_.sectionEnd();
  }

  void blocks() {
    out_.sectionBlocks();
    for (const char* name : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
      dxf_.writeBlock(out_, DL_BlockData(name, 0, 0.0, 0.0, 0.0));
      dxf_.writeEndBlock(out_, name);
    }
    out_.sectionEnd();
  }

  // Attributes of an entity of `layer` drawn in `dash`, `width_mm` wide
  // (line weight -1: by layer).
  DL_Attributes attributes(const std::string& layer, std::uint32_t argb, int line_weight, Dash dash,
                           Dash layer_own, double width_mm) const {
    const Dxf_Colour colour = dxf_colour(argb);
    const std::string linetype = dash == layer_own ? "BYLAYER" : linetype_of(dash, iso_).name;
    DL_Attributes a(layer, colour.aci, colour.true_colour, line_weight, linetype);
    a.setLinetypeScale(width_mm);
    return a;
  }

  void frame() {
    const Sheet_Frame& frame = sheet_.frame;
    for (const Sheet_Line& line : frame.lines) {
      dxf_.writeLine(
          out_,
          DL_LineData(at_.x(line.a.x), at_.y(line.a.y), 0.0, at_.x(line.b.x), at_.y(line.b.y), 0.0),
          attributes(frame_layer, 0xFF000000u, dxf_line_weight(line.width), line.dash, Dash::solid,
                     line.width));
    }
    for (const Sheet_Circle& circle : frame.circles) {
      dxf_.writeCircle(
          out_, DL_CircleData(at_.x(circle.centre.x), at_.y(circle.centre.y), 0.0, circle.radius),
          attributes(frame_layer, 0xFF000000u, dxf_line_weight(circle.width), Dash::solid,
                     Dash::solid, circle.width));
    }
    for (const Sheet_Text& text : frame.texts) {
      const bool centre = text.align == Text_Align::centre;
      const double x = at_.x(text.at.x), y = at_.y(text.at.y);
      dxf_.writeText(out_,
                     DL_TextData(x, y, 0.0, x, y, 0.0, text.height, 1.0, 0, centre ? 1 : 0, 0,
                                 text.text, text_style, 0.0),
                     attributes(frame_layer, 0xFF000000u, -1, Dash::solid, Dash::solid, 1.0));
    }
  }

  // A polyline of a view: one LWPOLYLINE. (A piece that is an arc of a
  // conic would be written here as its ARC, CIRCLE or ELLIPSE.)
  void polyline(const Placed_View& view, const Drawing_Polyline& line,
                const DL_Attributes& attributes) {
    dxf_.writePolyline(out_, DL_PolylineData(int(line.size()), 0, 0, 0), attributes);
    for (const Drawing_Point& p : line) {
      dxf_.writeVertex(out_, DL_VertexData(at_.x(view.offset.x + view.factor * p.x),
                                           at_.y(view.offset.y + view.factor * p.y), 0.0));
    }
    dxf_.writePolylineEnd(out_);
  }

  // Every layer, style and polyline of the view, and its marker dots as
  // CIRCLEs of the dot's radius.
  void view(const Placed_View& view) {
    for (std::size_t l = 0; l < layer_count; ++l) {
      const double width = layer_width_mm(l);
      for (const Style_Group& group : view.drawing->layers[l]) {
        const DL_Attributes a =
            attributes(dxf_layer_names[l], group.color_argb, dxf_line_weight(width), group.dash,
                       layer_dash(l), width);
        for (const Drawing_Polyline& line : group.polylines) polyline(view, line, a);
        for (const Drawing_Point& p : group.dots) {
          dxf_.writeCircle(out_,
                           DL_CircleData(at_.x(view.offset.x + view.factor * p.x),
                                         at_.y(view.offset.y + view.factor * p.y), 0.0,
                                         marker_radius_widths * width),
                           a);
        }
      }
    }
  }

  const Sheet& sheet_;
  Dxf_Placement at_;
  bool iso_;
  std::vector<Linetype> linetypes_;
  DL_Dxf dxf_;
  Dxf_Bytes out_;
};

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

std::string write_dxf(const Sheet& sheet) { return Sheet_Dxf(sheet).write(); }

}  // namespace hlr_tool
