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
  // A part that fails to tessellate is drawn without the faces that failed
  // (reported through Cad_Options::warn) instead of failing the whole file.
  bool keep_going = false;

  bool operator==(const Cad_Tessellation&) const = default;
};

struct Cad_Options {
  Cad_Tessellation tessellation;
  // The shorter side of the drawing in device units, at least 1, for the
  // default deflection.
  int drawing_side = 1000;
  // The lowest and highest corner of the drawing's other models (meshes),
  // for the default deflection.
  std::optional<std::array<Model_Point, 2>> other_models_box;
  // The mesher shares a file's faces among the processors (Open CASCADE's
  // own pool); off, it meshes them on the calling thread.
  bool in_parallel = true;
  // Status lines while reading and tessellating, and warnings; either may
  // be empty. The library prints nothing itself.
  std::function<void(const std::string&)> progress;
  std::function<void(const std::string&)> warn;
};

// True for the file names load_cad_model reads: .step, .stp, .iges, .igs and
// .brep (any case).
bool is_cad_file(std::string_view path);

// Reads a STEP (with its assembly structure, names and colours), IGES or
// BREP file, tessellates it and returns its bodies.
// Throws Tool_Error with exit status 2, its message starting with `path`,
// when the file is missing or unreadable, when it holds no shape or no
// face, and for a part whose faces could not all be tessellated (naming
// the part) unless keep_going is set.
// Reading is serialised process-wide (Open CASCADE's readers share unlocked
// globals); tessellation runs as the options say. Nothing else in the
// process changes: the heap, locale and signal handlers are the caller's.
// Several files read together, in order, each its own Model: the default
// deflection then follows all of them.
std::vector<Model> load_cad_models(const std::vector<std::string>& paths,
                                   const Cad_Options& options);
Model load_cad_model(const std::string& path, const Cad_Options& options);

}  // namespace hlr_tool
