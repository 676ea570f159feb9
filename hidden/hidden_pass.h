// The pass over every edge of the picture against the faces the index
// offers, and the visibility test of markers.
#pragma once

#include "face_index.h"
#include "packed_lists.h"
#include "renderer_state.h"

// Precondition: face_index is not null. The area queries go through
// `packed`, made over face_index as it stands; without it, through the
// item lists, with the same answers.
void hide_edges(HLR_Renderer_State& renderer, HLR_Packed_Lists& packed);
void hide_edges(HLR_Renderer_State& renderer);
bool marker_visible(const HLR_Marker& marker, float depth_tolerance, HLR_Index_Node* root);
