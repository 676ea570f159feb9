#include "tool/render/draw_views.h"

#include <stdexcept>

#include "tool/common/parallel.h"

namespace hlr_tool {

std::vector<Draw_Result> draw_views(const Drawn_Models& models, const Draw_Settings& settings,
                                    std::span<const View_Request> views,
                                    const std::string& module_path, const Thread_Budget& threads,
                                    const Draw_Hooks& hooks) {
  std::vector<Draw_Result> results(views.size());
  const auto settings_of = [&settings](const View_Request& request) {
    Draw_Settings view_settings = settings;
    view_settings.camera.view = request.view;
    view_settings.camera.field_of_view_degrees = request.field_of_view_degrees;
    return view_settings;
  };
  if (views.size() == 1) {
    results[0] = draw_models(models, settings_of(views[0]), module_path, threads, hooks);
    return results;
  }
  if (hooks.observer != nullptr) {
    throw std::invalid_argument("draw_views: an observer sees the calls of one view only");
  }
  if (hooks.progress) hooks.progress("drawing " + std::to_string(views.size()) + " views");
  const Thread_Budget view_threads = threads.share(views.size());
  Draw_Hooks view_hooks;
  view_hooks.polyline_models = hooks.polyline_models;
  view_hooks.deadline = hooks.deadline;
  for_each_in_parallel(views.size(), threads.parts_at_once(views.size()), [&](std::size_t v) {
    results[v] = draw_models(models, settings_of(views[v]), module_path, view_threads, view_hooks);
  });
  return results;
}

}  // namespace hlr_tool
