#include "tool/session/piece_recorder.h"

#include <limits>
#include <stdexcept>

#include "recording_renderer.h"

namespace hlr_tool {

namespace {

constexpr std::uint8_t marker_call = 0;
// first_point of a call that came without points (a count of 0 or less, or
// null points): it is sent on with null points.
constexpr std::uint32_t no_points = std::numeric_limits<std::uint32_t>::max();

bool same_style(const KT_RGB32& color, int pattern, const KT_Int_Rectangle& clip,
                const KT_RGB32& other_color, int other_pattern,
                const KT_Int_Rectangle& other_clip) {
  return color.blue == other_color.blue && color.green == other_color.green &&
         color.red == other_color.red && color.alpha == other_color.alpha &&
         pattern == other_pattern && clip == other_clip;
}

template <int Form, class Point>
void send_polyline(const KT_Renderer_Data& next, const KT_Rendition& rendition, int count,
                   const Point* points) {
  next.actions.call(KT_Actions::polyline_form<Form>(), rendition, count, points);
}

}  // namespace

struct Piece_Recorder_Entries {
  template <int Form>
  static void polyline(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                       const KT_Form_Point_t<Form>* points) {
    auto& recorder = *static_cast<Piece_Recorder*>(receiver);
    if constexpr (Form == 1 || Form == 2) {
      recorder.record(rendition, Form, count, points, recorder.float_points_);
    } else if constexpr (Form == 3 || Form == 4) {
      recorder.record(rendition, Form, count, points, recorder.integer_points_);
    } else {
      recorder.record(rendition, Form, count, points, recorder.double_points_);
    }
  }

  static void marker(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                     const KT_Point* points) {
    auto& recorder = *static_cast<Piece_Recorder*>(receiver);
    recorder.record(rendition, marker_call, count, points, recorder.float_points_);
  }
};

Piece_Recorder::Piece_Recorder() : KT_Renderer_Data(nullptr) {
  actions.install(KT_Actions::polyline_form<1>(), this, &Piece_Recorder_Entries::polyline<1>, 0, 1);
  actions.install(KT_Actions::polyline_form<2>(), this, &Piece_Recorder_Entries::polyline<2>, 0, 1);
  actions.install(KT_Actions::polyline_form<3>(), this, &Piece_Recorder_Entries::polyline<3>, 0, 1);
  actions.install(KT_Actions::polyline_form<4>(), this, &Piece_Recorder_Entries::polyline<4>, 0, 1);
  actions.install(KT_Actions::polyline_form<5>(), this, &Piece_Recorder_Entries::polyline<5>, 0, 1);
  actions.install(KT_Actions::marker_action, this, &Piece_Recorder_Entries::marker, 0, 1);
}

Piece_Recorder::~Piece_Recorder() = default;

std::uint32_t Piece_Recorder::style_of(const KT_Rendition& rendition) {
  // An empty handle reads as zeros, as the recording renderer keeps it.
  KT_RGB32 color{};
  int pattern = 0;
  KT_Int_Rectangle clip{};
  if (rendition.data() != nullptr) {
    color = rendition.color();
    pattern = rendition.line_pattern();
    clip = rendition.clip_rectangle();
  }
  // The renderer sends long runs of one style (the hidden pieces, then the
  // visible pieces of each body): the last style first, then the rest,
  // which are few (a colour per body and per setting).
  if (!calls_.empty()) {
    const Style& last = styles_[calls_.back().style];
    if (same_style(color, pattern, clip, last.color, last.line_pattern, last.clip_rectangle))
      return calls_.back().style;
  }
  for (std::uint32_t s = 0; s < styles_.size(); ++s) {
    const Style& style = styles_[s];
    if (same_style(color, pattern, clip, style.color, style.line_pattern, style.clip_rectangle))
      return s;
  }
  styles_.push_back({color, pattern, clip});
  return static_cast<std::uint32_t>(styles_.size() - 1);
}

template <class Point>
void Piece_Recorder::record(const KT_Rendition& rendition, std::uint8_t action, int count,
                            const Point* points, std::vector<Point>& store) {
  const bool kept = count > 0 && points != nullptr;
  if (kept && store.size() + count >= no_points)
    throw std::length_error("more pieces than a recorder holds");
  Call call{style_of(rendition), count, kept ? static_cast<std::uint32_t>(store.size()) : no_points,
            action};
  if (kept) store.insert(store.end(), points, points + count);
  calls_.push_back(call);
}

void Piece_Recorder::replay(const KT_Renderer_Data& next, std::size_t first,
                            std::size_t last) const {
  std::vector<KT_Rendition> renditions(styles_.size());
  for (std::size_t c = first; c < last; ++c) {
    const Call& call = calls_[c];
    KT_Rendition& rendition = renditions[call.style];
    if (rendition.data() == nullptr) {
      const Style& style = styles_[call.style];
      rendition = KT_Rendition::create();
      rendition.set_color(style.color, false);
      rendition.set_line_pattern(style.line_pattern);
      rendition.set_clip_rectangle(style.clip_rectangle);
    }
    const auto at = [&call](const auto& store) {
      return call.first_point != no_points ? store.data() + call.first_point : nullptr;
    };
    switch (call.action) {
      case marker_call:
        next.actions.call(KT_Actions::marker_action, rendition, call.count, at(float_points_));
        break;
      case 1:
        send_polyline<1>(next, rendition, call.count, at(float_points_));
        break;
      case 2:
        send_polyline<2>(next, rendition, call.count, at(float_points_));
        break;
      case 3:
        send_polyline<3>(next, rendition, call.count, at(integer_points_));
        break;
      case 4:
        send_polyline<4>(next, rendition, call.count, at(integer_points_));
        break;
      default:
        send_polyline<5>(next, rendition, call.count, at(double_points_));
        break;
    }
  }
}

void Piece_Recorder::append_trace(std::string& out, std::size_t first, std::size_t last) const {
  for (std::size_t c = first; c < last; ++c) {
    const Call& call = calls_[c];
    const Style& style = styles_[call.style];
    KT_Recorded_Call recorded;
    recorded.color = style.color;
    recorded.line_pattern = style.line_pattern;
    recorded.clip_rectangle = style.clip_rectangle;
    recorded.count = call.count;
    const auto copy = [&call](const auto& store, auto& into) {
      if (call.first_point != no_points) {
        into.assign(store.begin() + call.first_point,
                    store.begin() + call.first_point + call.count);
      }
    };
    if (call.action == marker_call) {
      recorded.kind = KT_Recorded_Call::Kind::marker;
      recorded.position = KT_Actions::marker;
      copy(float_points_, recorded.float_points);
    } else {
      recorded.kind = KT_Recorded_Call::Kind::polyline;
      recorded.form = call.action;
      recorded.position = KT_Actions::polyline + call.action - 1;
      if (call.action <= 2) {
        copy(float_points_, recorded.float_points);
      } else if (call.action <= 4) {
        copy(integer_points_, recorded.integer_points);
      } else {
        copy(double_points_, recorded.double_points);
      }
    }
    out += trace_line(recorded);
    out += '\n';
  }
}

}  // namespace hlr_tool
