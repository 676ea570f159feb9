// KD_Clip: outcodes per point and the result for the whole array.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "geometry.h"

namespace {

constexpr KT_Int_Rectangle box{0, 100, -10, 10};
constexpr std::uint16_t L = outcode_left, R = outcode_right, B = outcode_below, A = outcode_above;
const float nan_f = std::numeric_limits<float>::quiet_NaN();

TEST(Clip, OutcodeOfOnePointPerSideCornerAndOnTheSides) {
  const float inf = std::numeric_limits<float>::infinity();
  // Inside, on both corners, on the four sides; beyond each side and each
  // corner; NaN coordinates (which compare false) and infinities.
  const struct {
    float x, y;
    std::uint16_t code;
  } cases[] = {
      {50, 0, 0},     {0, -10, 0},      {100, 10, 0},    {0, 5, 0},         {100, 5, 0},
      {50, -10, 0},   {50, 10, 0},      {-0.5f, 0, L},   {100.5f, 0, R},    {50, -10.5f, B},
      {50, 10.5f, A}, {-1, -11, L | B}, {-1, 11, L | A}, {101, -11, R | B}, {101, 11, R | A},
      {nan_f, 0, 0},  {0, nan_f, 0},    {nan_f, 500, A}, {-500, nan_f, L},  {-inf, 0, L},
      {inf, 0, R},
  };
  for (const auto& c : cases) {
    const KT_Point p{c.x, c.y, 0};
    const KT_Point_D d{double(c.x), double(c.y), 0};
    std::uint16_t code = 0xBEEF;
    EXPECT_EQ(KD_Clip(box, 1, &p, &code), c.code == 0 ? 1 : 0);
    EXPECT_EQ(code, c.code) << c.x << " " << c.y;
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

// 16777217 = 2^24 + 1 has no float; as a float side it becomes 16777216.
// 16777219 becomes 16777220 (ties to even). Float points meet the sides
// converted to float, double points the exact sides, unrounded.
TEST(Clip, FloatPointsMeetSidesConvertedToFloatDoublePointsTheExactSides) {
  const KT_Int_Rectangle big{16777217, 16777219, -16777217, 16777217};
  const struct {
    double x, y;
    std::uint16_t float_code, double_code;
  } cases[] = {
      {16777216.0, 0, 0, L},            // on the rounded left side
      {16777220.0, 0, 0, R},            // on the rounded right side
      {16777218.0, -16777216.5, 0, 0},  // between the bottoms, inside the exact one
      {16777217.0, 16777217.0, 0, 0},   // on the exact corner
  };
  for (const auto& c : cases) {
    const KT_Point f{float(c.x), float(c.y), 0};
    const KT_Point_D d{c.x, c.y, 0};
    std::uint16_t code = 0xBEEF;
    EXPECT_EQ(KD_Clip(big, 1, &f, &code), c.float_code == 0 ? 1 : 0);
    EXPECT_EQ(code, c.float_code) << c.x << " " << c.y;
    EXPECT_EQ(KD_Clip(big, 1, &d, &code), c.double_code == 0 ? 1 : 0);
    EXPECT_EQ(code, c.double_code) << c.x << " " << c.y;
  }
  // 10.000000001 is 10 as a float but beyond a side of 10 as a double.
  const KT_Point_D beyond{50.0, 10.000000001, 0};
  std::uint16_t code = 0;
  EXPECT_EQ(KD_Clip(box, 1, &beyond, &code), 0);
  EXPECT_EQ(code, A);
}

}  // namespace
