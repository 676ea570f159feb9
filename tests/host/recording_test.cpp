// The recording renderer: what it keeps of each call, and the trace lines
// it writes.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "counted.h"
#include "recording_renderer.h"

namespace {

class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = KT_Counted::live_objects();
    recorder_ = new KT_Recording_Renderer;
    recorder_->add_reference();
  }
  void TearDown() override {
    recorder_->drop_reference();
    EXPECT_EQ(KT_Counted::live_objects(), start_);
  }
  const KT_Action_Table& actions() const { return recorder_->actions; }
  std::string last_line() const { return trace_line(recorder_->calls().back()); }

  std::int64_t start_ = 0;
  KT_Recording_Renderer* recorder_ = nullptr;
};

TEST_F(Recording, EveryPositionHasARecordingEntryWithTheRecorderAsReceiver) {
  for (int position = 0; position < action_count; ++position) {
    const action_entry& entry = actions()[position];
    EXPECT_EQ(entry.receiver, recorder_) << position;
    EXPECT_NE(entry.function, nullptr) << position;
    EXPECT_NE(entry.function, standard_action(position)) << position;
    EXPECT_EQ(entry.word, 0) << position;
    EXPECT_EQ(entry.flag, 1) << position;
  }
  EXPECT_EQ(recorder_->next, nullptr);
}

TEST_F(Recording, ClearAndForwardReturnTheirArgument) {
  EXPECT_EQ(actions().call(KT_Actions::clear_action_action, 12345), 12345);
  EXPECT_EQ(actions().call(KT_Actions::forwarded_action_action, INT_MIN), INT_MIN);
  ASSERT_EQ(recorder_->calls().size(), 2u);
  EXPECT_EQ(recorder_->calls()[0].kind, KT_Recorded_Call::Kind::clear);
  EXPECT_EQ(recorder_->calls()[0].argument, 12345);
  EXPECT_EQ(trace_line(recorder_->calls()[1]), "forward -2147483648");
}

TEST_F(Recording, RenditionIsTakenAtTheMomentOfTheCall) {
  KT_Rendition r = KT_Rendition::create();
  const KT_Point points[] = {{1, 2, 3}, {4, 5, 6}};
  actions().call(KT_Actions::polyline_form<1>(), r, 2, points);
  // r is unique, so these change its data in place.
  r.set_color(KT_RGB32::from_argb(0x11223344), false);
  r.set_line_pattern(2);
  r.set_clip_rectangle({5, 6, 7, 8});
  actions().call(KT_Actions::polyline_form<1>(), r, 2, points);

  const KT_Recorded_Call& before = recorder_->calls()[0];
  const KT_Recorded_Call& after = recorder_->calls()[1];
  EXPECT_EQ(before.color.argb(), 0xFF000000u);
  EXPECT_EQ(before.line_pattern, 0);
  EXPECT_EQ(before.clip_rectangle, (KT_Int_Rectangle{0, 1000, 0, 1000}));
  EXPECT_EQ(after.color.argb(), 0x11223344u);
  EXPECT_EQ(after.line_pattern, 2);
  EXPECT_EQ(after.clip_rectangle, (KT_Int_Rectangle{5, 6, 7, 8}));
}

TEST_F(Recording, PointsAreCopiedInTheFormsPrecision) {
  const KT_Rendition r = KT_Rendition::create();
  // Heap arrays of exactly count points: reading one more is an ASan error.
  auto floats = std::make_unique<KT_Point[]>(3);
  floats[2] = {0.1f, 0.2f, 0.3f};
  auto doubles = std::make_unique<KT_Point_D[]>(2);
  doubles[1] = {0.1, 0.2, 0.3};
  auto integers = std::make_unique<KT_Point_I[]>(1);
  integers[0] = {INT_MAX, INT_MIN, 0};

  actions().call(KT_Actions::face<2>(KT_Actions::face_family_c), r, 3, floats.get(), nullptr,
                 nullptr);
  actions().call(KT_Actions::polyline_form<5>(), r, 2, doubles.get());
  actions().call(KT_Actions::polyline_form<4>(), r, 1, integers.get());

  const auto& calls = recorder_->calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].kind, KT_Recorded_Call::Kind::face);
  EXPECT_EQ(calls[0].position, 11);
  EXPECT_EQ(calls[0].form, 2);
  ASSERT_EQ(calls[0].float_points.size(), 3u);
  EXPECT_EQ(calls[0].float_points[2].z, 0.3f);
  EXPECT_TRUE(calls[0].double_points.empty());
  ASSERT_EQ(calls[1].double_points.size(), 2u);
  EXPECT_EQ(calls[1].double_points[1].y, 0.2);  // not rounded through float
  EXPECT_TRUE(calls[1].float_points.empty());
  ASSERT_EQ(calls[2].integer_points.size(), 1u);
  EXPECT_EQ(calls[2].integer_points[0].y, INT_MIN);
}

TEST_F(Recording, ColouredPolylineReadsOneColourPerSegmentOrOneForAll) {
  const KT_Rendition r = KT_Rendition::create();
  const KT_Point points[] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
  // Exactly as many colours as each case may read.
  auto three = std::make_unique<KT_RGB32[]>(3);
  three[0] = KT_RGB32::from_argb(0xFF0000AA);
  three[1] = KT_RGB32::from_argb(0xFF0000BB);
  three[2] = KT_RGB32::from_argb(0xFF0000CC);
  auto one = std::make_unique<KT_RGB32[]>(1);
  one[0] = KT_RGB32::from_argb(0x7F123456);
  using KT_Actions::colored_polyline_form;

  actions().call(colored_polyline_form<1>(), r, 4, points, three.get(), 0);
  EXPECT_EQ(last_line(),
            "colored_polyline 1 color=FF000000 pattern=0 4 0 0 0 1 0 0 2 0 0 3 0 0 "
            "each FF0000AA,FF0000BB,FF0000CC");
  actions().call(colored_polyline_form<2>(), r, 4, points, one.get(), 1);
  EXPECT_EQ(last_line(),
            "colored_polyline 2 color=FF000000 pattern=0 4 0 0 0 1 0 0 2 0 0 3 0 0 one 7F123456");
  actions().call(colored_polyline_form<1>(), r, 2, points, one.get(), 0);
  EXPECT_EQ(last_line(), "colored_polyline 1 color=FF000000 pattern=0 2 0 0 0 1 0 0 each 7F123456");
  // Fewer than two points: no segment, no colour read, the flag word ends
  // the line.
  actions().call(colored_polyline_form<1>(), r, 1, points, static_cast<const KT_RGB32*>(nullptr),
                 0);
  EXPECT_EQ(last_line(), "colored_polyline 1 color=FF000000 pattern=0 1 0 0 0 each");
  actions().call(colored_polyline_form<1>(), r, 0, points, static_cast<const KT_RGB32*>(nullptr),
                 1);
  EXPECT_EQ(last_line(), "colored_polyline 1 color=FF000000 pattern=0 0 one");
  EXPECT_TRUE(recorder_->calls().back().colors.empty());
  EXPECT_TRUE(recorder_->calls().back().one_color);
}

TEST_F(Recording, CountOfZeroOrLessPrintsNoCoordinates) {
  const KT_Rendition r = KT_Rendition::create();
  const KT_Point_I integers[] = {{1, 2, 3}};
  actions().call(KT_Actions::polyline_form<3>(), r, 0, integers);
  EXPECT_EQ(last_line(), "polyline 3 color=FF000000 pattern=0 0");
  actions().call(KT_Actions::face<1>(KT_Actions::triangle_strip), r, 0,
                 static_cast<const KT_Point*>(nullptr), nullptr, nullptr);
  EXPECT_EQ(last_line(), "triangle_strip 1 color=FF000000 pattern=0 0");
  actions().call(KT_Actions::marker_action, r, 0, static_cast<const KT_Point*>(nullptr));
  EXPECT_EQ(last_line(), "marker color=FF000000 pattern=0 0");
  actions().call(KT_Actions::polyline_form<4>(), r, -1, integers);
  EXPECT_EQ(last_line(), "polyline 4 color=FF000000 pattern=0 -1");
}

TEST_F(Recording, TraceSpellsEachActionWithTheScriptsNames) {
  KT_Rendition r = KT_Rendition::create();
  r.set_color(KT_RGB32::from_argb(0x0a0b0c0d), false);
  r.set_line_pattern(-3);
  const KT_Point one_point[] = {{0.5f, 0.25f, 2}};
  const KT_Point_I one_integer[] = {{-7, 0, 7}};
  using namespace KT_Actions;
  actions().call(face<4>(face_family_b), r, 1, one_integer, nullptr, nullptr);
  actions().call(face<1>(face_family_c), r, 1, one_point, nullptr, nullptr);
  actions().call(face<3>(face_family_d), r, 1, one_integer, nullptr, nullptr);
  actions().call(marker_action, r, 1, one_point);
  actions().call(positioned_item_action, r, one_point, nullptr);
  actions().call(positioned_item_action, r, static_cast<const KT_Point*>(nullptr), nullptr);
  actions().call(plain(15));
  actions().call(plain(111));

  std::ostringstream out;
  write_trace(out, recorder_->calls());
  EXPECT_EQ(out.str(),
            "face_b 4 color=0A0B0C0D pattern=-3 1 -7 0 7\n"
            "face_c 1 color=0A0B0C0D pattern=-3 1 0.5 0.25 2\n"
            "face_d 3 color=0A0B0C0D pattern=-3 1 -7 0 7\n"
            "marker color=0A0B0C0D pattern=-3 1 0.5 0.25 2\n"
            "positioned_item color=0A0B0C0D pattern=-3 1 0.5 0.25 2\n"
            "positioned_item color=0A0B0C0D pattern=-3 0\n"
            "ignored 15\n"
            "ignored 111\n");

  recorder_->forget_calls();
  EXPECT_TRUE(recorder_->calls().empty());
  std::ostringstream empty;
  write_trace(empty, recorder_->calls());
  EXPECT_EQ(empty.str(), "");
}

TEST(TraceLine, SpecialValuesPrintAsGlibcPrintsThem) {
  const float nan_f = std::numeric_limits<float>::quiet_NaN();
  const float inf_f = std::numeric_limits<float>::infinity();
  KT_Recorded_Call call;
  call.kind = KT_Recorded_Call::Kind::polyline;
  call.position = 25;
  call.form = 1;
  call.color = KT_RGB32::from_argb(0xFFabcdef);
  call.count = 4;
  call.float_points = {{-0.0f, 0.0f, 0.1f},
                       {nan_f, -nan_f, inf_f},
                       {-inf_f, std::numeric_limits<float>::denorm_min(),
                        std::numeric_limits<float>::max()},
                       {16777216.0f, -2.5e-8f, 1.0f / 3.0f}};
  EXPECT_EQ(trace_line(call),
            "polyline 1 color=FFABCDEF pattern=0 4 -0 0 0.100000001 nan -nan inf -inf "
            "1.40129846e-45 3.40282347e+38 16777216 -2.50000003e-08 0.333333343");

  call.position = 29;
  call.form = 5;
  call.float_points.clear();
  call.count = 2;
  call.double_points = {{-0.0, 0.1, 1.0 / 3.0},
                        {std::numeric_limits<double>::denorm_min(), 1e300, -nan_f}};
  EXPECT_EQ(trace_line(call),
            "polyline 5 color=FFABCDEF pattern=0 2 -0 0.10000000000000001 0.33333333333333331 "
            "4.9406564584124654e-324 1.0000000000000001e+300 -nan");
}

TEST(TraceLine, EmptyRenditionHandleRecordsZeros) {
  auto* recorder = new KT_Recording_Renderer;
  recorder->add_reference();
  const KT_Rendition empty;
  const KT_Point p{1, 2, 3};
  recorder->actions.call(KT_Actions::marker_action, empty, 1, &p);
  EXPECT_EQ(trace_line(recorder->calls().back()), "marker color=00000000 pattern=0 1 1 2 3");
  recorder->drop_reference();
}

// Reads every number back from a trace line and compares bits.
std::vector<std::string> tokens_after(const std::string& line, std::size_t skip) {
  std::istringstream in(line);
  std::vector<std::string> tokens;
  std::string token;
  while (in >> token) tokens.push_back(token);
  return {tokens.begin() + static_cast<std::ptrdiff_t>(skip), tokens.end()};
}

TEST(TraceLine, FloatsAndDoublesReadBackBitForBit) {
  std::mt19937_64 random(20240611);
  KT_Recorded_Call floats;
  floats.kind = KT_Recorded_Call::Kind::polyline;
  floats.form = 1;
  KT_Recorded_Call doubles = floats;
  doubles.form = 5;
  for (int i = 0; i < 3000; ++i) {
    KT_Point p{};
    float* coordinates[] = {&p.x, &p.y, &p.z};
    for (float* c : coordinates) {
      do {
        *c = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
      } while (std::isnan(*c));
    }
    floats.float_points.push_back(p);
    KT_Point_D d{};
    double* wide[] = {&d.x, &d.y, &d.z};
    for (double* c : wide) {
      do {
        *c = std::bit_cast<double>(random());
      } while (std::isnan(*c));
    }
    doubles.double_points.push_back(d);
  }
  floats.count = doubles.count = 3000;

  // "polyline FORM color=... pattern=... COUNT" come first.
  const std::vector<std::string> float_tokens = tokens_after(trace_line(floats), 5);
  ASSERT_EQ(float_tokens.size(), 9000u);
  for (std::size_t i = 0; i < float_tokens.size(); ++i) {
    const KT_Point& p = floats.float_points[i / 3];
    const float expected = i % 3 == 0 ? p.x : i % 3 == 1 ? p.y : p.z;
    const float read = std::strtof(float_tokens[i].c_str(), nullptr);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(read), std::bit_cast<std::uint32_t>(expected))
        << float_tokens[i];
  }
  const std::vector<std::string> double_tokens = tokens_after(trace_line(doubles), 5);
  ASSERT_EQ(double_tokens.size(), 9000u);
  for (std::size_t i = 0; i < double_tokens.size(); ++i) {
    const KT_Point_D& p = doubles.double_points[i / 3];
    const double expected = i % 3 == 0 ? p.x : i % 3 == 1 ? p.y : p.z;
    const double read = std::strtod(double_tokens[i].c_str(), nullptr);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(read), std::bit_cast<std::uint64_t>(expected))
        << double_tokens[i];
  }
}

}  // namespace
