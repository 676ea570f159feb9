// A drawing's picture cut into tiles, each written to a file that a worker
// (another process, another machine) reads and draws without the rest of
// the model: the tile's triangles and edges already in device coordinates,
// the renderer's settings, and nothing else.
//
// What a tile holds, so that its renderer finds in the tile what a
// renderer given the whole picture finds there:
// - every triangle whose box meets the tile (closed), with its points in
//   the order the whole picture's strip gives them, so the renderer builds
//   the very same face records; runs of such triangles stay strips. They
//   are sent unclipped, with the tile as the clip rectangle of their
//   rendition, so that intersection lines are cut at the tile's sides.
// - every run of edge segments whose box meets the tile, whole: the
//   renderer clips each segment to the tile by its parameter range and
//   keeps its end points, so a segment's parameter, tolerance and pieces
//   are those of the whole picture's.
// - the faces that hold the whole picture's nearest and farthest depth,
//   wherever they are: the renderer's depth tolerance with "WZERO Factor"
//   is a fraction of its faces' depth range, which is then the whole
//   picture's in every tile. Outside the tile they hide nothing of it.
//
// The tiles' sides are whole device units (clip rectangles are integers)
// on which no point of the scene lies, so no edge runs along a side and no
// vertex sits on one.
//
// Files are native binary (the workers of a cluster are the same kind of
// machine), written by the coordinator and read once by one worker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "geometry.h"
#include "tool/drawing/drawing.h"
#include "tool/drawing/drawing_renderer.h"
#include "tool/models/scene.h"
#include "tool/render/draw_pipeline.h"

namespace hlr_tool {

// Columns by rows of tiles.
struct Tile_Grid {
  int columns = 1;
  int rows = 1;
  int count() const { return columns * rows; }
  friend bool operator==(const Tile_Grid&, const Tile_Grid&) = default;
};

// The most tiles a side may be cut into.
inline constexpr int max_tiles_per_side = 64;

// "NxM" or "N,M" (each 1 to max_tiles_per_side). Throws Tool_Error (exit
// status 2) otherwise.
Tile_Grid parse_tile_grid(std::string_view text);
std::string tile_grid_text(const Tile_Grid& grid);

// One tile as a worker reads it.
struct Tile {
  int width = 0;  // the whole device rectangle [0, width] x [0, height]
  int height = 0;
  KT_Int_Rectangle rect{};  // the tile
  Draw_Settings settings;   // the renderer's options (camera and edges unused)
  Scene scene;              // the tile's share, bodies in the whole scene's order
};

// The tiles' sides: `grid.columns - 1` x values and `grid.rows - 1` y
// values, increasing, in device units.
struct Tile_Sides {
  std::vector<int> x;
  std::vector<int> y;
};
Tile_Sides tile_sides(const Scene& scene, const Tile_Grid& grid);

// Writes tile c + r * columns of `sides` to paths[c + r * columns].
// Throws Tool_Error (exit status 1) naming a file that cannot be written.
void write_tile_files(const Scene& scene, const Draw_Settings& settings, const Tile_Sides& sides,
                      const std::vector<std::string>& paths);

// Throws Tool_Error (exit status 1) naming the file when it cannot be read
// or is not a tile file.
Tile read_tile_file(const std::string& path);

// What a worker hands back: the tile's drawing (joined within the tile,
// in the whole drawing's coordinates), what reached its Drawing_Renderer,
// its phase times and the worker's peak resident memory.
struct Tile_Drawing {
  Drawing drawing;
  Drawing_Counts counts;
  double capture_ms = 0.0;
  double passes_ms = 0.0;
  // The worker's processor time over the renderer's work, its threads
  // included.
  double processor_ms = 0.0;
  double peak_mib = 0.0;
};

void write_tile_drawing(const std::string& path, const Tile_Drawing& tile);
Tile_Drawing read_tile_drawing(const std::string& path);

}  // namespace hlr_tool
