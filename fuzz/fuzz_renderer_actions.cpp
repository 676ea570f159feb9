// Fuzz target: the renderer driven through its action table exactly as a
// host drives it, with whole sessions decoded from the fuzz bytes.
//
// One input is one host session: the renderer is created in a chain whose
// next renderer records every call, then driven in an order the host
// allows (establish first and possibly again between pictures; per picture
// begin_picture, primitives, one or more updates with primitives allowed
// between them, end_picture, sometimes twice; the clear, forwarded and
// ignored actions and option and rendition changes anywhere), then released.
// Primitives are strips of all four face families, polylines, coloured
// polylines and markers in every point form, with coordinates of every
// magnitude: grid values that repeat, tiny values, denormals, values up to
// 1e27, raw float bit patterns (NaN payloads, infinities), doubles beyond
// the float range, repeated points and collinear (degenerate) triangles.
// Point and colour arrays are heap arrays of exactly the length the action
// may read, so a read past them is an AddressSanitizer report.
//
// Checks besides the sanitizers:
// - every call reaching the next renderer at update is a two-point polyline
//   in form 1, 2 or 5, or a one-point marker;
// - while every coordinate in the store is finite and at most 1e7 in
//   magnitude, every piece sent is finite and every edge's hidden intervals
//   pass check_intervals after each update;
// - once the renderer and the session's renditions are released, the
//   host's live-object count is back where it started.
// A failed check prints what failed and aborts, which libFuzzer reports
// with the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "hlr_renderer.h"
#include "intervals.h"
#include "recording_renderer.h"

namespace {

// Work per input: one input cannot run long whatever its bytes.
constexpr int max_operations = 160;
constexpr int max_points_per_input = 800;
// Beyond the 64 points a scratch array holds inside itself, so that the
// heap path of the intake is reached too.
constexpr int max_points_per_call = 80;
// Coordinates up to this magnitude keep every product of the passes finite.
constexpr double moderate = 1e7;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz_renderer_actions: %s\n", what);
  std::abort();
}

// Values of every kind a host may send. `wild` records whether a value
// outside the moderate finite range was produced since the last reset.
class Value_Source {
 public:
  explicit Value_Source(FuzzedDataProvider& input) : in_(input) {}

  bool wild = false;

  double coordinate() {
    const double v = pick();
    if (!(std::fabs(v) <= moderate)) wild = true;
    return v;
  }

  float float_coordinate() {
    if (in_.ConsumeIntegralInRange(0, 15) == 0) {
      // Any bit pattern: NaN payloads of both signs, infinities, denormals.
      const std::uint32_t bits = in_.ConsumeIntegral<std::uint32_t>();
      float f;
      static_assert(sizeof f == sizeof bits);
      std::memcpy(&f, &bits, sizeof f);
      if (!(std::fabs(f) <= moderate)) wild = true;
      return f;
    }
    const double v = coordinate();
    // Beyond the float range only through infinity, which is wild already.
    if (std::fabs(v) > std::numeric_limits<float>::max()) {
      return v > 0 ? std::numeric_limits<float>::infinity()
                   : -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(v);
  }

  std::int32_t integer_coordinate() {
    std::int32_t v;
    switch (in_.ConsumeIntegralInRange(0, 5)) {
      case 0:
        v = std::numeric_limits<std::int32_t>::min();
        break;
      case 1:
        v = std::numeric_limits<std::int32_t>::max();
        break;
      case 2:
        v = in_.ConsumeIntegral<std::int32_t>();
        break;
      default:
        v = in_.ConsumeIntegralInRange<std::int32_t>(-50, 1050);
        break;
    }
    if (std::abs(static_cast<double>(v)) > moderate) wild = true;
    return v;
  }

 private:
  double pick() {
    const double sign = in_.ConsumeBool() ? -1.0 : 1.0;
    switch (in_.ConsumeIntegralInRange(0, 11)) {
      case 0:
      case 1:
      case 2:
        // A coarse grid inside and around the usual clip rectangle: points
        // repeat and triangles come out flat or collinear.
        return static_cast<double>(in_.ConsumeIntegralInRange(-5, 105)) * 10.0;
      case 3:
        return in_.ConsumeFloatingPointInRange(-100.0, 1100.0);
      case 4:
        return sign * std::ldexp(1.0, -in_.ConsumeIntegralInRange(10, 100));  // tiny
      case 5:
        // Denormal floats.
        return sign * static_cast<double>(std::numeric_limits<float>::denorm_min()) *
               in_.ConsumeIntegralInRange(1, 1 << 22);
      case 6:
        return sign * std::pow(10.0, in_.ConsumeIntegralInRange(6, 27));  // huge
      case 7:
        return sign * 1e27;
      case 8:
        return in_.ConsumeFloatingPoint<double>();  // any finite double
      case 9:
        return sign * std::numeric_limits<double>::quiet_NaN();
      case 10:
        return sign * std::numeric_limits<double>::infinity();
      default:
        return sign * 0.0;
    }
  }

  FuzzedDataProvider& in_;
};

// Points of one form, each either new, a repetition of the previous one,
// or on the line through the two before it (a degenerate triangle).
template <class Point>
std::vector<Point> make_points(FuzzedDataProvider& in, Value_Source& values, int count) {
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const int how = in.ConsumeIntegralInRange(0, 7);
    if (how == 0 && i >= 1) {
      points.push_back(points[i - 1]);
      continue;
    }
    if (how == 1 && i >= 2) {
      const Point& p = points[i - 2];
      const Point& q = points[i - 1];
      const int k = in.ConsumeIntegralInRange(-2, 3);
      if constexpr (std::is_same_v<Point, KT_Point_I>) {
        // Wrapping arithmetic in 64 bits, then cut back: collinear when it
        // fits, some point when it does not.
        auto at = [k](std::int32_t a, std::int32_t b) {
          return static_cast<std::int32_t>(static_cast<std::int64_t>(a) +
                                           (static_cast<std::int64_t>(b) - a) * k);
        };
        points.push_back({at(p.x, q.x), at(p.y, q.y), at(p.z, q.z)});
      } else {
        using T = decltype(p.x);
        points.push_back({static_cast<T>(p.x + (q.x - p.x) * static_cast<T>(k)),
                          static_cast<T>(p.y + (q.y - p.y) * static_cast<T>(k)),
                          static_cast<T>(p.z + (q.z - p.z) * static_cast<T>(k))});
        // Collinear combinations of wild values stay wild; of moderate ones
        // they stay within three times the range.
      }
      continue;
    }
    if constexpr (std::is_same_v<Point, KT_Point>) {
      points.push_back(
          {values.float_coordinate(), values.float_coordinate(), values.float_coordinate()});
    } else if constexpr (std::is_same_v<Point, KT_Point_I>) {
      points.push_back(
          {values.integer_coordinate(), values.integer_coordinate(), values.integer_coordinate()});
    } else {
      points.push_back({values.coordinate(), values.coordinate(), values.coordinate()});
    }
  }
  return points;
}

KT_Int_Rectangle make_clip(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
      return {0, 1000, 0, 1000};
    case 1: {
      // Inside the grid, possibly empty or inverted.
      auto v = [&] { return in.ConsumeIntegralInRange(-10, 110) * 10; };
      return {v(), v(), v(), v()};
    }
    case 2:
      return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
              std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
    case 3:
      return {500, 500, 500, 500};
    default:
      return {in.ConsumeIntegral<std::int32_t>(), in.ConsumeIntegral<std::int32_t>(),
              in.ConsumeIntegral<std::int32_t>(), in.ConsumeIntegral<std::int32_t>()};
  }
}

class Session {
 public:
  Session(FuzzedDataProvider& in, HLR_Renderer& renderer, KT_Recording_Renderer& next)
      : in_(in), values_(in), renderer_(renderer), next_(next) {
    const int rendition_count = in.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < rendition_count; ++i) {
      renditions_.push_back(KT_Rendition::create());
      renditions_.back().set_clip_rectangle(make_clip(in));
    }
  }

  void run() {
    if (in_.ConsumeBool()) set_color_system();
    renderer_.establish();
    for (int operation = 0; operation < max_operations && in_.remaining_bytes() > 0; ++operation) {
      step();
    }
    if (in_picture_) {
      if (!updated_) update();
      end_picture();
    }
  }

 private:
  void step() {
    switch (in_.ConsumeIntegralInRange(0, 15)) {
      case 0:
        set_option();
        return;
      case 1:
        change_rendition();
        return;
      case 2:
        clear();
        return;
      case 3:
        forward();
        return;
      case 4:
        ignored();
        return;
      default:
        break;
    }
    if (!in_picture_) {
      if (in_.ConsumeIntegralInRange(0, 7) == 0) {
        // Between pictures the host may establish again, perhaps in
        // another colour system, or end a picture once more.
        if (in_.ConsumeBool()) {
          set_color_system();
          renderer_.establish();
        } else {
          renderer_.end_picture();
        }
        return;
      }
      begin_picture();
      return;
    }
    switch (in_.ConsumeIntegralInRange(0, 9)) {
      case 0:
        update();
        return;
      case 1:
        if (updated_) {
          end_picture();
          return;
        }
        update();
        return;
      default:
        primitive();
        return;
    }
  }

  void set_color_system() {
    KT_Color_System system = renderer_.own_renderer_options.color_system();
    system.kind = in_.ConsumeIntegralInRange(-1, 3);
    renderer_.own_renderer_options.set_color_system(system);
  }

  void begin_picture() {
    renderer_.begin_picture();
    in_picture_ = true;
    updated_ = false;
  }

  void end_picture() {
    renderer_.end_picture();
    if (in_.ConsumeIntegralInRange(0, 7) == 0) renderer_.end_picture();
    in_picture_ = false;
    store_wild_ = false;
  }

  void clear() {
    const int argument = in_.ConsumeIntegral<int>();
    if (renderer_.actions.call(KT_Actions::clear_action_action, argument) != argument) {
      fail("the clear action did not return what the next renderer returned");
    }
    store_wild_ = false;
    check_passed_on(KT_Recorded_Call::Kind::clear, argument);
  }

  void forward() {
    const int argument = in_.ConsumeIntegral<int>();
    if (renderer_.actions.call(KT_Actions::forwarded_action_action, argument) != argument) {
      fail("the forwarded action did not return what the next renderer returned");
    }
    check_passed_on(KT_Recorded_Call::Kind::forward, argument);
  }

  void check_passed_on(KT_Recorded_Call::Kind kind, int argument) {
    const auto& calls = next_.calls();
    if (calls.size() != 1 || calls[0].kind != kind || calls[0].argument != argument) {
      fail("the clear or forwarded action did not reach the next renderer once, unchanged");
    }
    next_.forget_calls();
  }

  void ignored() {
    static constexpr int positions[] = {KT_Actions::palette_begin, KT_Actions::palette_end,
                                        KT_Actions::direct_color_begin,
                                        KT_Actions::direct_color_end, KT_Actions::flush_hint};
    const int position = positions[in_.ConsumeIntegralInRange(0, 4)];
    renderer_.actions.call(KT_Actions::plain(position));
    // What an entry the renderer did not install passes on is the host's
    // business; only the order of later checks needs a clean record.
    next_.forget_calls();
  }

  void set_option() {
    KT_Option& option = *renderer_.current_option_entries[in_.ConsumeIntegralInRange(
        0, static_cast<int>(option_count) - 1)];
    switch (option.kind()) {
      case KT_Option_Kind::integer: {
        // Patterns and the halo gap: small values mostly, extremes too.
        const int value =
            in_.ConsumeBool() ? in_.ConsumeIntegralInRange(-3, 12) : in_.ConsumeIntegral<int>();
        option.set(KT_Option_Value(value));
        break;
      }
      case KT_Option_Kind::boolean:
        option.set(KT_Option_Value(in_.ConsumeBool()));
        break;
      case KT_Option_Kind::real: {
        float value;
        switch (in_.ConsumeIntegralInRange(0, 3)) {
          case 0:
            value = 0.0f;
            break;
          case 1:
            value = in_.ConsumeFloatingPointInRange(-1.0f, 1.0f);
            break;
          case 2:
            value = values_.float_coordinate();
            break;
          default:
            value = in_.ConsumeFloatingPoint<float>();
            break;
        }
        option.set(KT_Option_Value(value));
        break;
      }
      case KT_Option_Kind::color:
        option.set(KT_Option_Value(in_.ConsumeIntegral<int>(), in_.ConsumeIntegral<int>(),
                                   in_.ConsumeIntegral<int>(), in_.ConsumeIntegral<int>()));
        break;
    }
  }

  KT_Rendition& some_rendition() {
    const int i = in_.ConsumeIntegralInRange(0, static_cast<int>(renditions_.size()));
    // The last choice is the renderer's own rendition, which the host hands
    // out for it (and from which the hidden-line rendition is made).
    if (i == static_cast<int>(renditions_.size())) return renderer_.renderer_rendition;
    return renditions_[static_cast<std::size_t>(i)];
  }

  void change_rendition() {
    KT_Rendition& rendition = some_rendition();
    switch (in_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        rendition.set_color(KT_RGB32::from_argb(in_.ConsumeIntegral<std::uint32_t>()),
                            in_.ConsumeBool());
        break;
      case 1:
        rendition.set_line_pattern(in_.ConsumeIntegralInRange(-1, 5));
        break;
      case 2:
        rendition.set_clip_rectangle(make_clip(in_));
        break;
      default:
        rendition.set_dash_definition(in_.ConsumeFloatingPoint<float>());
        break;
    }
  }

  int point_count() {
    int count;
    switch (in_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        count = in_.ConsumeIntegralInRange(0, 3);
        break;
      case 1:
        count = in_.ConsumeIntegralInRange(0, max_points_per_call);
        break;
      default:
        count = in_.ConsumeIntegralInRange(2, 8);
        break;
    }
    if (count > points_left_) count = points_left_;
    points_left_ -= count;
    return count;
  }

  void primitive() {
    const KT_Rendition& rendition = some_rendition();
    const int count = point_count();
    values_.wild = false;
    switch (in_.ConsumeIntegralInRange(0, 4)) {
      case 0:
      case 1:
        face(rendition, count);
        break;
      case 2:
        polyline(rendition, count);
        break;
      case 3:
        colored_polyline(rendition, count);
        break;
      default:
        marker(rendition, count);
        break;
    }
    if (values_.wild) store_wild_ = true;
  }

  template <class Call>
  void with_form(Call&& call) {
    switch (in_.ConsumeIntegralInRange(1, 5)) {
      case 1:
        call(std::integral_constant<int, 1>{});
        break;
      case 2:
        call(std::integral_constant<int, 2>{});
        break;
      case 3:
        call(std::integral_constant<int, 3>{});
        break;
      case 4:
        call(std::integral_constant<int, 4>{});
        break;
      default:
        call(std::integral_constant<int, 5>{});
        break;
    }
  }

  void face(const KT_Rendition& rendition, int count) {
    static constexpr int families[] = {KT_Actions::triangle_strip, KT_Actions::face_family_b,
                                       KT_Actions::face_family_c, KT_Actions::face_family_d};
    const int family = families[in_.ConsumeIntegralInRange(0, 3)];
    with_form([&](auto form) {
      constexpr int f = decltype(form)::value;
      const auto points = make_points<KT_Form_Point_t<f>>(in_, values_, count);
      renderer_.actions.call(KT_Actions::face<f>(family), rendition, count, points.data(), nullptr,
                             nullptr);
    });
  }

  void polyline(const KT_Rendition& rendition, int count) {
    with_form([&](auto form) {
      constexpr int f = decltype(form)::value;
      const auto points = make_points<KT_Form_Point_t<f>>(in_, values_, count);
      renderer_.actions.call(KT_Actions::polyline_form<f>(), rendition, count, points.data());
    });
  }

  void colored_polyline(const KT_Rendition& rendition, int count) {
    const int one_color = in_.ConsumeBool() ? 1 : 0;
    // Exactly the colours the action reads: one when the flag is set,
    // count - 1 otherwise, none for fewer than two points.
    const int needed = count < 2 ? 0 : (one_color != 0 ? 1 : count - 1);
    std::vector<KT_RGB32> colors;
    for (int i = 0; i < needed; ++i) {
      colors.push_back(KT_RGB32::from_argb(in_.ConsumeIntegral<std::uint32_t>()));
    }
    with_form([&](auto form) {
      constexpr int f = decltype(form)::value;
      const auto points = make_points<KT_Form_Point_t<f>>(in_, values_, count);
      renderer_.actions.call(KT_Actions::colored_polyline_form<f>(), rendition, count,
                             points.data(), colors.data(), one_color);
    });
  }

  void marker(const KT_Rendition& rendition, int count) {
    const auto points = make_points<KT_Point>(in_, values_, count);
    if (in_.ConsumeIntegralInRange(0, 7) == 0 && count >= 1) {
      // Positioned items are absorbed; nothing may reach the next renderer.
      renderer_.actions.call(KT_Actions::positioned_item_action, rendition, &points[0], nullptr);
      if (!next_.calls().empty()) fail("a positioned item reached the next renderer");
      return;
    }
    renderer_.actions.call(KT_Actions::marker_action, rendition, count, points.data());
  }

  void update() {
    renderer_.update();
    updated_ = true;
    check_output();
    if (!store_wild_) check_edges();
  }

  // What update sends: two-point polylines in form 1, 2 or 5, and markers
  // of one point; finite while the store holds only moderate values.
  void check_output() {
    for (const KT_Recorded_Call& call : next_.calls()) {
      if (call.kind == KT_Recorded_Call::Kind::marker) {
        if (call.count != 1 || call.float_points.size() != 1)
          fail("a marker of more than one point");
        continue;
      }
      if (call.kind != KT_Recorded_Call::Kind::polyline || call.count != 2) {
        fail("update sent something else than a two-point polyline or a marker");
      }
      if (call.form != 1 && call.form != 2 && call.form != 5) fail("a piece in an unexpected form");
      if (store_wild_) continue;
      auto finite = [](auto p) {
        return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
      };
      for (const KT_Point& p : call.float_points) {
        if (!finite(p)) fail("a non-finite piece from moderate input");
      }
      for (const KT_Point_D& p : call.double_points) {
        if (!finite(p)) fail("a non-finite double piece from moderate input");
      }
    }
    next_.forget_calls();
  }

  void check_edges() {
    for (const HLR_Edge* edge = renderer_.edge_list.head; edge != nullptr; edge = edge->link) {
      const char* broken = check_intervals(*edge);
      if (*broken != '\0') {
        std::fprintf(stderr, "edge (%.9g %.9g %.9g)-(%.9g %.9g %.9g): %s\n", edge->a.x, edge->a.y,
                     edge->a.z, edge->b.x, edge->b.y, edge->b.z, broken);
        fail("hidden intervals broken after update");
      }
    }
  }

  FuzzedDataProvider& in_;
  Value_Source values_;
  HLR_Renderer& renderer_;
  KT_Recording_Renderer& next_;
  std::vector<KT_Rendition> renditions_;
  bool in_picture_ = false;
  bool updated_ = false;
  // Whether the store holds a value that is not finite and moderate.
  bool store_wild_ = false;
  int points_left_ = max_points_per_input;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::int64_t live_at_start = KT_Counted::live_objects();
  {
    FuzzedDataProvider in(data, size);
    auto* next = new KT_Recording_Renderer;
    next->add_reference();
    const KT_Renderer_Data* next_pointer = next;
    auto* renderer = static_cast<HLR_Renderer*>(KD_Renderer(&next_pointer));
    renderer->add_reference();
    {
      // The session's renditions go before the renderer does.
      Session session(in, *renderer, *next);
      session.run();
    }
    renderer->drop_reference();
    next->drop_reference();
  }
  if (KT_Counted::live_objects() != live_at_start)
    fail("host objects left alive after the session");
  return 0;
}
