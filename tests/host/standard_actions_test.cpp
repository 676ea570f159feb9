// The host's standard entries: set_standard_actions(false) passes every call
// on, unchanged, to the same action of next; set_standard_actions(true)
// absorbs it. What arrives is read back through the recording renderer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "counted.h"
#include "recording_renderer.h"
#include "renderer_data.h"

namespace {

// A renderer in front of a recording renderer, holding its references the
// way the host does.
class Chain : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = KT_Counted::live_objects();
    recorder_ = new KT_Recording_Renderer;
    recorder_->add_reference();
    front_ = new KT_Renderer_Data(recorder_);
    front_->add_reference();
    front_->set_standard_actions(false);
  }
  void TearDown() override {
    front_->drop_reference();
    recorder_->drop_reference();
    EXPECT_EQ(KT_Counted::live_objects(), start_);
  }
  std::vector<std::string> trace() const {
    std::vector<std::string> lines;
    for (const KT_Recorded_Call& call : recorder_->calls()) lines.push_back(trace_line(call));
    return lines;
  }

  std::int64_t start_ = 0;
  KT_Recording_Renderer* recorder_ = nullptr;
  KT_Renderer_Data* front_ = nullptr;
};

TEST_F(Chain, OneCallOfEachSignatureArrivesUnchanged) {
  KT_Rendition r = KT_Rendition::create();
  r.set_color(KT_RGB32::from_argb(0x80FF0010), false);
  r.set_line_pattern(3);
  r.set_clip_rectangle({-1, 2, -3, 4});
  const KT_Point floats[] = {{1.5f, -2.25f, 3}, {0.1f, 1e-30f, -0.0f}, {7, 8, 9}};
  const KT_Point_I integers[] = {{-1, 2, 2147483647}, {4, -2147483647 - 1, 6}};
  const KT_Point_D doubles[] = {{0.1, 1e300, -2.5}, {1.0 / 3.0, 0, 5}};
  const KT_RGB32 colors[] = {KT_RGB32::from_argb(0x01020304), KT_RGB32::from_argb(0xA0B0C0D0)};
  using namespace KT_Actions;
  front_->actions.call(face<1>(triangle_strip), r, 3, floats, nullptr, nullptr);
  front_->actions.call(face<2>(face_family_c), r, 1, floats + 2, nullptr, nullptr);
  front_->actions.call(polyline_form<3>(), r, 2, integers);
  front_->actions.call(polyline_form<5>(), r, 1, doubles);
  front_->actions.call(colored_polyline_form<1>(), r, 3, floats, colors, 0);
  front_->actions.call(colored_polyline_form<4>(), r, 2, integers, colors + 1, 1);
  front_->actions.call(marker_action, r, 3, floats);
  front_->actions.call(positioned_item_action, r, floats + 2, nullptr);
  front_->actions.call(positioned_item_action, r, static_cast<const KT_Point*>(nullptr), nullptr);
  front_->actions.call(plain(flush_hint));
  EXPECT_EQ(front_->actions.call(clear_action_action, 42), 42);
  EXPECT_EQ(front_->actions.call(forwarded_action_action, -7), -7);

  const std::vector<std::string> expected = {
      "triangle_strip 1 color=80FF0010 pattern=3 3 1.5 -2.25 3 0.100000001 1e-30 -0 7 8 9",
      "face_c 2 color=80FF0010 pattern=3 1 7 8 9",
      "polyline 3 color=80FF0010 pattern=3 2 -1 2 2147483647 4 -2147483648 6",
      "polyline 5 color=80FF0010 pattern=3 1 0.10000000000000001 1.0000000000000001e+300 -2.5",
      "colored_polyline 1 color=80FF0010 pattern=3 3 1.5 -2.25 3 0.100000001 1e-30 -0 "
      "7 8 9 each 01020304,A0B0C0D0",
      "colored_polyline 4 color=80FF0010 pattern=3 2 -1 2 2147483647 4 -2147483648 6 one A0B0C0D0",
      "marker color=80FF0010 pattern=3 3 1.5 -2.25 3 0.100000001 1e-30 -0 7 8 9",
      "positioned_item color=80FF0010 pattern=3 1 7 8 9",
      "positioned_item color=80FF0010 pattern=3 0",
      "ignored 100",
      "clear 42",
      "forward -7",
  };
  EXPECT_EQ(trace(), expected);
  EXPECT_EQ(recorder_->calls()[0].clip_rectangle, (KT_Int_Rectangle{-1, 2, -3, 4}));
}

// Every family position reaches the same position of next with its form's
// point type.
template <int Form>
void call_every_family(KT_Renderer_Data& front, const KT_Rendition& r) {
  using Point = KT_Form_Point_t<Form>;
  const Point points[] = {{Form, 2 * Form, 3 * Form}, {-Form, 0, Form}};
  const KT_RGB32 colors[] = {KT_RGB32::from_argb(0xFF000000u + Form)};
  using namespace KT_Actions;
  for (int family : {triangle_strip, face_family_b, face_family_c, face_family_d}) {
    front.actions.call(face<Form>(family), r, 2, points, nullptr, nullptr);
  }
  front.actions.call(polyline_form<Form>(), r, 2, points);
  front.actions.call(colored_polyline_form<Form>(), r, 2, points, colors, 0);
}

TEST_F(Chain, EveryPositionArrivesAtItsOwnPositionAndForm) {
  const KT_Rendition r = KT_Rendition::create();
  call_every_family<1>(*front_, r);
  call_every_family<2>(*front_, r);
  call_every_family<3>(*front_, r);
  call_every_family<4>(*front_, r);
  call_every_family<5>(*front_, r);
  std::vector<int> positions;
  for (const KT_Recorded_Call& call : recorder_->calls()) {
    positions.push_back(call.position);
    EXPECT_EQ(call.form, call.position % 5 + 1);
    const std::size_t points =
        call.float_points.size() + call.integer_points.size() + call.double_points.size();
    EXPECT_EQ(points, 2u);
    EXPECT_EQ(call.integer_points.size(), call.form == 3 || call.form == 4 ? 2u : 0u);
    EXPECT_EQ(call.double_points.size(), call.form == 5 ? 2u : 0u);
  }
  EXPECT_EQ(positions,
            (std::vector<int>{0,  5,  10, 20, 25, 30, 1,  6,  11, 21, 26, 31, 2,  7,  12,
                              22, 27, 32, 3,  8,  13, 23, 28, 33, 4,  9,  14, 24, 29, 34}));

  // Every other position without arguments arrives as "ignored".
  recorder_->forget_calls();
  std::vector<std::string> expected;
  for (int p = 0; p < action_count; ++p) {
    if (p < 15 || (p >= 20 && p < 35) || p == 51 || p == 75 || p == 104 || p == 105) continue;
    front_->actions.call(KT_Actions::plain(p));
    expected.push_back("ignored " + std::to_string(p));
  }
  EXPECT_EQ(expected.size(), 112u - 34u);
  EXPECT_EQ(trace(), expected);
}

TEST_F(Chain, DrawingEntriesAndEntriesWithoutNextAbsorbEveryCall) {
  auto* last = new KT_Renderer_Data(nullptr);
  last->add_reference();
  last->set_standard_actions(false);
  front_->set_standard_actions(true);
  const KT_Rendition r = KT_Rendition::create();
  const KT_Point points[] = {{1, 2, 3}, {4, 5, 6}};
  for (KT_Renderer_Data* renderer : {front_, last}) {
    renderer->actions.call(KT_Actions::polyline_form<1>(), r, 2, points);
    renderer->actions.call(KT_Actions::marker_action, r, 2, points);
    renderer->actions.call(KT_Actions::plain(90));
    EXPECT_EQ(renderer->actions.call(KT_Actions::clear_action_action, 5), 0);
    EXPECT_EQ(renderer->actions.call(KT_Actions::forwarded_action_action, 5), 0);
  }
  EXPECT_TRUE(recorder_->calls().empty());
  last->drop_reference();
}

}  // namespace
