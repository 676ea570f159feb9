// hlr-render draw --stats: counts and phase times on standard output.
#pragma once

#include <cstddef>
#include <span>

#include "tool/drawing/drawing.h"
#include "tool/drawing/page.h"
#include "tool/render/draw_pipeline.h"

namespace hlr_tool {

// Times in milliseconds of the phases around the pipeline.
struct Command_Times {
  double import = 0.0;
  double write = 0.0;
};

// Pen-up travel of --optimize, in sheet units.
struct Pen_Travel {
  double before = 0.0;
  double after = 0.0;
};

// Counts and times summed over `views` (one or more views of the same
// models); the sheet's size and scale when the drawing went on a sheet;
// the pen-up travel when it was ordered. `sheet` and `travel` may be
// null.
void print_draw_stats(std::size_t model_count, std::span<const Draw_Result> views,
                      const Command_Times& times, const Sheet* sheet = nullptr,
                      const Pen_Travel* travel = nullptr);

}  // namespace hlr_tool
