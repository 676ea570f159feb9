// The pass over every edge of the picture against the faces the index
// offers, and the visibility test of markers.
#pragma once

#include "face_index.h"
#include "renderer_state.h"

// Precondition: face_index is not null.
void hide_edges(HLR_Renderer_State& renderer);
bool marker_visible(const HLR_Marker& marker, float depth_tolerance, HLR_Index_Node* root);
