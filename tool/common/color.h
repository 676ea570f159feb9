// Colours as the tool reads them, returned as 0xAARRGGBB.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace hlr_tool {

// Exactly 8 hex digits AARRGGBB (either case); with `rgb_too` also 6
// digits RRGGBB, which mean opaque. Nothing else: no sign, prefix or
// blank. Picture scripts take the 8 digits only.
std::optional<std::uint32_t> parse_hex_color(std::string_view digits, bool rgb_too);

// A colour on the command line (and in Python, as the text of its value):
// the digits of parse_hex_color (6 or 8, with an optional leading '#'),
// R,G,B or R,G,B,A in decimal, each from 0 to 255 (opaque without A), or
// one of the names in color_names.
std::optional<std::uint32_t> parse_color(std::string_view text);

inline constexpr const char* color_forms =
    "a colour as AARRGGBB or RRGGBB in hex, R,G,B[,A] from 0 to 255, or a name (black, white, "
    "gray, red, green, blue, yellow, cyan, magenta, orange)";

}  // namespace hlr_tool
