#include "tool/cli/draw_stats.h"

#include <algorithm>
#include <cstdio>

#include "tool/drawing/svg_writer.h"

namespace hlr_tool {

void print_draw_stats(std::size_t model_count, std::span<const Draw_Result> views,
                      const Command_Times& times, const Sheet* sheet, const Pen_Travel* travel) {
  Drawing_Counts pieces;
  Scene_Stats s;
  std::size_t bodies = 0, polylines = 0, markers = 0;
  double scene_ms = 0.0, capture_ms = 0.0, update_ms = 0.0;
  for (const Draw_Result& view : views) {
    const Draw_Stats& stats = view.stats;
    for (std::size_t l = 0; l < layer_count; ++l) {
      pieces.received[l] += stats.pieces.received[l];
      pieces.drawn[l] += stats.pieces.drawn[l];
    }
    s.triangles += stats.scene.triangles;
    s.strips += stats.scene.strips;
    s.edges += stats.scene.edges;
    s.polylines += stats.scene.polylines;
    bodies = std::max(bodies, stats.bodies);  // the same bodies in every view
    polylines += svg_polyline_elements(view.drawing);
    for (const Style_Group& group : view.drawing.layer(Layer::markers)) {
      markers += group.dots.size();
    }
    scene_ms += stats.scene_ms;
    capture_ms += stats.capture_ms;
    update_ms += stats.update_ms;
  }
  const auto count = [&pieces](Layer l, bool drawn) {
    return (drawn ? pieces.drawn : pieces.received)[static_cast<std::size_t>(l)];
  };
  std::printf("models:          %zu (%zu bodies)\n", model_count, bodies);
  std::printf("faces:           %zu triangles in %zu strips\n", s.triangles, s.strips);
  std::printf("edges:           %zu in %zu polylines\n", s.edges, s.polylines);
  std::printf("pieces received: %zu visible, %zu hidden, %zu intersections\n",
              count(Layer::visible, false), count(Layer::hidden, false),
              count(Layer::intersections, false));
  std::printf("pieces drawn:    %zu visible, %zu hidden, %zu intersections\n",
              count(Layer::visible, true), count(Layer::hidden, true),
              count(Layer::intersections, true));
  std::printf("written:         %zu polylines, %zu markers\n", polylines, markers);
  const char* unit = sheet != nullptr && sheet->paged ? "mm" : "device units";
  if (sheet != nullptr) {
    std::printf("sheet:           %.1f x %.1f %s, %zu view(s)", sheet->width, sheet->height, unit,
                sheet->views.size());
    if (sheet->paged && sheet->units_per_model > 0.0) {
      // Model units taken as millimetres.
      if (sheet->units_per_model >= 1.0) {
        std::printf(", scale %.4g:1", sheet->units_per_model);
      } else {
        std::printf(", scale 1:%.4g", 1.0 / sheet->units_per_model);
      }
    }
    std::printf("\n");
  }
  if (travel != nullptr) {
    std::printf("pen-up travel:   %.1f before, %.1f after ordering (%s)\n", travel->before,
                travel->after, unit);
  }
  const double total = times.import + scene_ms + capture_ms + update_ms + times.write;
  std::printf(
      "time (ms):       import %.1f, scene %.1f, capture %.1f, hidden-line passes %.1f, "
      "writing %.1f, total %.1f\n",
      times.import, scene_ms, capture_ms, update_ms, times.write, total);
  // Per renderer, in the order of the views.
  std::size_t renderers = 0;
  for (const Draw_Result& view : views) renderers += view.stats.renderer_processor_ms.size();
  std::printf("renderers:       %zu, processor time (ms)", renderers);
  std::size_t k = 0;
  for (const Draw_Result& view : views) {
    for (const double ms : view.stats.renderer_processor_ms) {
      std::printf("%s %.1f", k++ == 0 ? "" : ",", ms);
    }
  }
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace hlr_tool
