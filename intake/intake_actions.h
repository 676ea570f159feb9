// The intake: the operations behind the drawing actions that capture a
// picture's faces, lines and markers into the store instead of drawing.
//
// Every operation takes the renderer's state, the primitive's rendition
// (borrowed for the call; records take their own references), a point count
// and the points. Short inputs capture nothing: a strip of fewer than three
// points, a polyline of fewer than two. A failed allocation leaves by
// std::bad_alloc after the operation's scratch buffers and temporary
// rendition handles are released; records linked before stay in the store.
//
// Non-finite coordinates (NaN, infinities, or integer and double values
// beyond the float range) are outside what a host means to send, but the
// intake takes them without failing, and what it keeps is this: a NaN
// coordinate counts as inside the clip rectangle (KD_Clip gives it code 0),
// so its segment is captured whole and its pieces reach the next renderer
// with the NaN in them; a marker is kept as it came. A triangle with a NaN
// anywhere is dropped (make_face). Triangles with infinite coordinates are
// kept; their planes come out NaN and they hide nothing. Nothing later
// depends on the values being finite to end: every walk of the face index
// stops at its sentinel and every interval walk at the ends of its list.
#pragma once

#include "geometry.h"
#include "records.h"
#include "renderer_state.h"

// Triangle strips: triangle k is points k, k+1, k+2.
void strip_f(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
             const KT_Point* points);
void strip_f_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                    const KT_Point* points);
void strip_i(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
             const KT_Point_I* points);
void strip_i_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                    const KT_Point_I* points);
void strip_d(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
             const KT_Point_D* points);

// Polylines: one edge per segment.
void polyline_f(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                const KT_Point* points);
void polyline_f_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                       const KT_Point* points);
void polyline_i(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                const KT_Point_I* points);
void polyline_i_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                       const KT_Point_I* points);
void polyline_d(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                const KT_Point_D* points);

// Polylines with a colour per segment: segment i takes colors[i], or
// colors[0] for every segment when one_color is non-zero.
void colored_polyline_f(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                        const KT_Point* points, const KT_RGB32* colors, int one_color);
void colored_polyline_f_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                               int count, const KT_Point* points, const KT_RGB32* colors,
                               int one_color);
void colored_polyline_i(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                        const KT_Point_I* points, const KT_RGB32* colors, int one_color);
void colored_polyline_i_noclip(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                               int count, const KT_Point_I* points, const KT_RGB32* colors,
                               int one_color);
void colored_polyline_d(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
                        const KT_Point_D* points, const KT_RGB32* colors, int one_color);

// One marker per point, pushed at the head of marker_list.
void marker_f(HLR_Renderer_State& renderer, const KT_Rendition& rendition, int count,
              const KT_Point* points);
