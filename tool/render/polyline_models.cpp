#include "tool/render/polyline_models.h"

#include "tool/drawing/segment_grid.h"

namespace hlr_tool {

void find_polyline_models(Drawing& drawing, const Scene& scene, std::span<const Model> models) {
  std::size_t segments = 0;
  for (const Scene_Body& body : scene.bodies) {
    for (const Device_Polyline& line : body.polylines) segments += line.size() - 1;
  }
  Bounds bounds;
  bounds.add({0.0, 0.0});
  bounds.add({drawing.width, drawing.height});
  // Pieces are float device coordinates worked out along their edge: a few
  // float steps of the drawing's size off it at most.
  Segment_Grid grid(bounds, segments, 1e-5 * (drawing.width + drawing.height));
  std::vector<std::int32_t> edge_model;
  std::size_t body = 0;
  for (std::size_t m = 0; m < models.size(); ++m) {
    for (std::size_t b = 0; b < models[m].bodies.size() && body < scene.bodies.size(); ++b) {
      for (const Device_Polyline& line : scene.bodies[body].polylines) {
        for (std::size_t k = 0; k + 1 < line.size(); ++k) {
          grid.add({{double(line[k].x), drawing.height - double(line[k].y)},
                    {double(line[k + 1].x), drawing.height - double(line[k + 1].y)}});
          edge_model.push_back(std::int32_t(m));
        }
      }
      ++body;
    }
  }
  for (std::size_t l = 0; l < layer_count; ++l) {
    for (Style_Group& group : drawing.layers[l]) {
      group.models.clear();
      for (const Drawing_Polyline& line : group.polylines) {
        std::int32_t model = -1;
        if (static_cast<Layer>(l) != Layer::intersections) {
          grid.for_each_holding({line[0], line[1]}, [&](std::size_t k) {
            model = edge_model[k];
            return true;
          });
        }
        group.models.push_back(model);
      }
    }
  }
}

}  // namespace hlr_tool
