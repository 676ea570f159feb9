#include "tool/drawing/svg_writer.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "tool/drawing/drawing_text.h"

namespace hlr_tool {

namespace {

// Three decimals, trailing zeros and a lone point cut, never "-0".
void append_number(std::string& out, double value) { append_decimal(out, value, 3); }

// Dash and gap lengths in stroke widths; with round caps each dash grows
// by one stroke width, so the gaps are drawn that much shorter.
void append_dash(std::string& out, Dash dash, double stroke_width) {
  const std::span<const double> lengths = dash_lengths(dash);
  if (lengths.empty()) return;
  out += " stroke-dasharray=\"";
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    if (i > 0) out += ' ';
    append_number(out, lengths[i] * stroke_width);
  }
  out += '"';
}

void append_point(std::string& out, const Drawing_Point& point) {
  append_number(out, point.x);
  out += ',';
  append_number(out, point.y);
}

void append_header(std::string& out, const Drawing& drawing) {
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
  out +=
      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\" width=\"";
  append_number(out, drawing.width);
  out += "\" height=\"";
  append_number(out, drawing.height);
  out += "\" viewBox=\"0 0 ";
  append_number(out, drawing.width);
  out += ' ';
  append_number(out, drawing.height);
  out += "\">\n";
}

void append_layer_start(std::string& out, Layer layer, double stroke_width) {
  out += "<g id=\"";
  out += layer_name(layer);
  out += "\" inkscape:groupmode=\"layer\" inkscape:label=\"";
  out += layer_name(layer);
  if (layer == Layer::markers) {
    out += "\" stroke=\"none\">\n";
  } else {
    out += "\" fill=\"none\" stroke-width=\"";
    append_number(out, stroke_width);
    out += "\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
  }
}

// One polyline as one or more elements; each next element starts where
// the one before ends.
void append_polyline(std::string& out, const Drawing_Polyline& points) {
  out += "<polyline points=\"";
  std::size_t in_element = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (in_element == svg_max_points_per_element) {
      out += "\"/>\n<polyline points=\"";
      append_point(out, points[i - 1]);
      in_element = 1;
    }
    if (in_element > 0) out += ' ';
    append_point(out, points[i]);
    ++in_element;
  }
  out += "\"/>\n";
}

void append_dot(std::string& out, const Drawing_Point& centre, double stroke_width) {
  out += "<circle cx=\"";
  append_number(out, centre.x);
  out += "\" cy=\"";
  append_number(out, centre.y);
  out += "\" r=\"";
  append_number(out, marker_radius_widths * stroke_width);
  out += "\"/>\n";
}

void append_group(std::string& out, const Style_Group& group, bool dots, double stroke_width) {
  out += "<g";
  if (dots) {
    append_svg_paint(out, "fill", group.color_argb);
  } else {
    append_svg_paint(out, "stroke", group.color_argb);
    append_dash(out, group.dash, stroke_width);
  }
  out += ">\n";
  if (dots) {
    for (const Drawing_Point& centre : group.dots) append_dot(out, centre, stroke_width);
  } else {
    for (const Drawing_Polyline& polyline : group.polylines) append_polyline(out, polyline);
  }
  out += "</g>\n";
}

}  // namespace

std::string write_svg(const Drawing& drawing, const Svg_Options& options) {
  const double stroke_width = options.stroke_width;
  if (!(std::isfinite(stroke_width) && stroke_width > 0.0)) {
    throw std::invalid_argument("the stroke width must be a positive number");
  }
  std::size_t points = 0;
  for (const std::vector<Style_Group>& groups : drawing.layers) {
    for (const Style_Group& group : groups) {
      for (const Drawing_Polyline& polyline : group.polylines) points += polyline.size();
      points += group.dots.size() * 3;
    }
  }
  std::string out;
  out.reserve(256 + points * 16);
  append_header(out, drawing);
  for (std::size_t l = 0; l < layer_count; ++l) {
    const Layer layer = static_cast<Layer>(l);
    // Centre lines come from the tool, not the renderer: their layer is
    // written when it holds some.
    if (layer == Layer::centre_lines && drawing.layers[l].empty()) continue;
    append_layer_start(out, layer, stroke_width);
    for (const Style_Group& group : drawing.layers[l]) {
      append_group(out, group, layer == Layer::markers, stroke_width);
    }
    out += "</g>\n";
  }
  out += "</svg>\n";
  return out;
}

std::size_t svg_polyline_elements(const Drawing& drawing) {
  std::size_t elements = 0;
  for (const std::vector<Style_Group>& groups : drawing.layers) {
    for (const Style_Group& group : groups) {
      for (const Drawing_Polyline& polyline : group.polylines) {
        elements += (polyline.size() - 2) / (svg_max_points_per_element - 1) + 1;
      }
    }
  }
  return elements;
}

}  // namespace hlr_tool
