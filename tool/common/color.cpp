#include "tool/common/color.h"

#include <charconv>

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
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  return parse_hex_color(text, true);
}

}  // namespace hlr_tool
