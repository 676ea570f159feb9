// The last renderer of the tool's chain: it receives the hidden-line
// renderer's output (two-point polylines and markers) and collects it into
// a Drawing (tool/drawing/drawing.h), which the writers turn into files.
//
// What it does with what arrives:
// - polyline forms 1, 3 and 5 (points that may need clipping) are clipped,
//   segment by segment, to the rendition's clip rectangle (a closed
//   rectangle: a point on a side is inside); forms 2 and 4 (already inside)
//   are taken as they are. Every segment is a piece; a piece with a
//   non-finite coordinate, or whose two ends are equal, draws nothing and
//   is dropped.
// - pieces that continue one another are joined into one polyline: same
//   colour and line pattern, and an end of one equal bit for bit (x and y)
//   to an end of the other. A line in a drawing has no direction, so
//   either end of a piece may meet either end of a polyline (the renderer
//   turns every edge to run left to right, so the two halves of a circle
//   arrive running the same way). Joining does not depend on arrival
//   order: a piece may extend a polyline at either end or join two of
//   them. Where three or more pieces meet at one point, which of them are
//   joined follows the arrival order.
// - markers inside their rendition's clip rectangle become dots.
// - faces and every other action are absorbed: this renderer draws lines.
//
// Line patterns: the number in a rendition says both how a line is dashed
// and which layer it belongs to. The tool's drawing pipeline sets the
// renderer's "Hidden Line Pattern" and "Intersection Line Pattern" options
// to these numbers, so every piece lands in its layer by its pattern alone:
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
// The Drawing: its area is the drawing area (x = device x - x_min,
// y = y_max - device y). Within a layer a style group is one (colour,
// pattern) pair, in the order the pairs first arrived (two patterns of the
// same meaning stay two groups); each group's polylines in the order they
// were started (two joined polylines take the place of the earlier one).
// The same calls give the same drawing.
//
// Memory: pieces go into a few growing arrays and one open-addressed hash
// table of the open ends; no allocation per piece.
//
// Joining beside: the pieces may be joined on a thread of the renderer's
// own while the upstream renderer goes on sending (the joining is most of
// what a piece costs here). They are joined in the order they came, so the
// drawing is the same bit for bit; drawing() waits for the joining to
// catch up, and a failure of it ("too many lines for one drawing", out of
// memory) leaves from drawing().
#pragma once

#include <array>
#include <cstddef>
#include <memory>

#include "geometry.h"
#include "renderer_data.h"
#include "tool/drawing/drawing.h"

namespace hlr_tool {

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
  Layer layer;
  Dash dash;
};

// What a line pattern number means, by the table above.
Pattern_Meaning pattern_meaning(int pattern);

struct Drawing_Counts {
  // Pieces that arrived, per layer (markers: marker points), before any
  // clipping.
  std::array<std::size_t, layer_count> received{};
  // Of those, what was drawn: pieces (or markers) left after clipping,
  // without the empty and non-finite ones.
  std::array<std::size_t, layer_count> drawn{};
};

// Where the pieces are joined into polylines: on the thread that sends
// them, or on a thread of the renderer's own beside it.
enum class Joining { on_the_calling_thread, beside };

class Drawing_Renderer final : public KT_Renderer_Data {
 public:
  // `drawing_area` is the device rectangle the drawing shows; throws
  // std::invalid_argument when it is empty. Like every renderer it is a
  // counted object: create it with new and hold references on it.
  // Joining beside, `expected_pieces` sizes the renderer's arrays up front;
  // a wrong guess costs only growing them later.
  explicit Drawing_Renderer(const KT_Int_Rectangle& drawing_area,
                            Joining joining = Joining::on_the_calling_thread,
                            std::size_t expected_pieces = 0);
  ~Drawing_Renderer() override;

  // The drawing of what has arrived so far.
  Drawing drawing() const;
  // Counts of what has arrived so far.
  Drawing_Counts counts() const;

  const KT_Int_Rectangle& drawing_area() const { return drawing_area_; }

 private:
  // The action entries (receiver: this renderer) add to the store.
  friend struct Drawing_Entries;
  struct Store;

  KT_Int_Rectangle drawing_area_;
  std::unique_ptr<Store> store_;
};

}  // namespace hlr_tool
