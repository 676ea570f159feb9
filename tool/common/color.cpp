#include "tool/common/color.h"

#include <algorithm>
#include <charconv>

#include "tool/common/numbers.h"

namespace hlr_tool {

std::optional<std::uint32_t> parse_hex_color(std::string_view digits, bool rgb_too) {
  if (!(digits.size() == 8 || (rgb_too && digits.size() == 6))) return std::nullopt;
  if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  return digits.size() == 6 ? 0xFF000000u | value : value;
}

namespace {

// "R,G,B" or "R,G,B,A", each a whole number from 0 to 255.
std::optional<std::uint32_t> parse_decimal_color(std::string_view text) {
  std::uint32_t channels[4] = {0, 0, 0, 255};
  std::size_t parts = 0;
  for (std::size_t from = 0; from <= text.size();) {
    const std::size_t comma = std::min(text.find(',', from), text.size());
    const std::optional<int> value = parse_whole(text.substr(from, comma - from));
    if (parts == 4 || !value || *value < 0 || *value > 255) return std::nullopt;
    channels[parts++] = std::uint32_t(*value);
    from = comma + 1;
  }
  if (parts < 3) return std::nullopt;
  return channels[3] << 24 | channels[0] << 16 | channels[1] << 8 | channels[2];
}

}  // namespace

std::optional<std::uint32_t> parse_color(std::string_view text) {
  struct Named_Color {
    std::string_view name;
    std::uint32_t argb;
  };
  // "grey" is taken as well as "gray".
  static constexpr Named_Color names[] = {
      {"black", 0xFF000000u},   {"white", 0xFFFFFFFFu},  {"gray", 0xFF808080u},
      {"grey", 0xFF808080u},    {"red", 0xFFFF0000u},    {"green", 0xFF008000u},
      {"blue", 0xFF0000FFu},    {"yellow", 0xFFFFFF00u}, {"cyan", 0xFF00FFFFu},
      {"magenta", 0xFFFF00FFu}, {"orange", 0xFFFFA500u},
  };
  for (const Named_Color& named : names) {
    if (named.name == text) return named.argb;
  }
  if (text.find(',') != std::string_view::npos) return parse_decimal_color(text);
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  return parse_hex_color(text, true);
}

}  // namespace hlr_tool
