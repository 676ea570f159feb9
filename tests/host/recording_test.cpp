// The recording renderer: what it keeps of each call, read exactly as far
// as the call gives, and the numbers of its trace lines.
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

TEST(Recording, KeepsTheRenditionAsItWasAndReadsExactlyAsFarAsTheCallGives) {
  KT_Recording_Renderer recorder;
  const KT_Action_Table& actions = recorder.actions;
  auto last_line = [&] { return trace_line(recorder.calls().back()); };
  KT_Rendition r = KT_Rendition::create();
  // Heap arrays of exactly what each call may read: one more is an ASan
  // error.
  auto points = std::make_unique<KT_Point[]>(3);
  for (int i = 0; i < 3; ++i) points[std::size_t(i)] = {float(i), 0, 0};
  auto colors = std::make_unique<KT_RGB32[]>(2);
  colors[0] = KT_RGB32::from_argb(0xFF0000AA);
  colors[1] = KT_RGB32::from_argb(0x7F123456);
  const KT_RGB32* none = nullptr;
  const struct {
    int count;
    const KT_RGB32* colors;
    int one_color;
    const char* end;  // of the trace line
  } cases[] = {
      {3, colors.get(), 0, "3 0 0 0 1 0 0 2 0 0 each FF0000AA,7F123456"},
      {3, colors.get() + 1, 1, "3 0 0 0 1 0 0 2 0 0 one 7F123456"},
      {1, none, 0, "1 0 0 0 each"},  // no segment: no colour read
      {0, none, 1, "0 one"},
  };
  for (const auto& c : cases) {
    actions.call(KT_Actions::colored_polyline_form<1>(), r, c.count, points.get(), c.colors,
                 c.one_color);
    EXPECT_EQ(last_line(), std::string("colored_polyline 1 color=FF000000 pattern=0 ") + c.end);
  }
  // r is unique, so these change its data in place after the calls.
  r.set_color(KT_RGB32::from_argb(0x11223344), false);
  r.set_clip_rectangle({5, 6, 7, 8});
  EXPECT_EQ(recorder.calls()[0].clip_rectangle, (KT_Int_Rectangle{0, 1000, 0, 1000}));
  auto doubles = std::make_unique<KT_Point_D[]>(2);
  doubles[1] = {0.1, 0.2, 0.3};
  actions.call(KT_Actions::polyline_form<5>(), r, 2, doubles.get());
  EXPECT_EQ(recorder.calls().back().double_points[1].y, 0.2);  // not rounded through float
  EXPECT_EQ(recorder.calls().back().clip_rectangle, (KT_Int_Rectangle{5, 6, 7, 8}));
  actions.call(KT_Actions::marker_action, KT_Rendition(), 1, points.get());  // an empty handle
  EXPECT_EQ(last_line(), "marker color=00000000 pattern=0 1 0 0 0");
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
  call.float_points = {
      {-0.0f, 0.0f, 0.1f},
      {nan_f, -nan_f, inf_f},
      {-inf_f, std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max()},
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

// Every number read back from a trace line: the same bits.
TEST(TraceLine, FloatsAndDoublesReadBackBitForBit) {
  std::mt19937_64 random(20240611);
  KT_Recorded_Call floats;
  floats.kind = KT_Recorded_Call::Kind::polyline;
  floats.form = 1;
  floats.count = 1000;
  KT_Recorded_Call doubles = floats;
  doubles.form = 5;
  std::vector<float> f;
  std::vector<double> d;
  while (f.size() < 3000) {
    const float value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (!std::isnan(value)) f.push_back(value);
  }
  while (d.size() < 3000) {
    const double value = std::bit_cast<double>(random());
    if (!std::isnan(value)) d.push_back(value);
  }
  for (std::size_t i = 0; i < 3000; i += 3) {
    floats.float_points.push_back({f[i], f[i + 1], f[i + 2]});
    doubles.double_points.push_back({d[i], d[i + 1], d[i + 2]});
  }
  std::istringstream float_line(trace_line(floats));
  std::istringstream double_line(trace_line(doubles));
  std::string token;
  for (int skip = 0; skip < 5; ++skip) float_line >> token;  // "polyline FORM color pattern COUNT"
  for (int skip = 0; skip < 5; ++skip) double_line >> token;
  for (std::size_t i = 0; i < 3000; ++i) {
    ASSERT_TRUE(float_line >> token);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(std::strtof(token.c_str(), nullptr)),
              std::bit_cast<std::uint32_t>(f[i]))
        << token;
    ASSERT_TRUE(double_line >> token);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(std::strtod(token.c_str(), nullptr)),
              std::bit_cast<std::uint64_t>(d[i]))
        << token;
  }
}

}  // namespace
