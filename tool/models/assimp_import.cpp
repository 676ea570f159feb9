// The Assimp module (libhlr_assimp.so): reading a model file through
// Assimp, every format it reads, the scene graph applied, materials as
// bodies. Only this module links Assimp; assimp_entry.h says why.
#include "tool/models/assimp_entry.h"

#include "tool/common/errors.h"
#include "tool/common/module_open.h"
#include "tool/models/mesh_assembly.h"

#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

namespace hlr_tool {
namespace {

// Row-major 4x4 affine transform in double, so that a deep scene graph does
// not pile up single-precision rounding before the points are welded.
struct Transform {
  double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

  static Transform from(const aiMatrix4x4& a) {
    Transform t;
    const ai_real* rows[3] = {a[0], a[1], a[2]};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 4; ++c) t.m[r][c] = double(rows[r][c]);
    return t;
  }

  // this * child: child's transform applied first.
  Transform then_inside(const Transform& child) const {
    Transform t;
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 4; ++c) {
        double sum = m[r][0] * child.m[0][c] + m[r][1] * child.m[1][c] + m[r][2] * child.m[2][c];
        if (c == 3) sum += m[r][3];
        t.m[r][c] = sum;
      }
    }
    return t;
  }

  Model_Point apply(const aiVector3D& v) const {
    const double x = double(v.x), y = double(v.y), z = double(v.z);
    return {m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3],
            m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3],
            m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3]};
  }
};

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

std::uint32_t color_byte(float channel) {
  const double c = std::isfinite(channel) ? std::clamp(double(channel), 0.0, 1.0) : 0.0;
  return std::uint32_t(std::lround(c * 255.0));
}

// The diffuse colour, always opaque: a drawing of edges has no use for a
// material's transparency, and files disagree on what "Tr" means.
// Assimp's stand-in materials for files without one (named so, or unnamed
// as the OFF reader makes it, with a grey diffuse) give no colour.
std::optional<Color_ARGB> material_color(const aiMaterial& material) {
  aiString name;
  if (material.Get(AI_MATKEY_NAME, name) != AI_SUCCESS || name.length == 0 ||
      std::string(name.C_Str()) == AI_DEFAULT_MATERIAL_NAME)
    return std::nullopt;
  aiColor4D diffuse;
  if (aiGetMaterialColor(&material, AI_MATKEY_COLOR_DIFFUSE, &diffuse) != AI_SUCCESS)
    return std::nullopt;
  return 0xFF000000u | color_byte(diffuse.r) << 16 | color_byte(diffuse.g) << 8 |
         color_byte(diffuse.b);
}

std::string material_name(const aiScene& scene, unsigned index) {
  if (index >= scene.mNumMaterials || scene.mMaterials[index] == nullptr)
    return "material " + std::to_string(index);
  aiString name;
  if (scene.mMaterials[index]->Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0)
    return name.C_Str();
  return "material " + std::to_string(index);
}

// The up axis a file declares, as Assimp's importers report it in the
// scene's metadata (FBX does: UpAxis 0, 1 or 2 and UpAxisSign 1 or -1);
// nullopt when it says nothing usable.
std::optional<Up_Axis> declared_up_axis(const aiScene& scene) {
  if (scene.mMetaData == nullptr) return std::nullopt;
  std::int32_t axis = -1, sign = 1;
  if (!scene.mMetaData->Get("UpAxis", axis)) return std::nullopt;
  scene.mMetaData->Get("UpAxisSign", sign);
  static constexpr Up_Axis positive[] = {Up_Axis::x, Up_Axis::y, Up_Axis::z};
  static constexpr Up_Axis negative[] = {Up_Axis::minus_x, Up_Axis::minus_y, Up_Axis::minus_z};
  if (axis < 0 || axis > 2 || (sign != 1 && sign != -1)) return std::nullopt;
  return (sign > 0 ? positive : negative)[axis];
}

bool is_finite(const Model_Point& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

constexpr std::uint32_t no_vertex = std::numeric_limits<std::uint32_t>::max();

class Model_Reader {
 public:
  Model_Reader(const std::string& path, const aiScene& scene) : path_(path), scene_(scene) {}

  Model read() {
    walk_nodes();
    return finished_model(path_, builders_);
  }

 private:
  // Depth-first over the scene graph with an explicit stack, so a file
  // with a very deep hierarchy cannot exhaust the call stack.
  void walk_nodes() {
    if (scene_.mRootNode == nullptr) return;
    std::vector<std::pair<const aiNode*, Transform>> pending;
    pending.emplace_back(scene_.mRootNode, Transform::from(scene_.mRootNode->mTransformation));
    while (!pending.empty()) {
      auto [node, transform] = pending.back();
      pending.pop_back();
      const unsigned mesh_count = node->mMeshes != nullptr ? node->mNumMeshes : 0;
      for (unsigned i = 0; i < mesh_count; ++i) {
        const unsigned mesh_index = node->mMeshes[i];
        if (mesh_index < scene_.mNumMeshes && scene_.mMeshes[mesh_index] != nullptr)
          add_mesh(*scene_.mMeshes[mesh_index], transform);
      }
      const unsigned child_count = node->mChildren != nullptr ? node->mNumChildren : 0;
      for (unsigned i = child_count; i-- > 0;) {
        const aiNode* child = node->mChildren[i];
        if (child == nullptr) continue;
        pending.emplace_back(child, transform.then_inside(Transform::from(child->mTransformation)));
      }
    }
  }

  Body_Builder& builder_for(unsigned material_index) {
    auto [it, inserted] = builder_of_material_.try_emplace(material_index, builders_.size());
    if (inserted) {
      builders_.emplace_back();
      Body& body = builders_.back().body;
      body.name = material_name(scene_, material_index);
      if (material_index < scene_.mNumMaterials && scene_.mMaterials[material_index] != nullptr)
        body.color = material_color(*scene_.mMaterials[material_index]);
    }
    return builders_[it->second];
  }

  // Only the vertices a triangle or line uses enter the body, so a
  // file's stray points do not widen the framing.
  void add_mesh(const aiMesh& mesh, const Transform& transform) {
    if (mesh.mVertices == nullptr || mesh.mFaces == nullptr) return;  // nothing to place
    Body_Builder& builder = builder_for(mesh.mMaterialIndex);
    std::vector<std::uint32_t> body_index(mesh.mNumVertices, no_vertex);
    const auto vertex = [&](unsigned v) {
      if (v >= mesh.mNumVertices)
        throw input_error(path_ + ": a face refers to vertex " + std::to_string(v + 1) +
                          " of mesh '" + mesh.mName.C_Str() + "', which has only " +
                          std::to_string(mesh.mNumVertices));
      if (body_index[v] == no_vertex) {
        const Model_Point p = transform.apply(mesh.mVertices[v]);
        if (!is_finite(p))
          throw input_error(path_ + ": coordinate is not finite (vertex " + std::to_string(v + 1) +
                            " of mesh '" + mesh.mName.C_Str() + "')");
        body_index[v] = builder.weld(p);
      }
      return body_index[v];
    };
    Body& body = builder.body;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const aiFace& face = mesh.mFaces[f];
      if (face.mIndices == nullptr) continue;
      if (face.mNumIndices == 3) {
        const Triangle t{vertex(face.mIndices[0]), vertex(face.mIndices[1]),
                         vertex(face.mIndices[2])};
        // Corners that welded together leave no area: nothing to draw.
        if (t[0] != t[1] && t[1] != t[2] && t[2] != t[0]) body.triangles.push_back(t);
      } else if (face.mNumIndices == 2) {
        // The second end welds first, as it always has (mesh_assembly.cpp
        // keeps the same order).
        const std::uint32_t b = vertex(face.mIndices[1]);
        add_line_segment(body, vertex(face.mIndices[0]), b);
      }
    }
    line_open_ = false;
  }

  // Assimp hands a polyline over as separate two-point segments; those
  // that continue where the previous one ended are joined again.
  void add_line_segment(Body& body, std::uint32_t a, std::uint32_t b) {
    if (a == b) return;
    if (line_open_ && body.lines.back().back() == a) {
      body.lines.back().push_back(b);
      return;
    }
    body.lines.push_back({a, b});
    line_open_ = true;
  }

  const std::string& path_;
  const aiScene& scene_;
  std::vector<Body_Builder> builders_;
  std::unordered_map<unsigned, std::size_t> builder_of_material_;
  bool line_open_ = false;  // the body's last line may be continued
};

Model read_through_assimp(const std::string& path, std::optional<Up_Axis>& declared_up) {
  Assimp::Importer importer;
  // Only positions, faces, lines and materials matter; the rest is
  // dropped before anything else looks at it.
  importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS,
                              aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS |
                                  aiComponent_COLORS | aiComponent_TEXCOORDS |
                                  aiComponent_BONEWEIGHTS | aiComponent_ANIMATIONS |
                                  aiComponent_TEXTURES | aiComponent_LIGHTS | aiComponent_CAMERAS);
  // No SortByPType and no FindDegenerates: both would take line elements
  // away from the meshes they belong to or turn slivers into lines. No
  // ValidateDataStructure either: it rejects a whole file for one mesh of
  // bare points; the reader checks every index and pointer it follows.
  // No JoinIdenticalVertices: the reader welds by position itself, in the
  // same first-use order, and Assimp's joining (a spatial sort and a hash
  // of every vertex) cost as much as reading the file.
  const unsigned flags = aiProcess_RemoveComponent | aiProcess_Triangulate;
  const aiScene* scene = importer.ReadFile(path, flags);
  if (scene == nullptr)
    throw input_error(path + ": cannot read the model: " + trimmed(importer.GetErrorString()));
  // The importer owns the scene; the reader copies what it needs.
  declared_up = declared_up_axis(*scene);
  return Model_Reader(path, *scene).read();
}

}  // namespace

int hlr_assimp_load(const Assimp_Load_Call* call) {
  return module_call_status(*call->error, "out of memory while reading the model", [call] {
    *call->model = read_through_assimp(*call->path, *call->declared_up);
  });
}

}  // namespace hlr_tool
