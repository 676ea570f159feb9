// The tool's own OFF, OBJ, STL and PLY readers against the Assimp path they
// stand in for: the same Model to the bit on real meshes and on small files
// made for each format's corners, the files they leave to Assimp, and the
// messages for broken files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tool/common/errors.h"
#include "tool/models/assimp_import.h"
#include "tool/models/mesh_readers.h"

namespace hlr_tool {
namespace {

namespace fs = std::filesystem;

// Equal bodies, names, colours, positions bit for bit (so -0 and +0 differ),
// triangles and lines; the first difference in `why`.
bool same_model(const Model& a, const Model& b, std::string& why) {
  if (a.bodies.size() != b.bodies.size()) return why = "number of bodies", false;
  for (std::size_t i = 0; i < a.bodies.size(); ++i) {
    const Body &x = a.bodies[i], &y = b.bodies[i];
    if (x.name != y.name || x.color != y.color) return why = "body " + x.name, false;
    if (x.positions.size() != y.positions.size()) return why = "positions of " + x.name, false;
    if (std::memcmp(x.positions.data(), y.positions.data(),
                    x.positions.size() * sizeof(Model_Point)) != 0)
      return why = "a position of " + x.name, false;
    if (x.triangles != y.triangles || x.lines != y.lines) return why = "faces of " + x.name, false;
  }
  return true;
}

// Read directly (not left to Assimp) and equal to Assimp's reading.
void expect_as_assimp(const std::string& path) {
  const std::optional<Model> direct = read_mesh_file(path);
  ASSERT_TRUE(direct.has_value()) << path << " was left to Assimp";
  std::string why;
  EXPECT_TRUE(same_model(*direct, load_model_through_assimp(path), why)) << path << ": " << why;
}

// Debian's libcgal-demo meshes, fetched as bench/bench_lib.sh fetches them
// into the same cache; empty with `why` when they cannot be had.
fs::path cgal_meshes(std::string& why) {
  const char* given = std::getenv("HLR_BENCH_CACHE");
  const char* home = std::getenv("HOME");
  if ((given == nullptr || *given == '\0') && home == nullptr)
    return why = "neither HLR_BENCH_CACHE nor HOME is set", fs::path();
  const fs::path cache = given != nullptr && *given != '\0'
                             ? fs::path(given)
                             : fs::path(home) / ".cache" / "hlr-bench";
  const fs::path meshes = cache / "data" / "meshes";
  if (fs::exists(meshes / "bunny00.off")) return meshes;
  std::error_code error;
  fs::create_directories(cache, error);
  const std::string fetch =
      "cd '" + cache.string() +
      "' && apt-get download -qq libcgal-demo >/dev/null 2>&1"
      " && dpkg-deb -x libcgal-demo_*.deb package"
      " && tar -xzf package/usr/share/doc/libcgal-dev/data.tar.gz data/meshes";
  if (std::system(fetch.c_str()) != 0 || !fs::exists(meshes / "bunny00.off"))
    return why = "could not fetch Debian's libcgal-demo into " + cache.string() +
                 " (apt-get download failed: no network or no package lists?)",
           fs::path();
  return meshes;
}

TEST(Mesh_Readers, RealMeshesGiveAssimpsModelBitForBit) {
  std::string why;
  const fs::path meshes = cgal_meshes(why);
  if (meshes.empty()) GTEST_SKIP() << why;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(meshes)) files.push_back(entry.path());
  const fs::path stl_parts = fs::path(std::getenv("HOME") ? std::getenv("HOME") : "") /
                             ".cache/hlr-data/data/stl";  // occt-misc, when tests/cad fetched it
  if (fs::exists(stl_parts))
    for (const auto& entry : fs::directory_iterator(stl_parts)) files.push_back(entry.path());
  files.push_back(fs::path(EXAMPLES_DIR) / "bracket.obj");
  int direct = 0, left = 0;
  for (const fs::path& file : files) {
    std::optional<Model> model;
    try {
      model = read_mesh_file(file.string());
    } catch (const Tool_Error& e) {
      // Broken for both: Assimp must refuse it too.
      EXPECT_THROW(load_model_through_assimp(file.string()), Tool_Error) << e.what();
      continue;
    }
    if (!model) {
      ++left;
      continue;
    }
    ++direct;
    EXPECT_TRUE(same_model(*model, load_model_through_assimp(file.string()), why))
        << file << ": " << why;
  }
  // 5 of the 143 have polygons of five corners or more, 2 PLY files
  // elements of their own; everything else is read directly.
  EXPECT_GE(direct, 136);
  EXPECT_LE(left, 7);
}

class Mesh_Files : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("hlr_mesh_readers_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    return (folder_ / name).string();
  }
  fs::path folder_;
};

std::string binary_stl(const std::vector<std::array<float, 9>>& facets) {
  std::string bytes(80, ' ');
  const auto put = [&](const void* p, std::size_t n) {
    bytes.append(static_cast<const char*>(p), n);
  };
  const std::uint32_t count = std::uint32_t(facets.size());
  put(&count, 4);
  for (const auto& f : facets) {
    const float normal[3] = {0, 0, 1};
    put(normal, 12);
    put(f.data(), 36);
    bytes.append(2, '\0');
  }
  return bytes;
}

std::string big_endian_doubles(std::initializer_list<double> values) {
  std::string bytes;
  for (double v : values) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int k = 7; k >= 0; --k) bytes.push_back(char(bits >> (8 * k)));
  }
  return bytes;
}

// Each format's corners, where a reader would most easily part from Assimp.
TEST_F(Mesh_Files, CornersOfEachFormatGiveAssimpsModel) {
  write("m.mtl", "newmtl red\nKd 1 0 0\nnewmtl teal\nKd 0 0.5 0.5\nNs 10\n");
  const std::vector<std::pair<std::string, std::string>> files = {
      // Comments and blank lines among the faces: Assimp 5.2 drops as many
      // faces from the end; a concave quad; a face starting where the
      // quad's pair does (rotated by the triangulation); -0 and +0 welded.
      {"skips.off",
       "# head\nOFF\n6 5 0\n0 0 0\n2 0 0\n1 .2 0\n1 2 -0\n5 5 5\n0 0 0\n\n4 0 1 2 3\n"
       "# faces\n3 2 3 0\n  \n3 0 4 1\n3 4 5 1\n"},
      {"colours.off",
       "COFF\n3 1 0\n1e2 2.5e-3 -3 255 0 0 255\n0 1 0 1 2 3 4\n1 1 1 0 0 0 1\n3 0 1 2\n"},
      {"lines.off", "OFF\n4 3 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n2 0 1\n2 1 2\n3 1 2 3\n"},
      {"two_solids.stl",
       "solid a b\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
       "endloop\nendfacet\nendsolid a\nsolid\n facet normal 0 0 1\n  outer loop\n"
       "   vertex 1 0 0\n   vertex 1 1 0\n   vertex 0 1 0\n  endloop\n endfacet\nendsolid\n"},
      {"binary.stl", binary_stl({{0, 0, 0, 1, 0, 0, 0, 1, 0}, {1, 0, 0, 1, 1, 0, 0, 1, 0}})},
      {"ascii.ply",
       "ply\r\nformat ascii 1.0\r\ncomment made by hand\r\nelement vertex 4\r\nproperty double "
       "x\r\n"
       "property float y\r\nproperty int z\r\nproperty uchar red\r\nelement face 2\r\n"
       "property list uchar int vertex_indices\r\nproperty int flags\r\nend_header\r\n"
       "0.1 0.1 0 7\r\n1.123456789012345678 0 0 7\r\n1 1 -3 7\r\n0 1 0 7\r\n"
       "4 0 1 2 3 9\r\n2 3 1 9\r\n"},
      {"big_endian.ply",
       "ply\nformat binary_big_endian 1.0\nelement vertex 3\nproperty double x\n"
       "property double y\nproperty double z\nelement face 1\n"
       "property list uchar ushort vertex_index\nend_header\n" +
           big_endian_doubles({0.1, 0.2, 0.3, 1.1, 0.2, 0.3, 0.1, 1.2, 0.3}) +
           std::string("\x03\x00\x00\x00\x01\x00\x02", 7)},
      // Materials from the library, an unknown one, groups and objects
      // revisited, negative and forward indices, a polyline.
      {"parts.obj",
       "mtllib m.mtl\nvt 0 0\nv 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\nusemtl nosuch\nf -1 -2 4/1/1\n"
       "g one\nv 0 1 0\nusemtl red\nf 4//1 3//1 2//1 1//1\no thing\nl 1 2 3 4\n"
       "usemtl teal\nf 1 3 4\ng one\nf 2 3 4\no thing\ns off\nf 3 1 2\n"},
  };
  for (const auto& [name, bytes] : files) expect_as_assimp(write(name, bytes));
}

TEST_F(Mesh_Files, WhatOnlyAssimpReadsIsLeftToIt) {
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"pentagon.off", "OFF\n5 1 0\n0 0 0\n1 0 0\n1 1 0\n.5 2 0\n0 1 0\n5 0 1 2 3 4\n"},
           {"homogeneous.off", "4OFF\n3 1 0\n0 0 0 1\n1 0 0 1\n0 1 0 2\n3 0 1 2\n"},
           {"comma.off", "OFF\n3 1 0\n0,5 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"},
           {"points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2 3\nf 1 2 3\n"},
           {"edges.ply",
            "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n"
            "property float y\nproperty float z\nelement edge 0\nend_header\n0 0 0\n"},
           {"bom.off", "\xEF\xBB\xBFOFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"},
           // Before any "vt" Assimp reads "3/1/1" as a normal's index and
           // draws nothing of such faces (found by fuzz_mesh_readers).
           {"texture_before_vt.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nvn 0 0 1\nf 3/1/1 2/1/1 1/1/1\n"},
           // Assimp leaves a name past 1023 bytes unset.
           {"long_name.obj",
            "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl " + std::string(1024, 'a') + "\nf 1 2 3\n"},
           {"word_after_count.ply",
            "ply\nformat ascii 1.0\nelement vertex 3x\nproperty float x\nend_header\n0\n1\n2\n"},
       }) {
    const std::string path = write(name, bytes);
    EXPECT_FALSE(read_mesh_file(path).has_value()) << name;
    EXPECT_NO_THROW(read_mesh_file(path));
  }
}

// Where Assimp reads a broken file quietly (clamping an index, filling a
// missing value with 0) or allocates for counts the file cannot hold, the
// readers name the file and line. Read from memory of the file's exact
// size, so that the sanitizers see any read past its end.
TEST(Mesh_Bytes, BrokenFilesNameTheFileAndLine) {
  const std::string off_head = "OFF\n3 1 0\n0 0 0\n1 0 0\n";
  for (const auto& [name, bytes, where] : std::vector<std::array<std::string, 3>>{
           {"short.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n",
            ":5: the file ends after 2 of its 3 vertices"},
           {"word.off", off_head + "0 one 0\n3 0 1 2\n", ":5: expected a number"},
           {"missing.off", off_head + "0 1\n3 0 1 2\n", ":5: a number is missing"},
           {"range.off", off_head + "0 1 0\n3 0 1 3\n", ":6: vertex index 3 is out of range"},
           {"few.off", off_head + "0 1 0\n3 0 1\n", ":6: a face of 3 corners has only 2 indices"},
           // Assimp reads on for a fourth colour value and refuses the file.
           {"two_colours.off", "COFF\n3 1 0\n0 0 0 1 0 0 1\n1 0 0 0 1\n0 1 0 0 0 1 1\n3 0 1 2\n",
            ":4: a number is missing"},
           {"range.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n\nf 1 2 7\n", ":5: a face refers to vertex 7"},
           {"zero.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", ":4: a face refers to vertex 0"},
           {"cut.stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n",
            ":6: the file ends inside a solid"},
           {"range.ply",
            "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\n"
            "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
            "end_header\n0 0 0\n3 0 0 -1\n",
            ":11: vertex index -1 is out of range"},
           {"short.ply",
            "ply\nformat binary_little_endian 1.0\nelement vertex 1000000\n"
            "property float x\nproperty float y\nproperty float z\nelement face 1\n"
            "property list uchar int vertex_indices\nend_header\n" +
                std::string(12, '\0'),
            ": the file ends after 1 of its 1000000 vertices"},
           {"flags_cut.ply",
            "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty uchar x\n"
            "property uchar y\nproperty uchar z\nelement face 1\n"
            "property list uchar uchar vertex_indices\nproperty int flags\nend_header\n" +
                std::string("\0\0\0\1\0\0\0\1\0\3\0\1\2\7", 14),
            ": the file ends after 0 of its 1 faces"},
           // Counts that Assimp would allocate for, in files left to it.
           {"huge.off", "OFF\n1000000000000 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
            ":2: the header declares 1000000000000 vertices, more than the file's 48 bytes"},
           {"huge.dat", "# off\n3 999999999 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
            ":2: the header declares 999999999 faces"},
           {"homogeneous.off", "4OFF\n999999999 1 0\n0 0 0 1\n1 0 0 1\n0 1 0 1\n3 0 1 2\n",
            ":2: the header declares 999999999 vertices"},
           {"edges.ply",
            "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
            "property float z\nelement edge 900000000\nproperty int a\nend_header\n0 0 0\n",
            ":7: the header declares 900000000 \"edge\" elements"},
           {"wrapped.stl",
            std::string(80, ' ') + std::string("\1\0\0\x80", 4) + std::string(50, '\0'),
            ": the binary header declares 2147483649 facets, more than the file's 134 bytes"},
       }) {
    try {
      read_mesh_bytes(bytes, name);
      ADD_FAILURE() << name << " was read";
    } catch (const Tool_Error& e) {
      EXPECT_EQ(e.exit_status(), exit_input_error);
      EXPECT_EQ(std::string(e.what()).rfind(name + where, 0), 0u) << e.what();
    }
  }
}

// A grid of n x n vertices and its 2 (n - 1)^2 triangles as OFF text, with
// `end` after every line and `between` after every vertex line.
std::string grid_off(int n, const std::string& end, const std::string& between = "") {
  std::string text = "OFF" + end + std::to_string(n * n) + " " +
                     std::to_string(2 * (n - 1) * (n - 1)) + " 0" + end;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      text += std::to_string(x) + " " + std::to_string(y) + " " + std::to_string((x * y) % 7) +
              ".25" + end + between;
    }
  }
  for (int y = 0; y + 1 < n; ++y) {
    for (int x = 0; x + 1 < n; ++x) {
      const int v = y * n + x;
      text += "3 " + std::to_string(v) + " " + std::to_string(v + 1) + " " + std::to_string(v + n) +
              end;
      text += "3 " + std::to_string(v + 1) + " " + std::to_string(v + n + 1) + " " +
              std::to_string(v + n) + end;
    }
  }
  return text;
}

// A large file's faces are read on a second thread from where they most
// likely start, and kept only if the vertices end there: the model, or
// the message, is the one reading in turn gives, whether the guess holds
// or not.
TEST(Mesh_Bytes, FacesReadBesideTheVerticesGiveWhatReadingInTurnGives) {
  const int n = 160;  // 25,600 vertices, about 1 MB of text
  const std::string plain = grid_off(n, "\n");
  ASSERT_GT(plain.size(), std::size_t(1) << 20);
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"plain.off", plain},
           {"crlf.off", grid_off(n, "\r\n")},
           {"blank_lines.off", grid_off(n, "\n", "\n\n")},
           // No '\n' at all: the guess is wrong, the faces are read again.
           {"cr.off", grid_off(n, "\r")},
       }) {
    const std::optional<Model> in_turn = read_mesh_bytes(bytes, name, 1);
    const std::optional<Model> beside = read_mesh_bytes(bytes, name, 2);
    ASSERT_TRUE(in_turn && beside) << name;
    ASSERT_EQ(in_turn->bodies.size(), 1u) << name;
    EXPECT_EQ(in_turn->bodies[0].triangles.size(), std::size_t(2 * (n - 1) * (n - 1))) << name;
    std::string why;
    EXPECT_TRUE(same_model(*in_turn, *beside, why)) << name << ": " << why;
  }

  // Broken faces, broken vertices, and both: the first fault in the file.
  const std::string bad_face = "3 0 1 " + std::to_string(n * n) + "\n";
  const std::size_t faces_start = plain.find("\n3 ") + 1;
  const std::size_t last_face = plain.rfind("3 ", plain.size() - 2);
  const std::size_t second_vertex = plain.find("1 0 ");
  std::string face_broken = plain;
  face_broken.replace(last_face, plain.size() - last_face, bad_face);
  std::string vertex_broken = plain;
  vertex_broken.replace(second_vertex, 1, "x");
  std::string both_broken = vertex_broken;
  both_broken.replace(faces_start, 0, bad_face);
  for (const auto& [name, bytes, where] : std::vector<std::array<std::string, 3>>{
           {"face.off", face_broken, "is out of range"},
           {"vertex.off", vertex_broken, ":4: expected a number"},
           {"both.off", both_broken, ":4: expected a number"},
       }) {
    std::string messages[2];
    for (std::size_t threads : {1, 2}) {
      try {
        read_mesh_bytes(bytes, name, threads);
        ADD_FAILURE() << name << " was read with " << threads << " threads";
      } catch (const Tool_Error& e) {
        messages[threads - 1] = e.what();
      }
    }
    EXPECT_NE(messages[0].find(where), std::string::npos) << messages[0];
    EXPECT_EQ(messages[0], messages[1]) << name;
  }
}

}  // namespace
}  // namespace hlr_tool
