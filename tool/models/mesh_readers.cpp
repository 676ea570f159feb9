#include "tool/models/mesh_readers.h"

#include <algorithm>
#include <cstring>
#include <functional>

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

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// ---- counts Assimp would allocate for -----------------------------------------
//
// Assimp's OFF and PLY readers allocate for the counts their headers declare
// before reading a record (an OFF header declaring 10^9 vertices and faces
// in a 100-byte file takes it past 18 GiB). Every record takes at least one
// byte, so a count beyond the file's size is a broken file, refused here
// with a message before Assimp sees it.

// The first bytes of the file as text, as Assimp sees them once it has
// dropped a UTF-8 byte-order mark or narrowed UTF-16 (the headers are
// ASCII); at most 4096 characters, which holds any real header.
std::string head_text(std::string_view bytes) {
  constexpr std::size_t most = 4096;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
    return std::string(bytes.substr(3, most));
  if (n >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE))) {
    const std::size_t low = b[0] == 0xFF ? 0 : 1;  // the ASCII byte of each pair
    std::string text;
    for (std::size_t i = 2; i + 1 < n && text.size() < most; i += 2) text += char(b[i + low]);
    return text;
  }
  return std::string(bytes.substr(0, most));
}

// Assimp's strtoul10: decimal digits into 32 bits, wrapping.
std::uint32_t assimp_count(const char*& p, const char* end) {
  std::uint32_t value = 0;
  for (; p < end && is_digit(*p); ++p) value = value * 10 + std::uint32_t(*p - '0');
  return value;
}

// The count's digits as written (Assimp reads them wrapped to 32 bits).
[[noreturn]] void count_beyond_the_file(const std::string& path, const std::string& head,
                                        const char* digits, const std::string& what,
                                        std::size_t file_size) {
  const char* end = digits;
  while (end < head.data() + head.size() && is_digit(*end)) ++end;
  malformed(path, head.data(), digits,
            "the header declares " + std::string(digits, end) + " " + what +
                ", more than the file's " + std::to_string(file_size) + " bytes can hold");
}

// The OFF header as Assimp 5.2 reads it: prefixes ST, C, N, 4, n, the
// keyword (which it does without), a dimension after "n", the counts.
void check_off_counts(const std::string& head, std::size_t file_size, const std::string& path) {
  const char* p = head.data();
  const char* end = p + head.size();
  const auto next_token = [&] {
    for (;;) {
      while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
      if (p == end || *p != '#') return;
      while (p < end && !is_line_end(*p)) ++p;
    }
  };
  next_token();
  if (end - p > 2 && p[0] == 'S' && p[1] == 'T') p += 2;
  if (end - p > 1 && p[0] == 'C') ++p;
  if (end - p > 1 && p[0] == 'N') ++p;
  if (end - p > 1 && p[0] == '4') ++p;
  const bool dimension = end - p > 1 && p[0] == 'n';
  if (dimension) ++p;
  if (end - p > 3 && std::memcmp(p, "OFF", 3) == 0) p += 3;
  next_token();
  if (p == end || !is_digit(*p)) return;  // Assimp refuses the header itself
  if (dimension) {
    assimp_count(p, end);
    next_token();
  }
  const char* vertices_at = p;
  const std::uint32_t vertices = assimp_count(p, end);
  next_token();
  const char* faces_at = p;
  const std::uint32_t faces = assimp_count(p, end);
  if (vertices > file_size) count_beyond_the_file(path, head, vertices_at, "vertices", file_size);
  if (faces > file_size) count_beyond_the_file(path, head, faces_at, "faces", file_size);
}

// Every "element NAME COUNT" line of a PLY header.
void check_ply_counts(const std::string& head, std::size_t file_size, const std::string& path) {
  const char* p = head.data();
  const char* end = p + head.size();
  while (p < end) {
    const char* line = p;
    const char* line_end = std::find(p, end, '\n');
    p = line_end == end ? end : line_end + 1;
    const char* q = line;
    skip_blanks(q, line_end);
    if (line_end - q >= 10 && std::memcmp(q, "end_header", 10) == 0) return;
    if (line_end - q < 8 || std::memcmp(q, "element", 7) != 0 || !is_blank(q[7])) continue;
    q += 7;
    skip_blanks(q, line_end);
    const char* name = q;
    while (q < line_end && !is_blank(*q) && !is_line_end(*q)) ++q;
    const std::string what = std::string(1, '"').append(name, q).append("\" elements");
    skip_blanks(q, line_end);
    const char* count_at = q;
    std::uint64_t count = 0;  // saturating: any count past 2^62 is past the file too
    for (; q < line_end && is_digit(*q); ++q)
      count = std::min(std::uint64_t(1) << 62, count * 10 + std::uint64_t(*q - '0'));
    if (count > file_size) count_beyond_the_file(path, head, count_at, what, file_size);
  }
}

// Assimp reads a file as OFF or PLY by its name's ending, and an unknown
// ending by a word among its first 200 bytes ("off", "ply"); either way the
// header's counts are checked here.
void refuse_counts_beyond_the_file(std::string_view bytes, const std::string& path) {
  const std::string head = head_text(bytes);
  std::string first_bytes = head.substr(0, 200);
  std::transform(first_bytes.begin(), first_bytes.end(), first_bytes.begin(), lower);
  const bool known = ends_with(path, ".obj") || ends_with(path, ".stl");
  if (ends_with(path, ".off") || (!known && first_bytes.find("off") != std::string::npos))
    check_off_counts(head, bytes.size(), path);
  if (ends_with(path, ".ply") || (!known && first_bytes.starts_with("ply")))
    check_ply_counts(head, bytes.size(), path);
}

}  // namespace

std::size_t line_of(const char* begin, const char* at) {
  return std::size_t(std::count(begin, at, '\n')) + 1;
}

void malformed(const std::string& path, const char* begin, const char* at,
               const std::string& message) {
  throw input_error(path + ":" + std::to_string(line_of(begin, at)) + ": " + message);
}

bool starts_like_assimp_converts(std::string_view bytes) {
  if (bytes.size() < 8) return true;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  return (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) || (b[0] == 0xFE && b[1] == 0xFF) ||
         (b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF);
}

std::optional<Model> read_mesh_bytes(std::string_view bytes, const std::string& path,
                                     std::size_t threads) {
  std::function<std::optional<Model>()> reader;
  if (ends_with(path, ".off")) reader = [&] { return read_off_file(bytes, path, threads); };
  if (ends_with(path, ".stl")) reader = [&] { return read_stl_file(bytes, path); };
  if (ends_with(path, ".ply")) reader = [&] { return read_ply_file(bytes, path); };
  if (ends_with(path, ".obj")) reader = [&] { return read_obj_file(bytes, path); };
  if (reader && !starts_like_assimp_converts(bytes)) {
    try {
      return reader();
    } catch (const Leave_To_Assimp&) {
    }
  }
  refuse_counts_beyond_the_file(bytes, path);
  return std::nullopt;
}

std::optional<Model> read_mesh_file(const std::string& path, std::size_t threads) {
  const Mapped_File file(path);
  return read_mesh_bytes(file.bytes(), path, threads);
}

}  // namespace hlr_tool
