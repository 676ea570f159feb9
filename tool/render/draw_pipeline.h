// Models to a finished Drawing: the one drawing pipeline that `hlr-render
// draw` and the Python package both call.
//
// The pipeline frames the models in the camera, builds the scene (strips
// and selected edges in device coordinates), loads the renderer module in
// a Renderer_Session whose downstream renderer is a Drawing_Renderer, sets
// the renderer's options from the settings, sends the scene between
// begin_picture and update, and returns what reached the Drawing_Renderer,
// without intersection lines where faces of two bodies coincide
// (coincident_faces.h), thinned by line precedence unless the settings
// keep coincident lines, its pieces of circles and ellipses marked as arcs
// unless the settings ask for polylines (true_curves.h), and the axes of
// its centre lines when the settings ask for them (centre_lines.h),
// with counts and phase times. Writing the drawing (SVG and the other
// formats) is the caller's: see tool/drawing/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tool/common/clock.h"
#include "tool/common/errors.h"
#include "tool/common/thread_budget.h"
#include "tool/drawing/drawing.h"
#include "tool/drawing/drawing_renderer.h"
#include "tool/drawing/line_precedence.h"
#include "tool/models/camera.h"
#include "tool/models/edge_selection.h"
#include "tool/models/model.h"
#include "tool/models/scene.h"
#include "tool/render/centre_lines.h"
#include "tool/render/coincident_faces.h"
#include "tool/session/renderer_session.h"

namespace hlr_tool {

// How hidden lines are drawn; off leaves them out.
enum class Hidden_Lines { dashed, dotted, dash_dot, solid, off };
// How intersection lines are drawn.
enum class Intersection_Lines { solid, dashed, dotted };

struct Draw_Settings {
  // View, field of view (0: orthographic), drawing size in device units,
  // margin.
  Camera_Settings camera;
  // Which edges are drawn (feature or all) and the crease angle.
  Edge_Options edges;
  Hidden_Lines hidden = Hidden_Lines::dashed;
  // 0xAARRGGBB; none leaves the renderer's own default.
  std::optional<std::uint32_t> hidden_color;
  bool retain_hidden_color = false;                 // hidden lines keep their model's colour
  bool intersections = false;                       // also draw where faces cut one another
  std::optional<std::uint32_t> intersection_color;  // none: the renderer's default
  Intersection_Lines intersection_pattern = Intersection_Lines::solid;
  bool face_color_intersections = false;  // intersections take their faces' colour
  int halo = 0;  // gap at every visible-to-hidden change, device units; 0: none
  // Depth tolerance as a fraction of the picture's depth; 0: a fixed 0.1
  // device units. Finite.
  float wzero = 0.0f;
  bool double_precision = false;  // the renderer hands on double-precision lines
  // Keep hidden lines that lie on visible ones, and hidden lines on one
  // another, as the renderer sent them; otherwise drafting's precedence
  // thins them (line_precedence.h).
  bool keep_coincident = false;
  // Pieces of the models' lines, circles and ellipses are marked as what
  // they are (true_curves.h), for the writers to draw as lines and arcs.
  bool arcs = true;
  // The axes of the CAD parts' cylindrical and conical faces are found
  // (centre_lines.h), for the caller to draw once it knows the scale.
  bool centre_lines = false;
};

struct Draw_Stats {
  std::size_t bodies = 0;
  Scene_Stats scene;
  Drawing_Counts pieces;         // what reached the Drawing_Renderer
  Precedence_Counts precedence;  // what line precedence left out
  // Intersection lines on coincident faces of two bodies, left out.
  Coincident_Counts coincident;
  // Phase times in milliseconds: framing and building the scene; sending
  // it (establish to the last primitive); update and end_picture; line
  // precedence on the finished drawing.
  double scene_ms = 0.0;
  double capture_ms = 0.0;
  double update_ms = 0.0;
  double precedence_ms = 0.0;
  // The processor time of the process from loading the renderer to its
  // end_picture (its threads included), in milliseconds. Views drawn at
  // the same time count each other's time too. Drawn in tiles, the sum of
  // the tile workers' renderer processor times.
  double renderer_processor_ms = 0.0;
  // Drawn in tiles (draw_tiles.h): per tile, its worker's peak resident
  // memory in MiB.
  std::vector<double> tile_peak_mib;
};

struct Draw_Result {
  Drawing drawing;
  Draw_Stats stats;
  // The framing the drawing was made in: where a model point lands (device
  // y runs up, the drawing's y = height - device y) and device units per
  // model unit, for laying several views out at one scale.
  Camera camera;
  // With Draw_Settings::centre_lines: the axes this view draws as centre
  // lines (add_centre_lines), not yet in the drawing.
  std::vector<Centre_Axis> centre_axes;
};

// The models of a drawing, and their scene topology when it was made once
// for many views (build_scene_topology) or null: the scene, and so the
// drawing, is the same either way.
struct Drawn_Models {
  std::span<const Model> models;
  const Scene_Topology* topology = nullptr;
};

// What a drawing throws at its next phase once Draw_Hooks::deadline has
// passed.
class Deadline_Passed : public Tool_Error {
 public:
  Deadline_Passed() : Tool_Error("the drawing took longer than it was allowed") {}
};

struct Draw_Hooks {
  // Told a short status ("hidden-line pass") as each phase starts.
  std::function<void(const std::string&)> progress;
  // Sees every call made on the renderer (hlr-render draw --record); not
  // owned, may be null.
  Host_Call_Observer* observer = nullptr;
  // When given, the trace lines (recording_renderer.h) of every call the
  // renderer sent downstream are appended here.
  std::string* trace = nullptr;
  // Find the model of every polyline (Style_Group::models,
  // polyline_models.h).
  bool polyline_models = false;
  // When given, a view not finished by then stops with Deadline_Passed
  // before its next phase (the scene, the capture); the renderer's passes,
  // once begun, run to their end.
  std::optional<Clock::time_point> deadline;
};

// Draws `models` together with one renderer whose passes use
// threads.threads() threads (renderer_threads.h; the drawing is the same
// for every number). The settings are in range (Draw_Request::validate).
// Throws Tool_Error: exit status 2 for bodies too large to draw, 1 when the
// module at `module_path` cannot be loaded or the renderer fails.
Draw_Result draw_models(const Drawn_Models& models, const Draw_Settings& settings,
                        const std::string& module_path, const Thread_Budget& threads,
                        const Draw_Hooks& hooks = {});

// Line precedence (line_precedence.h) on a view's finished drawing on
// threads.threads() threads, unless the settings keep every line; what it
// left out and its time go into `stats`.
void apply_precedence(Drawing& drawing, const Draw_Settings& settings, const Thread_Budget& threads,
                      Draw_Stats& stats);

// The renderer options the settings give, set in `session` ("Display Hidden
// Lines", "Hidden Line Pattern" with the Drawing_Renderer's pattern
// numbers, and so on).
void set_draw_options(Renderer_Session& session, const Draw_Settings& settings);

}  // namespace hlr_tool
