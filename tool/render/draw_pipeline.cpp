#include "tool/render/draw_pipeline.h"

#include "tool/common/clock.h"
#include "tool/common/errors.h"
#include "tool/common/held_reference.h"
#include "tool/render/polyline_models.h"
#include "tool/session/shared_passes.h"

namespace hlr_tool {

namespace {

int hidden_pattern(Hidden_Lines hidden) {
  switch (hidden) {
    case Hidden_Lines::dotted:
      return line_pattern::hidden_dotted;
    case Hidden_Lines::dash_dot:
      return line_pattern::hidden_dash_dot;
    case Hidden_Lines::solid:
      return line_pattern::hidden_solid;
    case Hidden_Lines::dashed:
    case Hidden_Lines::off:  // keeps the dashed number; the lines are switched off
      break;
  }
  return line_pattern::hidden_dashed;
}

int intersection_pattern(Intersection_Lines lines) {
  switch (lines) {
    case Intersection_Lines::dashed:
      return line_pattern::intersection_dashed;
    case Intersection_Lines::dotted:
      return line_pattern::intersection_dotted;
    case Intersection_Lines::solid:
      break;
  }
  return line_pattern::intersection_solid;
}

void progress(const Draw_Hooks& hooks, const std::string& status) {
  if (hooks.progress) hooks.progress(status);
}

// Between phases only: nothing is left half done.
void check_deadline(const Draw_Hooks& hooks) {
  if (hooks.deadline && Clock::now() > *hooks.deadline) throw Deadline_Passed();
}

}  // namespace

void set_draw_options(Renderer_Session& session, const Draw_Settings& settings) {
  session.set_option("Display Hidden Lines", settings.hidden != Hidden_Lines::off);
  session.set_option("Hidden Line Pattern", hidden_pattern(settings.hidden));
  if (settings.hidden_color) session.set_color_option("Hidden Line Color", *settings.hidden_color);
  session.set_option("Retain Hidden Line Color", settings.retain_hidden_color);
  session.set_option("Display Intersections", settings.intersections);
  session.set_option("Intersection Line Pattern",
                     intersection_pattern(settings.intersection_pattern));
  if (settings.intersection_color) {
    session.set_color_option("Intersection Line Color", *settings.intersection_color);
  }
  session.set_option("Use Face Color For Intersections", settings.face_color_intersections);
  session.set_option("Halo Gap", settings.halo);
  session.set_option("WZERO Factor", settings.wzero);
  session.set_option("Use Double Precision", settings.double_precision);
}

Draw_Result draw_models(const Drawn_Models& models, const Draw_Settings& settings,
                        const std::string& module_path, const Thread_Budget& threads,
                        const Draw_Hooks& hooks) {
  Draw_Result result;
  Draw_Stats& stats = result.stats;

  check_deadline(hooks);
  Clock::time_point start = Clock::now();
  progress(hooks, "projecting, stripping and selecting edges");
  result.camera = Camera::frame(settings.camera, models.models);
  const Scene scene = build_scene(models.models, result.camera, settings.edges, models.topology);
  stats.bodies = scene.bodies.size();
  stats.scene = scene.stats;
  stats.scene_ms = milliseconds_since(start);

  const KT_Int_Rectangle device{0, scene.width, 0, scene.height};
  auto* collector = new Drawing_Renderer(device);
  Held_Reference collector_reference(collector);
  Shared_Pass_Settings pass_settings;
  pass_settings.jobs = threads.automatic() ? 0 : threads.threads();
  pass_settings.threads = threads.threads();
  pass_settings.trace = hooks.trace;
  pass_settings.observer = hooks.observer;
  pass_settings.progress = [&hooks](std::size_t body, std::size_t bodies) {
    if (bodies > 1) {
      progress(hooks,
               "capturing body " + std::to_string(body + 1) + " of " + std::to_string(bodies));
    }
  };
  check_deadline(hooks);
  progress(hooks, "capturing " + std::to_string(scene.stats.triangles) + " triangles and " +
                      std::to_string(scene.stats.edges) + " edges, " +
                      (settings.intersections ? "intersection and hidden-line passes"
                                              : "hidden-line pass"));
  const Shared_Pass_Times times = run_shared_passes(module_path, scene, *collector, pass_settings,
                                                    [&](Renderer_Session& session) {
                                                      set_draw_options(session, settings);
                                                      // The hidden-line rendition is made from the
                                                      // one the host hands out for the renderer: it
                                                      // clips to the drawing too.
                                                      session.set_default_clip(device);
                                                    });
  stats.capture_ms = times.capture;
  stats.update_ms = times.passes;
  stats.renderer_processor_ms = times.renderer_processor;
  result.drawing = collector->drawing();
  stats.pieces = collector->counts();
  if (hooks.polyline_models) find_polyline_models(result.drawing, scene, models.models);
  return result;
}

}  // namespace hlr_tool
