// The drawing of a picture script's output: the calls that reached the
// recording renderer, sent again, in order, to a Drawing_Renderer and written as SVG.
#pragma once

#include <string>
#include <vector>

#include "geometry.h"
#include "recording_renderer.h"

namespace hlr_tool {

// The smallest rectangle holding the clip rectangle of every polyline and
// marker call (empty rectangles left out); 0..1000 x 0..1000 when there is
// none.
KT_Int_Rectangle drawing_area_of(const std::vector<KT_Recorded_Call>& calls);

// The SVG of the polyline and marker calls among `calls` over
// drawing_area_of(calls): each call reaches the Drawing_Renderer in its own
// form with a rendition of its recorded colour, line pattern and clip
// rectangle. Other calls draw nothing. As `hlr-render draw` does, hidden
// lines that lie on visible ones or on one another are thinned
// (line_precedence.h) unless `keep_coincident`.
std::string svg_of_calls(const std::vector<KT_Recorded_Call>& calls, double stroke_width = 1.0,
                         bool keep_coincident = false);

}  // namespace hlr_tool
