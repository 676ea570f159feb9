#include "tool/drawing/sheet_svg.h"

#include <cstddef>
#include <cstdint>

#include "tool/drawing/drawing_text.h"

namespace hlr_tool {

namespace {

// A name as it may stand in an id: letters, digits, '-' and '_' kept,
// anything else '_'.
std::string id_part(const std::string& name) {
  std::string id;
  for (char c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
    id += keep ? c : '_';
  }
  return id;
}

struct View_Writer {
  const Sheet& sheet;
  const Placed_View& view;
  std::string& out;

  void point(const Drawing_Point& p) {
    append_decimal(out, view.offset.x + view.factor * p.x);
    out += ',';
    append_decimal(out, view.offset.y + view.factor * p.y);
  }

  void polyline(const Drawing_Polyline& line) {
    out += "<polyline points=\"";
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (i > 0) out += ' ';
      point(line[i]);
      if (i > 0 && i % (svg_max_points_per_element - 1) == 0 && i + 1 < line.size()) {
        // The next element starts where this one ends.
        out += "\"/>\n<polyline points=\"";
        point(line[i]);
      }
    }
    out += "\"/>\n";
  }

  void layer(std::size_t l, const std::string& id_prefix) {
    // Centre lines come from the tool: their layer is written on a page
    // (where a CAD user looks for it) or when it holds some.
    if (static_cast<Layer>(l) == Layer::centre_lines && !sheet.paged &&
        view.drawing->layers[l].empty()) {
      return;
    }
    const bool dots = static_cast<Layer>(l) == Layer::markers;
    const double width = sheet.line_weights[l];
    out += "<g id=\"" + id_prefix + layer_name(static_cast<Layer>(l)) +
           "\" inkscape:groupmode=\"layer\" inkscape:label=\"" + layer_name(static_cast<Layer>(l));
    if (dots) {
      out += "\" stroke=\"none\">\n";
    } else {
      out += "\" fill=\"none\" stroke-width=\"";
      append_decimal(out, width, 4);
      out += "\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
    }
    for (const Style_Group& group : view.drawing->layers[l]) {
      if (group.polylines.empty() && group.dots.empty()) continue;
      out += "<g";
      if (dots) {
        append_svg_paint(out, "fill", group.color_argb);
      } else {
        append_svg_paint(out, "stroke", group.color_argb);
        const auto lengths = dash_lengths(group.dash, sheet.paged);
        if (!lengths.empty()) {
          out += " stroke-dasharray=\"";
          for (std::size_t i = 0; i < lengths.size(); ++i) {
            if (i > 0) out += ' ';
            append_decimal(out, lengths[i] * width, 4);
          }
          out += '"';
        }
      }
      out += ">\n";
      for (const Drawing_Polyline& line : group.polylines) polyline(line);
      for (const Drawing_Point& dot : group.dots) {
        out += "<circle cx=\"";
        append_decimal(out, view.offset.x + view.factor * dot.x);
        out += "\" cy=\"";
        append_decimal(out, view.offset.y + view.factor * dot.y);
        out += "\" r=\"";
        append_decimal(out, marker_radius_widths * width, 4);
        out += "\"/>\n";
      }
      out += "</g>\n";
    }
    out += "</g>\n";
  }
};

void append_escaped(std::string& out, const std::string& text) {
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out += c;
    }
  }
}

// The border, title block and labels: lines with their widths and dashes,
// circles, then the texts.
void write_frame(const Sheet_Frame& frame, std::string& out) {
  if (frame.lines.empty() && frame.circles.empty() && frame.texts.empty()) return;
  out +=
      "<g id=\"frame\" inkscape:groupmode=\"layer\" inkscape:label=\"frame\" fill=\"none\" "
      "stroke=\"#000000\" stroke-linecap=\"round\">\n";
  for (const Sheet_Line& line : frame.lines) {
    out += "<line x1=\"";
    append_decimal(out, line.a.x);
    out += "\" y1=\"";
    append_decimal(out, line.a.y);
    out += "\" x2=\"";
    append_decimal(out, line.b.x);
    out += "\" y2=\"";
    append_decimal(out, line.b.y);
    out += "\" stroke-width=\"";
    append_decimal(out, line.width, 4);
    const auto lengths = dash_lengths(line.dash, true);
    if (!lengths.empty()) {
      out += "\" stroke-dasharray=\"";
      for (std::size_t i = 0; i < lengths.size(); ++i) {
        if (i > 0) out += ' ';
        append_decimal(out, lengths[i] * line.width, 4);
      }
    }
    out += "\"/>\n";
  }
  for (const Sheet_Circle& circle : frame.circles) {
    out += "<circle cx=\"";
    append_decimal(out, circle.centre.x);
    out += "\" cy=\"";
    append_decimal(out, circle.centre.y);
    out += "\" r=\"";
    append_decimal(out, circle.radius);
    out += "\" stroke-width=\"";
    append_decimal(out, circle.width, 4);
    out += "\"/>\n";
  }
  if (!frame.texts.empty()) {
    out += "<g font-family=\"";
    out += sheet_font_families;
    out += "\" fill=\"#000000\" stroke=\"none\">\n";
    for (const Sheet_Text& text : frame.texts) {
      out += "<text x=\"";
      append_decimal(out, text.at.x);
      out += "\" y=\"";
      append_decimal(out, text.at.y);
      out += "\" font-size=\"";
      append_decimal(out, text.height / cap_height_per_font_size, 4);
      if (text.align == Text_Align::centre) out += "\" text-anchor=\"middle";
      out += "\">";
      append_escaped(out, text.text);
      out += "</text>\n";
    }
    out += "</g>\n";
  }
  out += "</g>\n";
}

}  // namespace

std::string write_sheet_svg(const Sheet& sheet) {
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
  out +=
      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\" width=\"";
  const char* unit = sheet.paged ? "mm" : "";
  append_decimal(out, sheet.width);
  out += unit;
  out += "\" height=\"";
  append_decimal(out, sheet.height);
  out += unit;
  out += "\" viewBox=\"0 0 ";
  append_decimal(out, sheet.width);
  out += ' ';
  append_decimal(out, sheet.height);
  out += "\">\n";
  write_frame(sheet.frame, out);
  const bool several = sheet.views.size() > 1;
  for (std::size_t v = 0; v < sheet.views.size(); ++v) {
    const Placed_View& view = sheet.views[v];
    std::string prefix;
    if (several) {
      prefix = "view-" + std::to_string(v + 1) + "-" + id_part(view.name);
      out += "<g id=\"" + prefix + "\" inkscape:groupmode=\"layer\" inkscape:label=\"" +
             id_part(view.name) + "\">\n";
      prefix += '-';
    }
    View_Writer writer{sheet, view, out};
    for (std::size_t l = 0; l < layer_count; ++l) writer.layer(l, prefix);
    if (several) out += "</g>\n";
  }
  out += "</svg>\n";
  return out;
}

}  // namespace hlr_tool
