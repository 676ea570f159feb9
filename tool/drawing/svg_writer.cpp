#include "tool/drawing/svg_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "tool/common/parallel.h"

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

void append_group_start(std::string& out, const Style_Group& group, bool dots,
                        double stroke_width) {
  out += "<g";
  if (dots) {
    append_svg_paint(out, "fill", group.color_argb);
  } else {
    append_svg_paint(out, "stroke", group.color_argb);
    append_dash(out, group.dash, stroke_width);
  }
  out += ">\n";
}

// The group's lines from `first` to before `last`.
void append_lines(std::string& out, const Style_Group& group, std::size_t first, std::size_t last) {
  for (std::size_t k = first; k < last; ++k) {
    if (!group.arcs.empty() && group.arcs[k]) {
      append_svg_arc(out, *group.arcs[k]);
    } else {
      append_polyline(out, group.polylines[k]);
    }
  }
}

// A group's lines cut into parts of about the same number of points,
// each formatted on its own, on the threads, and the document's text
// that comes before it.
struct Lines_Part {
  const Style_Group* group = nullptr;
  std::size_t first = 0, last = 0;
  std::string before, text;
};

constexpr std::size_t points_per_part = 32768;

}  // namespace

void write_svg(const Drawing& drawing, const Svg_Options& options,
               const std::function<void(std::string_view)>& write) {
  const double stroke_width = options.stroke_width;
  if (!(std::isfinite(stroke_width) && stroke_width > 0.0)) {
    throw std::invalid_argument("the stroke width must be a positive number");
  }
  // The document as parts of lines, each with the text that comes before
  // it (the header, layers and groups begun and ended since the last).
  std::vector<Lines_Part> parts;
  std::string between;
  append_header(between, drawing);
  for (std::size_t l = 0; l < layer_count; ++l) {
    const Layer layer = static_cast<Layer>(l);
    // Centre lines come from the tool, not the renderer: their layer is
    // written when it holds some.
    if (layer == Layer::centre_lines && drawing.layers[l].empty()) continue;
    append_layer_start(between, layer, stroke_width);
    for (const Style_Group& group : drawing.layers[l]) {
      const bool dots = layer == Layer::markers;
      append_group_start(between, group, dots, stroke_width);
      if (dots) {
        for (const Drawing_Point& centre : group.dots) append_dot(between, centre, stroke_width);
      } else {
        std::size_t in_part = 0, first = 0;
        for (std::size_t k = 0; k < group.polylines.size(); ++k) {
          in_part += group.polylines[k].size();
          if (in_part >= points_per_part || k + 1 == group.polylines.size()) {
            parts.push_back({&group, first, k + 1, std::move(between), {}});
            between.clear();
            first = k + 1;
            in_part = 0;
          }
        }
      }
      between += "</g>\n";
    }
    between += "</g>\n";
  }
  between += "</svg>\n";
  // Formatted on the threads, written in order as they come.
  for_each_in_parallel_used_in_order(
      parts.size(), std::max<std::size_t>(options.threads, 1),
      [&](std::size_t i) {
        Lines_Part& part = parts[i];
        append_lines(part.text, *part.group, part.first, part.last);
      },
      [&](std::size_t i) {
        write(parts[i].before);
        write(parts[i].text);
        parts[i] = {};
      });
  write(between);
}

std::string write_svg(const Drawing& drawing, const Svg_Options& options) {
  std::size_t points = 0;
  for (const std::vector<Style_Group>& groups : drawing.layers) {
    for (const Style_Group& group : groups) {
      for (const Drawing_Polyline& polyline : group.polylines) points += polyline.size();
      points += group.dots.size() * 3;
    }
  }
  std::string out;
  out.reserve(256 + points * 16);
  write_svg(drawing, options, [&out](std::string_view piece) { out += piece; });
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
