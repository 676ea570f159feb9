// Intersection lines: the segment along which two captured triangles cut
// through one another, captured as an ordinary clipped polyline.
#pragma once

#include "face_index.h"
#include "records.h"
#include "renderer_state.h"

// Tests face `a` against every face of the index whose box overlaps a's box
// in x, y and z, and captures each intersection line with `rendition`.
void intersect_face(HLR_Renderer_State& renderer, const KT_Rendition& rendition, HLR_Face* a,
                    HLR_Index_Node* root);
// Captures the common part of the two triangles' crossing segments through
// polyline_f, at most once. The order of the faces matters for the
// tie-breaks: on equal starts the line starts at a's end point.
void intersect_face_pair(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                         const HLR_Face* a, const HLR_Face* b);
