#include "tool/drawing/svg_replay.h"

#include <algorithm>

#include "tool/common/held_reference.h"
#include "tool/drawing/drawing_renderer.h"
#include "tool/drawing/line_precedence.h"
#include "tool/drawing/svg_writer.h"

namespace hlr_tool {

namespace {

bool draws(const KT_Recorded_Call& call) {
  return call.kind == KT_Recorded_Call::Kind::polyline ||
         call.kind == KT_Recorded_Call::Kind::marker;
}

template <int Form, class Point>
void send_polyline(const Drawing_Renderer& collector, const KT_Rendition& rendition,
                   const std::vector<Point>& points) {
  collector.actions.call(KT_Actions::polyline_form<Form>(), rendition,
                         static_cast<int>(points.size()), points.data());
}

}  // namespace

KT_Int_Rectangle drawing_area_of(const std::vector<KT_Recorded_Call>& calls) {
  bool found = false;
  KT_Int_Rectangle area{0, 1000, 0, 1000};
  for (const KT_Recorded_Call& call : calls) {
    const KT_Int_Rectangle& clip = call.clip_rectangle;
    if (!draws(call) || clip.x_max <= clip.x_min || clip.y_max <= clip.y_min) continue;
    if (!found) {
      area = clip;
      found = true;
      continue;
    }
    area.x_min = std::min(area.x_min, clip.x_min);
    area.x_max = std::max(area.x_max, clip.x_max);
    area.y_min = std::min(area.y_min, clip.y_min);
    area.y_max = std::max(area.y_max, clip.y_max);
  }
  return area;
}

std::string svg_of_calls(const std::vector<KT_Recorded_Call>& calls, double stroke_width,
                         bool keep_coincident) {
  auto* collector = new Drawing_Renderer(drawing_area_of(calls));
  Held_Reference collector_reference(collector);
  KT_Rendition rendition = KT_Rendition::create();
  for (const KT_Recorded_Call& call : calls) {
    if (!draws(call)) continue;
    rendition.set_color(call.color, false);
    rendition.set_line_pattern(call.line_pattern);
    rendition.set_clip_rectangle(call.clip_rectangle);
    if (call.kind == KT_Recorded_Call::Kind::marker) {
      collector->actions.call(KT_Actions::marker_action, rendition,
                              static_cast<int>(call.float_points.size()), call.float_points.data());
      continue;
    }
    switch (call.form) {
      case 1:
        send_polyline<1>(*collector, rendition, call.float_points);
        break;
      case 2:
        send_polyline<2>(*collector, rendition, call.float_points);
        break;
      case 3:
        send_polyline<3>(*collector, rendition, call.integer_points);
        break;
      case 4:
        send_polyline<4>(*collector, rendition, call.integer_points);
        break;
      case 5:
        send_polyline<5>(*collector, rendition, call.double_points);
        break;
      default:
        break;
    }
  }
  Drawing drawing = collector->drawing();
  if (!keep_coincident) apply_line_precedence(drawing);
  return write_svg(drawing, {stroke_width});
}

}  // namespace hlr_tool
