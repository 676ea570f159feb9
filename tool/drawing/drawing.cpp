#include "tool/drawing/drawing.h"

#include <algorithm>
#include <utility>

namespace hlr_tool {

const char* layer_name(Layer layer) {
  switch (layer) {
    case Layer::centre_lines:
      return "centre-lines";
    case Layer::hidden:
      return "hidden";
    case Layer::visible:
      return "visible";
    case Layer::intersections:
      return "intersections";
    case Layer::markers:
      return "markers";
  }
  return "visible";
}

std::span<const double> dash_lengths(Dash dash, bool iso_128) {
  // The screen's patterns, for drawings in device units.
  static constexpr double dashed[] = {5.0, 5.0};
  static constexpr double dotted[] = {0.5, 2.5};
  static constexpr double dash_dot[] = {7.0, 3.0, 0.5, 3.0};
  // ISO 128-20's (iso_128_pattern) less the round caps: each dash one
  // width shorter, each gap one width longer; a dot is a cap alone.
  static constexpr double iso_dashed[] = {11.0, 4.0};
  static constexpr double iso_dotted[] = {0.0, 4.0};
  static constexpr double iso_chain[] = {23.0, 4.0, 0.0, 4.0};
  switch (dash) {
    case Dash::solid:
      return {};
    case Dash::dashed:
      return iso_128 ? std::span<const double>(iso_dashed) : dashed;
    case Dash::dotted:
      return iso_128 ? std::span<const double>(iso_dotted) : dotted;
    case Dash::dash_dot:
      return iso_128 ? std::span<const double>(iso_chain) : dash_dot;
    case Dash::chain:
      return iso_chain;
  }
  return {};
}

Iso_Dash_Pattern iso_128_pattern(Dash dash) {
  switch (dash) {
    case Dash::solid:
      break;
    case Dash::dashed:  // 02
      return {12.0, 3.0, 0.0};
    case Dash::dotted:  // 07
      return {0.0, 3.0, 0.5};
    case Dash::dash_dot:  // drawn as 04 on a sheet
    case Dash::chain:     // 04
      return {24.0, 3.0, 0.5};
  }
  return {0.0, 0.0, 0.0};
}

void add_centre_line(Drawing& drawing, Drawing_Polyline line, std::uint32_t color_argb) {
  std::vector<Style_Group>& groups = drawing.layer(Layer::centre_lines);
  auto group = std::find_if(groups.begin(), groups.end(), [&](const Style_Group& g) {
    return g.color_argb == color_argb && g.dash == Dash::chain;
  });
  if (group == groups.end()) {
    groups.push_back({color_argb, Dash::chain, {}, {}, {}});
    group = groups.end() - 1;
  }
  group->polylines.push_back(std::move(line));
  if (!group->models.empty()) group->models.push_back(-1);
}

}  // namespace hlr_tool
