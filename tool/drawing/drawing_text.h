// Numbers and colours as the text formats (SVG, sheet SVG, DXF) write them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tool/drawing/drawing_arc.h"

namespace hlr_tool {

// Fixed notation with at most `decimals` decimals, trailing zeros and a
// lone point cut, never "-0"; the same value gives the same text.
void append_decimal(std::string& out, double value, int decimals = 3);

// "#RRGGBB" of 0xAARRGGBB.
void append_rgb_hex(std::string& out, std::uint32_t argb);

// An SVG paint: ` what="#RRGGBB"`, with ` what-opacity="..."` (three
// decimals) when alpha is not FF; `what` is "stroke" or "fill".
void append_svg_paint(std::string& out, const char* what, std::uint32_t argb);

// An arc as an SVG <path> element of elliptical arc commands, each a
// quarter turn at most (quarter_turns), so that the large-arc flag is
// never near its turning point; coordinates with three decimals.
void append_svg_arc(std::string& out, const Drawing_Arc& arc);

// The most points one SVG <polyline> takes: a longer polyline is cut into
// several elements that share their joints, so that no attribute grows
// beyond what XML readers accept by default (libxml2 stops at 10 MB).
inline constexpr std::size_t svg_max_points_per_element = 2000;

}  // namespace hlr_tool
