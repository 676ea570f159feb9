// The pass over every edge of the picture against the faces the index
// offers, and the visibility test of markers.
#pragma once

#include "face_index.h"
#include "renderer_state.h"

// Precondition: face_index is not null. Each edge is hidden by the faces
// alone, so the edges are shared out among the threads the calling
// thread's OpenMP setting allows (parallel.h), and every edge ends the
// same whatever their number. The interval nodes come from one pool per
// thread in interval_pools, made here and released with the store.
void hide_edges(HLR_Renderer_State& renderer);
bool marker_visible(const HLR_Marker& marker, float depth_tolerance, const HLR_Face_Index& index);
