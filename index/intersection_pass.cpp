#include "intersection_pass.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "face_index.h"
#include "face_pair.h"
#include "intake_actions.h"
#include "options.h"
#include "parallel.h"
#include "rendition.h"

namespace {

// An intersection line found by the search: the number of the face whose
// handle captures it, and its two points.
struct Found_Line {
  std::uint32_t face;
  KT_Point points[2];
};

// Faces per chunk of the search, and the count below which it runs on the
// calling thread alone.
constexpr std::size_t face_chunk = 1024;
constexpr std::size_t parallel_faces = 4096;

// Every line of face k with the faces numbered below k (those already in
// the index when k is tested, had it been built one face at a time), in
// the order the capture takes them: by k, and for one face in the order
// the index offers its partners. The faces are tested on as many threads
// as the build had; each chunk's lines go to its thread's buffer and are
// gathered chunk by chunk afterwards.
std::vector<Found_Line> find_lines(const HLR_Face_Index& index, float depth_tolerance) {
  const std::size_t n = index.face_count();
  const int team = parallel_team(n, face_chunk, parallel_faces);
  struct Chunk_Lines {
    int thread;
    std::size_t begin, end;
  };
  std::vector<std::vector<Found_Line>> per_thread(static_cast<std::size_t>(team));
  std::vector<Chunk_Lines> per_chunk((n + face_chunk - 1) / face_chunk);
  parallel_chunks(n, face_chunk, team, [&](std::size_t begin, std::size_t end, int thread) {
    std::vector<Found_Line>& lines = per_thread[static_cast<std::size_t>(thread)];
    const std::size_t first = lines.size();
    for (std::size_t k = begin; k < end; ++k) {
      const HLR_Face& a = *index.face(static_cast<std::uint32_t>(k));
      const KT_Point* v = a.vertices;
      const float x_min = std::min(std::min(v[0].x, v[1].x), v[2].x);
      const float x_max = std::max(std::max(v[0].x, v[1].x), v[2].x);
      const float y_min = std::min(std::min(v[0].y, v[1].y), v[2].y);
      const float y_max = std::max(std::max(v[0].y, v[1].y), v[2].y);
      const float z_min = std::min(std::min(v[0].z, v[1].z), v[2].z);
      const float z_max = std::max(std::max(v[0].z, v[1].z), v[2].z);
      HLR_Box_Query partners(index, static_cast<std::uint32_t>(k));
      while (const HLR_Face* b = partners.next(x_min, x_max, y_min, y_max, z_min, z_max)) {
        Found_Line line{static_cast<std::uint32_t>(k), {}};
        if (face_pair_line(a, *b, depth_tolerance, line.points)) lines.push_back(line);
      }
    }
    per_chunk[begin / face_chunk] = {thread, first, lines.size()};
  });
  std::vector<Found_Line> lines;
  for (const Chunk_Lines& chunk : per_chunk) {
    const std::vector<Found_Line>& from = per_thread[static_cast<std::size_t>(chunk.thread)];
    lines.insert(lines.end(), from.begin() + static_cast<std::ptrdiff_t>(chunk.begin),
                 from.begin() + static_cast<std::ptrdiff_t>(chunk.end));
  }
  return lines;
}

}  // namespace

void intersection_pass(HLR_Renderer_State& renderer) {
  // The "Hidden Line Color" entry of option_table (not current_option_table)
  // carries each face's hidden colour while its lines are captured; it is
  // restored at the end with each component cut to its low 8 bits.
  KT_Option* hidden_line_color = renderer.option_entries[hidden_line_color_option];
  const KT_Color_Components saved = hidden_line_color->color_value();

  // The index over every face, numbered in face_list order (newest first):
  // as if each face were inserted after its own test. If the build fails,
  // face_index stays null.
  std::vector<HLR_Face*> faces;
  faces.reserve(renderer.face_list.count);
  for (HLR_Face* face = renderer.face_list.head; face != nullptr; face = face->link) {
    faces.push_back(face);
  }
  const HLR_Extent& extent = renderer.extent;
  renderer.face_index = new HLR_Face_Index({extent.x_min, extent.x_max, extent.y_min, extent.y_max},
                                           std::move(faces));
  const HLR_Face_Index& index = *renderer.face_index;

  if (renderer.display_intersections) {
    // Each face is tested against the faces before it in face_list, so every
    // pair is tested once, with the face captured earlier as `a`; its handle
    // gives the line its colour. The lines are found first, on the threads,
    // and captured here in that order, with each face's host calls as if
    // its test ran in between.
    const std::vector<Found_Line> lines = find_lines(index, renderer.depth_tolerance);
    std::size_t next_line = 0;
    for (std::uint32_t k = 0; k < index.face_count(); ++k) {
      const HLR_Face* face = index.face(k);
      KT_Rendition handle = *face->rendition;
      handle.set_color(face->intersection_color, false);
      handle.set_line_pattern(renderer.intersection_line_pattern);
      const KT_Color_Components c = unpack_color(face->hidden_color);
      hidden_line_color->set(KT_Option_Value(c[0], c[1], c[2], c[3]));
      for (; next_line < lines.size() && lines[next_line].face == k; ++next_line) {
        polyline_f(renderer, handle, 2, lines[next_line].points);
      }
    }
  }

  hidden_line_color->set(
      KT_Option_Value(saved[0] & 255, saved[1] & 255, saved[2] & 255, saved[3] & 255));
}
