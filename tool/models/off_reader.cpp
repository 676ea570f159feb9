// OFF: an "OFF" header, optionally with the prefixes ST (texture
// coordinates), C (colours) and N (normals), the counts of vertices, faces
// and edges, a line per vertex (three coordinates, then what the prefixes
// add, which is checked as Assimp checks it and dropped) and a line per face
// (a count, that many vertex indices from 0, the rest ignored). Blank lines
// between records are skipped, and '#' starts a comment before the first
// vertex. Homogeneous coordinates and other dimensions (4OFF, nOFF) and faces
// of five to nine corners are left to Assimp.
//
// Assimp 5.2 skips a face line whose count is 0 or above 9 (a comment or a
// blank line among the faces reads so) and then keeps one face fewer at the
// end of the list: the faces it keeps are the first ones, as many as the
// header's count less the lines it skipped. That is reproduced here.
//
// Assimp takes no more than 4096 characters as one line, and a line with a
// NUL or form feed ends there for it; such files are left to it too.
#include <cstring>
#include <exception>
#include <future>
#include <system_error>

#include "tool/models/mesh_text.h"

namespace hlr_tool {
namespace {

constexpr std::ptrdiff_t longest_line = 4096;

// Blanks, line ends, and lines starting with '#' (Assimp's OFF tokens).
void skip_to_token(const char*& p, const char* end) {
  for (;;) {
    while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
    if (p == end || *p != '#') return;
    while (p < end && !is_line_end(*p)) {
      if (*p == '\0') throw Leave_To_Assimp{};
      ++p;
    }
  }
}

// The rest of a record's line, checked as Assimp reads lines, and the line
// ends and blank lines after it.
void finish_line(const char*& p, const char* end, const char* line_start) {
  const char* q = p;
  while (q < end && !is_line_end(*q)) {
    if (*q == '\0' || *q == '\f') throw Leave_To_Assimp{};
    ++q;
  }
  if (q - line_start >= longest_line) throw Leave_To_Assimp{};
  while (q < end && (is_line_end(*q) || *q == '\f')) {
    if (*q == '\f') throw Leave_To_Assimp{};
    ++q;
  }
  p = q;
}

std::uint32_t read_header_count(const char*& p, const char* end) {
  const std::optional<std::uint64_t> count = read_unsigned(p, end);
  // No count, or zero vertices or faces: Assimp's own message says why.
  if (!count || *count > largest_count) throw Leave_To_Assimp{};
  skip_to_token(p, end);
  return std::uint32_t(*count);
}

// Files from this size on read their faces on a second thread, when there
// is one, while the vertices are read.
constexpr std::size_t faces_beside_bytes = std::size_t(1) << 18;

// The faces of the file as read_faces leaves them.
struct Face_Lists {
  std::vector<std::uint32_t> corners;
  std::vector<std::uint8_t> face_sizes;
};

// The faces read from where they were guessed to start, or why they could
// not be.
struct Faces_Ahead {
  const char* start;
  Face_Lists faces;
  std::exception_ptr failure;
};

class Off_Reader {
 public:
  Off_Reader(std::string_view bytes, const std::string& path, std::size_t threads)
      : path_(path), begin_(bytes.data()), end_(bytes.data() + bytes.size()), threads_(threads) {}

  Model read() {
    const char* p = begin_;
    skip_to_token(p, end_);
    read_prefixes(p);
    if (end_ - p < 4 || std::memcmp(p, "OFF", 3) != 0 || !(is_blank(p[3]) || is_line_end(p[3])))
      throw Leave_To_Assimp{};
    p += 3;
    skip_to_token(p, end_);
    const std::uint32_t vertex_count = read_header_count(p, end_);
    const std::uint32_t face_count = read_header_count(p, end_);
    read_header_count(p, end_);  // edges: not used
    if (vertex_count == 0 || face_count == 0) throw Leave_To_Assimp{};

    vertices_start_ = p;
    // Where the faces start is known only once the vertices are read; with
    // a vertex per line it is most likely after vertex_count lines, and the
    // faces are read from there beside the vertices, kept only if the
    // vertices end there indeed.
    std::future<Faces_Ahead> faces_beside;
    if (threads_ > 1 && !texture_coordinates_ && !colours_ && !normals_ &&
        std::size_t(end_ - p) >= faces_beside_bytes) {
      // Their arrays sized here, on this thread: the faces' thread's own
      // arena would take them in small pages, and keep them when freed.
      Face_Lists sized;
      reserve_faces(sized, p, face_count);
      try {
        faces_beside = std::async(std::launch::async, [this, vertex_count, face_count,
                                                       faces = std::move(sized)]() mutable {
          Faces_Ahead ahead{record_after(vertices_start_, vertex_count), std::move(faces), nullptr};
          try {
            read_faces(ahead.start, face_count, vertex_count, ahead.faces);
          } catch (...) {
            ahead.failure = std::current_exception();
          }
          return ahead;
        });
      } catch (const std::system_error&) {
      }
    }
    // The loops take the position by value: kept in a register, it is not
    // stored at every byte read (a char read may alias it). A failure
    // leaves after the faces' thread is done (the future waits for it).
    p = read_vertices(p, vertex_count);
    Face_Lists faces;
    Faces_Ahead ahead{nullptr, {}, nullptr};
    if (faces_beside.valid()) ahead = faces_beside.get();
    if (ahead.start == p) {
      // What reading the faces in turn would have found, failure included.
      if (ahead.failure) std::rethrow_exception(ahead.failure);
      faces = std::move(ahead.faces);
    } else {
      read_faces(p, face_count, vertex_count, faces);
    }
    mesh_.corners = std::move(faces.corners);
    mesh_.face_sizes = std::move(faces.face_sizes);

    std::vector<Body_Builder> builders(1);
    builders[0].body.name = "material 0";  // Assimp's OFF material has no name of its own
    builders[0].reserve(mesh_.vertices.size());
    add_imported_mesh(builders[0], mesh_, [&](std::uint32_t v) { return vertex_place(v); });
    return finished_model(path_, builders);
  }

 private:
  // The header's prefixes, in the only order Assimp takes them.
  void read_prefixes(const char*& p) {
    if (end_ - p > 2 && p[0] == 'S' && p[1] == 'T') {
      texture_coordinates_ = true;
      p += 2;
    }
    if (end_ - p > 1 && p[0] == 'C') {
      colours_ = true;
      ++p;
    }
    if (end_ - p > 1 && p[0] == 'N') {
      normals_ = true;
      ++p;
    }
  }

  // A number Assimp reads and drops; `consume` false for the ones its
  // reader reads without moving on (the next read starts at the same place).
  void check_number(const char*& p, bool consume = true) const {
    skip_blanks(p, end_);
    const char* q = p;
    read_real<float>(q, end_, path_, begin_);
    if (consume) p = q;
  }

  // What the prefixes add after the position, checked as Assimp reads it:
  // its colour takes one to four values, but it reads on at a line's end
  // (and then refuses the file), so in effect four unless a '#' follows one
  // of them directly.
  void check_extras(const char*& p) const {
    if (normals_) {
      check_number(p);
      check_number(p);
      check_number(p, false);
    }
    if (colours_) {
      check_number(p);
      for (int k = 0; k < 3; ++k) {
        if (p < end_ && *p == '#') break;
        check_number(p);
      }
    }
    if (texture_coordinates_) {
      check_number(p);
      check_number(p, false);
    }
  }

  const char* read_vertices(const char* p, std::uint32_t count) {
    // Each vertex line takes at least six bytes; a count the file cannot
    // hold is found short below, without reserving for it.
    mesh_.vertices.reserve(std::min<std::size_t>(count, std::size_t(end_ - p) / 6 + 1));
    for (std::uint32_t v = 0; v < count; ++v) {
      if (p == end_)
        malformed(path_, begin_, p,
                  "the file ends after " + std::to_string(v) + " of its " + std::to_string(count) +
                      " vertices");
      const char* line = p;
      std::array<float, 3> position;
      for (float& coordinate : position) {
        skip_blanks(p, end_);
        coordinate = read_real<float>(p, end_, path_, begin_);
      }
      check_extras(p);
      mesh_.vertices.push_back(position);
      finish_line(p, end_, line);
    }
    return p;
  }

  // Most face lines read "3 a b c" (or "4 a b c d"): the count at the
  // line's start, indices in range of fewer than eight digits, blanks
  // between them and nothing after them but blanks. Such a line is read
  // here straight through and the position after its line end returned;
  // for any other line, null, and read_faces reads it the long way, which
  // gives the same faces for these lines and the messages for the others.
  const char* plain_face(const char* p, std::size_t vertex_count, Face_Lists& faces) const {
    namespace detail = text_numbers_detail;
    constexpr std::ptrdiff_t longest = 64;  // longer lines take the long way
    if (!detail::eight_at_once || end_ - p < longest + 8) return nullptr;
    const char* const limit = p + longest;
    if (*p != '3' && *p != '4') return nullptr;
    const int size = *p - '0';
    const char* q = p + 1;
    std::uint32_t corners[4];
    // Every read below is before limit + 8, inside the file.
    for (int k = 0; k < size; ++k) {
      if (q >= limit || !is_blank(*q)) return nullptr;
      while (q < limit && is_blank(*q)) ++q;
      std::uint64_t word;
      std::memcpy(&word, q, 8);
      const int digits = detail::leading_digits(word);
      if (digits == 0 || digits == 8) return nullptr;
      const std::uint64_t index = detail::value_of_digits(word, digits);
      if (index >= vertex_count) return nullptr;
      corners[k] = std::uint32_t(index);
      q += digits;
    }
    while (q < limit && is_blank(*q)) ++q;
    if (q >= limit || !is_line_end(*q)) return nullptr;
    while (q < end_ && is_line_end(*q)) ++q;
    if (q < end_ && *q == '\f') return nullptr;  // Assimp's to read
    for (int k = 0; k < size; ++k) faces.corners.push_back(corners[k]);
    faces.face_sizes.push_back(std::uint8_t(size));
    return q;
  }

  // Room for `count` faces of three corners, or for as many as the bytes
  // from p on can hold (each face line takes at least six): a count the
  // file cannot hold is found short, without reserving for it.
  void reserve_faces(Face_Lists& faces, const char* p, std::uint32_t count) const {
    const std::size_t room = std::size_t(end_ - p) / 6 + 1;
    faces.face_sizes.reserve(std::min<std::size_t>(count, room));
    faces.corners.reserve(std::min<std::size_t>(std::size_t(count) * 3, room * 3));
  }

  // The faces from p on, into `faces`; the vertices number vertex_count.
  // Reads nothing but the file, so it may run beside read_vertices.
  void read_faces(const char* p, std::uint32_t count, std::size_t vertex_count,
                  Face_Lists& faces) const {
    reserve_faces(faces, p, count);
    std::uint32_t kept = count;  // the header's count less the lines skipped
    std::uint32_t f = 0;
    while (f < count) {
      // Assimp reads face lines until it has the header's count or the
      // file ends; it keeps the first `kept` of them.
      if (p == end_) {
        if (f >= kept) break;
        malformed(path_, begin_, p,
                  "the file ends after " + std::to_string(f) + " of its " + std::to_string(kept) +
                      " faces");
      }
      if (const char* next = plain_face(p, vertex_count, faces)) {
        p = next;
        ++f;
        continue;
      }
      const char* line = p;
      skip_blanks(p, end_);
      const std::optional<std::uint64_t> size =
          p < end_ && is_digit(*p) ? read_unsigned(p, end_) : std::optional<std::uint64_t>(0);
      if (*size == 0 || *size > 9) {
        if (kept == 0) throw Leave_To_Assimp{};  // Assimp's count would wrap
        --kept;
        finish_line(p, end_, line);
        continue;
      }
      if (*size > 4) throw Leave_To_Assimp{};  // Assimp's ear clipping
      for (std::uint64_t k = 0; k < *size; ++k) {
        skip_blanks(p, end_);
        const std::optional<std::uint64_t> index = read_unsigned(p, end_);
        if (!index)
          malformed(path_, begin_, p,
                    "a face of " + std::to_string(*size) + " corners has " +
                        (p == end_ || is_line_end(*p) ? "only " + std::to_string(k) + " indices"
                                                      : "something else than a vertex index"));
        if (*index >= vertex_count)
          malformed(path_, begin_, line,
                    "vertex index " + std::to_string(*index) + " is out of range (the file has " +
                        std::to_string(vertex_count) + " vertices, numbered from 0)");
        faces.corners.push_back(std::uint32_t(*index));
      }
      faces.face_sizes.push_back(std::uint8_t(*size));
      ++f;
      finish_line(p, end_, line);
    }
    std::size_t corners = 0;
    for (std::uint32_t k = 0; k < kept; ++k) corners += faces.face_sizes[k];
    faces.face_sizes.resize(kept);
    faces.corners.resize(corners);
  }

  // Where the record `lines` lines after `p` most likely starts: a record
  // per line, blank lines skipped. A guess the caller checks: a line
  // ended by '\r' alone is not seen as one.
  const char* record_after(const char* p, std::uint32_t lines) const {
    for (std::uint32_t k = 0; k < lines && p < end_; ++k) {
      const void* newline = std::memchr(p, '\n', std::size_t(end_ - p));
      p = newline != nullptr ? static_cast<const char*>(newline) : end_;
      while (p < end_ && is_line_end(*p)) ++p;
    }
    return p;
  }

  // Vertex v is the v-th record line after the header; only a message
  // about that vertex asks for it.
  std::string vertex_place(std::uint32_t v) const {
    const char* p = vertices_start_;
    for (std::uint32_t k = 0; k < v; ++k) {
      while (p < end_ && !is_line_end(*p)) ++p;
      while (p < end_ && is_line_end(*p)) ++p;
    }
    return path_ + ":" + std::to_string(line_of(begin_, p));
  }

  const std::string& path_;
  const char* begin_;
  const char* end_;
  std::size_t threads_;
  const char* vertices_start_ = nullptr;
  bool texture_coordinates_ = false, colours_ = false, normals_ = false;
  Imported_Mesh mesh_;
};

}  // namespace

std::optional<Model> read_off_file(std::string_view bytes, const std::string& path,
                                   std::size_t threads) {
  return Off_Reader(bytes, path, threads).read();
}

}  // namespace hlr_tool
