#include "tool/drawing/svg_replay.h"

#include <algorithm>

#include "tool/drawing/svg_renderer.h"

namespace hlr_tool {

namespace {

bool draws(const KT_Recorded_Call& call) {
  return call.kind == KT_Recorded_Call::Kind::polyline ||
         call.kind == KT_Recorded_Call::Kind::marker;
}

// One reference on the renderer for as long as the replay runs.
class Held_Svg {
 public:
  explicit Held_Svg(Svg_Renderer* svg) : svg_(svg) { svg_->add_reference(); }
  Held_Svg(const Held_Svg&) = delete;
  Held_Svg& operator=(const Held_Svg&) = delete;
  ~Held_Svg() { svg_->drop_reference(); }
  Svg_Renderer& operator*() const { return *svg_; }

 private:
  Svg_Renderer* svg_;
};

template <int Form, class Point>
void send_polyline(const Svg_Renderer& svg, const KT_Rendition& rendition,
                   const std::vector<Point>& points) {
  svg.actions.call(KT_Actions::polyline_form<Form>(), rendition, static_cast<int>(points.size()),
                   points.data());
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

std::string svg_of_calls(const std::vector<KT_Recorded_Call>& calls, double stroke_width) {
  Held_Svg svg(new Svg_Renderer(Svg_Settings{drawing_area_of(calls), stroke_width}));
  KT_Rendition rendition = KT_Rendition::create();
  for (const KT_Recorded_Call& call : calls) {
    if (!draws(call)) continue;
    rendition.set_color(call.color, false);
    rendition.set_line_pattern(call.line_pattern);
    rendition.set_clip_rectangle(call.clip_rectangle);
    if (call.kind == KT_Recorded_Call::Kind::marker) {
      (*svg).actions.call(KT_Actions::marker_action, rendition,
                          static_cast<int>(call.float_points.size()), call.float_points.data());
      continue;
    }
    switch (call.form) {
      case 1:
        send_polyline<1>(*svg, rendition, call.float_points);
        break;
      case 2:
        send_polyline<2>(*svg, rendition, call.float_points);
        break;
      case 3:
        send_polyline<3>(*svg, rendition, call.integer_points);
        break;
      case 4:
        send_polyline<4>(*svg, rendition, call.integer_points);
        break;
      case 5:
        send_polyline<5>(*svg, rendition, call.double_points);
        break;
      default:
        break;
    }
  }
  return (*svg).svg();
}

}  // namespace hlr_tool
