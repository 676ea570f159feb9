#include "tool/drawing/drawing.h"

namespace hlr_tool {

const char* layer_name(Layer layer) {
  switch (layer) {
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

std::span<const double> dash_lengths(Dash dash) {
  static constexpr double dashed[] = {5.0, 5.0};
  static constexpr double dotted[] = {0.5, 2.5};
  static constexpr double dash_dot[] = {7.0, 3.0, 0.5, 3.0};
  switch (dash) {
    case Dash::solid:
      return {};
    case Dash::dashed:
      return dashed;
    case Dash::dotted:
      return dotted;
    case Dash::dash_dot:
      return dash_dot;
  }
  return {};
}

}  // namespace hlr_tool
