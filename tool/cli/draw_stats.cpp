#include "tool/cli/draw_stats.h"

#include <cstdio>

namespace hlr_tool {

void print_draw_stats(std::size_t model_count, const Draw_Result& result,
                      const Command_Times& times, std::size_t svg_polylines) {
  const Draw_Stats& stats = result.stats;
  const auto pieces = [&stats](Layer l, bool drawn) {
    return (drawn ? stats.pieces.drawn : stats.pieces.received)[static_cast<std::size_t>(l)];
  };
  const Scene_Stats& s = stats.scene;
  std::printf("models:          %zu (%zu bodies)\n", model_count, stats.bodies);
  std::printf("faces:           %zu triangles in %zu strips\n", s.triangles, s.strips);
  std::printf("edges:           %zu in %zu polylines\n", s.edges, s.polylines);
  std::printf("pieces received: %zu visible, %zu hidden, %zu intersections\n",
              pieces(Layer::visible, false), pieces(Layer::hidden, false),
              pieces(Layer::intersections, false));
  std::printf("pieces drawn:    %zu visible, %zu hidden, %zu intersections\n",
              pieces(Layer::visible, true), pieces(Layer::hidden, true),
              pieces(Layer::intersections, true));
  std::size_t markers = 0;
  for (const Style_Group& group : result.drawing.layer(Layer::markers)) {
    markers += group.dots.size();
  }
  std::printf("written:         %zu polylines, %zu markers\n", svg_polylines, markers);
  const double total =
      times.import + stats.scene_ms + stats.capture_ms + stats.update_ms + times.write;
  std::printf(
      "time (ms):       import %.1f, scene %.1f, capture %.1f, hidden-line passes %.1f, "
      "writing %.1f, total %.1f\n",
      times.import, stats.scene_ms, stats.capture_ms, stats.update_ms, times.write, total);
  std::printf("renderers:       %zu, processor time (ms)", stats.renderer_processor_ms.size());
  for (std::size_t k = 0; k < stats.renderer_processor_ms.size(); ++k)
    std::printf("%s %.1f", k == 0 ? "" : ",", stats.renderer_processor_ms[k]);
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace hlr_tool
