// A renderer that records every call it receives, in order: the end of a
// chain in tests and in the picture-script runner. It can write what it
// recorded as a call trace, one line per call.
//
// Trace lines (floats %.9g, doubles %.17g, ints %d, colours as 8 upper-case
// hex digits AARRGGBB, a count of 0 prints no coordinates):
//   triangle_strip|face_b|face_c|face_d FORM color=C pattern=N COUNT x y z ...
//   polyline FORM color=C pattern=N COUNT x y z ...
//   colored_polyline FORM color=C pattern=N COUNT x y z ... one|each C1,C2,...
//   marker color=C pattern=N COUNT x y z ...
//   positioned_item color=C pattern=N 1 x y z
//   ignored POSITION            (any payload-free action)
//   clear N / forward N
// FORM is the family form 1 to 5; numbers print as glibc's printf prints
// them ("-0", "nan", "-nan"). The colour list of colored_polyline is the
// colours the call read, comma-separated with no blanks; when it read none
// (fewer than two points) the line ends with the flag word, `one` or `each`,
// and nothing after it. The clip rectangle is recorded but not printed.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "korvo_api.h"
#include "renderer_data.h"

struct KORVO_API KT_Recorded_Call {
  enum class Kind {
    face,  // the four face families; `position` tells which
    polyline,
    colored_polyline,
    marker,
    positioned_item,
    plain,  // a payload-free action
    clear,
    forward,
  };

  Kind kind = Kind::plain;
  int position = 0;  // in the action table
  int form = 0;      // 1 to 5 for the families, 0 otherwise
  // The rendition as it was at the moment of the call (zeros for an empty
  // handle).
  KT_RGB32 color{};
  int line_pattern = 0;
  KT_Int_Rectangle clip_rectangle{};
  int count = 0;
  // The points in the form's own precision; at most one of these is filled
  // (none for a count of 0 or less, or null points). positioned_item keeps
  // its position as one float point, count 1.
  std::vector<KT_Point> float_points;
  std::vector<KT_Point_I> integer_points;
  std::vector<KT_Point_D> double_points;
  // colored_polyline: the colours read (1 when one_color, else count - 1;
  // none when count <= 1 or the colours are null).
  std::vector<KT_RGB32> colors;
  bool one_color = false;
  int argument = 0;  // clear and forward
};

class KORVO_API KT_Recording_Renderer : public KT_Renderer_Data {
 public:
  // The last renderer of a chain: no next. Installs a recording entry at
  // every position of its action table (receiver this, word 0, flag 1).
  // clear and forward return their argument. Like every renderer it is a
  // counted object: create it with new and hold references on it.
  KT_Recording_Renderer();

  const std::vector<KT_Recorded_Call>& calls() const { return calls_; }
  void forget_calls() { calls_.clear(); }

  // Records one call; used by the recording entries.
  void record(KT_Recorded_Call call) { calls_.push_back(std::move(call)); }

 private:
  std::vector<KT_Recorded_Call> calls_;
};

// One trace line, without the newline.
KORVO_API std::string trace_line(const KT_Recorded_Call& call);
// Every call, one line each.
KORVO_API void write_trace(std::ostream& out, const std::vector<KT_Recorded_Call>& calls);
