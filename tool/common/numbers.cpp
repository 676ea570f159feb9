#include "tool/common/numbers.h"

#include <charconv>
#include <cmath>

namespace hlr_tool {

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return text;
}

template <class Number>
std::optional<Number> parse_all(std::string_view text) {
  text = trimmed(text);
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> parse_finite(std::string_view text) {
  const std::optional<double> value = parse_all<double>(text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<int> parse_whole(std::string_view text) { return parse_all<int>(text); }

}  // namespace hlr_tool
