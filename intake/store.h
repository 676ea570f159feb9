// Building the records of the store: edges, faces and markers with their
// ordering, plane, tolerance and colour rules. Every later pass relies on
// the invariants set here (end point order, parameter range, tolerance,
// face orientation and plane).
#pragma once

#include "records.h"
#include "renderer_state.h"

// Colour for the hidden pieces of a primitive arriving now: the rendition's
// colour when retain_hidden_line_color is on, otherwise the current
// "Hidden Line Color" option, packed.
KT_RGB32 hidden_color_for(const HLR_Renderer_State& renderer, const KT_Rendition& rendition);
// Colour of a face's intersection lines: the rendition's colour when
// use_face_color_for_intersections is on, otherwise the current
// "Intersection Line Color" option, packed.
KT_RGB32 intersection_color_for(const HLR_Renderer_State& renderer, const KT_Rendition& rendition);

// Builds one edge from p to q with the captured range [t0, t1] measured from
// p, and appends it to edge_list. The double form also keeps the double end
// points.
void make_edge(HLR_Renderer_State& renderer, const KT_Rendition& rendition, KT_RGB32 hidden_color,
               const KT_Point& p, const KT_Point& q, float t0, float t1);
void make_edge(HLR_Renderer_State& renderer, const KT_Rendition& rendition, KT_RGB32 hidden_color,
               const KT_Point& p, const KT_Point& q, float t0, float t1, const KT_Point_D& p_d,
               const KT_Point_D& q_d);

// Builds one face and pushes it on face_list, widening extent, unless the
// triangle's signed area in x-y is 1e-5 or less in magnitude.
void make_face(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
               KT_RGB32 intersection_color, KT_RGB32 hidden_color, const KT_Point& p0,
               const KT_Point& p1, const KT_Point& p2);

HLR_Plane face_plane(const KT_Point& a, const KT_Point& b, const KT_Point& c);

void grow_extent(HLR_Extent& extent, const KT_Point& a, const KT_Point& b, const KT_Point& c);

// Pushes one marker at the head of marker_list.
void make_marker(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                 const KT_Point& position);

// Drops every record's rendition reference, releases the record arena and
// empties the lists and the extent. The face index and the interval pools,
// which point into the records, are the caller's to free first. Cannot
// fail; idempotent.
void clear_records(HLR_Renderer_State& renderer);
