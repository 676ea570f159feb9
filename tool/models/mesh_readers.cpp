#include "tool/models/mesh_readers.h"

#include <algorithm>
#include <cstring>

#include "tool/models/mesh_text.h"

namespace hlr_tool {
namespace {

// Assimp picks its reader by the name's ending, in any case.
bool ends_with(const std::string& path, const char* lower_extension) {
  const std::size_t n = std::strlen(lower_extension);
  if (path.size() < n) return false;
  return std::equal(path.end() - std::ptrdiff_t(n), path.end(), lower_extension,
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

}  // namespace

std::size_t line_of(const char* begin, const char* at) {
  return std::size_t(std::count(begin, at, '\n')) + 1;
}

void malformed(const std::string& path, const char* begin, const char* at,
               const std::string& message) {
  throw input_error(path + ":" + std::to_string(line_of(begin, at)) + ": " + message);
}

bool starts_like_assimp_converts(const Mapped_File& file) {
  if (file.size() < 8) return true;
  const auto* b = reinterpret_cast<const unsigned char*>(file.begin());
  return (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) || (b[0] == 0xFE && b[1] == 0xFF) ||
         (b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF);
}

std::optional<Model> read_mesh_file(const std::string& path) {
  using Reader = std::optional<Model> (*)(const Mapped_File&, const std::string&);
  Reader reader = nullptr;
  if (ends_with(path, ".off")) reader = read_off_file;
  if (ends_with(path, ".stl")) reader = read_stl_file;
  if (ends_with(path, ".ply")) reader = read_ply_file;
  if (ends_with(path, ".obj")) reader = read_obj_file;
  if (reader == nullptr) return std::nullopt;
  const Mapped_File file(path);
  if (starts_like_assimp_converts(file)) return std::nullopt;
  try {
    return reader(file, path);
  } catch (const Leave_To_Assimp&) {
    return std::nullopt;
  }
}

}  // namespace hlr_tool
