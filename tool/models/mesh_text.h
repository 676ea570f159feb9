// What the format readers behind mesh_readers.h share: leaving a file to
// Assimp, messages that name the line, and the blanks and numbers of the
// text formats as Assimp's importers see them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "tool/common/errors.h"
#include "tool/models/mapped_file.h"
#include "tool/models/mesh_assembly.h"
#include "tool/models/text_numbers.h"

namespace hlr_tool {

// Thrown inside a reader when the file uses something only Assimp reads as
// Assimp does; read_mesh_file turns it into nullopt. Never escapes it.
struct Leave_To_Assimp {};

// `threads`: with two or more, a large file's faces are read on a second
// thread while its vertices are read.
std::optional<Model> read_off_file(std::string_view bytes, const std::string& path,
                                   std::size_t threads = 1);
std::optional<Model> read_stl_file(std::string_view bytes, const std::string& path);
std::optional<Model> read_ply_file(std::string_view bytes, const std::string& path);
std::optional<Model> read_obj_file(std::string_view bytes, const std::string& path);

// The 1-based line of the byte at `at` in a file that starts at `begin`.
std::size_t line_of(const char* begin, const char* at);

// "PATH:LINE: MESSAGE" as a Tool_Error with exit status 2.
[[noreturn]] void malformed(const std::string& path, const char* begin, const char* at,
                            const std::string& message);

// Assimp reads every text file through a step that strips or converts a
// byte-order mark and refuses files under 8 bytes; such files are its own.
bool starts_like_assimp_converts(std::string_view bytes);

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool is_line_end(char c) { return c == '\n' || c == '\r'; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The hot loops move a local copy of the position: a char read may alias
// the caller's pointer, so stepping it in place would store it every byte.
inline void skip_blanks(const char*& p, const char* end) {
  const char* q = p;
  while (q < end && is_blank(*q)) ++q;
  p = q;
}

// After a number: a blank, a line end or the end of the file. Anything
// else (Assimp would stop reading the number there and go on) leaves the
// file to Assimp.
inline void expect_number_end(const char* p, const char* end) {
  if (p < end && !is_blank(*p) && !is_line_end(*p)) throw Leave_To_Assimp{};
}

// A coordinate by Assimp's rule (text_numbers.h), followed by a blank or a
// line end.
template <class Real>
Real read_real(const char*& p, const char* end, const std::string& path, const char* begin) {
  Real value;
  switch (parse_real(p, end, value)) {
    case Number_Text::read:
      break;
    case Number_Text::assimp_only:
      throw Leave_To_Assimp{};
    case Number_Text::not_a_number:
      malformed(path, begin, p,
                p < end && !is_line_end(*p) ? "expected a number" : "a number is missing");
  }
  expect_number_end(p, end);
  return value;
}

// An unsigned decimal integer followed by a blank or a line end; nullopt
// when there is no digit at `p`. Values beyond 2^62 read as 2^62: every
// caller treats them as out of range.
inline std::optional<std::uint64_t> read_unsigned(const char*& p, const char* end) {
  namespace detail = text_numbers_detail;
  const char* q = p;
  if (q == end || !is_digit(*q)) return std::nullopt;
  std::uint64_t value = 0;
  if (detail::eight_at_once && end - q >= 8) {  // vertex indices: mostly fewer than eight digits
    std::uint64_t word;
    std::memcpy(&word, q, 8);
    const int n = detail::leading_digits(word);
    value = detail::value_of_digits(word, n);
    q += n;
  }
  for (; q < end && is_digit(*q); ++q) value = value * 10 + std::uint64_t(*q - '0');
  if (q - p > 18) {  // may have wrapped: again, saturating
    constexpr std::uint64_t ceiling = std::uint64_t(1) << 62;
    value = 0;
    for (const char* d = p; d < q; ++d)
      value = std::min(ceiling, value * 10 + std::uint64_t(*d - '0'));
  }
  expect_number_end(q, end);
  p = q;
  return value;
}

// Assimp reads counts into 32 bits and wraps beyond; larger ones (no real
// file has them) are left to it.
inline constexpr std::uint64_t largest_count = 999'999'999;

}  // namespace hlr_tool
