// STL, binary and ASCII, both as one body named after Assimp's default
// material. Assimp takes a file for binary when its size is exactly 84
// bytes plus 50 per facet of the count at byte 80, and for ASCII when it
// starts with "solid"; every facet gives three vertices of its own, which
// the assembly then welds.
//
// ASCII: solids of facets, "facet normal X Y Z", "outer loop", three
// "vertex X Y Z", "endloop", "endfacet", then "endsolid". Assimp skips any
// word it does not know; a file with such words, or whose numbers sit on
// other lines than their keyword, is left to it.
#include <cstring>
#include <string_view>

#include "tool/models/mesh_text.h"

namespace hlr_tool {
namespace {

constexpr const char* body_name = "DefaultMaterial";  // Assimp's STL material

// Assimp's test for a binary file, in its 32-bit arithmetic.
bool sized_as_binary(const char* begin, std::size_t size) {
  if (size < 84) return false;
  std::uint32_t facets;
  std::memcpy(&facets, begin + 80, 4);
  return std::uint32_t(facets * 50u + 84u) == size;
}

float little_endian_float(const char* p) {
  std::uint32_t bits = std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8 |
                       std::uint32_t(std::uint8_t(p[2])) << 16 |
                       std::uint32_t(std::uint8_t(p[3])) << 24;
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

Model read_binary(std::string_view bytes, const std::string& path) {
  std::uint32_t facets;
  std::memcpy(&facets, bytes.data() + 80, 4);
  // Assimp refuses a file without facets with its own message.
  if (facets == 0) throw Leave_To_Assimp{};
  // The size matched in 32 bits; a count whose 50-byte records wrap past
  // 2^32 matches too, and would have the reader allocate for them.
  if (84 + 50 * std::uint64_t(facets) != bytes.size())
    throw input_error(path + ": the binary header declares " + std::to_string(facets) +
                      " facets, more than the file's " + std::to_string(bytes.size()) +
                      " bytes hold");
  Imported_Mesh mesh;
  mesh.vertices.resize(std::size_t(facets) * 3);
  mesh.corners.resize(std::size_t(facets) * 3);
  mesh.face_sizes.assign(facets, 3);
  const char* record = bytes.data() + 84;
  for (std::uint32_t f = 0; f < facets; ++f, record += 50) {
    for (std::uint32_t k = 0; k < 3; ++k) {
      const char* corner = record + 12 + 12 * k;  // after the normal
      mesh.vertices[3 * f + k] = {little_endian_float(corner), little_endian_float(corner + 4),
                                  little_endian_float(corner + 8)};
      mesh.corners[3 * f + k] = 3 * f + k;
    }
  }
  std::vector<Body_Builder> builders(1);
  builders[0].body.name = body_name;
  builders[0].reserve(std::size_t(facets) / 2 + 1);
  add_imported_mesh(builders[0], mesh,
                    [&](std::uint32_t v) { return path + ": facet " + std::to_string(v / 3 + 1); });
  return finished_model(path, builders);
}

class Ascii_Reader {
 public:
  Ascii_Reader(std::string_view bytes, const std::string& path)
      : path_(path), begin_(bytes.data()), end_(bytes.data() + bytes.size()) {}

  Model read() {
    const char* p = begin_;
    std::vector<Body_Builder> builders(1);
    builders[0].body.name = body_name;
    builders[0].reserve(std::size_t(end_ - begin_) / 200 + 1);
    std::vector<const char*> solid_starts;
    // Assimp reads solid after solid while what follows the last one
    // starts with "solid"; anything else after it is ignored.
    for (;;) {
      skip_blanks(p, end_);
      if (end_ - p <= 5 || std::memcmp(p, "solid", 5) != 0) break;
      if (sized_as_binary(p, std::size_t(end_ - p))) throw Leave_To_Assimp{};
      solid_starts.push_back(p);
      read_solid(p);
      add_imported_mesh(builders[0], mesh_, [&](std::uint32_t v) { return vertex_place(v); });
    }
    return finished_model(path_, builders);
  }

 private:
  // The next word, after blanks and line ends; empty at the end of the file.
  std::string_view next_word(const char*& p) const {
    while (p < end_ && (is_blank(*p) || is_line_end(*p))) ++p;
    const char* start = p;
    while (p < end_ && !is_blank(*p) && !is_line_end(*p)) {
      if (*p == '\0' || *p == '\f') throw Leave_To_Assimp{};
      ++p;
    }
    return {start, std::size_t(p - start)};
  }

  std::array<float, 3> read_triple(const char*& p) const {
    std::array<float, 3> values;
    for (float& value : values) {
      skip_blanks(p, end_);
      value = read_real<float>(p, end_, path_, begin_);
    }
    return values;
  }

  void read_solid(const char*& p) {
    mesh_.vertices.clear();
    mesh_.corners.clear();
    mesh_.face_sizes.clear();
    vertex_lines_.clear();
    p += 5;
    // The name: the rest of the line, unless a word of it is one Assimp
    // would act on, or its first word is longer than Assimp takes.
    for (bool first = true;; first = false) {
      skip_blanks(p, end_);
      if (p == end_ || is_line_end(*p)) break;
      const std::string_view word = next_word(p);
      if (word == "facet" || word == "vertex" || word.starts_with("endsolid") ||
          (first && word.size() >= 1024))
        throw Leave_To_Assimp{};
    }
    int corners = 3;  // of the current facet; 3 outside a facet
    for (;;) {
      const std::string_view word = next_word(p);
      const char* word_start = p - word.size();
      if (word.empty())
        malformed(path_, begin_, p, "the file ends inside a solid (\"endsolid\" expected)");
      if (word == "facet") {
        if (corners != 3)
          malformed(path_, begin_, word_start,
                    "a facet begins after one of only " + std::to_string(corners) + " vertices");
        corners = 0;
        skip_blanks(p, end_);
        if (end_ - p < 7 || std::memcmp(p, "normal", 6) != 0 || !is_blank(p[6]))
          throw Leave_To_Assimp{};
        p += 7;
        read_triple(p);
      } else if (word == "vertex") {
        if (corners == 3)
          malformed(path_, begin_, word_start, "a vertex outside a facet, or a facet's fourth");
        if (p == end_ || !is_blank(*p)) throw Leave_To_Assimp{};
        vertex_lines_.push_back(word_start);
        mesh_.corners.push_back(std::uint32_t(mesh_.vertices.size()));
        mesh_.vertices.push_back(read_triple(p));
        if (++corners == 3) mesh_.face_sizes.push_back(3);
      } else if (word.starts_with("endsolid")) {
        if (corners != 3)
          malformed(
              path_, begin_, word_start,
              "the solid ends after a facet of only " + std::to_string(corners) + " vertices");
        while (p < end_ && !is_line_end(*p)) {
          if (*p == '\0' || *p == '\f') throw Leave_To_Assimp{};
          ++p;
        }
        while (p < end_ && (is_blank(*p) || is_line_end(*p))) ++p;
        return;
      } else if (word != "outer" && word != "loop" && word != "endloop" && word != "endfacet") {
        throw Leave_To_Assimp{};
      }
    }
  }

  std::string vertex_place(std::uint32_t v) const {
    return path_ + ":" + std::to_string(line_of(begin_, vertex_lines_[v]));
  }

  const std::string& path_;
  const char* begin_;
  const char* end_;
  Imported_Mesh mesh_;  // the current solid
  std::vector<const char*> vertex_lines_;
};

}  // namespace

std::optional<Model> read_stl_file(std::string_view bytes, const std::string& path) {
  if (sized_as_binary(bytes.data(), bytes.size())) return read_binary(bytes, path);
  const char* p = bytes.data();
  const char* end = bytes.data() + bytes.size();
  skip_blanks(p, end);
  if (end - p <= 5 || std::memcmp(p, "solid", 5) != 0) throw Leave_To_Assimp{};
  return Ascii_Reader(bytes, path).read();
}

}  // namespace hlr_tool
