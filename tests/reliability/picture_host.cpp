#include "picture_host.h"

#include <stdexcept>

namespace {

template <int Form>
void failing_polyline(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                      const KT_Form_Point_t<Form>* points) {
  static_cast<Failing_Next&>(*receiver).count_call().call(KT_Actions::polyline_form<Form>(),
                                                          rendition, count, points);
}

void failing_marker(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                    const KT_Point* points) {
  static_cast<Failing_Next&>(*receiver).count_call().call(KT_Actions::marker_action, rendition,
                                                          count, points);
}

template <KT_Action<KT_Argument_Action> Action>
int failing_plain(KT_Renderer_Data* receiver, int argument) {
  return static_cast<Failing_Next&>(*receiver).count_call().call(Action, argument);
}

// The picture's geometry, in device units of a 0..1000 clip rectangle.
// Faces: square A at depth 10; square B tilted from depth 0 to 20, cutting
// A's plane along y = 350 (inside A's clip rectangle, 0..400, which the
// intersection line of the pair takes from A); an integer strip, an integer square inside, and
// a double square at depth 2.5.
const KT_Point square_a[4] = {{100, 100, 10}, {500, 100, 10}, {100, 500, 10}, {500, 500, 10}};
const KT_Point square_b[4] = {{300, 200, 0}, {700, 200, 0}, {300, 500, 20}, {700, 500, 20}};
const KT_Point_I strip_c[5] = {
    {600, 100, 5}, {900, 100, 5}, {600, 400, 15}, {900, 400, 15}, {750, 550, 30}};
const KT_Point_I square_d[4] = {{50, 600, 40}, {250, 600, 40}, {50, 900, 40}, {250, 900, 40}};
const KT_Point_D square_e[4] = {{650, 650, 2.5}, {950, 650, 2.5}, {650, 950, 2.5}, {950, 950, 2.5}};

// Lines: one leaving the clip rectangle behind A and B, one piercing A, an
// integer one beyond the rectangle on both sides, an integer zigzag inside,
// a double one behind square E.
const KT_Point line_clipped[2] = {{0, 300, 50}, {1200, 300, 50}};
const KT_Point line_piercing[2] = {{200, 50, 1}, {200, 950, 60}};
const KT_Point_I line_integer[2] = {{-100, 800, 100}, {1100, 800, 100}};
const KT_Point_I zigzag_integer[3] = {{120, 120, 0}, {480, 480, 30}, {480, 120, 0}};
const KT_Point_D line_double[2] = {{640.25, 700.5, 1.0}, {960.125, 900.75, 10.0}};
const KT_Point after_update[2] = {{150, 150, 90}, {450, 450, 90}};

const KT_Point colored_f[3] = {{-50, 200, 30}, {450, 250, 30}, {450, 950, 30}};
const KT_Point colored_f_in[3] = {{320, 320, 25}, {680, 320, 25}, {680, 580, -5}};
const KT_Point_I colored_i[3] = {{550, -20, 8}, {550, 480, 8}, {1020, 480, 8}};
const KT_Point_I colored_i_in[2] = {{700, 700, 9}, {900, 900, 9}};
const KT_Point_D colored_d[3] = {{620.5, 980.5, 3.25}, {980.5, 620.5, 3.25}, {1200, 620.5, 3.25}};
const KT_RGB32 segment_colors[2] = {KT_RGB32::from_argb(0xFF112233),
                                    KT_RGB32::from_argb(0x80445566)};

const KT_Point markers[3] = {{300, 200, 100}, {50, 50, 0}, {800, 800, 1}};
const KT_Point item_position{10, 10, 10};

// Seventy points zigzagging across the faces: more than the 64 the intake's
// scratch arrays hold inside themselves.
struct Zigzag {
  KT_Point points[70];
  Zigzag() {
    for (int i = 0; i < 70; ++i) {
      points[i] = {static_cast<float>(20 + 14 * i), static_cast<float>(i % 2 == 0 ? 150 : 850),
                   static_cast<float>(i % 3 == 0 ? 60 : 12)};
    }
  }
};
const Zigzag zigzag;

}  // namespace

Failing_Next::Failing_Next() : recording_(actions) {
  actions.install(KT_Actions::polyline_form<1>(), this, &failing_polyline<1>, 0, 1);
  actions.install(KT_Actions::polyline_form<2>(), this, &failing_polyline<2>, 0, 1);
  actions.install(KT_Actions::polyline_form<3>(), this, &failing_polyline<3>, 0, 1);
  actions.install(KT_Actions::polyline_form<4>(), this, &failing_polyline<4>, 0, 1);
  actions.install(KT_Actions::polyline_form<5>(), this, &failing_polyline<5>, 0, 1);
  actions.install(KT_Actions::marker_action, this, &failing_marker, 0, 1);
  actions.install(KT_Actions::clear_action_action, this,
                  &failing_plain<KT_Actions::clear_action_action>, 0, 1);
  actions.install(KT_Actions::forwarded_action_action, this,
                  &failing_plain<KT_Actions::forwarded_action_action>, 0, 1);
}

const KT_Action_Table& Failing_Next::count_call() {
  if (failing_call_ != 0 && ++calls_seen_ == failing_call_) {
    fired_ = true;
    throw std::runtime_error("the next renderer failed");
  }
  return recording_;
}

Picture_Host::Picture_Host() {
  KT_Rendition plain = KT_Rendition::create();
  plain.set_color(KT_RGB32::from_argb(0xFF303030), false);
  KT_Rendition small = KT_Rendition::create();
  small.set_color(KT_RGB32::from_argb(0xFF0000FF), false);
  small.set_clip_rectangle({0, 400, 0, 400});
  KT_Rendition dashed = KT_Rendition::create();
  dashed.set_line_pattern(3);
  renditions_ = {plain, small, dashed};

  start_ = {{hidden_line_pattern_option, KT_Option_Value(1)},
            {hidden_line_color_option, KT_Option_Value(200, 10, 20, 255)},
            {display_hidden_lines_option, KT_Option_Value(true)},
            {use_face_color_for_intersections_option, KT_Option_Value(false)},
            {intersection_line_color_option, KT_Option_Value(0, 128, 0, 255)},
            {display_intersections_option, KT_Option_Value(true)},
            {intersection_line_pattern_option, KT_Option_Value(2)},
            {retain_hidden_line_color_option, KT_Option_Value(false)},
            {halo_gap_option, KT_Option_Value(3)},
            {wzero_factor_option, KT_Option_Value(0.0f)},
            {use_double_precision_option, KT_Option_Value(false)}};
  double_precision_ = {{use_double_precision_option, KT_Option_Value(true)}};
  third_update_ = {{use_double_precision_option, KT_Option_Value(false)},
                   {halo_gap_option, KT_Option_Value(0)},
                   {retain_hidden_line_color_option, KT_Option_Value(true)},
                   {use_face_color_for_intersections_option, KT_Option_Value(true)}};
  second_part_ = {{wzero_factor_option, KT_Option_Value(0.5f)}};
  // The registered values go now: from here on the host holds every value
  // an option can be given, and setting one only moves references.
  apply(start_);
}

void Picture_Host::apply(const Settings& settings) {
  for (const auto& [option, value] : settings) set(option, value);
}

void Picture_Host::run_picture() {
  using namespace KT_Actions;
  HLR_Renderer& r = *renderer;
  const KT_Rendition& plain = renditions_[0];
  const KT_Rendition& small = renditions_[1];
  const KT_Rendition& dashed = renditions_[2];
  // Every option the picture relies on is set here, so that a picture run
  // after a failed one starts from the same settings.
  apply(start_);

  r.establish();
  r.begin_picture();
  r.actions.call(face<1>(triangle_strip), small, 4, square_a, nullptr, nullptr);
  r.actions.call(face<2>(face_family_b), plain, 4, square_b, nullptr, nullptr);
  r.actions.call(face<3>(face_family_c), plain, 5, strip_c, nullptr, nullptr);
  r.actions.call(face<4>(face_family_d), dashed, 4, square_d, nullptr, nullptr);
  r.actions.call(face<5>(triangle_strip), plain, 4, square_e, nullptr, nullptr);

  r.actions.call(polyline_form<1>(), plain, 2, line_clipped);
  r.actions.call(polyline_form<2>(), dashed, 2, line_piercing);
  r.actions.call(polyline_form<3>(), plain, 2, line_integer);
  r.actions.call(polyline_form<4>(), plain, 3, zigzag_integer);
  r.actions.call(polyline_form<5>(), plain, 2, line_double);
  r.actions.call(polyline_form<1>(), dashed, 70, zigzag.points);

  r.actions.call(colored_polyline_form<1>(), plain, 3, colored_f, segment_colors, 0);
  r.actions.call(colored_polyline_form<2>(), plain, 3, colored_f_in, segment_colors, 1);
  r.actions.call(colored_polyline_form<3>(), small, 3, colored_i, segment_colors, 0);
  r.actions.call(colored_polyline_form<4>(), plain, 2, colored_i_in, segment_colors, 0);
  r.actions.call(colored_polyline_form<5>(), plain, 3, colored_d, segment_colors, 0);

  r.actions.call(marker_action, plain, 3, markers);
  r.actions.call(positioned_item_action, plain, &item_position, nullptr);
  r.actions.call(KT_Actions::plain(flush_hint));
  r.actions.call(forwarded_action_action, 7);

  // Update 1: halo. Update 2: double precision. Update 3: retained
  // colours, no halo, with an edge captured after the first update.
  r.update();
  apply(double_precision_);
  r.update();
  r.actions.call(polyline_form<1>(), plain, 2, after_update);
  apply(third_update_);
  r.update();

  // A clear in the middle, and a second part with a depth tolerance from
  // the faces' depth range.
  r.actions.call(clear_action_action, 5);
  r.actions.call(face<1>(triangle_strip), plain, 4, square_a, nullptr, nullptr);
  r.actions.call(face<1>(face_family_c), plain, 4, square_b, nullptr, nullptr);
  r.actions.call(polyline_form<1>(), plain, 2, line_clipped);
  r.actions.call(marker_action, plain, 3, markers);
  apply(second_part_);
  r.update();
  r.end_picture();
}
