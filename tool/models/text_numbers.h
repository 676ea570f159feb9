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

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace hlr_tool {

enum class Number_Text { read, not_a_number, assimp_only };

namespace text_numbers_detail {

// 10^-k as the nearest double, k = 0..15.
inline constexpr double negative_powers_of_ten[16] = {0.0,   1e-1,  1e-2,  1e-3, 1e-4,  1e-5,
                                                      1e-6,  1e-7,  1e-8,  1e-9, 1e-10, 1e-11,
                                                      1e-12, 1e-13, 1e-14, 1e-15};
inline constexpr std::uint64_t powers_of_ten[8] = {1,     10,     100,     1000,
                                                   10000, 100000, 1000000, 10000000};

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

inline bool starts_with_word(const char* p, const char* end, const char* lower_word, int length) {
  if (end - p < length) return false;
  for (int i = 0; i < length; ++i) {
    const char c = p[i];
    if (c != lower_word[i] && c != lower_word[i] - ('a' - 'A')) return false;
  }
  return true;
}

// Eight characters at once (little-endian machines): the fractions of a
// mesh file are most of its bytes.
inline constexpr bool eight_at_once = std::endian::native == std::endian::little;

// How many of the eight characters in `word` (the first in the lowest
// byte) are decimal digits before the first one that is not. A byte is a
// digit when its high nibble is 3 and adding 6 keeps it so; a carry out of
// a byte above 0xF9 only reaches bytes after the first non-digit.
inline int leading_digits(std::uint64_t word) {
  constexpr std::uint64_t high_nibbles = 0xF0F0F0F0F0F0F0F0u, threes = 0x3030303030303030u;
  const std::uint64_t not_digits =
      ((word & high_nibbles) ^ threes) | (((word + 0x0606060606060606u) & high_nibbles) ^ threes);
  return not_digits == 0 ? 8 : std::countr_zero(not_digits) / 8;
}

// The value of the first `count` (1 to 8) characters of `word`, all digits.
// Subtracting '0' borrows only into the bytes after them, which the shift
// drops; the bytes it brings in read as leading zeros.
inline std::uint64_t value_of_digits(std::uint64_t word, int count) {
  word = (word - 0x3030303030303030u) << (8 * (8 - count));
  word = word * 10 + (word >> 8);  // pairs of digits
  constexpr std::uint64_t pair_mask = 0x000000FF000000FFu;
  return ((word & pair_mask) * 0x000F424000000064u +
          ((word >> 16) & pair_mask) * 0x0000271000000001u) >>
         32;
}

// The first 15 digits of the fraction at `c` as an integer and how many
// they are, `c` moved past every digit of it. `c` points at a digit.
inline std::uint64_t read_fraction(const char*& c, const char* end, std::ptrdiff_t& digits) {
  const char* first = c;
  std::uint64_t fraction = 0;
  if (eight_at_once && end - c >= 16) {
    std::uint64_t word;
    std::memcpy(&word, c, 8);
    const int n = leading_digits(word);
    fraction = value_of_digits(word, n);
    c += n;
    if (n == 8) {
      std::memcpy(&word, c, 8);
      const int more = leading_digits(word);
      const int counted = std::min(more, 7);
      if (counted > 0)
        fraction = fraction * powers_of_ten[counted] + value_of_digits(word, counted);
      c += more;
      digits = 8 + counted;
    } else {
      digits = n;
    }
  } else {
    const char* last_counted = end - c > 15 ? c + 15 : end;
    for (; c < last_counted && is_digit(*c); ++c)
      fraction = fraction * 10 + std::uint64_t(*c - '0');
    digits = c - first;
  }
  while (c < end && is_digit(*c)) ++c;  // beyond the 15th digit nothing counts
  return fraction;
}

// An integer part too long to be sure of 64 bits, read as Assimp reads
// it: false where Assimp gives up mid-number.
inline bool read_long_integer(const char* first, const char* last, std::uint64_t& integer) {
  integer = 0;
  for (const char* c = first; c < last; ++c) {
    const std::uint64_t next = integer * 10 + std::uint64_t(*c - '0');
    if (next < integer) return false;
    integer = next;
  }
  return true;
}

// What is not a decimal number: "nan", "inf", "infinity" in any case.
template <class Real>
Number_Text parse_word(const char*& p, const char* c, const char* end, bool negative, Real& value) {
  if ((*c == 'n' || *c == 'N') && starts_with_word(c, end, "nan", 3)) {
    value = std::numeric_limits<Real>::quiet_NaN();
    p = c + 3;
    return Number_Text::read;
  }
  if ((*c == 'i' || *c == 'I') && starts_with_word(c, end, "inf", 3)) {
    value =
        negative ? -std::numeric_limits<Real>::infinity() : std::numeric_limits<Real>::infinity();
    c += 3;
    if (starts_with_word(c, end, "inity", 5)) c += 5;
    p = c;
    return Number_Text::read;
  }
  return Number_Text::not_a_number;
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
  if (c == end) return Number_Text::not_a_number;
  const bool digit_first = is_digit(*c);
  const bool point_first = c + 1 < end && (*c == '.' || *c == ',') && is_digit(c[1]);
  if (!digit_first && !point_first) return parse_word(p, c, end, negative, value);
  if (*c == ',') return Number_Text::assimp_only;

  Real result = 0;
  if (digit_first) {
    const char* first = c;
    std::uint64_t integer = 0;
    for (; c < end && is_digit(*c); ++c) integer = integer * 10 + std::uint64_t(*c - '0');
    // 19 digits cannot wrap 64 bits.
    if (c - first > 19 && !read_long_integer(first, c, integer)) return Number_Text::assimp_only;
    result = static_cast<Real>(integer);
  }
  if (c + 1 < end && (*c == '.' || *c == ',') && is_digit(c[1])) {
    if (*c == ',') return Number_Text::assimp_only;
    ++c;
    std::ptrdiff_t digits;
    const std::uint64_t fraction = read_fraction(c, end, digits);
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
