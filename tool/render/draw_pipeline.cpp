#include "tool/render/draw_pipeline.h"

#include <optional>
#include <utility>

#include "tool/common/clock.h"
#include "tool/common/errors.h"
#include "tool/common/held_reference.h"
#include "tool/common/process_heap.h"
#include "tool/render/coincident_faces.h"
#include "tool/render/polyline_models.h"
#include "tool/render/true_curves.h"
#include "tool/session/piece_recorder.h"
#include "tool/session/renderer_threads.h"

namespace hlr_tool {

namespace {

struct Picture_Times {
  double capture = 0;    // milliseconds from the session's start to the last primitive
  double passes = 0;     // update and end_picture
  double processor = 0;  // processor time of the process meanwhile
};

// One picture of `scene` on one renderer whose passes use `threads`
// threads (0: the environment's number): establish, begin_picture, the
// capture, update and end_picture, with the output going to `downstream`.
// The scene goes as it is captured, so the renderer's records reuse its
// memory, unless the caller keeps it (`keep_scene`). With a trace, the
// calls are kept on their way and written as trace lines before they go
// on. Throws Tool_Error
// (exit status 1) when the module cannot be loaded, and what the setup or
// the renderer throws.
Picture_Times draw_picture(const std::string& module_path, Scene& scene, bool keep_scene,
                           KT_Renderer_Data& downstream, int threads, const Draw_Hooks& hooks,
                           const Capture_Progress& capture_progress,
                           const std::function<void(Renderer_Session&)>& setup) {
  const Clock::time_point start = Clock::now();
  const double processor_start = process_processor_milliseconds();
  // The calling thread's number is set back on every way out.
  struct Threads_Set_Back {
    int previous;
    ~Threads_Set_Back() { set_renderer_threads(previous); }
  } set_back{set_renderer_threads(threads)};
  Piece_Recorder* recorder = hooks.trace != nullptr ? new Piece_Recorder : nullptr;
  std::optional<Held_Reference> recorder_reference;
  if (recorder != nullptr) recorder_reference.emplace(recorder);
  Picture_Times times;
  {
    Renderer_Session session(module_path, recorder != nullptr ? recorder : &downstream);
    session.set_observer(hooks.observer);
    setup(session);
    session.stage(Host_Stage::establish);
    session.stage(Host_Stage::begin_picture);
    if (keep_scene) {
      session.capture(std::as_const(scene), capture_progress);
    } else {
      session.capture(std::move(scene), capture_progress);
    }
    times.capture = milliseconds_since(start);
    const Clock::time_point captured = Clock::now();
    session.stage(Host_Stage::update);
    session.stage(Host_Stage::end_picture);
    times.passes = milliseconds_since(captured);
  }
  if (recorder != nullptr) {
    recorder->append_trace(*hooks.trace, 0, recorder->call_count());
    recorder->replay(downstream, 0, recorder->call_count());
  }
  times.processor = process_processor_milliseconds() - processor_start;
  return times;
}

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
  Scene scene = [&] {
    const Large_Blocks_From_Heap reused_by_the_records;
    return build_scene(models.models, result.camera, settings.edges, models.topology);
  }();
  stats.bodies = scene.bodies.size();
  stats.scene = scene.stats;
  stats.scene_ms = milliseconds_since(start);

  const KT_Int_Rectangle device{0, scene.width, 0, scene.height};
  const std::string capturing =
      "capturing " + std::to_string(scene.stats.triangles) + " triangles and " +
      std::to_string(scene.stats.edges) + " edges, " +
      (settings.intersections ? "intersection and hidden-line passes" : "hidden-line pass");
  const Capture_Progress capture_progress = [&hooks, &capturing](std::size_t body,
                                                                 std::size_t bodies) {
    if (bodies > 1) {
      progress(hooks, capturing + ": " + std::to_string(100 * body / bodies) + "%");
    }
  };
  check_deadline(hooks);
  progress(hooks, capturing);
  // The pieces' curves are found after the capture, which may take the
  // scene's polylines; they need only the segments on curves.
  const Scene_Curves curves = std::move(scene.curves);
  // Python's Drawing tells each line's model, found again on the scene;
  // intersection lines are checked against its faces.
  const bool keep_scene = hooks.polyline_models || settings.intersections;
  {
    // With a second thread, the pieces are joined beside the renderer's
    // emission of them. The renderer goes once its drawing is taken, with
    // its points and ends, before line precedence allocates.
    auto* collector = new Drawing_Renderer(
        device, threads.threads() > 1 ? Joining::beside : Joining::on_the_calling_thread,
        scene.stats.edges);
    Held_Reference collector_reference(collector);
    const Picture_Times times =
        draw_picture(module_path, scene, keep_scene, *collector, threads.threads(), hooks,
                     capture_progress, [&](Renderer_Session& session) {
                       set_draw_options(session, settings);
                       // The hidden-line rendition is made from the one the
                       // host hands out for the renderer: it clips to the
                       // drawing too.
                       session.set_default_clip(device);
                     });
    stats.capture_ms = times.capture;
    stats.update_ms = times.passes;
    stats.renderer_processor_ms = times.processor;
    result.drawing = collector->drawing();
    stats.pieces = collector->counts();
  }
  if (settings.intersections)
    stats.coincident = leave_out_coincident_intersections(result.drawing, scene);
  apply_precedence(result.drawing, settings, threads, stats);
  if (settings.arcs) find_true_curves(result.drawing, curves);
  if (hooks.polyline_models) find_polyline_models(result.drawing, scene, models.models);
  if (settings.centre_lines)
    result.centre_axes = centre_axes(models.models, result.camera, result.drawing.height);
  return result;
}

void apply_precedence(Drawing& drawing, const Draw_Settings& settings, const Thread_Budget& threads,
                      Draw_Stats& stats) {
  if (settings.keep_coincident) return;
  const Clock::time_point start = Clock::now();
  stats.precedence = apply_line_precedence(drawing, std::size_t(threads.threads()));
  stats.precedence_ms = milliseconds_since(start);
}

}  // namespace hlr_tool
