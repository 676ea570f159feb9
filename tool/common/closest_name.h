// The name a user most likely meant: "did you mean draw?" for `drw`, the
// option a mistyped one stands for. The command line and the Python
// package suggest with this one function, so both suggest the same.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace hlr_tool {

// Of `names`, the one nearest to `word` by edit distance (insertions,
// deletions, substitutions and swaps of neighbouring letters, each 1),
// the first of equals; empty when even the nearest differs in more than a
// third of its letters (at least 2 edits are always allowed), which is a
// different word rather than a typing slip.
std::string closest_name(std::string_view word, std::span<const std::string> names);

}  // namespace hlr_tool
