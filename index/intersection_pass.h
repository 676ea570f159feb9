// The first computation at the end of a picture: builds the face index over
// every face and, when intersections are displayed, captures the lines
// along which the faces cut through one another as ordinary edges.
#pragma once

#include "renderer_state.h"

void intersection_pass(HLR_Renderer_State& renderer);
