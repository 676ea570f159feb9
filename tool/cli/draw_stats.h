// hlr-render draw --stats: counts and phase times on standard output.
#pragma once

#include <cstddef>

#include "tool/drawing/drawing.h"
#include "tool/render/draw_pipeline.h"

namespace hlr_tool {

// Times in milliseconds of the phases around the pipeline.
struct Command_Times {
  double import = 0.0;
  double write = 0.0;
};

void print_draw_stats(std::size_t model_count, const Draw_Result& result,
                      const Command_Times& times, std::size_t svg_polylines);

}  // namespace hlr_tool
