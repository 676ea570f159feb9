// Sewing, in the reader process: faces that arrive loose (IGES files,
// mostly: every trimmed surface on its own; STEP shells of unconnected
// faces too) each have their own copy of every edge, so every patch
// boundary would be drawn as an edge, and no edge between two faces could
// be told sharp or smooth. Sewn, neighbouring faces share their edges and
// the drawn edges are the part's real ones.
#pragma once

#include <Message_ProgressRange.hxx>

#include <vector>

#include "tool/cad/xde_entry.h"

namespace hlr_tool {

// The sewing tolerance when the user gives none, as a fraction of the
// diagonal of the loose faces' bounding box: a ten-thousandth, a tenth of
// a device unit when the part spans a 1000-unit drawing, so that no gap
// that shows is closed. Both of occt-misc's IGES parts need less
// (hammer.iges: 208 free edges, none left from 1e-5 of its size;
// bearing.iges: 941, 41 left, which border real holes).
inline constexpr double automatic_sewing_fraction = 1e-4;

struct Sewing_Outcome {
  int free_edges_before = 0;  // edges bordering one loose face only
  int free_edges_after = 0;
};

// Sews together the faces of all `parts` that lie in no solid, replacing
// them in their parts by the sewn faces; solids, loose edges, names and
// colours stay. `tolerance` in model units; 0 chooses it from the faces'
// size. Does nothing (and returns free edges before == after) when the
// loose faces have no free edge.
Sewing_Outcome sew_loose_faces(std::vector<Cad_Part>& parts, double tolerance,
                               const Message_ProgressRange& progress);

}  // namespace hlr_tool
