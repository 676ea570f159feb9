// One drawing as a front end asks for it, and the one way it is drawn and
// written. `hlr-render draw` and the Python package both fill a
// Draw_Request (option by option through draw_options.h, so that both take
// the same names, defaults and texts), call draw_request and write with
// drawing_bytes / write_drawing_files; neither decides a default or checks
// a value of its own.
//
// The defaults are the member initialisers below, and nothing else:
// --help and Python's documentation show them through the option table.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tool/cad/cad_model.h"
#include "tool/drawing/cairo_writer.h"
#include "tool/drawing/page.h"
#include "tool/drawing/sheet_formats.h"
#include "tool/models/camera.h"
#include "tool/render/draw_pipeline.h"
#include "tool/render/draw_tiles.h"
#include "tool/render/model_files.h"

namespace hlr_tool {

// A view of the drawing: --view, or one of --views.
struct View_Spec {
  std::string name;  // as given: "front", "iso", "30,20"
  // front, back, right, left, top and bottom stand in a sheet's grid and
  // stay orthographic; every other view is pictorial.
  View_Kind kind = View_Kind::pictorial;
  View_Angles angles;
};

// A view name (front, back, left, right, top, bottom, iso) or "yaw,pitch".
// Throws Tool_Error (exit status 2) naming the text otherwise.
View_Spec parse_view_spec(std::string_view text);
// Names and yaw,pitch pairs, all separated by commas ("front,top,30,20,iso").
// Throws Tool_Error (exit status 2) for a part that is neither, and for an
// orthographic view named twice (it has one place on a sheet).
std::vector<View_Spec> parse_view_specs(std::string_view text);

struct Draw_Request {
  // What is drawn, in this order: files, read together with `cad`, and
  // models the caller made.
  std::vector<Model_Input> models;

  // Size, perspective, lines and the renderer's options. The direction is
  // each view's own (view, views), not settings.camera.view.
  Draw_Settings settings;
  View_Spec view = parse_view_spec("35,25");
  // A sheet of these views; empty: `view` alone.
  std::vector<View_Spec> views;
  // Which way is up in every model's coordinates; none: each model's own
  // (its file's convention, Model::up).
  std::optional<Up_Axis> up;
  Cad_Tessellation cad;
  Cad_Reading cad_reading;

  // The page: none for a sheet of the drawing's own size in device units.
  std::optional<Page_Size> page;
  std::optional<double> scale_mm;            // sheet mm per model unit; none: fit
  std::optional<Line_Weights> line_weights;  // mm, on a page; none: ISO 128's
  bool first_angle = false;
  // Centre lines on the axes of holes and shafts (centre_lines.h); none:
  // on with a page, off without.
  std::optional<bool> centre_lines;
  // A page's title block (sheet_frame.h): the title (empty: the first model
  // file's name), the creator, and the date of issue as YYYY-MM-DD (empty:
  // the day of $SOURCE_DATE_EPOCH, else today, in UTC).
  std::string title;
  std::string drawn_by;
  std::string date;

  // What is written, and how the run goes.
  std::string output;         // the file; empty: none (Python's draw saves later)
  double stroke_width = 1.0;  // every line's width without a page, device units
  Cairo_Options cairo;        // PNG resolution, background of PNG, PDF and EPS
  bool optimize = false;      // order each layer's lines for a pen plotter
  bool stats = false;         // tell the counts and times
  std::string record;         // the picture script's file; empty: none
  std::string trace;          // the call trace's file; empty: none
  bool quiet = false;         // no progress
  bool progress = false;      // progress even when standard error is no terminal
  int jobs = 0;               // threads, 1 to max_jobs; 0: one per processor
  std::string module;         // empty: $HLR_RENDERER_MODULE, else beside the program
  // The view drawn in tiles, each by a worker of its own (draw_tiles.h);
  // none: by one renderer.
  std::optional<Tile_Grid> tiles;
  std::string tile_folder;  // empty: a temporary folder

  // The long names of the options a front end gave (apply_draw_option),
  // for the options that exclude one another.
  std::vector<std::string> given;

  // Every check of a request, before any work: each option's value (the
  // ranges, choices and forms of the option table), the options that
  // exclude or need one another, and that the files to write can be
  // written. Throws Tool_Error (exit status 2) with the message of the
  // first fault, naming the option ("--crease: expected ...") or the file.
  void validate() const;

  // The views drawn: `views`, or `view` alone.
  std::span<const View_Spec> drawn_views() const;
};

// Pen-up travel of --optimize, in sheet units.
struct Pen_Travel {
  double before = 0.0;
  double after = 0.0;
};

// Times in milliseconds of the phases around the pipeline.
struct Command_Times {
  double import = 0.0;
  double write = 0.0;
};

// A request drawn: every view's drawing, placed on its sheet.
struct Finished_Drawing {
  Finished_Drawing() = default;
  // The sheet points into `views`: moved, never copied.
  Finished_Drawing(Finished_Drawing&&) = default;
  Finished_Drawing& operator=(Finished_Drawing&&) = default;
  Finished_Drawing(const Finished_Drawing&) = delete;
  Finished_Drawing& operator=(const Finished_Drawing&) = delete;

  std::vector<Draw_Result> views;       // in the order of drawn_views()
  std::vector<std::string> view_names;  // as given: "front", "30,20"
  // One view at its own size (no page, no scale), or the views laid out.
  Sheet sheet;
  // One view at its own size in device units, its lines in the order they
  // were drawn: SVG as write_svg writes it.
  bool plain = true;
  double stroke_width = 1.0;
  std::size_t threads = 1;           // the request's, for drawing_bytes
  Cairo_Options cairo;               // the request's, for drawing_bytes
  std::optional<Pen_Travel> travel;  // with --optimize
  std::optional<Cad_Report> cad;     // when CAD files were read
  std::size_t model_count = 0;
  Command_Times times;
  std::string script;  // with --record: the picture script
  std::string trace;   // with --trace: the call trace
};

// What a front end lends the run besides the request.
struct Draw_Front_End {
  // The renderer module installed beside the program (hlr-render, or the
  // Python extension), for a request that names none.
  std::string default_module;
  // Status lines as phases start ("reading bottle.brep"), and again with
  // ": NN%" after the phase's words as it advances; warnings (a file
  // skipped, a part drawn without the faces that failed). Either may be
  // empty.
  std::function<void(const std::string&)> progress;
  std::function<void(const std::string&)> warn;
  // Asked about every tenth of a second while CAD files are read and
  // tessellated: true stops the drawing (Tool_Error, exit status 1). May
  // be empty.
  std::function<bool()> interrupted;
  // Find the model of every polyline (Style_Group::models): the Python
  // package's Drawing tells them; files never do.
  bool polyline_models = false;
  // A drawing still running then stops with Deadline_Passed between its
  // phases (draw_pipeline.h); none: it runs to its end.
  std::optional<Clock::time_point> deadline;
  // hlr-render-worker beside the front end, which draws tiles (--tiles)
  // in processes of their own, unless `run_tiles` draws them elsewhere (on
  // a cluster).
  std::string worker_program;
  Tile_Runner run_tiles;
};

// The title block a request's page carries (its title, creator and date
// with the defaults above filled in).
Title_Block title_block_of(const Draw_Request& request);

// "YYYY-MM-DD" for a real date from 0001-01-01 to 9999-12-31, else nullopt.
std::optional<std::string> parse_date(std::string_view text);

// Validates the request, then reads its models (the CAD parts with its
// tessellation and the drawing's size, so their default deflection follows
// the whole drawing), draws every view on the request's thread budget and
// places them on the sheet. Throws Tool_Error: exit status 2 for faults in
// the request or its models, 1 for anything else.
Finished_Drawing draw_request(const Draw_Request& request, const Draw_Front_End& front_end);

// Everything reading a request's models depends on, and nothing else.
struct Model_Reading {
  std::vector<Model_Input> models;
  Cad_Tessellation cad;
  Cad_Reading cad_reading;
  // The drawing's shorter side, which the CAD parts' default deflection
  // follows; 0 when no file is a CAD part (nothing else reads it).
  int drawing_side = 0;
};
Model_Reading model_reading_of(const Draw_Request& request);

// The request's models as draw_request reads them (Python's load: a request
// of defaults with one file), each with the request's up axis when it
// gives one; what the CAD load did goes to `cad_report` when there were CAD
// files and it is not null.
std::vector<Model> load_request_models(const Draw_Request& request, const Draw_Front_End& front_end,
                                       std::optional<Cad_Report>* cad_report = nullptr);

// A request's models read once, with what of their scene holds in every
// view, for drawing them in view after view (hlr-render view).
struct Prepared_Models {
  Model_Reading reading;
  std::vector<Model> models;
  Scene_Topology topology;
};

// Validates the request and reads its models as draw_request does.
Prepared_Models prepare_models(const Draw_Request& request, const Draw_Front_End& front_end);

// draw_request for a request whose models are `prepared`: the same drawing,
// byte for byte, without reading them again (finished.times.import is 0).
// Throws Tool_Error (exit status 2) as draw_request does, and for a request
// whose models would be read differently (model_reading_of), naming the
// option that makes the difference.
Finished_Drawing draw_prepared(const Draw_Request& request, const Prepared_Models& prepared,
                               const Draw_Front_End& front_end);

// The file of the drawing in `format`, `options` for PNG, PDF and EPS.
std::string drawing_bytes(const Finished_Drawing& drawing, Output_Format format,
                          const Cairo_Options& options);

// Writes the request's output (when it names one), picture script and call
// trace, each only when complete (output_file.h), and keeps the time taken.
void write_drawing_files(Finished_Drawing& drawing, const Draw_Request& request);

// Counts and times summed over the views of a drawing.
struct Draw_Totals {
  std::size_t bodies = 0;  // the same bodies in every view
  Scene_Stats scene;
  Drawing_Counts pieces;
  Precedence_Counts precedence;
  Coincident_Counts coincident;
  std::size_t polylines = 0;      // joined polylines
  std::size_t svg_polylines = 0;  // the <polyline> elements of their SVG
  std::size_t markers = 0;
  double scene_ms = 0.0, capture_ms = 0.0, update_ms = 0.0, precedence_ms = 0.0;
};
Draw_Totals draw_totals(const Finished_Drawing& drawing);

// What --stats prints: draw_totals with the import and writing times; the sheet's
// size and scale when the drawing is written in `format` as a sheet; the
// pen-up travel when it was ordered.
std::string draw_stats_text(const Finished_Drawing& drawing, Output_Format format);

}  // namespace hlr_tool
