// The clipped operations: triangle strips are culled against the
// rendition's clip rectangle but never cut, and polyline segments are
// stored whole with the inside part recorded as their parameter range.
#include <algorithm>
#include <cstdint>

#include "intake_actions.h"
#include "point_buffer.h"
#include "store.h"

namespace {

// The clip rectangle's sides as float, as the range computation uses them.
struct clip_sides {
  float x_min;
  float x_max;
  float y_min;
  float y_max;
};

clip_sides sides_of(const KT_Int_Rectangle& rectangle) {
  return {static_cast<float>(rectangle.x_min), static_cast<float>(rectangle.x_max),
          static_cast<float>(rectangle.y_min), static_cast<float>(rectangle.y_max)};
}

// The inside part [t_in, t_out] of the segment p-q whose outcodes are c0 and
// c1, or false when the segment is to be dropped. Float arithmetic, each
// operation in the order written, since the clipped end points reach the
// output to the bit: only the sides beyond which an end point lies take part,
// the entry side chosen by p and the exit side by q, and the comparisons
// are strict, so a point on a side counts as inside. The outcodes agree
// with these comparisons, so no division below has a zero denominator: a
// segment with both ends beyond one side is dropped by the outcode test.
bool segment_range(const clip_sides& s, const KT_Point& p, const KT_Point& q, std::uint16_t c0,
                   std::uint16_t c1, float& t_in, float& t_out) {
  if ((c0 & c1) != 0) return false;
  t_in = 0.0f;
  t_out = 1.0f;
  if (c0 == 0 && c1 == 0) return true;

  if (p.x < s.x_min) {
    t_in = std::max((s.x_min - p.x) / (q.x - p.x), 0.0f);
  } else if (p.x > s.x_max) {
    t_in = std::max((s.x_max - p.x) / (q.x - p.x), 0.0f);
  }
  if (p.y < s.y_min) {
    t_in = std::max((s.y_min - p.y) / (q.y - p.y), t_in);
  } else if (p.y > s.y_max) {
    t_in = std::max((s.y_max - p.y) / (q.y - p.y), t_in);
  }

  if (q.x < s.x_min) {
    t_out = std::min((s.x_min - p.x) / (q.x - p.x), 1.0f);
  } else if (q.x > s.x_max) {
    t_out = std::min((s.x_max - p.x) / (q.x - p.x), 1.0f);
  }
  if (q.y < s.y_min) {
    t_out = std::min((s.y_min - p.y) / (q.y - p.y), t_out);
  } else if (q.y > s.y_max) {
    t_out = std::min((s.y_max - p.y) / (q.y - p.y), t_out);
  }

  // A segment passing outside a corner has its exit before its entry; a NaN
  // range is dropped too.
  return t_out > t_in;
}

}  // namespace

void strip_f(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
             const KT_Point* points) {
  if (count < 2) return;
  outcode_buffer outcodes(count);
  const int clip = KD_Clip(rendition.clip_rectangle(), count, points, outcodes.data());
  if (clip == count) {
    strip_f_noclip(renderer, rendition, count, points);
    return;
  }
  if (clip == 0) return;

  // Triangle k is points k, k+1, k+2; the last is count - 3.
  const int last = count - 3;
  const auto every_code = [&](int k) { return outcodes[k] & outcodes[k + 1] & outcodes[k + 2]; };
  const auto any_code = [&](int k) { return outcodes[k] | outcodes[k + 1] | outcodes[k + 2]; };
  int k = 0;
  while (k <= last) {
    // Rejection: triangles wholly beyond one side.
    while (k <= last && every_code(k) != 0) ++k;
    // Crossing triangles, captured whole one at a time. The rejection test
    // is not applied again here, so a triangle wholly beyond one side that
    // directly follows a crossing triangle is captured too.
    while (k <= last && any_code(k) != 0) {
      strip_f_noclip(renderer, rendition, 3, points + k);
      ++k;
    }
    if (k > last) break;
    // An inside run: triangle k is inside; the run of inside points goes to
    // one call, up to the point before the first outside point j.
    int j = k + 3;
    while (j < count && outcodes[j] == 0) ++j;
    strip_f_noclip(renderer, rendition, j - k, points + k);
    if (j == count) break;
    // Triangle j - 2 is the first that contains point j.
    k = j - 2;
  }
}

void polyline_f(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                const KT_Point* points) {
  // KD_Clip would report a single point inside or wholly outside, so
  // nothing is captured for fewer than two points either way.
  if (count < 2) return;
  outcode_buffer outcodes(count);
  const int clip = KD_Clip(rendition.clip_rectangle(), count, points, outcodes.data());
  if (clip == count) {
    polyline_f_noclip(renderer, rendition, count, points);
    return;
  }
  if (clip == 0) return;

  const clip_sides sides = sides_of(rendition.clip_rectangle());
  const KT_RGB32 hidden_color = hidden_color_for(renderer, rendition);
  for (int i = 0; i + 1 < count; ++i) {
    float t_in;
    float t_out;
    if (!segment_range(sides, points[i], points[i + 1], outcodes[i], outcodes[i + 1], t_in,
                       t_out)) {
      continue;
    }
    make_edge(renderer, rendition, hidden_color, points[i], points[i + 1], t_in, t_out);
  }
}

void polyline_d(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                const KT_Point_D* points) {
  if (count < 2) return;
  outcode_buffer outcodes(count);
  // The double KD_Clip compares the sides exactly as doubles.
  const int clip = KD_Clip(rendition.clip_rectangle(), count, points, outcodes.data());
  if (clip == 0) return;
  const bool every_inside = clip == count;

  const clip_sides sides = sides_of(rendition.clip_rectangle());
  const KT_RGB32 hidden_color = hidden_color_for(renderer, rendition);
  // Each point is converted to float when it is reached; the float pair
  // gives the range and the float fields, the double pair is kept as it
  // came.
  KT_Point p = to_float_point(points[0]);
  for (int i = 0; i + 1 < count; ++i) {
    const KT_Point q = to_float_point(points[i + 1]);
    float t_in = 0.0f;
    float t_out = 1.0f;
    if (every_inside || segment_range(sides, p, q, outcodes[i], outcodes[i + 1], t_in, t_out)) {
      make_edge(renderer, rendition, hidden_color, p, q, t_in, t_out, points[i], points[i + 1]);
    }
    p = q;
  }
}
