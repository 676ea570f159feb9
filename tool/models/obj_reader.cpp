// OBJ with its MTL materials. Statements read here: v (three coordinates),
// vt, vn, f (one to four corners), l, o, g, s, usemtl, mtllib and comments;
// in the MTL file newmtl, Kd, Ka, Ks, Ke, Ns, Ni, d, Tr, illum and comments.
// Anything else in either file, polygons of five corners or more, a line
// continued with '\', or a material library that cannot be opened, leaves
// the whole file to Assimp.
//
// The bodies are Assimp's meshes grouped by material, and which mesh a face
// lands in follows Assimp 5.2's bookkeeping, reproduced here statement by
// statement: "o" and "g" open objects, a change of material opens a mesh
// once the current one has faces, a mesh without a material of its own
// takes the default one, and a material library makes its last material
// the current one (and gives it to the current mesh). Meshes are then
// visited object by object, as the Assimp path walks its scene graph.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <unordered_map>

#include "tool/models/mesh_text.h"

namespace hlr_tool {
namespace {

constexpr std::uint32_t no_material = std::numeric_limits<std::uint32_t>::max();
constexpr const char* default_material = "DefaultMaterial";  // Assimp's name for it
// Assimp keeps a material's name in an aiString of 1024 bytes and leaves a
// longer one unset.
constexpr std::size_t longest_name = 1023;

struct Obj_Material {
  std::string name;
  std::array<float, 3> diffuse{0.6f, 0.6f, 0.6f};  // Assimp's default
};

// A face or polyline as written: its positions (0-based, not yet checked
// against the final vertex count, as OBJ may refer forward) and its line.
struct Obj_Face {
  std::uint32_t first;  // into Obj_Reader::corners_
  std::uint32_t count;
  bool polyline;
  const char* line;
};

struct Obj_Mesh {
  std::uint32_t material = no_material;
  std::vector<Obj_Face> faces;
};

struct Obj_Object {
  std::string name;
  std::vector<std::size_t> meshes;
};

std::uint32_t color_byte(float channel) {
  const double c = std::isfinite(channel) ? std::clamp(double(channel), 0.0, 1.0) : 0.0;
  return std::uint32_t(std::lround(c * 255.0));
}

// The words of a line (blanks between them), the line without its "\r".
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

// A word that Assimp counts as a number (it starts with a digit, a sign,
// "nan" or "inf") and reads whole.
bool read_number_word(std::string_view word, float& value) {
  const char c = word.empty() ? '\0' : word[0];
  const bool starts_numeric =
      is_digit(c) || c == '-' || c == '+' || c == 'n' || c == 'N' || c == 'i' || c == 'I';
  if (!starts_numeric) return false;
  const char* p = word.data();
  const char* end = p + word.size();
  return parse_real(p, end, value) == Number_Text::read && p == end;
}

// The numbers of a statement's words after the first; nullopt when one of
// them is not a plain number.
std::optional<std::vector<float>> numbers_of(const std::vector<std::string_view>& words) {
  std::vector<float> values(words.size() - 1);
  for (std::size_t k = 1; k < words.size(); ++k)
    if (!read_number_word(words[k], values[k - 1])) return std::nullopt;
  return values;
}

// The rest of a line after its first word and the blanks after it.
std::string_view rest_after_first_word(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && !is_blank(line[i])) ++i;
  while (i < line.size() && is_blank(line[i])) ++i;
  return line.substr(i);
}

std::string_view trimmed_end(std::string_view text) {
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// The lines of a mapped file: each without its "\n" and a "\r" before it.
// A NUL, form feed, lone "\r" or continuation backslash is Assimp's to read.
template <class Visit>
void for_each_line(const char* begin, const char* end, const Visit& visit) {
  for (const char* p = begin; p < end;) {
    const char* newline = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
    const char* line_end = newline != nullptr ? newline : end;
    std::string_view line(p, std::size_t(line_end - p));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_of(std::string_view("\0\f\r\\", 4)) != std::string_view::npos)
      throw Leave_To_Assimp{};
    visit(line, p);
    p = newline != nullptr ? newline + 1 : end;
  }
}

class Obj_Reader {
 public:
  Obj_Reader(std::string_view bytes, const std::string& path)
      : path_(path), begin_(bytes.data()), end_(bytes.data() + bytes.size()) {
    materials_.push_back({default_material, {}});
    material_index_[default_material] = 0;
  }

  Model read() {
    // Assimp refuses OBJ files under 16 bytes with its own message.
    if (end_ - begin_ < 16) throw Leave_To_Assimp{};
    for_each_line(begin_, end_,
                  [&](std::string_view line, const char* at) { statement(line, at); });
    if (objects_.empty()) throw Leave_To_Assimp{};  // points only: Assimp's
    return assemble();
  }

 private:
  void statement(std::string_view line, const char* at) {
    if (line.empty() || line[0] == '#') return;
    const std::vector<std::string_view> words = words_of(line);
    if (words.empty()) return;                       // blanks only
    if (is_blank(line[0])) throw Leave_To_Assimp{};  // Assimp skips such a line whole
    const std::string_view keyword = words[0];
    if (keyword == "v") {
      const auto values = numbers_of(words);
      if (!values || values->size() != 3) throw Leave_To_Assimp{};
      positions_.push_back({(*values)[0], (*values)[1], (*values)[2]});
    } else if (keyword == "vt") {
      const auto values = numbers_of(words);
      if (!values || values->size() < 2 || values->size() > 3) throw Leave_To_Assimp{};
      ++texture_coordinates_;
    } else if (keyword == "vn") {
      const auto values = numbers_of(words);
      if (!values || values->size() != 3) throw Leave_To_Assimp{};
    } else if (keyword == "f" || keyword == "l") {
      face(words, keyword == "l", at);
    } else if (keyword == "s") {
      // smoothing groups: nothing to draw
    } else if (keyword == "o") {
      select_object(std::string(words.size() > 1 ? words[1] : std::string_view()));
    } else if (keyword == "g") {
      group(std::string(rest_after_first_word(line)));
    } else if (keyword == "usemtl") {
      use_material(std::string(trimmed_end(rest_after_first_word(line))));
    } else if (keyword == "mtllib") {
      read_library(std::string(rest_after_first_word(line)));
    } else {
      throw Leave_To_Assimp{};
    }
  }

  // ---- faces ----------------------------------------------------------------

  // One index of a face word: [-]digits, no leading zero, at most 9 digits.
  std::optional<std::int64_t> face_number(std::string_view& text, const char* at) const {
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
      negative = true;
      text.remove_prefix(1);
    }
    std::size_t digits = 0;
    while (digits < text.size() && is_digit(text[digits])) ++digits;
    if (digits == 0 || digits > 9) throw Leave_To_Assimp{};
    if (text[0] == '0') {
      if (digits == 1)
        malformed(path_, begin_, at, "a face refers to vertex 0 (OBJ counts from 1)");
      throw Leave_To_Assimp{};  // Assimp reads leading zeros its own way
    }
    std::int64_t value = 0;
    for (std::size_t k = 0; k < digits; ++k) value = value * 10 + (text[k] - '0');
    text.remove_prefix(digits);
    return negative ? -value : value;
  }

  void face(const std::vector<std::string_view>& words, bool polyline, const char* at) {
    Obj_Face face{std::uint32_t(corners_.size()), 0, polyline, at};
    for (std::size_t k = 1; k < words.size(); ++k) {
      // "v", "v/vt", "v/vt/vn" or "v//vn": only the position counts here.
      std::string_view word = words[k];
      const std::int64_t position = *face_number(word, at);
      for (int part = 1; !word.empty(); ++part) {
        if (word[0] != '/' || part > 2) throw Leave_To_Assimp{};
        word.remove_prefix(1);
        if (word.empty() || word[0] == '/') continue;
        // Before any "vt", Assimp takes the second part for a normal's
        // index and makes its own meshes of such faces.
        if (part == 1 && texture_coordinates_ == 0) throw Leave_To_Assimp{};
        face_number(word, at);
      }
      const std::int64_t index =
          position > 0 ? position - 1 : std::int64_t(positions_.size()) + position;
      if (index < 0)
        malformed(path_, begin_, at,
                  "a face refers to vertex " + std::to_string(position) + ", before the first");
      corners_.push_back(std::uint32_t(std::min<std::int64_t>(index, no_material)));
      ++face.count;
    }
    if (polyline ? face.count < 2 : (face.count == 0 || face.count > 4)) throw Leave_To_Assimp{};
    if (current_object_ == none) create_object("defaultobject");
    if (current_mesh_ == none) create_mesh();
    meshes_[current_mesh_].faces.push_back(face);
  }

  // ---- objects, groups, meshes, materials -------------------------------------

  static constexpr std::size_t none = std::numeric_limits<std::size_t>::max();

  void create_mesh() {
    meshes_.emplace_back();
    current_mesh_ = meshes_.size() - 1;
    if (current_object_ != none) objects_[current_object_].meshes.push_back(current_mesh_);
  }

  void create_object(const std::string& name) {
    objects_.push_back({name, {}});
    current_object_ = objects_.size() - 1;
    create_mesh();
    if (current_material_ != none)
      meshes_[current_mesh_].material = index_of(materials_[current_material_].name);
  }

  std::uint32_t index_of(const std::string& name) const {
    if (name.empty()) return no_material;
    const auto it = material_index_.find(name);
    return it == material_index_.end() ? no_material : std::uint32_t(it->second);
  }

  void select_object(const std::string& name) {
    if (name.empty()) throw Leave_To_Assimp{};
    current_object_ = none;
    for (std::size_t k = 0; k < objects_.size(); ++k)
      if (objects_[k].name == name) {
        current_object_ = k;
        break;
      }
    if (current_object_ == none) create_object(name);
  }

  void group(const std::string& name) {
    if (name.empty()) throw Leave_To_Assimp{};
    if (name == active_group_) return;
    create_object(name);
    active_group_ = name;
  }

  void use_material(const std::string& name) {
    if (name.empty() || name.size() > longest_name) throw Leave_To_Assimp{};
    if (current_material_ != none && materials_[current_material_].name == name) return;
    const auto it = material_index_.find(name);
    if (it == material_index_.end()) {
      // Assimp makes a material of the unknown name, in its default colour.
      materials_.push_back({name, {0.6f, 0.6f, 0.6f}});
      material_index_[name] = materials_.size() - 1;
      current_material_ = materials_.size() - 1;
    } else {
      current_material_ = it->second;
    }
    const std::uint32_t index = index_of(name);
    const bool new_mesh =
        current_mesh_ == none ||
        (meshes_[current_mesh_].material != no_material &&
         meshes_[current_mesh_].material != index && !meshes_[current_mesh_].faces.empty());
    if (new_mesh) create_mesh();
    meshes_[current_mesh_].material = index;
  }

  // The MTL file beside the OBJ file, read into the same bookkeeping.
  void read_library(const std::string& name) {
    if (name.empty()) throw Leave_To_Assimp{};
    // Assimp looks beside the OBJ file, or in the working folder when the
    // OBJ's path names no folder.
    if (std::filesystem::path(name).is_absolute()) throw Leave_To_Assimp{};
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    const std::string library = (folder / name).string();
    std::error_code error;
    if (!std::filesystem::is_regular_file(library, error)) throw Leave_To_Assimp{};
    const Mapped_File file(library);
    if (file.size() > 0 && starts_like_assimp_converts(file.bytes())) throw Leave_To_Assimp{};
    bool first = true;
    for_each_line(file.begin(), file.end(), [&](std::string_view line, const char*) {
      if (first && !line.empty() && is_blank(line[0])) throw Leave_To_Assimp{};
      first = false;
      library_statement(line);
    });
  }

  void library_statement(std::string_view line) {
    const std::vector<std::string_view> words = words_of(line);
    if (words.empty() || words[0][0] == '#') return;
    const std::string_view keyword = words[0];
    if (keyword == "newmtl") {
      std::string name(trimmed_end(rest_after_first_word(line)));
      if (name.empty()) name = default_material;
      if (name.size() > longest_name) throw Leave_To_Assimp{};
      const auto it = material_index_.find(name);
      if (it == material_index_.end()) {
        materials_.push_back({name, {0.6f, 0.6f, 0.6f}});
        material_index_[name] = materials_.size() - 1;
        current_material_ = materials_.size() - 1;
        if (current_mesh_ != none)
          meshes_[current_mesh_].material = std::uint32_t(current_material_);
      } else {
        current_material_ = it->second;
      }
      return;
    }
    const auto values = numbers_of(words);
    const std::size_t count = values ? values->size() : 0;
    if (keyword == "Kd" && count == 3) {
      if (current_material_ != none)
        materials_[current_material_].diffuse = {(*values)[0], (*values)[1], (*values)[2]};
    } else if ((keyword == "Ka" || keyword == "Ks" || keyword == "Ke") && count == 3) {
    } else if ((keyword == "Ns" || keyword == "Ni" || keyword == "d" || keyword == "Tr") &&
               count == 1) {
    } else if (keyword == "illum" && count == 1 &&
               words[1].find_first_not_of("0123456789") == std::string_view::npos) {
    } else {
      throw Leave_To_Assimp{};
    }
  }

  // ---- the Model ----------------------------------------------------------------

  Model assemble() {
    std::vector<Body_Builder> builders;
    std::unordered_map<std::uint32_t, std::size_t> builder_of_material;
    Imported_Mesh mesh;
    for (const Obj_Object& object : objects_) {
      for (std::size_t m : object.meshes) {
        const Obj_Mesh& source = meshes_[m];
        if (source.faces.empty()) continue;
        // Assimp's mesh without a material of its own takes material 0.
        const std::uint32_t material = source.material == no_material ? 0 : source.material;
        auto [it, inserted] = builder_of_material.try_emplace(material, builders.size());
        if (inserted) {
          builders.emplace_back();
          Body& body = builders.back().body;
          const Obj_Material& m = materials_[material];
          body.name = m.name;
          if (m.name != default_material)
            body.color = 0xFF000000u | color_byte(m.diffuse[0]) << 16 |
                         color_byte(m.diffuse[1]) << 8 | color_byte(m.diffuse[2]);
        }
        build_mesh(source, mesh);
        add_imported_mesh(builders[it->second], mesh, [&](std::uint32_t v) {
          return path_ + ":" + std::to_string(line_of(begin_, vertex_lines_[v]));
        });
      }
    }
    return finished_model(path_, builders);
  }

  // Assimp's mesh of these faces: a vertex of its own for every corner,
  // and a polyline of n points as n - 1 segments.
  void build_mesh(const Obj_Mesh& source, Imported_Mesh& mesh) {
    mesh.vertices.clear();
    mesh.corners.clear();
    mesh.face_sizes.clear();
    vertex_lines_.clear();
    const auto corner = [&](const Obj_Face& face, std::uint32_t k) {
      const std::uint32_t index = corners_[face.first + k];
      if (index >= positions_.size())
        malformed(path_, begin_, face.line,
                  "a face refers to vertex " + std::to_string(std::uint64_t(index) + 1) +
                      ", but the file has only " + std::to_string(positions_.size()));
      mesh.corners.push_back(std::uint32_t(mesh.vertices.size()));
      mesh.vertices.push_back(positions_[index]);
      vertex_lines_.push_back(face.line);
    };
    for (const Obj_Face& face : source.faces) {
      if (face.polyline) {
        for (std::uint32_t k = 0; k + 1 < face.count; ++k) {
          corner(face, k);
          corner(face, k + 1);
          mesh.face_sizes.push_back(2);
        }
      } else {
        for (std::uint32_t k = 0; k < face.count; ++k) corner(face, k);
        mesh.face_sizes.push_back(std::uint8_t(face.count));
      }
    }
  }

  const std::string& path_;
  const char* begin_;
  const char* end_;
  std::vector<std::array<float, 3>> positions_;
  std::size_t texture_coordinates_ = 0;
  std::vector<std::uint32_t> corners_;
  std::vector<Obj_Material> materials_;
  std::unordered_map<std::string, std::size_t> material_index_;
  std::vector<Obj_Object> objects_;
  std::vector<Obj_Mesh> meshes_;
  std::size_t current_object_ = none, current_mesh_ = none, current_material_ = none;
  std::string active_group_;
  std::vector<const char*> vertex_lines_;  // of the mesh being built: each vertex's face
};

}  // namespace

std::optional<Model> read_obj_file(std::string_view bytes, const std::string& path) {
  return Obj_Reader(bytes, path).read();
}

}  // namespace hlr_tool
