// Intersection lines: the segment along which two captured triangles cut
// through one another.
#pragma once

#include "records.h"
#include "renderer_state.h"

// The common part of the two triangles' crossing segments, when there is
// one: `line` from its start to its end. The order of the faces matters
// for the tie-breaks: on equal starts the line starts at a's end point.
// Reads only the faces and the tolerance, so any thread may call it.
bool face_pair_line(const HLR_Face& a, const HLR_Face& b, float depth_tolerance, KT_Point line[2]);
// Captures face_pair_line's line, if any, through polyline_f.
void intersect_face_pair(HLR_Renderer_State& renderer, const KT_Rendition& rendition,
                         const HLR_Face* a, const HLR_Face* b);
