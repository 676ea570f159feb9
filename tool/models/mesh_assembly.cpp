#include "tool/models/mesh_assembly.h"

#include <cmath>
#include <utility>

#include "tool/common/errors.h"
#include "tool/models/position_key.h"

namespace hlr_tool {
namespace {

constexpr std::uint32_t no_vertex = std::numeric_limits<std::uint32_t>::max();

Position_Key key_of(const Model_Point& p) { return Position_Key::of(p.x, p.y, p.z); }

// The concave corner of a quadrilateral, or 0 when it has none: the first
// corner where the angles to its neighbours, seen across the diagonal from
// it, add up to more than pi. Single precision throughout, in Assimp's
// order of operations (its triangulation step), so that borderline quads
// split where Assimp splits them.
struct Vector3f {
  float x, y, z;
};

Vector3f minus(const std::array<float, 3>& a, const std::array<float, 3>& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

// Assimp's Normalize: a zero vector stays as it is; otherwise each
// component is multiplied by the reciprocal of the length.
Vector3f normalized(Vector3f v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length == 0.0f) return v;
  const float inverse = 1.0f / length;
  return {v.x * inverse, v.y * inverse, v.z * inverse};
}

float dot(const Vector3f& a, const Vector3f& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

unsigned concave_corner(const Imported_Mesh& mesh, const std::uint32_t* quad) {
  constexpr float pi = 3.1415926538f;
  for (unsigned i = 0; i < 4; ++i) {
    const auto& corner = mesh.vertices[quad[i]];
    const Vector3f left = normalized(minus(mesh.vertices[quad[(i + 3) % 4]], corner));
    const Vector3f diagonal = normalized(minus(mesh.vertices[quad[(i + 2) % 4]], corner));
    const Vector3f right = normalized(minus(mesh.vertices[quad[(i + 1) % 4]], corner));
    const float angle = std::acos(dot(left, diagonal)) + std::acos(dot(right, diagonal));
    if (angle > pi) return i;
  }
  return 0;
}

// A face after triangulation: 1 to 3 indices into the mesh's vertices.
struct Face {
  std::uint32_t index[3];
  unsigned size;
};

// Assimp's triangulation of a mesh with polygons. It marks each polygon by
// the first index its triangles share; a triangle or a quad's pair that
// would begin with the same index as the polygon before is rotated so that
// it does not, and the rotated corner order is what reaches the bodies.
class Triangulation {
 public:
  template <class Emit>
  void add(const Imported_Mesh& mesh, const std::uint32_t* face, unsigned size, const Emit& emit) {
    if (size == 3) {
      Face t{{face[0], face[1], face[2]}, 3};
      if (t.index[0] == last_first_) {
        std::swap(t.index[0], t.index[2]);
        std::swap(t.index[1], t.index[2]);
      }
      last_first_ = t.index[0];
      emit(t);
    } else if (size == 4) {
      const unsigned s = concave_corner(mesh, face);
      Face first{{face[s], face[(s + 1) % 4], face[(s + 2) % 4]}, 3};
      Face second{{face[s], face[(s + 2) % 4], face[(s + 3) % 4]}, 3};
      if (first.index[0] == last_first_) {
        std::swap(first.index[0], first.index[2]);
        std::swap(first.index[1], first.index[2]);
        std::swap(second.index[1], second.index[2]);
        std::swap(second.index[0], second.index[2]);
      }
      last_first_ = first.index[0];
      emit(first);
      emit(second);
    } else {
      Face f{{face[0], size > 1 ? face[1] : 0, 0}, size};
      emit(f);
    }
  }

 private:
  std::uint32_t last_first_ = no_vertex;
};

}  // namespace

void Body_Builder::reserve(std::size_t expected_positions) {
  std::size_t capacity = 16;
  while (capacity < expected_positions * 2) capacity *= 2;
  if (capacity <= slots_.size()) return;
  body.positions.reserve(expected_positions);
  slots_.assign(capacity, empty_slot);
  const std::size_t mask = capacity - 1;
  for (std::uint32_t i = 0; i < body.positions.size(); ++i) {
    std::size_t s = Position_Key_Hash{}(key_of(body.positions[i])) & mask;
    while (slots_[s] != empty_slot) s = (s + 1) & mask;
    slots_[s] = i;
  }
}

void Body_Builder::grow() { reserve(std::max<std::size_t>(16, slots_.size())); }

std::uint32_t Body_Builder::weld(const Model_Point& p) {
  // Kept at most half full, so a probe ends within a few slots.
  if ((body.positions.size() + 1) * 2 > slots_.size()) grow();
  const Position_Key key = key_of(p);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = Position_Key_Hash{}(key)&mask;; s = (s + 1) & mask) {
    const std::uint32_t held = slots_[s];
    if (held == empty_slot) {
      slots_[s] = std::uint32_t(body.positions.size());
      body.positions.push_back(p);
      return slots_[s];
    }
    if (key_of(body.positions[held]) == key) return held;
  }
}

void add_imported_mesh(Body_Builder& builder, const Imported_Mesh& mesh,
                       const Vertex_Place& place) {
  Body& body = builder.body;
  std::vector<std::uint32_t> body_index(mesh.vertices.size(), no_vertex);
  const auto vertex = [&](std::uint32_t v) {
    if (body_index[v] == no_vertex) {
      // Assimp's identity scene graph: x * 1 + ... + 0 turns -0 into +0.
      const auto& f = mesh.vertices[v];
      const Model_Point p{double(f[0]) + 0.0, double(f[1]) + 0.0, double(f[2]) + 0.0};
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
        throw input_error(place(v) + ": coordinate is not finite");
      body_index[v] = builder.weld(p);
    }
    return body_index[v];
  };
  bool line_open = false;  // the body's last line may be continued
  const auto emit = [&](const Face& face) {
    if (face.size == 3) {
      const Triangle t{vertex(face.index[0]), vertex(face.index[1]), vertex(face.index[2])};
      // Corners that welded together leave no area: nothing to draw.
      if (t[0] != t[1] && t[1] != t[2] && t[2] != t[0]) body.triangles.push_back(t);
    } else if (face.size == 2) {
      // The second end welds first, as it always has in this reader.
      const std::uint32_t b = vertex(face.index[1]);
      const std::uint32_t a = vertex(face.index[0]);
      if (a == b) return;
      if (line_open && body.lines.back().back() == a) {
        body.lines.back().push_back(b);
        return;
      }
      body.lines.push_back({a, b});
      line_open = true;
    }
  };

  bool polygons = false;
  for (std::uint8_t size : mesh.face_sizes) polygons |= size > 3 || size == 0;
  // A triangle per face, two per quadrilateral: room for them at once
  // rather than copying the list as it grows.
  body.triangles.reserve(body.triangles.size() + mesh.face_sizes.size() * (polygons ? 2 : 1));
  const std::uint32_t* face = mesh.corners.data();
  if (!polygons) {
    for (std::uint8_t size : mesh.face_sizes) {
      emit(Face{{face[0], size > 1 ? face[1] : 0, size > 2 ? face[2] : 0}, size});
      face += size;
    }
    return;
  }
  Triangulation triangulation;
  for (std::uint8_t size : mesh.face_sizes) {
    triangulation.add(mesh, face, size, emit);
    face += size;
  }
}

Model finished_model(const std::string& path, std::vector<Body_Builder>& builders) {
  Model model;
  model.path = path;
  for (Body_Builder& builder : builders) {
    if (!builder.body.triangles.empty() || !builder.body.lines.empty())
      model.bodies.push_back(std::move(builder.body));
  }
  if (model.bodies.empty()) throw input_error(path + ": holds no triangles and no lines");
  return model;
}

}  // namespace hlr_tool
