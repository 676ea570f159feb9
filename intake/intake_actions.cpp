// The unclipped intake operations, the conversions from integer and double
// points to the float operations, the per-segment colour forms and the
// markers. The clipped float and double operations are in clipping.cpp.
#include "intake_actions.h"

#include "point_buffer.h"
#include "store.h"

namespace {

// The colour of segment i: colours[i], or colours[0] throughout when
// one_color is set.
class segment_colors {
 public:
  segment_colors(const KT_RGB32* colors, int one_color) : next_(colors), one_color_(one_color) {}
  KT_RGB32 current() const { return *next_; }
  void advance() {
    if (one_color_ == 0) ++next_;
  }

 private:
  const KT_RGB32* next_;
  int one_color_;
};

// The unclipped coloured polyline, for float or integer points: each
// segment's edge holds a rendition that carries the segment's colour.
template <class Point>
void colored_polyline_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                             const Point* points, const KT_RGB32* colors, int one_color) {
  // A handle of our own: set_color makes it unique, so neither the caller's
  // rendition nor the renditions of earlier edges change colour. Its
  // destructor drops the reference on every way out.
  KT_Rendition segment_rendition(rendition);
  if (count <= 1) return;

  // The option is read once; it cannot change during the call.
  const bool retain = renderer.retain_hidden_line_color;
  const KT_RGB32 option_hidden_color =
      retain ? KT_RGB32{}
             : pack_color(renderer.current_option_entries[hidden_line_color_option]->color_value());

  segment_colors color(colors, one_color);
  KT_Point p = to_float_point(points[0]);
  for (int i = 0; i + 1 < count; ++i) {
    const KT_RGB32 segment_color = color.current();
    segment_rendition.set_color(segment_color, false);
    const KT_RGB32 hidden_color = retain ? segment_color : option_hidden_color;
    const KT_Point q = to_float_point(points[i + 1]);
    make_edge(renderer, segment_rendition, hidden_color, p, q, 0.0f, 1.0f);
    p = q;
    color.advance();
  }
}

// The clipped coloured polyline: each segment goes on its own, as float,
// through polyline_f with a rendition carrying the segment's colour, so
// polyline_f's colour choice sees that colour.
template <class Point>
void colored_polyline_clipped(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                              int count, const Point* points, const KT_RGB32* colors,
                              int one_color) {
  KT_Rendition segment_rendition(rendition);
  if (count <= 1) return;

  segment_colors color(colors, one_color);
  for (int i = 0; i + 1 < count; ++i) {
    segment_rendition.set_color(color.current(), false);
    const KT_Point segment[2] = {to_float_point(points[i]), to_float_point(points[i + 1])};
    polyline_f(renderer, segment_rendition, 2, segment);
    color.advance();
  }
}

}  // namespace

void strip_f_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                    const KT_Point* points) {
  if (count < 3) return;
  const KT_RGB32 intersection_color = intersection_color_for(renderer, rendition);
  const KT_RGB32 hidden_color = hidden_color_for(renderer, rendition);
  // make_face orders each triangle by its own signed area, so the
  // alternating winding of a strip needs no care here.
  for (int i = 0; i + 2 < count; ++i) {
    make_face(renderer, rendition, intersection_color, hidden_color, points[i], points[i + 1],
              points[i + 2]);
  }
}

void strip_i(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
             const KT_Point_I* points) {
  const converted_points<KT_Point_I> converted(count, points);
  strip_f(renderer, rendition, count, converted.data());
}

void strip_i_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                    const KT_Point_I* points) {
  const converted_points<KT_Point_I> converted(count, points);
  strip_f_noclip(renderer, rendition, count, converted.data());
}

void strip_d(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
             const KT_Point_D* points) {
  // Faces keep no double data: the strip is clipped and stored as float.
  const converted_points<KT_Point_D> converted(count, points);
  strip_f(renderer, rendition, count, converted.data());
}

void polyline_f_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                       const KT_Point* points) {
  if (count < 2) return;
  const KT_RGB32 hidden_color = hidden_color_for(renderer, rendition);
  // Zero-length segments are captured like any other.
  for (int i = 0; i + 1 < count; ++i) {
    make_edge(renderer, rendition, hidden_color, points[i], points[i + 1], 0.0f, 1.0f);
  }
}

void polyline_i(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                const KT_Point_I* points) {
  const converted_points<KT_Point_I> converted(count, points);
  polyline_f(renderer, rendition, count, converted.data());
}

void polyline_i_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                       const KT_Point_I* points) {
  if (count < 2) return;
  const KT_RGB32 hidden_color = hidden_color_for(renderer, rendition);
  // No array: each point is converted when it is reached and paired with
  // the previous one.
  KT_Point p = to_float_point(points[0]);
  for (int i = 1; i < count; ++i) {
    const KT_Point q = to_float_point(points[i]);
    make_edge(renderer, rendition, hidden_color, p, q, 0.0f, 1.0f);
    p = q;
  }
}

void colored_polyline_f(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                        const KT_Point* points, const KT_RGB32* colors, int one_color) {
  colored_polyline_clipped(renderer, rendition, count, points, colors, one_color);
}

void colored_polyline_f_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                               int count, const KT_Point* points, const KT_RGB32* colors,
                               int one_color) {
  colored_polyline_noclip(renderer, rendition, count, points, colors, one_color);
}

void colored_polyline_i(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                        const KT_Point_I* points, const KT_RGB32* colors, int one_color) {
  colored_polyline_clipped(renderer, rendition, count, points, colors, one_color);
}

void colored_polyline_i_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                               int count, const KT_Point_I* points, const KT_RGB32* colors,
                               int one_color) {
  colored_polyline_noclip(renderer, rendition, count, points, colors, one_color);
}

void colored_polyline_d(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                        const KT_Point_D* points, const KT_RGB32* colors, int one_color) {
  // Unlike polyline_d, the edges keep no double end points.
  colored_polyline_clipped(renderer, rendition, count, points, colors, one_color);
}

void marker_f(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
              const KT_Point* points) {
  // Markers are neither clipped nor coloured here; the update tests each one
  // for visibility.
  for (int i = 0; i < count; ++i) make_marker(renderer, rendition, points[i]);
}
