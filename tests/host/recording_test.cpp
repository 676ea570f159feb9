// The special values of a trace line print as glibc prints them. Finite
// numbers (nine significant digits for a float, seventeen for a double)
// are pinned by the golden traces.
#include <gtest/gtest.h>

#include <limits>

#include "recording_renderer.h"

namespace {

TEST(TraceLine, SpecialValuesPrintAsGlibcPrintsThem) {
  const float nan_f = std::numeric_limits<float>::quiet_NaN();
  const float inf_f = std::numeric_limits<float>::infinity();
  KT_Recorded_Call call;
  call.kind = KT_Recorded_Call::Kind::polyline;
  call.form = 1;
  call.color = KT_RGB32::from_argb(0xFFabcdef);
  call.count = 2;
  call.float_points = {{-0.0f, nan_f, -nan_f}, {-inf_f, std::numeric_limits<float>::max(), 0.1f}};
  EXPECT_EQ(trace_line(call),
            "polyline 1 color=FFABCDEF pattern=0 2 -0 nan -nan -inf 3.40282347e+38 0.100000001");
  call.form = 5;
  call.float_points.clear();
  call.count = 1;
  call.double_points = {{std::numeric_limits<double>::denorm_min(), inf_f, -nan_f}};
  EXPECT_EQ(trace_line(call),
            "polyline 5 color=FFABCDEF pattern=0 1 4.9406564584124654e-324 inf -nan");
}

}  // namespace
