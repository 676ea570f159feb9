// A renderer's downstream end that keeps every polyline and marker call it
// receives, in order, so that the calls can be written out as a trace and
// sent on to the real downstream renderer afterwards (hlr-render draw
// --trace).
//
// What a call keeps is what a drawing reads from it: the action (polyline
// form 1 to 5, or marker), the rendition's colour, line pattern and clip
// rectangle at the moment of the call, and the points in the form's own
// precision. Renditions that are alike share one record, so a call costs
// 16 bytes beside its points and no allocation of its own. Every other
// action is absorbed, as a drawing absorbs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry.h"
#include "renderer_data.h"

namespace hlr_tool {

class Piece_Recorder final : public KT_Renderer_Data {
 public:
  // Like every renderer it is a counted object: create it with new and
  // hold references on it.
  Piece_Recorder();
  ~Piece_Recorder() override;

  std::size_t call_count() const { return calls_.size(); }

  // Sends calls [first, last) again, in order, to `next`: each through its
  // own action with a rendition of the recorded colour, pattern and clip
  // rectangle.
  void replay(const KT_Renderer_Data& next, std::size_t first, std::size_t last) const;

  // The trace lines of calls [first, last) (the recording renderer's
  // format, recording_renderer.h), each ended by a newline.
  void append_trace(std::string& out, std::size_t first, std::size_t last) const;

 private:
  friend struct Piece_Recorder_Entries;

  struct Style {
    KT_RGB32 color;
    std::int32_t line_pattern;
    KT_Int_Rectangle clip_rectangle;
  };
  struct Call {
    std::uint32_t style;
    std::int32_t count;         // as the caller gave it; points kept only when > 0
    std::uint32_t first_point;  // into the array of the action's precision, or none
    std::uint8_t action;        // 1 to 5: polyline form; 0: marker
  };

  std::uint32_t style_of(const KT_Rendition& rendition);
  template <class Point>
  void record(const KT_Rendition& rendition, std::uint8_t action, int count, const Point* points,
              std::vector<Point>& store);

  std::vector<Style> styles_;
  std::vector<Call> calls_;
  std::vector<KT_Point> float_points_;      // forms 1 and 2, markers
  std::vector<KT_Point_I> integer_points_;  // forms 3 and 4
  std::vector<KT_Point_D> double_points_;   // form 5
};

}  // namespace hlr_tool
