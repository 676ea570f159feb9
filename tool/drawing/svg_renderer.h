// The last renderer of the tool's chain: it receives the hidden-line
// renderer's output (two-point polylines and markers) and writes it as one
// SVG 1.1 drawing.
//
// What it does with what arrives:
// - polyline forms 1, 3 and 5 (points that may need clipping) are clipped,
//   segment by segment, to the rendition's clip rectangle (a closed
//   rectangle: a point on a side is inside); forms 2 and 4 (already inside)
//   are taken as they are. Every segment is a piece; a piece with a
//   non-finite coordinate, or whose two ends are equal, draws nothing and
//   is dropped.
// - pieces that continue one another are joined into one <polyline>: same
//   colour and line pattern, and an end of one equal bit for bit (x and y)
//   to an end of the other. A line in a drawing has no direction, so
//   either end of a piece may meet either end of a polyline (the renderer
//   turns every edge to run left to right, so the two halves of a circle
//   arrive running the same way). Joining does not depend on arrival
//   order: a piece may extend a polyline at either end or join two of
//   them. Where three or more pieces meet at one point, which of them are
//   joined follows the arrival order.
// - markers inside their rendition's clip rectangle become small dots.
// - faces and every other action are absorbed: this renderer draws lines.
//
// Line patterns: the number in a rendition says both how a line is dashed
// and which layer (<g id="...">) it belongs to. The tool's `draw` command
// sets the renderer's "Hidden Line Pattern" and "Intersection Line Pattern"
// options to these numbers, so every piece lands in its layer by its
// pattern alone:
//   0  solid     visible        (lines of the models: their own renditions)
//   1  dashed    hidden
//   2  dotted    hidden
//   3  dash-dot  hidden
//   4  solid     intersections
//   5  dashed    intersections
//   6  dotted    intersections
//   7  solid     hidden
//   any other number: visible, solid.
// 0 to 3 keep the host's standard meaning of the numbers.
//
// Output: an SVG whose user space is the drawing area (the device
// rectangle): svg x = x - x_min, svg y = y_max - y (device y grows upwards,
// svg y downwards, so the drawing stays upright); width, height and viewBox
// are the area's size. Four layers, always present and in this order, so
// that the later ones are drawn on top: hidden, visible, intersections,
// markers. Within a layer the styles (colour and pattern) follow in the
// order they first arrived, and each style's polylines in the order they
// were started (two joined polylines take the place of the earlier one).
// Colours become stroke (and stroke-opacity when alpha is not FF); dash
// lengths are multiples of the stroke width; markers are dots of 1.5
// stroke widths radius. Coordinates are written with three decimals,
// trailing zeros cut. The same calls give the same bytes.
//
// Memory: pieces go into a few growing arrays and one open-addressed hash
// table of the open ends; no allocation per piece.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "geometry.h"
#include "renderer_data.h"
#include "tool/drawing/drawing.h"

namespace hlr_tool {

// The layers, in the order they are written.
enum class Svg_Layer { hidden, visible, intersections, markers };
inline constexpr std::size_t svg_layer_count = 4;

// The layer's id in the SVG ("hidden", "visible", ...).
const char* layer_name(Svg_Layer layer);

// The line-pattern numbers of the table above.
namespace line_pattern {
inline constexpr int visible = 0;
inline constexpr int hidden_dashed = 1;
inline constexpr int hidden_dotted = 2;
inline constexpr int hidden_dash_dot = 3;
inline constexpr int intersection_solid = 4;
inline constexpr int intersection_dashed = 5;
inline constexpr int intersection_dotted = 6;
inline constexpr int hidden_solid = 7;
}  // namespace line_pattern

struct Pattern_Meaning {
  Svg_Layer layer;
  Dash dash;
};

// What a line pattern number means, by the table above.
Pattern_Meaning pattern_meaning(int pattern);

struct Svg_Settings {
  // The device rectangle that the drawing shows; x_max > x_min and
  // y_max > y_min.
  KT_Int_Rectangle drawing_area{0, 1000, 0, 1000};
  // In device units, > 0 and finite. Dash lengths grow with it.
  double stroke_width = 1.0;
};

struct Svg_Counts {
  // Pieces that arrived, per layer (markers: marker points), before any
  // clipping.
  std::array<std::size_t, svg_layer_count> received{};
  // Of those, what was drawn: pieces (or markers) left after clipping,
  // without the empty and non-finite ones.
  std::array<std::size_t, svg_layer_count> drawn{};
  // <polyline> elements (after joining) and dots.
  std::size_t polylines = 0;
  std::size_t markers = 0;
};

class Svg_Renderer final : public KT_Renderer_Data {
 public:
  // Throws std::invalid_argument for settings out of range. Like every
  // renderer it is a counted object: create it with new and hold references
  // on it.
  explicit Svg_Renderer(const Svg_Settings& settings);
  ~Svg_Renderer() override;

  // The whole SVG document of what has arrived so far.
  std::string svg() const;
  // What has arrived so far as a Drawing: the polylines and dots svg()
  // writes, in its order and coordinates (long polylines not cut).
  Drawing drawing() const;
  // Counts of what has arrived so far; `polylines` as svg() would write.
  Svg_Counts counts() const;

  const Svg_Settings& settings() const { return settings_; }

 private:
  // The action entries (receiver: this renderer) add to the store.
  friend struct Svg_Entries;
  struct Store;

  Svg_Settings settings_;
  std::unique_ptr<Store> store_;
};

}  // namespace hlr_tool
