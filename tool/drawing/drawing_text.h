// Numbers and colours as the text formats (SVG, sheet SVG, DXF) write them.
#pragma once

#include <cstdint>
#include <string>

namespace hlr_tool {

// Fixed notation with at most `decimals` decimals, trailing zeros and a
// lone point cut, never "-0"; the same value gives the same text.
void append_decimal(std::string& out, double value, int decimals = 3);

// "#RRGGBB" of 0xAARRGGBB.
void append_rgb_hex(std::string& out, std::uint32_t argb);

}  // namespace hlr_tool
