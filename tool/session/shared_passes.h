// One picture drawn by several renderers at once, with the same output as
// one renderer given the whole picture.
//
// Every renderer is sent every face, in the same order, so each builds the
// same face index and hides the same way; each is sent one run of the
// scene's polylines (runs of about equal numbers of segments, in the
// scene's order, so a run keeps to one part of the picture). The last one
// alone captures intersection lines ("Display Intersections" is switched
// off in the others). What each sends downstream is kept by a
// Piece_Recorder and then sent on to the real downstream renderer in the
// order one renderer would have sent it:
//   the hidden pieces of renderer 0, 1, ..., N-1, then the visible pieces
//   of renderer 0, 1, ..., N-1.
// This holds because the renderer appends edges to its list in the order
// they arrive and appends intersection lines after them, hides each edge
// by the faces alone, and sends all hidden pieces (with its hidden-line
// pattern) in list order before all visible pieces in list order. So the
// calls downstream are the same, one for one, for every number of
// renderers; the scene must hold no markers (scenes never do).
//
// Memory: each renderer holds every face and its face index, so that part
// grows with N; the edges and the recorded pieces are split, not copied.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "renderer_data.h"
#include "tool/models/scene.h"
#include "tool/session/renderer_session.h"

namespace hlr_tool {

// Gives a new session its options and default rendition. Called once per
// renderer, from the thread that will use it, before the first stage.
using Session_Setup = std::function<void(Renderer_Session&)>;

struct Shared_Pass_Times {
  double capture = 0;  // milliseconds until every renderer had its share
  double passes = 0;   // milliseconds after that until the last call downstream
  // Per renderer, the processor time (milliseconds) of the thread that ran
  // its stages and capture: unlike the wall clock it hardly depends on
  // other load on the machine, and its largest entry bounds the wall clock
  // from below.
  std::vector<double> renderer_processor;
};

// Each renderer beyond the first repeats the capture of every face and the
// face index, and a thread's first allocations cost more than those of the
// main thread; the automatic count adds a renderer only per this many
// segments to share out (bunny00 with all edges, 113k segments, gets 2).
inline constexpr std::size_t segments_per_renderer = 20000;

struct Shared_Pass_Settings {
  // Renderers; fewer when the scene has fewer polylines. 0: automatic, at
  // most `threads` and one per segments_per_renderer segments.
  int jobs = 1;
  // The threads this picture may use: its share of the drawing's
  // Thread_Budget (tool/common/thread_budget.h).
  int threads = 1;
  // When given, the trace lines (recording_renderer.h) of every call sent
  // downstream are appended here.
  std::string* trace = nullptr;
  Capture_Progress progress;  // renderer 0's capture only
  // Sees every call made on the renderer; not owned, may be null. Calls
  // made on one renderer only make sense to it, so an observer gives one
  // renderer whatever `jobs` says.
  Host_Call_Observer* observer = nullptr;
};

// Loads the module at `module_path` once, runs establish, begin_picture,
// the capture of `scene`, update and end_picture on the renderers it makes
// and sends what they hand on to `downstream` in the order described
// above. With one renderer and no trace, the renderer sends straight to
// `downstream`. When "Hidden Line Pattern" is one a visible line may have
// (0, or the intersection pattern), one renderer draws.
// Throws Tool_Error (exit status 1) when the module cannot be loaded, and
// what the setup or a renderer throws (from the calling thread).
Shared_Pass_Times run_shared_passes(const std::string& module_path, const Scene& scene,
                                    KT_Renderer_Data& downstream,
                                    const Shared_Pass_Settings& settings,
                                    const Session_Setup& setup);

}  // namespace hlr_tool
