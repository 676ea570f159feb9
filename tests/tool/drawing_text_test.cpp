// Numbers as the text formats write them: three decimals, the way taken
// for them against the general conversion, on values of every size and on
// the ties and near-ties where rounding decides.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tool/drawing/drawing_text.h"

namespace {

// What std::to_chars writes in fixed notation with three decimals, with
// the trailing zeros and a lone point cut and "-0" written "0".
std::string by_to_chars(double value) {
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  std::string text(buffer, error == std::errc() ? static_cast<std::size_t>(end - buffer) : 0);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::string written(double value) {
  std::string out;
  hlr_tool::append_decimal(out, value, 3);
  return out;
}

TEST(Numbers, ThreeDecimalsAsTheGeneralConversionWritesThem) {
  std::vector<double> values = {0.0,    -0.0,   0.0005,   -0.0005,   0.0015,    0.0025,     1.0005,
                                2.5e-4, 1e-300, 999.9995, -999.9995, 1e15,      1e15 + 0.5, 1e18,
                                -1e18,  9.2e15, 4.5e15,   INFINITY,  -INFINITY, NAN};
  // Ties and their neighbours: k + 1/2 thousandths, and one step either way.
  for (std::int64_t k = -2000; k <= 2000; ++k) {
    for (const double scale : {1.0, 1e3, 1e6, 1e9, 1e12}) {
      const double tie = (static_cast<double>(k) * scale + 0.5) / 1000.0;
      values.push_back(tie);
      values.push_back(std::nextafter(tie, INFINITY));
      values.push_back(std::nextafter(tie, -INFINITY));
    }
  }
  // Random values of every magnitude, and random bit patterns.
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int k = 0; k < 400000; ++k) {
    values.push_back(unit(random) * std::pow(10.0, static_cast<int>(random() % 40) - 20));
    const std::uint64_t bits = random();
    double any;
    std::memcpy(&any, &bits, sizeof any);
    values.push_back(any);
  }
  std::size_t differ = 0;
  for (const double value : values) {
    if (written(value) != by_to_chars(value) && ++differ <= 10) {
      ADD_FAILURE() << value << " written " << written(value) << ", " << by_to_chars(value)
                    << " by to_chars";
    }
  }
  EXPECT_EQ(differ, 0u);
}

}  // namespace
