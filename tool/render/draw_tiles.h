// One view drawn in tiles, for models larger than one machine: the
// coordinator frames the models and cuts the scene into tile files
// (tile_files.h), workers each draw one tile with a renderer of their own
// (a process here, or a task on a cluster, which reads only its tile's
// file), and the coordinator joins the tiles' drawings into one.
//
// Visibility at a point depends only on the faces over that point, and a
// tile holds every face over every point of it, so each tile's pieces are
// the whole picture's pieces inside the tile. Joined again across the
// tiles' sides, the drawing has the lines of the view drawn whole: the
// same lengths and every piece within the renderer's tolerance (0.01
// device units) of the single run's; polylines are the same but for their
// order. (With --halo, a gap where visibility changes within the halo of
// a tile's side may differ.) Line precedence then keeps the first of two
// hidden lines within a unit of each other in the drawing's order, which
// the tiles change: the thinned drawing has the single run's lengths, but
// of such a pair it may keep the other line.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "tool/common/thread_budget.h"
#include "tool/models/model.h"
#include "tool/render/draw_pipeline.h"
#include "tool/render/tile_files.h"

namespace hlr_tool {

// A tile to draw: its file, and the file its drawing goes to.
struct Tile_Job {
  std::string tile_file;
  std::string drawing_file;
};

// Draws every job (draw_tile_file each, anywhere) and returns when all are
// written; throws on the first failure. Empty: worker processes here.
using Tile_Runner = std::function<void(std::span<const Tile_Job>)>;

struct Tiled_View {
  Tile_Grid grid;
  // Where the tile files and the tiles' drawings go (every worker must
  // see it); empty: a temporary folder, removed afterwards. Files this run
  // makes are removed either way.
  std::string folder;
  std::string module_path;
  // hlr-render-worker, for the runner of worker processes.
  std::string worker_program;
  Tile_Runner runner;
};

// The view of `models` drawn in tiles; the tiles drawn side by side here
// share `threads` (tiles at once x each tile's renderer threads stays
// within it). Line precedence thins the joined drawing as it does a view
// drawn whole. Throws Tool_Error: exit status 2
// for bodies too large to draw or a picture that cannot be cut so; 1 when
// a tile fails.
Draw_Result draw_in_tiles(std::span<const Model> models, const Draw_Settings& settings,
                          const Tiled_View& tiled, const Thread_Budget& threads,
                          const Draw_Hooks& hooks = {});

// A worker's part: reads the tile, draws it with a renderer whose passes
// use `threads` threads (0: the environment's number) and writes its
// drawing. Throws Tool_Error (exit status 1) when a file cannot be read or
// written or the renderer fails.
void draw_tile_file(const Tile_Job& job, const std::string& module_path, int threads);

// The tiles' drawings joined along the sides into one drawing of the
// whole. Pieces cut by a side are joined again where their ends meet on it
// (within a thousandth of a unit), and the point on the side is dropped
// where the two pieces run on in one line.
Drawing join_tile_drawings(std::vector<Drawing> tiles, const Tile_Sides& sides, double width,
                           double height);

}  // namespace hlr_tool
