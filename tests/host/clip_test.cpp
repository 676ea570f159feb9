// KD_Clip: outcodes per point and the result for the whole array, in float
// and in double. Segments through the rectangle are the intake's
// (tests/intake/clip_test.cpp).
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "geometry.h"

namespace {

constexpr KT_Int_Rectangle box{0, 100, -10, 10};
constexpr std::uint16_t L = outcode_left, R = outcode_right, B = outcode_below, A = outcode_above;
const float nan_f = std::numeric_limits<float>::quiet_NaN();
const float inf_f = std::numeric_limits<float>::infinity();

// Each array in float and in double gives `result` and `codes`.
void expect_clip(const KT_Int_Rectangle& rectangle, const std::vector<KT_Point>& points, int result,
                 const std::vector<std::uint16_t>& codes) {
  std::vector<KT_Point_D> doubles;
  for (const KT_Point& p : points) doubles.push_back({p.x, p.y, p.z});
  std::vector<std::uint16_t> found(points.size(), 0xBEEF);
  EXPECT_EQ(KD_Clip(rectangle, int(points.size()), points.data(), found.data()), result);
  EXPECT_EQ(found, codes);
  found.assign(points.size(), 0xBEEF);
  EXPECT_EQ(KD_Clip(rectangle, int(doubles.size()), doubles.data(), found.data()), result);
  EXPECT_EQ(found, codes) << "double";
}

TEST(Clip, ResultIsCountWhenAllInsideZeroWhenOneSideIsSharedElseMinusOne) {
  // One point inside, on both corners, on the four sides; beyond each side
  // and each corner; NaN coordinates (which compare false) and infinities.
  const struct {
    float x, y;
    std::uint16_t code;
  } points[] = {
      {50, 0, 0},     {0, -10, 0},      {100, 10, 0},    {0, 5, 0},         {100, 5, 0},
      {50, -10, 0},   {50, 10, 0},      {-0.5f, 0, L},   {100.5f, 0, R},    {50, -10.5f, B},
      {50, 10.5f, A}, {-1, -11, L | B}, {-1, 11, L | A}, {101, -11, R | B}, {101, 11, R | A},
      {nan_f, 0, 0},  {0, nan_f, 0},    {nan_f, 500, A}, {-500, nan_f, L},  {-inf_f, 0, L},
      {inf_f, 0, R},
  };
  for (const auto& p : points) {
    SCOPED_TRACE(::testing::Message() << p.x << " " << p.y);
    expect_clip(box, {{p.x, p.y, 0}}, p.code == 0 ? 1 : 0, {p.code});
  }
  const struct {
    std::vector<KT_Point> points;
    int result;
    std::vector<std::uint16_t> codes;
  } arrays[] = {
      {{{0, 0, 0}, {100, 10, 5}, {50, -10, -5}}, 3, {0, 0, 0}},
      {{{-1, -20, 0}, {-5, 20, 0}}, 0, {L | B, L | A}},    // both beyond the left side
      {{{-1, 0, 0}, {101, 0, 0}}, -1, {L, R}},             // may cross the box
      {{{-1, -11, 0}, {101, -11, 0}}, 0, {L | B, R | B}},  // sharing "below"
      {{{-1, -11, 0}, {101, 11, 0}}, -1, {L | B, R | A}},  // sharing nothing
      {{{50, 0, 0}, {150, 0, 0}}, -1, {0, R}},             // one inside, one outside
      {{{-1, 0, 0}, {nan_f, 0, 0}}, -1, {L, 0}},           // a NaN breaks the common side
      {{{101, 0, 0}, {200, 30, 0}, {300, -5, 0}}, 0, {R, R | A, R}},
  };
  for (const auto& a : arrays) expect_clip(box, a.points, a.result, a.codes);
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
}

}  // namespace
