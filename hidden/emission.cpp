#include "emission.h"

#include "intervals.h"

namespace {

// One piece: a two-point polyline through form `Form` of next's polyline
// action, start first.
template <int Form>
void send_piece(const KT_Renderer_Data& next, const KT_Rendition& rendition,
                const KT_Form_Point_t<Form>& start, const KT_Form_Point_t<Form>& end) {
  const KT_Form_Point_t<Form> points[2] = {start, end};
  next.actions.call(KT_Actions::polyline_form<Form>(), rendition, 2, points);
}

// The halo in parameter terms, evaluated left to right: halo_gap device
// units along the dominant axis (the tolerance is 0.01 of them). A negative
// "Halo Gap" gives a negative halo.
double halo_of(std::int32_t halo_gap, const HLR_Edge& edge) {
  return (static_cast<double>(halo_gap) * 100.0) * edge.t_tolerance;
}

// Visible pieces without a halo: from the start of the working range to the
// first hidden interval, between intervals, and from the last one to the
// end. Zero-length pieces go out as they are.
void visible_pieces_double(const KT_Renderer_Data& next, const HLR_Edge& edge) {
  const HLR_Double_End_Points ends = double_end_points(edge);
  double s = edge.t_min;
  for (const hidden_interval* node = edge.intervals; node != nullptr; node = node->next_interval) {
    send_piece<5>(next, *edge.rendition, point_at_d(edge, ends, s),
                  point_at_d(edge, ends, node->from));
    s = node->to;
  }
  send_piece<5>(next, *edge.rendition, point_at_d(edge, ends, s),
                point_at_d(edge, ends, edge.t_max));
}

void visible_pieces_single(const KT_Renderer_Data& next, const HLR_Edge& edge) {
  double s = edge.t_min;
  for (const hidden_interval* node = edge.intervals; node != nullptr; node = node->next_interval) {
    send_piece<1>(next, *edge.rendition, point_at(edge, s), point_at(edge, node->from));
    s = node->to;
  }
  send_piece<1>(next, *edge.rendition, point_at(edge, s), point_at(edge, edge.t_max));
}

// Visible pieces shortened by h wherever they meet a hidden stretch (not at
// a captured end, which is only clipped), and dropped when nothing is left.
void visible_pieces_halo(const KT_Renderer_Data& next, const HLR_Edge& edge, double h) {
  double s = edge.t_min;
  if (edge.t_min > edge.t_min_captured) s += h;
  for (const hidden_interval* node = edge.intervals; node != nullptr; node = node->next_interval) {
    const double e = node->from - h;
    if (e > s) send_piece<1>(next, *edge.rendition, point_at(edge, s), point_at(edge, e));
    s = node->to + h;
  }
  double e = edge.t_max;
  if (edge.t_max_captured > edge.t_max) e -= h;
  if (e > s) send_piece<1>(next, *edge.rendition, point_at(edge, s), point_at(edge, e));
}

// Hidden pieces in double precision: the start stretch from the end point,
// every hidden interval, the end stretch to the end point.
void hidden_pieces_double(const KT_Renderer_Data& next, const KT_Rendition& rendition,
                          const HLR_Edge& edge) {
  const HLR_Double_End_Points ends = double_end_points(edge);
  if (edge.t_min == 1.0) {
    send_piece<5>(next, rendition, ends.a, ends.b);
    return;
  }
  if (edge.t_min != 0.0) send_piece<5>(next, rendition, ends.a, point_at_d(edge, ends, edge.t_min));
  for (const hidden_interval* node = edge.intervals; node != nullptr; node = node->next_interval) {
    send_piece<5>(next, rendition, point_at_d(edge, ends, node->from),
                  point_at_d(edge, ends, node->to));
  }
  if (edge.t_max != 1.0) send_piece<5>(next, rendition, point_at_d(edge, ends, edge.t_max), ends.b);
}

// In single precision the stretches at the ends, which may lie outside the
// clip rectangle, go through form 1; the intervals inside the captured
// range through form 2.
void hidden_pieces_single(const KT_Renderer_Data& next, const KT_Rendition& rendition,
                          const HLR_Edge& edge) {
  if (edge.t_min == 1.0) {
    send_piece<1>(next, rendition, edge.a, edge.b);
    return;
  }
  if (edge.t_min != 0.0) send_piece<1>(next, rendition, edge.a, point_at(edge, edge.t_min));
  for (const hidden_interval* node = edge.intervals; node != nullptr; node = node->next_interval) {
    send_piece<2>(next, rendition, point_at(edge, node->from), point_at(edge, node->to));
  }
  if (edge.t_max != 1.0) send_piece<1>(next, rendition, point_at(edge, edge.t_max), edge.b);
}

// With a halo, hidden pieces begin h after and end h before every visible
// piece they meet; a fully hidden edge goes out whole.
void hidden_pieces_halo(const KT_Renderer_Data& next, const KT_Rendition& rendition,
                        const HLR_Edge& edge, double h) {
  if (edge.t_min == 1.0) {
    send_piece<1>(next, rendition, edge.a, edge.b);
    return;
  }
  if (edge.t_min != 0.0 && edge.t_min - h > 0.0) {
    send_piece<1>(next, rendition, edge.a, point_at(edge, edge.t_min - h));
  }
  for (const hidden_interval* node = edge.intervals; node != nullptr; node = node->next_interval) {
    const double s = node->from + h;
    const double e = node->to - h;
    if (e > s) send_piece<2>(next, rendition, point_at(edge, s), point_at(edge, e));
  }
  if (edge.t_max != 1.0 && edge.t_max + h < 1.0) {
    send_piece<1>(next, rendition, point_at(edge, edge.t_max + h), edge.b);
  }
}

}  // namespace

void emit_visible_lines(const HLR_Renderer_State& renderer, const KT_Renderer_Data& next) {
  // The regime is chosen once per call: double precision ignores the halo.
  const bool double_precision = renderer.use_double_precision;
  const std::int32_t halo_gap = renderer.halo_gap;
  for (const HLR_Edge* edge = renderer.edge_list.head; edge != nullptr; edge = edge->link) {
    if (edge->t_min == 1.0) continue;  // fully hidden: nothing visible
    if (double_precision) {
      visible_pieces_double(next, *edge);
    } else if (halo_gap == 0) {
      visible_pieces_single(next, *edge);
    } else {
      visible_pieces_halo(next, *edge, halo_of(halo_gap, *edge));
    }
  }
}

void emit_hidden_lines(const HLR_Renderer_State& renderer, const KT_Renderer_Data& next,
                       KT_Rendition& rendition) {
  const bool double_precision = renderer.use_double_precision;
  const std::int32_t halo_gap = renderer.halo_gap;
  const bool retain_color = renderer.retain_hidden_line_color;
  for (const HLR_Edge* edge = renderer.edge_list.head; edge != nullptr; edge = edge->link) {
    if (double_precision) {
      rendition.set_color(edge->hidden_color, false);
      hidden_pieces_double(next, rendition, *edge);
    } else if (halo_gap == 0) {
      rendition.set_color(edge->hidden_color, false);
      hidden_pieces_single(next, rendition, *edge);
    } else {
      // With a halo the colour changes only to keep the edge's own; when it
      // is not kept, the rendition keeps the hidden-line colour that update
      // gave it.
      if (retain_color) rendition.set_color(edge->rendition->color(), false);
      hidden_pieces_halo(next, rendition, *edge, halo_of(halo_gap, *edge));
    }
  }
}
