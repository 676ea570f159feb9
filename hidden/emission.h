// Handing the result downstream: every piece of every edge as one two-point
// polyline through the polyline action of `next`.
#pragma once

#include "renderer_data.h"
#include "renderer_state.h"

// The visible pieces of every edge, with each edge's own rendition.
void emit_visible_lines(const HLR_Renderer_State& renderer, const KT_Renderer_Data& next);
// The hidden pieces of every edge, with `rendition` (the hidden-line
// rendition), whose colour this changes per edge as the settings say.
void emit_hidden_lines(const HLR_Renderer_State& renderer, const KT_Renderer_Data& next,
                       KT_Rendition& rendition);
