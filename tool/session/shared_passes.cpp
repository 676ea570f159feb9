#include "tool/session/shared_passes.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "module_loader.h"
#include "options.h"
#include "tool/common/clock.h"
#include "tool/common/errors.h"
#include "tool/common/held_reference.h"
#include "tool/common/parallel.h"
#include "tool/session/piece_recorder.h"

namespace hlr_tool {

namespace {

int integer_option(const Renderer_Session& session, const wchar_t* name) {
  const KT_Option* option = session.renderer().current_option_table.find(name);
  if (option == nullptr) {
    const std::wstring wide(name);
    throw Tool_Error("the renderer module has no option \"" +
                     std::string(wide.begin(), wide.end()) + "\"");
  }
  return option->integer_value();
}

// Runs of the scene's polylines with about equal numbers of segments, one
// per renderer, in the scene's order.
std::vector<Line_Share> share_lines(const Scene& scene, int jobs) {
  std::vector<std::size_t> segments;  // per polyline, through the bodies
  std::size_t total = 0;
  for (const Scene_Body& body : scene.bodies) {
    for (const Device_Polyline& line : body.polylines) {
      segments.push_back(line.size() - 1);
      total += line.size() - 1;
    }
  }
  std::vector<Line_Share> shares(static_cast<std::size_t>(jobs));
  std::size_t line = 0, done = 0;
  for (int k = 0; k < jobs; ++k) {
    shares[k].first = line;
    const std::size_t goal =
        total * static_cast<std::size_t>(k + 1) / static_cast<std::size_t>(jobs);
    while (line < segments.size() && (k == jobs - 1 || done + segments[line] / 2 < goal))
      done += segments[line++];
    shares[k].end = line;
  }
  return shares;
}

// One renderer of the picture, its downstream recorder and what it did.
struct Worker {
  Piece_Recorder* recorder = new Piece_Recorder;
  Held_Reference recorder_reference{recorder};
  Line_Share lines;
  std::unique_ptr<Renderer_Session> session;
  Clock::time_point captured;
  double processor = 0;  // milliseconds
  std::exception_ptr error;
};

void capture_and_pass(Worker& worker, const Scene& scene, const Capture_Progress& progress) {
  const double processor_start = thread_processor_milliseconds();
  try {
    Renderer_Session& session = *worker.session;
    session.stage(Host_Stage::establish);
    session.stage(Host_Stage::begin_picture);
    session.capture(scene, progress, worker.lines);
    worker.captured = Clock::now();
    session.stage(Host_Stage::update);
    session.stage(Host_Stage::end_picture);
    worker.session.reset();  // the renderer's store goes before the merge
  } catch (...) {
    worker.error = std::current_exception();
  }
  worker.processor = thread_processor_milliseconds() - processor_start;
}

}  // namespace

Shared_Pass_Times run_shared_passes(const std::string& module_path, const Scene& scene,
                                    KT_Renderer_Data& downstream,
                                    const Shared_Pass_Settings& settings,
                                    const Session_Setup& setup) {
  // Every session below is gone before the module is unloaded.
  std::unique_ptr<KT_Renderer_Module> module;
  try {
    module = std::make_unique<KT_Renderer_Module>(module_path);
  } catch (const std::runtime_error& error) {
    throw Tool_Error(error.what());
  }
  const KD_Renderer_Function entry = module->entry();

  Shared_Pass_Times times;
  const Clock::time_point start = Clock::now();

  std::size_t polylines = 0, segments = 0;
  for (const Scene_Body& body : scene.bodies) {
    polylines += body.polylines.size();
    for (const Device_Polyline& line : body.polylines) segments += line.size() - 1;
  }
  std::size_t wanted = static_cast<std::size_t>(std::max(1, settings.jobs));
  if (settings.jobs == 0) {
    wanted = std::min(static_cast<std::size_t>(std::max(1, settings.threads)),
                      std::max<std::size_t>(1, segments / segments_per_renderer));
  }
  if (settings.observer != nullptr) wanted = 1;
  int jobs = static_cast<int>(std::clamp<std::size_t>(polylines, 1, wanted));

  if (jobs == 1 && settings.trace == nullptr) {
    const double processor_start = thread_processor_milliseconds();
    Renderer_Session session(entry, &downstream);
    session.set_observer(settings.observer);
    setup(session);
    session.stage(Host_Stage::establish);
    session.stage(Host_Stage::begin_picture);
    session.capture(scene, settings.progress);
    const Clock::time_point captured = Clock::now();
    session.stage(Host_Stage::update);
    session.stage(Host_Stage::end_picture);
    times.capture = milliseconds_between(start, captured);
    times.passes = milliseconds_between(captured, Clock::now());
    times.renderer_processor.push_back(thread_processor_milliseconds() - processor_start);
    return times;
  }

  // The sessions are made and set up here, in order, so that a fault in
  // the setup comes out as it would with one renderer.
  std::vector<std::unique_ptr<Worker>> workers;
  int hidden_pattern = 0;
  for (int k = 0; k < jobs; ++k) {
    Worker& worker = *workers.emplace_back(std::make_unique<Worker>());
    worker.session = std::make_unique<Renderer_Session>(entry, worker.recorder);
    if (k == 0) worker.session->set_observer(settings.observer);
    setup(*worker.session);
    if (k == 0) {
      // The merge tells a renderer's hidden pieces by their pattern: no
      // visible piece may share it (model lines have pattern 0, visible
      // intersection pieces the intersection pattern). Else one renderer.
      hidden_pattern = integer_option(*worker.session, L"Hidden Line Pattern");
      if (hidden_pattern == 0 ||
          hidden_pattern == integer_option(*worker.session, L"Intersection Line Pattern")) {
        jobs = 1;
        break;
      }
    }
  }
  const std::vector<Line_Share> shares = share_lines(scene, jobs);
  for (int k = 0; k < jobs; ++k) {
    workers[k]->lines = shares[k];
    if (k != jobs - 1) workers[k]->session->set_option("Display Intersections", false);
  }

  for_each_in_parallel(workers.size(), workers.size(), [&](std::size_t k) {
    capture_and_pass(*workers[k], scene, k == 0 ? settings.progress : Capture_Progress{});
  });
  for (const auto& worker : workers) {
    if (worker->error) std::rethrow_exception(worker->error);
  }
  Clock::time_point captured = start;
  for (const auto& worker : workers) {
    captured = std::max(captured, worker->captured);
    times.renderer_processor.push_back(worker->processor);
  }

  std::vector<std::size_t> hidden_end(workers.size());
  for (std::size_t k = 0; k < workers.size(); ++k)
    hidden_end[k] = workers[k]->recorder->end_of_pattern(0, hidden_pattern);
  for (std::size_t k = 0; k < workers.size(); ++k) {
    workers[k]->recorder->replay(downstream, 0, hidden_end[k]);
    if (settings.trace) workers[k]->recorder->append_trace(*settings.trace, 0, hidden_end[k]);
  }
  for (std::size_t k = 0; k < workers.size(); ++k) {
    const Piece_Recorder& recorder = *workers[k]->recorder;
    recorder.replay(downstream, hidden_end[k], recorder.call_count());
    if (settings.trace)
      recorder.append_trace(*settings.trace, hidden_end[k], recorder.call_count());
  }

  times.capture = milliseconds_between(start, captured);
  times.passes = milliseconds_between(captured, Clock::now());
  return times;
}

}  // namespace hlr_tool
