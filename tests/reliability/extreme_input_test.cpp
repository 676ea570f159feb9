// Non-finite and extreme coordinates from a host: NaN of both signs,
// infinities, 1e27, the largest float, denormals, doubles beyond the float
// range, the integer extremes. The renderer must take them through every
// action and every update regime without crashing, hanging or reading past
// what it was given (the sanitizer build checks the last two), send only
// well-formed calls downstream, keep its references balanced, and draw the
// ordinary geometry of the same picture exactly as it draws it alone.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "renderer_fixture.h"

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double float_max = std::numeric_limits<float>::max();

const double extreme_values[] = {
    nan,
    -nan,
    inf,
    -inf,
    1e27,
    -1e27,
    1e300,  // beyond the float range: infinite as a float
    float_max,
    double(std::numeric_limits<float>::denorm_min()),
    std::numeric_limits<double>::denorm_min(),
    -0.0,
};

// Four points of an ordinary strip with `v` put into some of their twelve
// coordinates: bit 3 * point + axis of variants[variant] says which.
constexpr std::uint16_t variants[] = {0x001, 0x010, 0x100, 0x600, 0x924, 0xFFF};
std::vector<KT_Point_D> strip_with(double v, int variant) {
  std::vector<KT_Point_D> p = {{100, 100, 5}, {400, 100, 5}, {100, 400, 7}, {400, 400, 7}};
  for (int k = 0; k < 12; ++k) {
    double* axes[] = {&p[k / 3].x, &p[k / 3].y, &p[k / 3].z};
    if (variants[variant] >> k & 1) *axes[k % 3] = v;
  }
  return p;
}

// The points in another form. Floats: values beyond the float range become
// infinities. Integers: the extremes of the 32-bit range for values beyond
// it or without a value (by the sign of a NaN).
template <class Point>
std::vector<Point> in_form(const std::vector<KT_Point_D>& points) {
  auto to_float = [](double v) {
    return v > float_max ? INFINITY : v < -float_max ? -INFINITY : float(v);
  };
  auto to_integer = [](double v) {
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(v)) return std::signbit(v) ? lowest : highest;
    return v >= highest ? highest : v <= lowest ? lowest : std::int32_t(v);
  };
  std::vector<Point> converted;
  for (const KT_Point_D& p : points) {
    if constexpr (std::is_same_v<Point, KT_Point>) {
      converted.push_back({to_float(p.x), to_float(p.y), to_float(p.z)});
    } else if constexpr (std::is_same_v<Point, KT_Point_I>) {
      converted.push_back({to_integer(p.x), to_integer(p.y), to_integer(p.z)});
    } else {
      converted.push_back(p);
    }
  }
  return converted;
}

class Extreme_Input : public Renderer_Test {
 protected:
  // Every action of one form that takes points: the four face families,
  // the polyline, the coloured polyline in both colour modes.
  template <int Form>
  void every_action_of(const std::vector<KT_Form_Point_t<Form>>& p) {
    using namespace KT_Actions;
    const int count = int(p.size());
    const std::vector<KT_RGB32> colors(p.size() - 1, KT_RGB32::from_argb(0xFF00FF00));
    for (int family : {triangle_strip, face_family_b, face_family_c, face_family_d}) {
      renderer_->actions.call(face<Form>(family), rendition_, count, p.data(), nullptr, nullptr);
    }
    renderer_->actions.call(polyline_form<Form>(), rendition_, count, p.data());
    for (int one_color : {0, 1}) {
      renderer_->actions.call(colored_polyline_form<Form>(), rendition_, count, p.data(),
                              colors.data(), one_color);
    }
  }
  // Every action that takes points, each with the same points in its own
  // form, and the markers and the positioned item. `integer_depth`, when
  // given, is the depth of every integer point.
  void every_action(const std::vector<KT_Point_D>& points,
                    std::optional<std::int32_t> integer_depth = std::nullopt) {
    const auto f = in_form<KT_Point>(points);
    auto i = in_form<KT_Point_I>(points);
    for (KT_Point_I& p : i) p.z = integer_depth.value_or(p.z);
    every_action_of<1>(f);
    every_action_of<2>(f);
    every_action_of<3>(i);
    every_action_of<4>(i);
    every_action_of<5>(points);
    renderer_->actions.call(KT_Actions::marker_action, rendition_, int(f.size()), f.data());
    renderer_->actions.call(KT_Actions::positioned_item_action, rendition_, f.data(), nullptr);
  }

  // Every call that reached the next renderer is a two-point polyline in
  // form 1, 2 or 5 or a one-point marker.
  void expect_well_formed_output(const std::string& where) {
    for (const KT_Recorded_Call& call : recorder_->calls()) {
      const bool marker = call.kind == KT_Recorded_Call::Kind::marker;
      ASSERT_TRUE(marker || call.kind == KT_Recorded_Call::Kind::polyline) << where;
      ASSERT_EQ(call.count, marker ? 1 : 2) << where << ": " << trace_line(call);
      ASSERT_TRUE(marker || call.form == 1 || call.form == 2 || call.form == 5)
          << where << ": " << trace_line(call);
    }
    recorder_->forget_calls();
  }

  void strip(const KT_Point (&points)[4]) {
    renderer_->actions.call(KT_Actions::face<1>(KT_Actions::triangle_strip), rendition_, 4, points,
                            nullptr, nullptr);
  }
  void line(const KT_Point (&points)[2]) {
    renderer_->actions.call(KT_Actions::polyline_form<1>(), rendition_, 2, points);
  }
  // The trace of one picture of what `capture` sends, after establish.
  template <class Capture>
  std::vector<std::string> picture(Capture capture) {
    renderer_->begin_picture();
    capture();
    renderer_->update();
    std::vector<std::string> lines = chain_->trace();
    recorder_->forget_calls();
    renderer_->end_picture();
    return lines;
  }
};

TEST_F(Extreme_Input, EveryActionAndEveryUpdateRegimeTakeNonFiniteAndHugeCoordinates) {
  renderer_->establish();
  for (const double v : extreme_values) {
    const std::string value = "value " + std::to_string(v);
    for (const bool intersections : {false, true}) {
      chain_->set(display_intersections_option, KT_Option_Value(intersections));
      // With intersections the depth tolerance comes from the faces' depth
      // range, which the extreme values make infinite or NaN.
      chain_->set(wzero_factor_option, KT_Option_Value(intersections ? 0.5f : 0.0f));
      chain_->set(halo_gap_option, KT_Option_Value(0));
      chain_->set(use_double_precision_option, KT_Option_Value(false));
      chain_->set(retain_hidden_line_color_option, KT_Option_Value(false));
      renderer_->begin_picture();
      for (int variant = 0; variant < 6; ++variant) every_action(strip_with(v, variant));
      renderer_->update();
      ASSERT_NO_FATAL_FAILURE(expect_well_formed_output(value + ", plain"));

      chain_->set(halo_gap_option,
                  KT_Option_Value(intersections ? std::numeric_limits<int>::min() : 4));
      chain_->set(retain_hidden_line_color_option, KT_Option_Value(true));
      renderer_->update();
      ASSERT_NO_FATAL_FAILURE(expect_well_formed_output(value + ", halo"));

      chain_->set(use_double_precision_option, KT_Option_Value(true));
      renderer_->update();
      ASSERT_NO_FATAL_FAILURE(expect_well_formed_output(value + ", double precision"));

      // Cleared in the middle, captured again after the clear.
      renderer_->actions.call(KT_Actions::clear_action_action, 0);
      recorder_->forget_calls();
      every_action(strip_with(v, 5));
      every_action(strip_with(v, 2));
      renderer_->update();
      ASSERT_NO_FATAL_FAILURE(expect_well_formed_output(value + ", after a clear"));
      renderer_->end_picture();
    }
  }
}

const KT_Point square[4] = {{10, 10, 1}, {90, 10, 1}, {10, 90, 1}, {90, 90, 1}};
const KT_Point line_behind[2] = {{0, 50, 5}, {100, 50, 5}};
// The square hides the middle of the line behind it: the hidden piece,
// then the two visible ones.
const std::vector<std::string> square_over_line = {
    "polyline 2 color=FF000000 pattern=0 2 10 50 5 90 50 5",
    "polyline 1 color=FF000000 pattern=0 2 0 50 5 10 50 5",
    "polyline 1 color=FF000000 pattern=0 2 90 50 5 100 50 5",
};

// The square in front of the line, beside primitives of every action whose
// points all carry one extreme depth. A face among them is either behind
// everything (depth 1e27, the largest float, the largest integer) or has a
// non-finite depth, so none may hide the line, and the line's three pieces
// must come out unchanged. Every piece of an extreme primitive has that
// extreme depth and is left out of the comparison. (This found a NaN-depth
// triangle whose NaN key ended every scan of the index node it shared with
// the square before the square was reached.)
TEST_F(Extreme_Input, OrdinaryGeometryDrawsAsItDoesAlone) {
  rendition_.set_clip_rectangle({0, 100, 0, 100});
  chain_->set(display_intersections_option, KT_Option_Value(true));
  renderer_->establish();
  for (const double depth : {nan, -nan, inf, -inf, 1e27, 1e300, float_max}) {
    for (const double v : extreme_values) {
      std::vector<std::string> ordinary;
      for (const std::string& piece : picture([&] {
             strip(square);
             for (int variant : {0, 1, 3, 5}) {
               std::vector<KT_Point_D> points = strip_with(v, variant);
               for (KT_Point_D& p : points) p.z = depth;
               every_action(points, std::numeric_limits<std::int32_t>::max());
             }
             line(line_behind);
           })) {
        // The depth is the last number of a piece: an ordinary one is 5.
        if (piece.ends_with(" 5")) ordinary.push_back(piece);
      }
      EXPECT_EQ(ordinary, square_over_line) << "depth " << depth << ", value " << v;
    }
  }
}

// What the renderer draws for a NaN point is the point itself: a NaN
// coordinate counts as inside the clip rectangle, so the segment is
// captured and its pieces go downstream with the NaN in them.
TEST_F(Extreme_Input, NanPointsFlowThroughToTheOutput) {
  const float n = std::numeric_limits<float>::quiet_NaN();
  const KT_Point clipped[2] = {{10, 20, 5}, {n, 40, 5}};
  const KT_Point marker[1] = {{n, 30, 2}};
  renderer_->establish();
  const std::vector<std::string> expected = {
      // No face: nothing hidden, the edge whole, in its stored order (a NaN
      // x difference keeps the input order when y grows).
      "polyline 1 color=FF000000 pattern=0 2 10 20 5 nan 40 5",
      "marker color=FF000000 pattern=0 1 nan 30 2",
  };
  EXPECT_EQ(picture([&] {
              line(clipped);
              renderer_->actions.call(KT_Actions::marker_action, rendition_, 1, marker);
            }),
            expected);
}

}  // namespace
