#include "tool/drawing/drawing_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <string_view>

namespace hlr_tool {

namespace {

// Three decimals without a general conversion: in a long double of 64
// significant bits (x86's extended precision) a double times 1000 is exact
// (53 + 10 bits), and rounding that to an integer in the default mode
// rounds the exact value to nearest, ties to even, as std::to_chars does.
// False where that does not hold (a narrower long double, a value too
// large for the integer), for the general way.
bool append_three_decimals(std::string& out, double value) {
  if constexpr (std::numeric_limits<long double>::digits < 64) {
    return false;
  } else {
    const long double scaled = static_cast<long double>(value) * 1000.0L;
    if (!(std::fabs(scaled) < 1e18L)) return false;  // also NaN
    const long long rounded = std::llrint(scaled);
    if (rounded == 0) {
      out += '0';  // never "-0"
      return true;
    }
    unsigned long long magnitude =
        rounded < 0 ? 0ULL - static_cast<unsigned long long>(rounded) : rounded;
    char digits[24];
    char* at = digits + sizeof digits;
    unsigned fraction = static_cast<unsigned>(magnitude % 1000);
    magnitude /= 1000;
    if (fraction != 0) {
      int places = 3;
      while (fraction % 10 == 0) fraction /= 10, --places;  // trailing zeros cut
      for (int k = 0; k < places; ++k, fraction /= 10)
        *--at = static_cast<char>('0' + fraction % 10);
      *--at = '.';
    }
    do {
      *--at = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (rounded < 0) *--at = '-';
    out.append(at, static_cast<std::size_t>(digits + sizeof digits - at));
    return true;
  }
}

}  // namespace

void append_decimal(std::string& out, double value, int decimals) {
  if (decimals == 3 && append_three_decimals(out, value)) return;
  char buffer[400];  // room for the largest finite double in fixed notation
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string_view text(buffer, error == std::errc() ? static_cast<std::size_t>(end - buffer) : 0);
  if (text.find('.') != std::string_view::npos) {
    while (text.back() == '0') text.remove_suffix(1);
    if (text.back() == '.') text.remove_suffix(1);
  }
  if (text == "-0") text = "0";
  out.append(text);
}

void append_rgb_hex(std::string& out, std::uint32_t argb) {
  static constexpr char digits[] = "0123456789ABCDEF";
  out += '#';
  for (int shift = 20; shift >= 0; shift -= 4) out += digits[(argb >> shift) & 15u];
}

void append_svg_paint(std::string& out, const char* what, std::uint32_t argb) {
  out += ' ';
  out += what;
  out += "=\"";
  append_rgb_hex(out, argb);
  out += '"';
  const std::uint32_t alpha = argb >> 24;
  if (alpha != 255) {
    out += ' ';
    out += what;
    out += "-opacity=\"";
    append_decimal(out, static_cast<double>(alpha) / 255.0, 3);
    out += '"';
  }
}

void append_svg_arc(std::string& out, const Drawing_Arc& arc) {
  const Ellipse_Axes axes = ellipse_axes(arc);
  const auto point = [&out](const Drawing_Point& p) {
    append_decimal(out, p.x);
    out += ',';
    append_decimal(out, p.y);
  };
  out += "<path d=\"M";
  point(arc.at(arc.start));
  for (const Drawing_Arc& piece : quarter_turns(arc)) {
    out += " A";
    append_decimal(out, axes.major);
    out += ',';
    append_decimal(out, axes.minor);
    out += ' ';
    append_decimal(
        out, std::atan2(axes.major_direction.y, axes.major_direction.x) * 180.0 / std::numbers::pi);
    // The sweep flag is set where the arc turns from x toward y, which
    // the axes' parameter does when it grows.
    out += (piece.end - piece.start) * axes.direction > 0.0 ? " 0 1 " : " 0 0 ";
    point(piece.at(piece.end));
  }
  out += "\"/>\n";
}

}  // namespace hlr_tool
