// CAD parts (STEP, IGES, BREP) read with Open CASCADE and turned into the
// tool's Model: each solid a body of its own, with its colour; the faces
// tessellated into triangles, and the part's own edges as lines.
//
// What a caller may rely on, beyond the rules of Model (tool/models/model.h):
// - every body has lines_are_edges set: its drawn edges are its lines (the
//   B-rep edges) plus the outlines of this view found on the tessellation,
//   never the mesh's creases or boundaries;
// - every B-rep edge that borders a face runs along edges of the body's
//   triangles (its polygon on the face's tessellation), so its own faces
//   never cover it;
// - sharp edges (faces meeting at an angle) and edges that border a single
//   face are lines; smooth edges (tangent faces) only with smooth_edges;
//   seam edges (a closed face meeting itself) and degenerated edges never;
//   edges that border no face (wires, construction lines) always;
// - loose faces and edges (not in any solid) of one colour make one body;
// - the model is z-up (Model::up), as CAD programs model parts.
#pragma once

#include "tool/models/model.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hlr_tool {

// Faces whose normals along their shared edge differ by less than this, in
// radians, are tangent and the edge between them is smooth. Tangency in CAD
// files holds to their modelling tolerance, far tighter than a drawing can
// show.
inline constexpr double cad_smooth_angle_radians = 1e-3;

// How a part's faces and edges become triangles and lines: what the user
// chooses (hlr-render draw's CAD options, Draw_Request::cad). Ranges are
// Draw_Request::validate's; the reader takes them as they come.
struct Cad_Tessellation {
  // The largest distance, in model units, between a face and its triangles:
  // 0 or above. 0 chooses it from the drawing's size: half a device unit
  // when the bounding-box diagonal of all the files (and the other models)
  // spans the drawing's shorter side, so curves stay smooth at the
  // drawing's size and small parts beside big ones are not meshed finer
  // than they show.
  double deflection = 0.0;
  // The largest angle, in degrees, between neighbouring triangles of a
  // curved face (and segments of a curve). In (0, 90].
  double angular_deflection_degrees = 20.0;
  bool smooth_edges = false;
  // A file that cannot be used (unreadable, its reader crashed or ran out
  // of time, no faces) is skipped, a file that reads only in part is drawn
  // as far as it was read, and a part that fails to tessellate is drawn
  // without the faces that failed, each reported through Cad_Options::warn,
  // instead of failing the whole drawing.
  bool keep_going = false;

  bool operator==(const Cad_Tessellation&) const = default;
};

// How files are read: what the user chooses too.
struct Cad_Reading {
  // The longest a file may take to be read, checked and sewn, in seconds
  // (above 0); a reader still at work then is stopped and the file fails.
  double timeout_seconds = 120.0;
  // Faces that arrive loose (IGES files, STEP shells of unconnected
  // faces) are sewn into shells that share their edges.
  bool sew = true;
  // The largest gap sewing closes, in model units: 0 or above; 0 chooses
  // it from the size of the loose faces (sewing.h).
  double sew_tolerance = 0.0;

  bool operator==(const Cad_Reading&) const = default;
};

// What a load did, for --stats.
struct Cad_Report {
  double deflection = 0.0;  // model units
  // Dense faces (B-spline faces of very many spans) and the smallest
  // element they were meshed with, in model units: one device unit at the
  // drawing's size with the default deflection, which caps the count of
  // their triangles by their area; 0 for none.
  int dense_faces = 0;
  double min_size = 0.0;
  int files_skipped = 0;
  // Edges bordering one face only, before and after sewing, over the
  // files that were sewn.
  long free_edges_before = 0;
  long free_edges_after = 0;
  int files_sewn = 0;
};

struct Cad_Options {
  Cad_Tessellation tessellation;
  Cad_Reading reading;
  // The shorter side of the drawing in device units, at least 1, for the
  // default deflection.
  int drawing_side = 1000;
  // The lowest and highest corner of the drawing's other models (meshes),
  // for the default deflection.
  std::optional<std::array<Model_Point, 2>> other_models_box;
  // The mesher shares a file's faces among the processors (Open CASCADE's
  // own pool); off, it meshes them on the calling thread.
  bool in_parallel = true;
  // Files read at once, each by a process of its own: at least 1.
  int readers = 1;
  // Status lines while reading and tessellating ("reading bottle.brep",
  // then "reading bottle.brep: 40%" as it advances), and warnings; either
  // may be empty. The library prints nothing itself.
  std::function<void(const std::string&)> progress;
  std::function<void(const std::string&)> warn;
  // Asked about every tenth of a second while files are read and
  // tessellated: true stops the load (Tool_Error "interrupted", exit
  // status 1) within that time. May be empty.
  std::function<bool()> interrupted;
  // Filled in when not null.
  Cad_Report* report = nullptr;
};

// True for the file names load_cad_model reads: .step, .stp, .iges, .igs and
// .brep (any case).
bool is_cad_file(std::string_view path);

// Reads a STEP (with its assembly structure, names and colours), IGES or
// BREP file, tessellates it and returns its bodies.
// Throws Tool_Error with exit status 2, its message starting with `path`,
// when the file is missing or unreadable, when it reads only in part
// (Open CASCADE's checks found faults), when its reading takes longer than
// the read timeout, when it holds no shape or no face, and for a part
// whose faces could not all be tessellated (naming the part); with
// keep_going these are warnings and the file is skipped or drawn in part
// (a skipped file's Model has no bodies), unless no file at all is left
// and there are no other models.
// Each file is read and tessellated by a process of its own (the program
// hlr-cad-read beside the CAD module; reader_process.h says why), several
// at once as the options say. Nothing else in the process changes: the
// heap, locale and signal handlers are the caller's.
// Several files read together, in order, each its own Model: the default
// deflection then follows all of them.
std::vector<Model> load_cad_models(const std::vector<std::string>& paths,
                                   const Cad_Options& options);
Model load_cad_model(const std::string& path, const Cad_Options& options);

}  // namespace hlr_tool
