#include "recording_renderer.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <type_traits>
#include <utility>

#include "action_signatures.h"

namespace {

using Kind = KT_Recorded_Call::Kind;

// What a call at `position` is, by the position list of actions.h. Every
// family starts at a multiple of 5, so a family position's form is
// position % 5 + 1.
constexpr Kind kind_at(int position) {
  using namespace KT_Actions;
  if (position < face_family_c + 5 || (position >= face_family_d && position < face_family_d + 5))
    return Kind::face;
  if (position >= polyline && position < polyline + 5) return Kind::polyline;
  if (position >= colored_polyline && position < colored_polyline + 5)
    return Kind::colored_polyline;
  if (position == marker) return Kind::marker;
  if (position == positioned_item) return Kind::positioned_item;
  if (position == clear_action) return Kind::clear;
  if (position == forwarded_action) return Kind::forward;
  return Kind::plain;
}

constexpr int form_at(int position) {
  switch (kind_at(position)) {
    case Kind::face:
    case Kind::polyline:
    case Kind::colored_polyline:
      return position % 5 + 1;
    default:
      return 0;
  }
}

void keep_rendition(KT_Recorded_Call& call, const KT_Rendition& rendition) {
  // An empty handle has nothing to read; the call keeps the zero defaults.
  if (rendition.data() == nullptr) return;
  call.color = rendition.color();
  call.line_pattern = rendition.line_pattern();
  call.clip_rectangle = rendition.clip_rectangle();
}

template <class Point>
void append_points(std::vector<Point>& kept, int count, const Point* points) {
  if (count > 0 && points != nullptr) kept.assign(points, points + count);
}

void keep_points(KT_Recorded_Call& call, int count, const KT_Point* points) {
  call.count = count;
  append_points(call.float_points, count, points);
}
void keep_points(KT_Recorded_Call& call, int count, const KT_Point_I* points) {
  call.count = count;
  append_points(call.integer_points, count, points);
}
void keep_points(KT_Recorded_Call& call, int count, const KT_Point_D* points) {
  call.count = count;
  append_points(call.double_points, count, points);
}

// The arguments of each signature, taken into the call record.

template <class Point>
void take_arguments(KT_Recorded_Call& call, const KT_Rendition& rendition, int count,
                    const Point* points, const void* /*normals*/, const void* /*colors*/) {
  keep_rendition(call, rendition);
  keep_points(call, count, points);
}

// Polylines and markers.
template <class Point>
void take_arguments(KT_Recorded_Call& call, const KT_Rendition& rendition, int count,
                    const Point* points) {
  keep_rendition(call, rendition);
  keep_points(call, count, points);
}

template <class Point>
void take_arguments(KT_Recorded_Call& call, const KT_Rendition& rendition, int count,
                    const Point* points, const KT_RGB32* colors, int one_color) {
  keep_rendition(call, rendition);
  keep_points(call, count, points);
  call.one_color = one_color != 0;
  // A polyline of count points has count - 1 segments: one colour each, or
  // the first for all of them with one_color. Fewer than two points draw
  // no segment and read no colour.
  const int colors_read = count <= 1 ? 0 : call.one_color ? 1 : count - 1;
  if (colors != nullptr && colors_read > 0) call.colors.assign(colors, colors + colors_read);
}

void take_arguments(KT_Recorded_Call& call, const KT_Rendition& rendition, const KT_Point* position,
                    const void* /*item*/) {
  keep_rendition(call, rendition);
  keep_points(call, position != nullptr ? 1 : 0, position);
}

void take_arguments(KT_Recorded_Call& call, int argument) { call.argument = argument; }

void take_arguments(KT_Recorded_Call&) {}

template <class Signature, int Position>
struct recording_entry;

template <int Position, class Result, class... Args>
struct recording_entry<Result(KT_Renderer_Data*, Args...), Position> {
  static Result function(KT_Renderer_Data* receiver, Args... args) {
    KT_Recorded_Call call;
    call.kind = kind_at(Position);
    call.position = Position;
    call.form = form_at(Position);
    take_arguments(call, args...);
    // Every recording entry is installed with its recording renderer as
    // the receiver.
    auto* recorder = static_cast<KT_Recording_Renderer*>(receiver);
    if constexpr (std::is_void_v<Result>) {
      recorder->record(std::move(call));
    } else {
      // clear and forward: the end of the chain answers with the argument.
      static_assert(std::is_same_v<Result(KT_Renderer_Data*, Args...), KT_Argument_Action>);
      const Result result = call.argument;
      recorder->record(std::move(call));
      return result;
    }
  }
};

const std::array<KT_Any_Function, action_count>& recording_entries() {
  static const std::array<KT_Any_Function, action_count> table =
      korvo_internal::entry_table<recording_entry>();
  return table;
}

// Formatting: every number through printf, so the trace spells it as glibc
// does ("-0", "nan", "-nan", "inf").

void append_format(std::string& out, const char* format, auto... values) {
  char buffer[128];
  const int length = std::snprintf(buffer, sizeof buffer, format, values...);
  if (length <= 0) return;
  if (static_cast<std::size_t>(length) < sizeof buffer) {
    out.append(buffer, static_cast<std::size_t>(length));
    return;
  }
  // Longer than the buffer: print again straight into the string.
  const std::size_t old_size = out.size();
  out.resize(old_size + static_cast<std::size_t>(length) + 1);
  std::snprintf(out.data() + old_size, static_cast<std::size_t>(length) + 1, format, values...);
  out.resize(old_size + static_cast<std::size_t>(length));
}

// One coordinate. Non-finite values are spelled here, from the sign bit,
// as glibc prints them ("nan", "-nan", "inf", "-inf"): not every C library
// gives a NaN's sign.
void append_number(std::string& out, const char* format, double value) {
  if (std::isnan(value)) {
    out += std::signbit(value) ? " -nan" : " nan";
  } else if (std::isinf(value)) {
    out += value < 0 ? " -inf" : " inf";
  } else {
    append_format(out, format, value);
  }
}

void append_color(std::string& out, KT_RGB32 color) {
  append_format(out, "%08X", static_cast<unsigned>(color.argb()));
}

void append_rendition(std::string& out, const KT_Recorded_Call& call) {
  out += " color=";
  append_color(out, call.color);
  append_format(out, " pattern=%d", call.line_pattern);
}

void append_points(std::string& out, const KT_Recorded_Call& call) {
  append_format(out, " %d", call.count);
  for (const KT_Point& p : call.float_points) {
    for (float v : {p.x, p.y, p.z}) append_number(out, " %.9g", double(v));
  }
  for (const KT_Point_I& p : call.integer_points) {
    append_format(out, " %d %d %d", int(p.x), int(p.y), int(p.z));
  }
  for (const KT_Point_D& p : call.double_points) {
    for (double v : {p.x, p.y, p.z}) append_number(out, " %.17g", v);
  }
}

const char* face_family_name(int position) {
  switch (position / 5) {
    case 0:
      return "triangle_strip";
    case 1:
      return "face_b";
    case 2:
      return "face_c";
    default:
      return "face_d";
  }
}

}  // namespace

KT_Recording_Renderer::KT_Recording_Renderer() : KT_Renderer_Data(nullptr) {
  const auto& functions = recording_entries();
  for (int position = 0; position < action_count; ++position) {
    actions[position] = {this, functions[position], 0, 1};
  }
}

std::string trace_line(const KT_Recorded_Call& call) {
  std::string line;
  switch (call.kind) {
    case Kind::face:
      line = face_family_name(call.position);
      append_format(line, " %d", call.form);
      append_rendition(line, call);
      append_points(line, call);
      break;
    case Kind::polyline:
      append_format(line, "polyline %d", call.form);
      append_rendition(line, call);
      append_points(line, call);
      break;
    case Kind::colored_polyline: {
      append_format(line, "colored_polyline %d", call.form);
      append_rendition(line, call);
      append_points(line, call);
      line += call.one_color ? " one" : " each";
      // An empty list (fewer than two points) leaves the flag word last.
      const char* separator = " ";
      for (const KT_RGB32& color : call.colors) {
        line += separator;
        append_color(line, color);
        separator = ",";
      }
      break;
    }
    case Kind::marker:
      line = "marker";
      append_rendition(line, call);
      append_points(line, call);
      break;
    case Kind::positioned_item:
      line = "positioned_item";
      append_rendition(line, call);
      append_points(line, call);
      break;
    case Kind::plain:
      append_format(line, "ignored %d", call.position);
      break;
    case Kind::clear:
      append_format(line, "clear %d", call.argument);
      break;
    case Kind::forward:
      append_format(line, "forward %d", call.argument);
      break;
  }
  return line;
}

void write_trace(std::ostream& out, const std::vector<KT_Recorded_Call>& calls) {
  for (const KT_Recorded_Call& call : calls) out << trace_line(call) << '\n';
}
