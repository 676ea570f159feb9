// What the CAD module and its reader process (hlr-cad-read, one per file)
// say to each other over their socket: frames of a kind byte, a length and
// that many bytes. Both ends are built from the same sources, so numbers
// travel in the machine's own byte order.
//
// The conversation, for one file:
//   reader -> module: progress* (reading), at most one fault, then read or
//                     failure
//   module -> reader: tessellate (or the socket closes: the file is not
//                     drawn after all)
//   reader -> module: progress* (tessellating), then shape or failure
// The reader ends after its last frame; a reader that ends without one
// (a crash) or takes too long is the module's to report.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "tool/common/errors.h"

namespace hlr_tool {

enum class Reader_Frame : char {
  progress = 'p',    // reader: Reader_Phase byte, fraction done (double, 0 to 1)
  fault = 'f',       // reader: text; the file reads only in part (keep_going draws it)
  failure = 'e',     // reader: text; the file cannot be used (the last frame)
  read = 'r',        // reader: Read_Summary, then the parts (name, colour)
  shape = 's',       // reader: the parts' shapes, one compound in BinTools' format
  tessellate = 't',  // module: Tessellation_Request
};

enum class Reader_Phase : char { reading = 'r', tessellating = 't' };

// What the reader found in the file, for the default deflection and the
// messages.
struct Read_Summary {
  double box[6] = {0, 0, 0, 0, 0, 0};  // x0, y0, z0, x1, y1, z1; meaningless when !has_box
  bool has_box = false;
  std::int32_t faces = 0;
  std::int32_t dense_faces = 0;  // tessellation.h
  std::int32_t parts = 0;
  // Edges bordering one face only, before and after sewing (-1: not sewn).
  std::int32_t free_edges_before = -1;
  std::int32_t free_edges_after = -1;
};

struct Tessellation_Request {
  double deflection = 0.0;  // model units
  double angle = 0.0;       // radians
  double min_size = 0.0;    // of dense faces' elements, model units; 0: none
  bool in_parallel = false;
};

// Appends values to a frame's payload.
class Payload_Writer {
 public:
  template <class Value>
  void put(const Value& value) {
    static_assert(std::is_trivially_copyable_v<Value>);
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void put_text(std::string_view text) {
    put(std::uint64_t(text.size()));
    bytes_.append(text);
  }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// Reads a payload back; a payload shorter than what is read from it is a
// broken conversation (Tool_Error), never a read past its end.
class Payload_Reader {
 public:
  explicit Payload_Reader(std::string_view bytes) : bytes_(bytes) {}
  template <class Value>
  Value get() {
    static_assert(std::is_trivially_copyable_v<Value>);
    Value value;
    std::memcpy(&value, take(sizeof value).data(), sizeof value);
    return value;
  }
  std::string get_text() { return std::string(take(std::size_t(get<std::uint64_t>()))); }

 private:
  std::string_view take(std::size_t count) {
    if (count > bytes_.size()) throw Tool_Error("the CAD reader process sent a short message");
    const std::string_view taken = bytes_.substr(0, count);
    bytes_.remove_prefix(count);
    return taken;
  }
  std::string_view bytes_;
};

// A frame as it goes over the socket: kind, payload length, payload.
inline std::string frame_bytes(Reader_Frame kind, std::string_view payload) {
  std::string bytes(1, static_cast<char>(kind));
  const std::uint64_t length = payload.size();
  bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
  bytes.append(payload);
  return bytes;
}

inline constexpr std::size_t frame_header_bytes = 1 + sizeof(std::uint64_t);

// The payload length of the frame starting `buffer`, once its header has
// arrived.
inline std::optional<std::uint64_t> frame_length(std::string_view buffer) {
  if (buffer.size() < frame_header_bytes) return std::nullopt;
  std::uint64_t length = 0;
  std::memcpy(&length, buffer.data() + 1, sizeof length);
  return length;
}

// The reader's program, installed beside the CAD module.
inline constexpr const char* reader_program_name = "hlr-cad-read";

// The socket the reader talks on (its standard output is Open CASCADE's,
// and goes nowhere).
inline constexpr int reader_socket_fd = 3;

}  // namespace hlr_tool
