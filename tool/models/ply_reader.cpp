// PLY, ASCII and binary of either byte order: one body, named as Assimp
// names its unnamed material. The header must declare exactly a "vertex"
// element of scalar properties with x, y and z among them, then a "face"
// element with one list property "vertex_indices" (or "vertex_index") of
// integers and any scalar properties beside it; comments and obj_info lines
// may come before the elements. Anything else (other elements, list
// properties on vertices, faces of more than four corners) is Assimp's.
//
// Assimp reads an ASCII file a line per element; a file whose records
// spread over lines, or that has blank lines or extra values among them, is
// left to it. Values convert as Assimp converts them: float properties by
// its single-precision rule, double properties by its double-precision rule
// and then to float, integers exactly.
#include <bit>
#include <cstring>
#include <string_view>

#include "tool/models/mesh_text.h"

namespace hlr_tool {
namespace {

enum class Value_Type { int8, uint8, int16, uint16, int32, uint32, float32, float64 };

std::optional<Value_Type> type_named(std::string_view name) {
  struct Named {
    const char* name;
    Value_Type type;
  };
  static constexpr Named names[] = {
      {"char", Value_Type::int8},       {"int8", Value_Type::int8},
      {"uchar", Value_Type::uint8},     {"uint8", Value_Type::uint8},
      {"short", Value_Type::int16},     {"int16", Value_Type::int16},
      {"ushort", Value_Type::uint16},   {"uint16", Value_Type::uint16},
      {"int", Value_Type::int32},       {"int32", Value_Type::int32},
      {"uint", Value_Type::uint32},     {"uint32", Value_Type::uint32},
      {"float", Value_Type::float32},   {"float32", Value_Type::float32},
      {"double", Value_Type::float64},  {"float64", Value_Type::float64},
      {"double64", Value_Type::float64}};
  for (const Named& n : names)
    if (name == n.name) return n.type;
  return std::nullopt;
}

std::size_t size_of(Value_Type type) {
  switch (type) {
    case Value_Type::int8:
    case Value_Type::uint8:
      return 1;
    case Value_Type::int16:
    case Value_Type::uint16:
      return 2;
    case Value_Type::int32:
    case Value_Type::uint32:
    case Value_Type::float32:
      return 4;
    case Value_Type::float64:
      return 8;
  }
  return 0;
}

bool is_integer(Value_Type type) {
  return type != Value_Type::float32 && type != Value_Type::float64;
}

enum class Format { ascii, little_endian, big_endian };

// Which property of a vertex is which coordinate; -1 for none.
struct Vertex_Layout {
  std::vector<Value_Type> types;
  int coordinate[3] = {-1, -1, -1};
};

struct Face_Layout {
  std::vector<Value_Type> types;  // for the list: its index type
  int list = -1;                  // the position of the list among the properties
  Value_Type count_type = Value_Type::uint8;
};

struct Header {
  Format format = Format::ascii;
  std::uint64_t vertex_count = 0, face_count = 0;
  Vertex_Layout vertex;
  Face_Layout face;
  const char* body = nullptr;  // the first byte after the header
};

std::vector<std::string_view> words_of(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_blank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !is_blank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// The header, line by line; every line ends in "\n" or "\r\n".
Header read_header(const char* begin, const char* end) {
  Header header;
  const char* p = begin;
  const auto next_line = [&]() -> std::string_view {
    const char* start = p;
    const char* newline = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
    if (newline == nullptr) throw Leave_To_Assimp{};
    p = newline + 1;
    std::string_view line(start, std::size_t(newline - start));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_of(std::string_view("\r\f\0", 3)) != std::string_view::npos)
      throw Leave_To_Assimp{};
    return line;
  };
  if (next_line() != "ply") throw Leave_To_Assimp{};
  const std::vector<std::string_view> format = words_of(next_line());
  if (format.size() != 3 || format[0] != "format" || format[2] != "1.0") throw Leave_To_Assimp{};
  if (format[1] == "ascii") {
    header.format = Format::ascii;
  } else if (format[1] == "binary_little_endian") {
    header.format = Format::little_endian;
  } else if (format[1] == "binary_big_endian") {
    header.format = Format::big_endian;
  } else {
    throw Leave_To_Assimp{};
  }
  enum { before_elements, in_vertex, in_face } state = before_elements;
  for (;;) {
    const std::vector<std::string_view> words = words_of(next_line());
    if (words.empty()) throw Leave_To_Assimp{};
    if (words[0] == "end_header" && words.size() == 1) break;
    if (words[0] == "comment" || words[0] == "obj_info") {
      // After an element Assimp would lose the properties that follow.
      if (state != before_elements || (words.size() > 1 && words[1] == "TextureFile"))
        throw Leave_To_Assimp{};
    } else if (words[0] == "element" && words.size() == 3) {
      const char* digits = words[2].data();
      const std::optional<std::uint64_t> count =
          read_unsigned(digits, words[2].data() + words[2].size());
      if (!count || digits != words[2].data() + words[2].size() || *count == 0 ||
          *count > largest_count)
        throw Leave_To_Assimp{};
      if (words[1] == "vertex" && state == before_elements) {
        header.vertex_count = *count;
        state = in_vertex;
      } else if (words[1] == "face" && state == in_vertex) {
        header.face_count = *count;
        state = in_face;
      } else {
        throw Leave_To_Assimp{};
      }
    } else if (words[0] == "property" && words.size() == 3 && state != before_elements) {
      const std::optional<Value_Type> type = type_named(words[1]);
      if (!type) throw Leave_To_Assimp{};
      if (state == in_vertex) {
        const int index = int(header.vertex.types.size());
        header.vertex.types.push_back(*type);
        for (int axis = 0; axis < 3; ++axis) {
          if (words[2] != std::string_view(&"xyz"[axis], 1)) continue;
          if (header.vertex.coordinate[axis] >= 0) throw Leave_To_Assimp{};
          header.vertex.coordinate[axis] = index;
        }
      } else {
        if (words[2] == "vertex_indices" || words[2] == "vertex_index") throw Leave_To_Assimp{};
        header.face.types.push_back(*type);
      }
    } else if (words[0] == "property" && words.size() == 5 && words[1] == "list" &&
               state == in_face && header.face.list < 0 &&
               (words[4] == "vertex_indices" || words[4] == "vertex_index")) {
      const std::optional<Value_Type> count_type = type_named(words[2]);
      const std::optional<Value_Type> index_type = type_named(words[3]);
      if (!count_type || !index_type || !is_integer(*count_type) || !is_integer(*index_type))
        throw Leave_To_Assimp{};
      header.face.list = int(header.face.types.size());
      header.face.types.push_back(*index_type);
      header.face.count_type = *count_type;
    } else {
      throw Leave_To_Assimp{};
    }
  }
  if (state != in_face || header.face.list < 0) throw Leave_To_Assimp{};
  for (int index : header.vertex.coordinate)
    if (index < 0) throw Leave_To_Assimp{};
  // Assimp drops a binary body's first byte when it is a line feed.
  if (header.format != Format::ascii && p < end && *p == '\n' && p[-2] != '\r')
    throw Leave_To_Assimp{};
  header.body = p;
  return header;
}

class Ply_Reader {
 public:
  Ply_Reader(std::string_view bytes, const std::string& path)
      : path_(path),
        begin_(bytes.data()),
        end_(bytes.data() + bytes.size()),
        header_(read_header(begin_, end_)) {}

  Model read() {
    if (header_.format == Format::ascii) {
      read_ascii();
    } else {
      read_binary();
    }
    std::vector<Body_Builder> builders(1);
    builders[0].body.name = "material 0";  // Assimp's PLY material has no name
    builders[0].reserve(mesh_.vertices.size());
    add_imported_mesh(builders[0], mesh_, [&](std::uint32_t v) { return vertex_place(v); });
    return finished_model(path_, builders);
  }

 private:
  // ---- ASCII: a line per element -----------------------------------------

  // One value of `type` on an ASCII line, as Assimp converts it for a
  // coordinate (integers and doubles to float).
  float ascii_coordinate(const char*& p, Value_Type type) const {
    switch (type) {
      case Value_Type::float32:
        return read_real<float>(p, end_, path_, begin_);
      case Value_Type::float64:
        return float(read_real<double>(p, end_, path_, begin_));
      default:
        return float(ascii_integer(p, type));
    }
  }

  // An integer as Assimp reads it for `type`: a sign only for signed
  // types; more than 9 digits (Assimp wraps them) are left to it.
  std::int64_t ascii_integer(const char*& p, Value_Type type) const {
    const bool is_signed =
        type == Value_Type::int8 || type == Value_Type::int16 || type == Value_Type::int32;
    bool negative = false;
    if (is_signed && p < end_ && (*p == '-' || *p == '+')) {
      negative = *p == '-';
      ++p;
    }
    const char* start = p;
    const std::optional<std::uint64_t> value = read_unsigned(p, end_);
    if (!value)
      malformed(path_, begin_, p,
                p < end_ && !is_line_end(*p) ? "expected an integer" : "a value is missing");
    if (p - start > 9) throw Leave_To_Assimp{};
    return negative ? -std::int64_t(*value) : std::int64_t(*value);
  }

  // The start of the next line, after "\n" or "\r\n"; blank lines and a
  // last line without its line end are Assimp's.
  const char* ascii_line_end(const char* p) const {
    skip_blanks(p, end_);
    if (p == end_) throw Leave_To_Assimp{};
    if (*p == '\r') ++p;
    if (p == end_ || *p != '\n') throw Leave_To_Assimp{};  // more values than declared, or a NUL
    ++p;
    if (p < end_ && is_line_end(*p)) throw Leave_To_Assimp{};
    return p;
  }

  void read_ascii() {
    const char* p = header_.body;
    if (p < end_ && is_line_end(*p)) throw Leave_To_Assimp{};
    reserve(std::size_t(end_ - p) / 6 + 1);
    for (std::uint64_t v = 0; v < header_.vertex_count; ++v) {
      if (p == end_) truncated(p, "vertices", v, header_.vertex_count);
      vertex_lines_.push_back(p);
      std::array<float, 3> position{};
      for (std::size_t k = 0; k < header_.vertex.types.size(); ++k) {
        skip_blanks(p, end_);
        const float value = ascii_coordinate(p, header_.vertex.types[k]);
        for (int axis = 0; axis < 3; ++axis)
          if (header_.vertex.coordinate[axis] == int(k)) position[axis] = value;
      }
      mesh_.vertices.push_back(position);
      p = ascii_line_end(p);
    }
    for (std::uint64_t f = 0; f < header_.face_count; ++f) {
      if (p == end_) truncated(p, "faces", f, header_.face_count);
      const char* line = p;
      for (std::size_t k = 0; k < header_.face.types.size(); ++k) {
        skip_blanks(p, end_);
        if (int(k) != header_.face.list) {
          ascii_coordinate(p, header_.face.types[k]);  // read and dropped, as Assimp drops it
          continue;
        }
        const std::int64_t size = ascii_integer(p, header_.face.count_type);
        check_face_size(size, line, std::size_t(std::find(p, end_, '\n') - p) / 2 + 1);
        for (std::int64_t c = 0; c < size; ++c) {
          skip_blanks(p, end_);
          add_corner(ascii_integer(p, header_.face.types[k]), line);
        }
        mesh_.face_sizes.push_back(std::uint8_t(size));
      }
      p = ascii_line_end(p);
    }
  }

  // ---- binary: the values one after another --------------------------------

  template <class T>
  T binary_value(const char*& p) const {
    T value;
    std::memcpy(&value, p, sizeof(T));
    p += sizeof(T);
    if (header_.format == Format::big_endian) {
      if constexpr (sizeof(T) == 2) {
        value = std::bit_cast<T>(__builtin_bswap16(std::bit_cast<std::uint16_t>(value)));
      } else if constexpr (sizeof(T) == 4) {
        value = std::bit_cast<T>(__builtin_bswap32(std::bit_cast<std::uint32_t>(value)));
      } else if constexpr (sizeof(T) == 8) {
        value = std::bit_cast<T>(__builtin_bswap64(std::bit_cast<std::uint64_t>(value)));
      }
    }
    return value;
  }

  // One value; the caller has checked that its bytes are there.
  double binary_number(const char*& p, Value_Type type) const {
    switch (type) {
      case Value_Type::int8:
        return binary_value<std::int8_t>(p);
      case Value_Type::uint8:
        return binary_value<std::uint8_t>(p);
      case Value_Type::int16:
        return binary_value<std::int16_t>(p);
      case Value_Type::uint16:
        return binary_value<std::uint16_t>(p);
      case Value_Type::int32:
        return binary_value<std::int32_t>(p);
      case Value_Type::uint32:
        return binary_value<std::uint32_t>(p);
      case Value_Type::float32:
        return binary_value<float>(p);
      case Value_Type::float64:
        return binary_value<double>(p);
    }
    return 0;
  }

  void read_binary() {
    const char* p = header_.body;
    std::size_t vertex_size = 0;
    for (Value_Type type : header_.vertex.types) vertex_size += size_of(type);
    std::size_t face_fixed_size = size_of(header_.face.count_type);
    std::size_t after_list_size = 0;  // the scalar properties after the list
    for (std::size_t k = 0; k < header_.face.types.size(); ++k) {
      if (int(k) == header_.face.list) continue;
      face_fixed_size += size_of(header_.face.types[k]);
      if (int(k) > header_.face.list) after_list_size += size_of(header_.face.types[k]);
    }
    const std::size_t index_size = size_of(header_.face.types[std::size_t(header_.face.list)]);

    if (std::uint64_t(end_ - p) / vertex_size < header_.vertex_count)
      truncated(end_, "vertices", std::uint64_t(end_ - p) / vertex_size, header_.vertex_count);
    reserve(std::size_t(end_ - p) / 6 + 1);
    for (std::uint64_t v = 0; v < header_.vertex_count; ++v) {
      std::array<float, 3> position{};
      for (std::size_t k = 0; k < header_.vertex.types.size(); ++k) {
        const Value_Type type = header_.vertex.types[k];
        // Doubles and integers become float as Assimp casts them.
        float value;
        if (type == Value_Type::float32) {
          value = binary_value<float>(p);
        } else {
          value = float(binary_number(p, type));
        }
        for (int axis = 0; axis < 3; ++axis)
          if (header_.vertex.coordinate[axis] == int(k)) position[axis] = value;
      }
      mesh_.vertices.push_back(position);
    }
    for (std::uint64_t f = 0; f < header_.face_count; ++f) {
      if (std::size_t(end_ - p) < face_fixed_size) truncated(end_, "faces", f, header_.face_count);
      for (std::size_t k = 0; k < header_.face.types.size(); ++k) {
        if (int(k) != header_.face.list) {
          binary_number(p, header_.face.types[k]);
          continue;
        }
        const auto size = std::int64_t(binary_number(p, header_.face.count_type));
        check_face_size(size, end_, std::size_t(end_ - p) / index_size);
        if (std::size_t(end_ - p) < std::size_t(size) * index_size + after_list_size)
          truncated(end_, "faces", f, header_.face_count);
        for (std::int64_t c = 0; c < size; ++c)
          add_corner(std::int64_t(binary_number(p, header_.face.types[k])), nullptr, f);
        mesh_.face_sizes.push_back(std::uint8_t(size));
      }
    }
  }

  // ---- shared -----------------------------------------------------------------

  void reserve(std::size_t room) {
    mesh_.vertices.reserve(std::min<std::size_t>(header_.vertex_count, room));
    mesh_.face_sizes.reserve(std::min<std::size_t>(header_.face_count, room));
    mesh_.corners.reserve(std::min<std::size_t>(header_.face_count * 3, room * 3));
  }

  // 1 to 4 corners are read here; a larger face whose indices the file
  // holds is Assimp's to triangulate; anything else is broken.
  void check_face_size(std::int64_t size, const char* at, std::size_t room) const {
    if (size >= 1 && size <= 4) return;
    if (size > 4 && std::size_t(size) <= room) throw Leave_To_Assimp{};
    fail(at, "a face claims " + std::to_string(size) + " corners");
  }

  void add_corner(std::int64_t index, const char* line, std::uint64_t face = 0) {
    if (index < 0 || std::uint64_t(index) >= mesh_.vertices.size()) {
      const std::string message =
          "vertex index " + std::to_string(index) + " is out of range (the file has " +
          std::to_string(mesh_.vertices.size()) + " vertices, numbered from 0)";
      if (line != nullptr) malformed(path_, begin_, line, message);
      throw input_error(path_ + ": face " + std::to_string(face + 1) + ": " + message);
    }
    mesh_.corners.push_back(std::uint32_t(index));
  }

  [[noreturn]] void truncated(const char* at, const char* what, std::uint64_t read,
                              std::uint64_t declared) const {
    fail(at, "the file ends after " + std::to_string(read) + " of its " + std::to_string(declared) +
                 " " + what);
  }

  [[noreturn]] void fail(const char* at, const std::string& message) const {
    if (header_.format == Format::ascii) malformed(path_, begin_, at, message);
    throw input_error(path_ + ": " + message);
  }

  std::string vertex_place(std::uint32_t v) const {
    if (header_.format == Format::ascii)
      return path_ + ":" + std::to_string(line_of(begin_, vertex_lines_[v]));
    return path_ + ": vertex " + std::to_string(v);
  }

  const std::string& path_;
  const char* begin_;
  const char* end_;
  Header header_;
  Imported_Mesh mesh_;
  std::vector<const char*> vertex_lines_;  // ASCII only
};

}  // namespace

std::optional<Model> read_ply_file(std::string_view bytes, const std::string& path) {
  return Ply_Reader(bytes, path).read();
}

}  // namespace hlr_tool
