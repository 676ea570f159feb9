// Numbers in the text mesh formats (OFF, OBJ, STL, PLY), read to the same
// bits as Assimp 5.2 reads them, so that a model read here and the same
// model read through Assimp weld, frame and draw alike.
//
// Assimp does not round a decimal number correctly; it builds the value from
// its parts, and the drawings depend on every bit of the result. For a
// number [sign] I [. F] [e [sign] X], in the precision Real of the result
// (float for coordinates, double for PLY's double properties):
//   value = Real(I) + Real(double(F') * 10^-k)   (one rounding per step)
//   value = value * pow(Real(10), Real(X))        (when an exponent is given)
// where I is the integer part as a 64-bit integer, F' the first k <= 15
// digits of the fraction as an integer (later digits are ignored), 10^-k
// the double nearest to it, and the sign applied last. Of the 1213108
// decimal numbers in the OFF files of Debian's libcgal-demo, 12677 (one in
// 96) come out one unit in the last place away from the correctly rounded
// float, which is why a correctly rounding parser (fast_float, from_chars)
// cannot stand in for this one.
//
// Accepted as Assimp accepts: "5.", ".5", "+5", "nan", "inf", "infinity"
// (any case). Where Assimp reads something further that a careful reader
// would not (a comma as the decimal point, an integer part that overflows
// 64 bits), parse_real reports Number_Text::assimp_only and the caller
// leaves the whole file to Assimp.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace hlr_tool {

enum class Number_Text { read, not_a_number, assimp_only };

namespace text_numbers_detail {

// 10^-k as the nearest double, k = 0..15.
inline constexpr double negative_powers_of_ten[16] = {0.0,   1e-1,  1e-2,  1e-3, 1e-4,  1e-5,
                                                      1e-6,  1e-7,  1e-8,  1e-9, 1e-10, 1e-11,
                                                      1e-12, 1e-13, 1e-14, 1e-15};

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

inline bool starts_with_word(const char* p, const char* end, const char* lower_word, int length) {
  if (end - p < length) return false;
  for (int i = 0; i < length; ++i) {
    const char c = p[i];
    if (c != lower_word[i] && c != lower_word[i] - ('a' - 'A')) return false;
  }
  return true;
}

}  // namespace text_numbers_detail

// Reads one number starting at `p` (no leading blanks) and ending before
// `end`; on Number_Text::read, `value` holds it and `p` points past it.
template <class Real>
Number_Text parse_real(const char*& p, const char* end, Real& value) {
  using namespace text_numbers_detail;
  const char* c = p;
  bool negative = false;
  if (c < end && (*c == '-' || *c == '+')) {
    negative = *c == '-';
    ++c;
  }
  if (c < end && (*c == 'n' || *c == 'N') && starts_with_word(c, end, "nan", 3)) {
    value = std::numeric_limits<Real>::quiet_NaN();
    p = c + 3;
    return Number_Text::read;
  }
  if (c < end && (*c == 'i' || *c == 'I') && starts_with_word(c, end, "inf", 3)) {
    value =
        negative ? -std::numeric_limits<Real>::infinity() : std::numeric_limits<Real>::infinity();
    c += 3;
    if (starts_with_word(c, end, "inity", 5)) c += 5;
    p = c;
    return Number_Text::read;
  }
  const bool digit_first = c < end && is_digit(*c);
  const bool point_first = c + 1 < end && (*c == '.' || *c == ',') && is_digit(c[1]);
  if (!digit_first && !point_first) return Number_Text::not_a_number;
  if (*c == ',') return Number_Text::assimp_only;

  Real result = 0;
  if (digit_first) {
    std::uint64_t integer = 0;
    for (; c < end && is_digit(*c); ++c) {
      const std::uint64_t next = integer * 10 + std::uint64_t(*c - '0');
      if (next < integer) return Number_Text::assimp_only;  // Assimp gives up mid-number
      integer = next;
    }
    result = static_cast<Real>(integer);
  }
  if (c + 1 < end && (*c == '.' || *c == ',') && is_digit(c[1])) {
    if (*c == ',') return Number_Text::assimp_only;
    ++c;
    std::uint64_t fraction = 0;
    int digits = 0;
    for (; c < end && is_digit(*c); ++c) {
      if (digits == 15) continue;  // beyond the 15th digit nothing counts
      fraction = fraction * 10 + std::uint64_t(*c - '0');
      ++digits;
    }
    const double part = static_cast<double>(fraction) * negative_powers_of_ten[digits];
    result += static_cast<Real>(part);
  } else if (c < end && *c == '.') {
    ++c;  // "5." is 5
  }
  if (c < end && (*c == 'e' || *c == 'E')) {
    ++c;
    bool negative_exponent = false;
    if (c < end && (*c == '-' || *c == '+')) {
      negative_exponent = *c == '-';
      ++c;
    }
    if (c == end || !is_digit(*c)) return Number_Text::not_a_number;
    std::uint64_t exponent = 0;
    for (; c < end && is_digit(*c); ++c) {
      const std::uint64_t next = exponent * 10 + std::uint64_t(*c - '0');
      if (next < exponent) return Number_Text::assimp_only;
      exponent = next;
    }
    Real power = static_cast<Real>(exponent);
    if (negative_exponent) power = -power;
    result *= std::pow(static_cast<Real>(10.0), power);
  }
  value = negative ? -result : result;
  p = c;
  return Number_Text::read;
}

}  // namespace hlr_tool
