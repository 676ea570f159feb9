#include "tool/render/draw_views.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace hlr_tool {

std::vector<Draw_Result> draw_views(std::span<const Model> models, const Draw_Settings& settings,
                                    std::span<const View_Request> views,
                                    const std::string& module_path, const Draw_Hooks& hooks) {
  std::vector<Draw_Result> results(views.size());
  const auto settings_of = [&settings](const View_Request& request) {
    Draw_Settings view_settings = settings;
    view_settings.camera.view = request.view;
    view_settings.camera.field_of_view_degrees = request.field_of_view_degrees;
    return view_settings;
  };
  if (views.size() == 1) {
    results[0] = draw_models(models, settings_of(views[0]), module_path, hooks);
    return results;
  }
  if (hooks.observer != nullptr) {
    throw std::invalid_argument("draw_views: an observer sees the calls of one view only");
  }
  if (hooks.progress) hooks.progress("drawing " + std::to_string(views.size()) + " views");
  std::vector<std::exception_ptr> failures(views.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t v; (v = next.fetch_add(1)) < views.size();) {
      try {
        results[v] = draw_models(models, settings_of(views[v]), module_path);
      } catch (...) {
        failures[v] = std::current_exception();
      }
    }
  };
  const std::size_t threads =
      std::min<std::size_t>(views.size(), std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < threads; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads: the ones running take the remaining views
    }
  }
  work();
  for (std::thread& thread : pool) thread.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
  return results;
}

}  // namespace hlr_tool
