// KD_Clip: outcodes per point and the result for the whole array.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "geometry.h"

namespace {

constexpr KT_Int_Rectangle box{0, 100, -10, 10};
constexpr std::uint16_t L = outcode_left, R = outcode_right, B = outcode_below,
                        A = outcode_above;
const float nan_f = std::numeric_limits<float>::quiet_NaN();

struct Single_Point_Case {
  float x, y;
  std::uint16_t code;
};

TEST(Clip, OutcodeOfOnePointPerSideCornerAndOnTheSides) {
  const Single_Point_Case cases[] = {
      {50, 0, 0},                    // inside
      {0, -10, 0},                   // on the lower left corner: inside
      {100, 10, 0},                  // on the upper right corner: inside
      {0, 5, 0},      {100, 5, 0},   // on the vertical sides
      {50, -10, 0},   {50, 10, 0},   // on the horizontal sides
      {-0.5f, 0, L},  {100.5f, 0, R},
      {50, -10.5f, B}, {50, 10.5f, A},
      {-1, -11, L | B}, {-1, 11, L | A},
      {101, -11, R | B}, {101, 11, R | A},
      {nan_f, 0, 0},  {0, nan_f, 0}, {nan_f, 500, A}, {-500, nan_f, L},
      {-std::numeric_limits<float>::infinity(), 0, L},
      {std::numeric_limits<float>::infinity(), 0, R},
  };
  for (const Single_Point_Case& c : cases) {
    const KT_Point p{c.x, c.y, 0};
    std::uint16_t code = 0xBEEF;
    const int result = KD_Clip(box, 1, &p, &code);
    EXPECT_EQ(code, c.code) << c.x << " " << c.y;
    EXPECT_EQ(result, c.code == 0 ? 1 : 0) << c.x << " " << c.y;

    const KT_Point_D d{double(c.x), double(c.y), 0};
    code = 0xBEEF;
    EXPECT_EQ(KD_Clip(box, 1, &d, &code), c.code == 0 ? 1 : 0);
    EXPECT_EQ(code, c.code) << "double " << c.x << " " << c.y;
  }
}

struct Array_Case {
  std::vector<KT_Point> points;
  int result;
  std::vector<std::uint16_t> codes;
};

TEST(Clip, ResultIsCountWhenAllInsideZeroWhenOneSideIsSharedElseMinusOne) {
  const std::vector<Array_Case> cases = {
      {{{0, 0, 0}, {100, 10, 5}, {50, -10, -5}}, 3, {0, 0, 0}},
      // Both beyond the left side, at different heights: nothing to draw.
      {{{-1, -20, 0}, {-5, 20, 0}}, 0, {L | B, L | A}},
      // Beyond the left and the right side: the segment may cross the box.
      {{{-1, 0, 0}, {101, 0, 0}}, -1, {L, R}},
      // Below-left and below-right share "below".
      {{{-1, -11, 0}, {101, -11, 0}}, 0, {L | B, R | B}},
      // Below-left and above-right share nothing.
      {{{-1, -11, 0}, {101, 11, 0}}, -1, {L | B, R | A}},
      // One inside, one outside.
      {{{50, 0, 0}, {150, 0, 0}}, -1, {0, R}},
      // A NaN point (code 0) breaks the common side.
      {{{-1, 0, 0}, {nan_f, 0, 0}}, -1, {L, 0}},
      // Three points beyond the right side, one of them also above.
      {{{101, 0, 0}, {200, 30, 0}, {300, -5, 0}}, 0, {R, R | A, R}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Array_Case& c = cases[i];
    std::vector<std::uint16_t> codes(c.points.size(), 0xBEEF);
    EXPECT_EQ(KD_Clip(box, int(c.points.size()), c.points.data(), codes.data()), c.result)
        << "case " << i;
    EXPECT_EQ(codes, c.codes) << "case " << i;
  }
}

TEST(Clip, EmptyArrayIsAllInside) {
  std::uint16_t untouched = 0xBEEF;
  EXPECT_EQ(KD_Clip(box, 0, static_cast<const KT_Point*>(nullptr), &untouched), 0);
  EXPECT_EQ(KD_Clip(box, 0, static_cast<const KT_Point_D*>(nullptr), &untouched), 0);
  EXPECT_EQ(untouched, 0xBEEF);
}

// 16777217 = 2^24 + 1 has no float; as a float side it becomes 16777216.
// 16777219 becomes 16777220 (ties to even).
TEST(Clip, FloatPointsMeetSidesConvertedToFloatDoublePointsTheExactSides) {
  const KT_Int_Rectangle big{16777217, 16777219, -16777217, 16777217};

  const KT_Point on_rounded_left{16777216.0f, 0, 0};
  const KT_Point on_rounded_right{16777220.0f, 0, 0};
  const KT_Point on_rounded_bottom{16777218.0f, -16777216.0f, 0};
  std::uint16_t code = 0xBEEF;
  EXPECT_EQ(KD_Clip(big, 1, &on_rounded_left, &code), 1);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(KD_Clip(big, 1, &on_rounded_right, &code), 1);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(KD_Clip(big, 1, &on_rounded_bottom, &code), 1);
  EXPECT_EQ(code, 0);

  const KT_Point_D left_d{16777216.0, 0, 0};
  const KT_Point_D right_d{16777220.0, 0, 0};
  const KT_Point_D bottom_d{16777218.0, -16777218.0, 0};
  const KT_Point_D just_inside_d{16777217.0, 16777217.0, 0};
  EXPECT_EQ(KD_Clip(big, 1, &left_d, &code), 0);
  EXPECT_EQ(code, L);
  EXPECT_EQ(KD_Clip(big, 1, &right_d, &code), 0);
  EXPECT_EQ(code, R);
  EXPECT_EQ(KD_Clip(big, 1, &bottom_d, &code), 0);
  EXPECT_EQ(code, B);
  EXPECT_EQ(KD_Clip(big, 1, &just_inside_d, &code), 1);
  EXPECT_EQ(code, 0);
}

TEST(Clip, DoublePointsAreNotRoundedToFloat) {
  // 10.000000001 is 10 as a float but beyond a side of 10 as a double.
  const KT_Point_D beyond{50.0, 10.000000001, 0};
  std::uint16_t code = 0;
  EXPECT_EQ(KD_Clip(box, 1, &beyond, &code), 0);
  EXPECT_EQ(code, A);
}

}  // namespace
