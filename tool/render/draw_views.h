// Several views of the same models, each an independent picture: every
// view goes through the drawing pipeline (draw_models) with a renderer of
// its own. The views share the drawing's Thread_Budget: as many run at once
// as it has threads, each with its share for its renderer. The module's
// renderers share no mutable state, and each view has its own session,
// scene and Drawing_Renderer.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tool/models/camera.h"
#include "tool/models/model.h"
#include "tool/render/draw_pipeline.h"

namespace hlr_tool {

struct View_Request {
  View_Angles view;
  double field_of_view_degrees = 0.0;  // 0: orthographic
};

// The drawings of `views`, in their order, each drawn with `settings` but
// its own view and field of view. Throws what draw_models throws, for the
// first failed view in the views' order, once every thread has finished.
// With one view the hooks are draw_models'; with several, hooks.progress
// is told once that they are being drawn (the threads report nothing),
// hooks.polyline_models and hooks.deadline hold for every view,
// hooks.trace is not written and hooks.observer must be null (std::invalid_argument otherwise: it
// sees the calls of one renderer).
std::vector<Draw_Result> draw_views(const Drawn_Models& models, const Draw_Settings& settings,
                                    std::span<const View_Request> views,
                                    const std::string& module_path, const Thread_Budget& threads,
                                    const Draw_Hooks& hooks = {});

}  // namespace hlr_tool
