// The key that welds positions: two positions weld when their coordinates
// are equal bit for bit, -0.0 and +0.0 counting as one. The mesh reader and
// the CAD reader weld with it alike, so a part and a mesh of the same
// points get the same vertices.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace hlr_tool {

struct Position_Key {
  std::uint64_t x, y, z;
  bool operator==(const Position_Key&) const = default;

  static Position_Key of(double x, double y, double z) { return {bits(x), bits(y), bits(z)}; }

 private:
  static std::uint64_t bits(double value) {
    return std::bit_cast<std::uint64_t>(value == 0.0 ? 0.0 : value);
  }
};

struct Position_Key_Hash {
  std::size_t operator()(const Position_Key& k) const noexcept {
    std::uint64_t h = k.x * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 29) ^ k.y) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 31) ^ k.z) * 0x94D049BB133111EBull;
    return std::size_t(h ^ (h >> 32));
  }
};

}  // namespace hlr_tool
