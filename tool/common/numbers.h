// Numbers in the texts a user gives (options, page sizes, view angles),
// read the one way: the whole text, blanks around it and a leading '+'
// allowed, in the C locale whatever the process's.
#pragma once

#include <optional>
#include <string_view>

namespace hlr_tool {

// A finite number ("0.5", "1e-3", "+2"); none for anything else, "nan"
// and "inf" included.
std::optional<double> parse_finite(std::string_view text);

// A whole number in the range of int ("42", "-3"); none for anything else.
std::optional<int> parse_whole(std::string_view text);

}  // namespace hlr_tool
