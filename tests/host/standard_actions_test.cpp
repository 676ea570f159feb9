// The host's standard entries: set_standard_actions(false) passes every call
// on to the same action of next; set_standard_actions(true) absorbs it.
#include <gtest/gtest.h>

#include <set>
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

KT_Rendition rendition(std::uint32_t argb, int pattern) {
  KT_Rendition r = KT_Rendition::create();
  r.set_color(KT_RGB32::from_argb(argb), false);
  r.set_line_pattern(pattern);
  r.set_clip_rectangle({-1, 2, -3, 4});
  return r;
}

TEST_F(Chain, FrontHoldsAReferenceOnNext) {
  EXPECT_EQ(recorder_->reference_count(), 2);
  EXPECT_EQ(front_->next, recorder_);
}

TEST_F(Chain, EveryEntryIsTheStandardPassOnWithTheRendererAsReceiver) {
  for (int position = 0; position < action_count; ++position) {
    const action_entry& entry = front_->actions[position];
    EXPECT_EQ(entry.receiver, front_) << position;
    EXPECT_EQ(entry.function, standard_action(position)) << position;
    EXPECT_EQ(entry.word, 0) << position;
    EXPECT_EQ(entry.flag, 0) << position;
  }
}

TEST_F(Chain, OneCallOfEachSignatureArrivesUnchanged) {
  const KT_Rendition r = rendition(0x80FF0010, 3);
  const KT_Point floats[] = {{1.5f, -2.25f, 3}, {0.1f, 1e-30f, -0.0f}, {7, 8, 9}};
  const KT_Point_I integers[] = {{-1, 2, 2147483647}, {4, -2147483647 - 1, 6}};
  const KT_Point_D doubles[] = {{0.1, 1e300, -2.5}, {1.0 / 3.0, 0, 5}};
  const KT_RGB32 colors[] = {KT_RGB32::from_argb(0x01020304), KT_RGB32::from_argb(0xA0B0C0D0)};
  using namespace KT_Actions;

  front_->actions.call(face<1>(triangle_strip), r, 3, floats, nullptr, nullptr);
  front_->actions.call(face<4>(face_family_b), r, 2, integers, nullptr, nullptr);
  front_->actions.call(face<5>(face_family_d), r, 2, doubles, nullptr, nullptr);
  front_->actions.call(polyline_form<2>(), r, 2, floats);
  front_->actions.call(polyline_form<3>(), r, 2, integers);
  front_->actions.call(polyline_form<5>(), r, 1, doubles);
  front_->actions.call(colored_polyline_form<1>(), r, 3, floats, colors, 0);
  front_->actions.call(colored_polyline_form<4>(), r, 2, integers, colors + 1, 1);
  front_->actions.call(marker_action, r, 3, floats);
  front_->actions.call(positioned_item_action, r, floats + 2, nullptr);
  front_->actions.call(plain(flush_hint));
  front_->actions.call(plain(17));
  EXPECT_EQ(front_->actions.call(clear_action_action, 42), 42);
  EXPECT_EQ(front_->actions.call(forwarded_action_action, -7), -7);

  const std::vector<std::string> expected = {
      "triangle_strip 1 color=80FF0010 pattern=3 3 1.5 -2.25 3 0.100000001 1e-30 -0 7 8 9",
      "face_b 4 color=80FF0010 pattern=3 2 -1 2 2147483647 4 -2147483648 6",
      "face_d 5 color=80FF0010 pattern=3 2 0.10000000000000001 1.0000000000000001e+300 -2.5 "
      "0.33333333333333331 0 5",
      "polyline 2 color=80FF0010 pattern=3 2 1.5 -2.25 3 0.100000001 1e-30 -0",
      "polyline 3 color=80FF0010 pattern=3 2 -1 2 2147483647 4 -2147483648 6",
      "polyline 5 color=80FF0010 pattern=3 1 0.10000000000000001 1.0000000000000001e+300 -2.5",
      "colored_polyline 1 color=80FF0010 pattern=3 3 1.5 -2.25 3 0.100000001 1e-30 -0 "
      "7 8 9 each 01020304,A0B0C0D0",
      "colored_polyline 4 color=80FF0010 pattern=3 2 -1 2 2147483647 4 -2147483648 6 one A0B0C0D0",
      "marker color=80FF0010 pattern=3 3 1.5 -2.25 3 0.100000001 1e-30 -0 7 8 9",
      "positioned_item color=80FF0010 pattern=3 1 7 8 9",
      "ignored 100",
      "ignored 17",
      "clear 42",
      "forward -7",
  };
  EXPECT_EQ(trace(), expected);
  ASSERT_EQ(recorder_->calls().size(), expected.size());
  for (const KT_Recorded_Call& call : recorder_->calls()) {
    if (call.kind == KT_Recorded_Call::Kind::plain || call.kind == KT_Recorded_Call::Kind::clear ||
        call.kind == KT_Recorded_Call::Kind::forward)
      continue;
    EXPECT_EQ(call.clip_rectangle, (KT_Int_Rectangle{-1, 2, -3, 4})) << call.position;
  }
}

// Every position of a family reaches the same position of next with its
// form's point type.
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

TEST_F(Chain, EveryFamilyPositionArrivesAtItsOwnPositionAndForm) {
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
    ASSERT_EQ(call.count, 2);
    const int form = call.form;
    if (form == 3 || form == 4) {
      ASSERT_EQ(call.integer_points.size(), 2u) << call.position;
      EXPECT_EQ(call.integer_points[1].x, -form);
    } else if (form == 5) {
      ASSERT_EQ(call.double_points.size(), 2u) << call.position;
      EXPECT_EQ(call.double_points[0].z, 15.0);
    } else {
      ASSERT_EQ(call.float_points.size(), 2u) << call.position;
      EXPECT_EQ(call.float_points[0].y, float(2 * form));
    }
  }
  const std::vector<int> expected = {0, 5, 10, 20, 25, 30, 1, 6, 11, 21, 26, 31, 2, 7, 12, 22, 27,
                                     32, 3, 8, 13, 23, 28, 33, 4, 9, 14, 24, 29, 34};
  EXPECT_EQ(positions, expected);
}

TEST_F(Chain, EveryPayloadFreePositionArrivesAsIgnored) {
  // The positions with arguments, from the table's position list.
  std::set<int> with_arguments = {51, 75, 104, 105};
  for (int p = 0; p < 15; ++p) with_arguments.insert(p);
  for (int p = 20; p < 35; ++p) with_arguments.insert(p);

  std::vector<std::string> expected;
  for (int position = 0; position < action_count; ++position) {
    if (with_arguments.count(position)) continue;
    front_->actions.call(KT_Actions::plain(position));
    expected.push_back("ignored " + std::to_string(position));
  }
  EXPECT_EQ(expected.size(), 112u - 34u);
  EXPECT_EQ(trace(), expected);
}

// A receiver that keeps the raw pointers of the arguments the recording
// renderer does not record.
struct Pointer_Probe : KT_Renderer_Data {
  Pointer_Probe() : KT_Renderer_Data(nullptr) {}
  const void* normals = nullptr;
  const void* colors = nullptr;
  const void* item = nullptr;
  const KT_Point* position = nullptr;

  static void face(KT_Renderer_Data* receiver, const KT_Rendition&, int, const KT_Point_I*,
                   const void* normals, const void* colors) {
    auto* probe = static_cast<Pointer_Probe*>(receiver);
    probe->normals = normals;
    probe->colors = colors;
  }
  static void positioned(KT_Renderer_Data* receiver, const KT_Rendition&, const KT_Point* position,
                         const void* item) {
    auto* probe = static_cast<Pointer_Probe*>(receiver);
    probe->position = position;
    probe->item = item;
  }
};

TEST(StandardActions, FurtherArgumentsPassOnAsTheSamePointers) {
  auto* probe = new Pointer_Probe;
  probe->add_reference();
  probe->actions.install(KT_Actions::face<3>(KT_Actions::face_family_c), probe,
                         &Pointer_Probe::face, 0, 1);
  probe->actions.install(KT_Actions::positioned_item_action, probe, &Pointer_Probe::positioned, 0,
                         1);
  auto* front = new KT_Renderer_Data(probe);
  front->add_reference();
  front->set_standard_actions(false);

  const KT_Rendition r = KT_Rendition::create();
  const int normals = 1, colors = 2, item = 3;
  const KT_Point where{1, 2, 3};
  front->actions.call(KT_Actions::face<3>(KT_Actions::face_family_c), r, 0,
                      static_cast<const KT_Point_I*>(nullptr), &normals, &colors);
  front->actions.call(KT_Actions::positioned_item_action, r, &where, &item);
  EXPECT_EQ(probe->normals, &normals);
  EXPECT_EQ(probe->colors, &colors);
  EXPECT_EQ(probe->position, &where);
  EXPECT_EQ(probe->item, &item);

  front->drop_reference();
  probe->drop_reference();
}

TEST(StandardActions, WithoutNextPassingOnDoesNothingAndReturnsZero) {
  const std::int64_t start = KT_Counted::live_objects();
  auto* last = new KT_Renderer_Data(nullptr);
  last->add_reference();
  last->set_standard_actions(false);
  const KT_Rendition r = KT_Rendition::create();
  const KT_Point points[] = {{1, 2, 3}, {4, 5, 6}};
  last->actions.call(KT_Actions::polyline_form<1>(), r, 2, points);
  last->actions.call(KT_Actions::marker_action, r, 2, points);
  last->actions.call(KT_Actions::plain(86));
  EXPECT_EQ(last->actions.call(KT_Actions::clear_action_action, 5), 0);
  EXPECT_EQ(last->actions.call(KT_Actions::forwarded_action_action, 5), 0);
  last->drop_reference();
  EXPECT_EQ(KT_Counted::live_objects(), start + 2);  // r is still alive
}

TEST_F(Chain, DrawingEntriesAbsorbEveryCall) {
  front_->set_standard_actions(true);
  const KT_Rendition r = KT_Rendition::create();
  const KT_Point points[] = {{1, 2, 3}, {4, 5, 6}};
  front_->actions.call(KT_Actions::polyline_form<1>(), r, 2, points);
  front_->actions.call(KT_Actions::face<1>(KT_Actions::triangle_strip), r, 2, points, nullptr,
                       nullptr);
  front_->actions.call(KT_Actions::plain(90));
  EXPECT_EQ(front_->actions.call(KT_Actions::forwarded_action_action, 5), 0);
  EXPECT_TRUE(recorder_->calls().empty());
  for (int position = 0; position < action_count; ++position) {
    EXPECT_NE(front_->actions[position].function, standard_action(position)) << position;
  }
}

TEST_F(Chain, ChainOfTwoPassesOnThroughBoth) {
  auto* middle = new KT_Renderer_Data(front_);
  middle->add_reference();
  middle->set_standard_actions(false);
  const KT_Rendition r = KT_Rendition::create();
  const KT_Point_D points[] = {{0.5, 0.25, 0.125}, {1, 2, 3}};
  middle->actions.call(KT_Actions::polyline_form<5>(), r, 2, points);
  EXPECT_EQ(middle->actions.call(KT_Actions::clear_action_action, 3), 3);
  middle->drop_reference();
  EXPECT_EQ(trace(), (std::vector<std::string>{
                         "polyline 5 color=FF000000 pattern=0 2 0.5 0.25 0.125 1 2 3", "clear 3"}));
}

}  // namespace
