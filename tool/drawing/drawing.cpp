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

}  // namespace hlr_tool
