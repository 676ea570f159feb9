#include "tool/models/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace hlr_tool {
namespace {

namespace fs = std::filesystem;

// A folder of its own per test, removed afterwards.
class Model_Files : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("hlr_tool_model_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string write(const std::string& name, const std::string& text) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  fs::path folder_;
};

const Body& body_named(const Model& model, const std::string& name) {
  const auto it = std::find_if(model.bodies.begin(), model.bodies.end(),
                               [&](const Body& b) { return b.name == name; });
  EXPECT_NE(it, model.bodies.end()) << name;
  return *it;
}

TEST_F(Model_Files, ObjGivesOneBodyPerMaterialWithColourTrianglesAndLines) {
  write("parts.mtl", "newmtl red\nKd 1 0 0\nnewmtl teal\nKd 0 0.5 0.5\n");
  const std::string path = write("parts.obj",
                                 "mtllib parts.mtl\n"
                                 "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                 "v 5 0 0\nv 6 0 0\nv 6 1 0\n"
                                 "usemtl red\nf 1 2 3 4\n"
                                 "usemtl teal\nf 5 6 7\nl 5 7 1\n");
  const Model model = load_model(path);
  ASSERT_EQ(model.bodies.size(), 2u);

  const Body& red = body_named(model, "red");
  EXPECT_EQ(red.color, 0xFFFF0000u);
  EXPECT_EQ(red.positions.size(), 4u);  // the quad split in two
  EXPECT_EQ(red.triangles.size(), 2u);
  EXPECT_TRUE(red.lines.empty());

  // 0.5 * 255 = 127.5 rounds to 128 = 0x80.
  const Body& teal = body_named(model, "teal");
  EXPECT_EQ(teal.color, 0xFF008080u);
  ASSERT_EQ(teal.triangles.size(), 1u);
  ASSERT_EQ(teal.lines.size(), 1u);
  const auto& line = teal.lines[0];
  ASSERT_EQ(line.size(), 3u);  // the two segments of "l 5 7 1" joined again
  EXPECT_EQ(teal.positions[line[0]].x, 5.0);
  EXPECT_EQ(teal.positions[line[1]].y, 1.0);
  EXPECT_EQ(teal.positions[line[2]].x, 0.0);
  // The line's corners that coincide with the triangle's share its
  // vertices: 5 and 7 weld, the origin is new.
  EXPECT_EQ(teal.positions.size(), 4u);
}

TEST_F(Model_Files, CoincidentPointsWeldIncludingSignedZero) {
  // Two triangles given with separate copies of their shared corners;
  // one copy writes its zero as -0.
  const std::string path = write("split.obj",
                                 "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                 "v 1 0 0\nv 1 1 0\nv -0 1 -0\n"
                                 "f 1 2 3\nf 4 5 6\n");
  const Model model = load_model(path);
  ASSERT_EQ(model.bodies.size(), 1u);
  const Body& body = model.bodies[0];
  EXPECT_EQ(body.positions.size(), 4u);
  ASSERT_EQ(body.triangles.size(), 2u);
  int shared = 0;
  for (std::uint32_t a : body.triangles[0])
    shared += int(std::count(body.triangles[1].begin(), body.triangles[1].end(), a));
  EXPECT_EQ(shared, 2);
  EXPECT_FALSE(body.color.has_value());  // no material: drawn in the defaults
}

TEST_F(Model_Files, SceneGraphTransformsApplyToEveryInstance) {
  // One triangle mesh placed twice: under a node scaled by 2 and moved
  // by 10 in x, and under a child of that node moved by 1 in y.
  // Buffer: three float corners (0,0,0), (1,0,0), (0,1,0), base64.
  const std::string path = write("placed.gltf", R"({
 "asset": {"version": "2.0"},
 "scene": 0,
 "scenes": [{"nodes": [0]}],
 "nodes": [{"mesh": 0, "translation": [10, 0, 0], "scale": [2, 2, 2], "children": [1]},
           {"mesh": 0, "translation": [0, 1, 0]}],
 "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
 "buffers": [{"byteLength": 36,
   "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}],
 "bufferViews": [{"buffer": 0, "byteLength": 36}],
 "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                "min": [0, 0, 0], "max": [1, 1, 0]}]
})");
  const Model model = load_model(path);
  ASSERT_EQ(model.bodies.size(), 1u);
  const Body& body = model.bodies[0];
  ASSERT_EQ(body.triangles.size(), 2u);
  // Parent: (10,0,0) (12,0,0) (10,2,0). Child, moved inside the parent's
  // frame: (0,1,0) -> (10,2,0), (1,1,0) -> (12,2,0), (0,2,0) -> (10,4,0).
  // (10,2,0) belongs to both, so five points remain.
  std::vector<std::array<double, 3>> points;
  for (const Model_Point& p : body.positions) points.push_back({p.x, p.y, p.z});
  std::sort(points.begin(), points.end());
  const std::vector<std::array<double, 3>> expected{
      {10, 0, 0}, {10, 2, 0}, {10, 4, 0}, {12, 0, 0}, {12, 2, 0}};
  EXPECT_EQ(points, expected);
}

}  // namespace
}  // namespace hlr_tool

namespace hlr_tool {
namespace {

// Each mesh format's up axis as load_model gives it: STL z (3D printing's
// convention, which the file cannot state), the others y, and glTF y as its
// format defines; a file that declares its axis (FBX, through Assimp's
// metadata) is not tested here, for want of a small FBX writer.
TEST_F(Model_Files, EachMeshFormatGivesItsUpAxis) {
  const std::string triangle_obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
  const std::string stl =
      "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
      "endloop\nendfacet\nendsolid t\n";
  const std::string ply =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
      "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
      "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
  const std::string off = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
  // One triangle; its buffer as base64: three float32 points.
  const std::string gltf =
      R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"scene":0,"nodes":[{"mesh":0}],)"
      R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],)"
      R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",)"
      R"("min":[0,0,0],"max":[1,1,0]}],"bufferViews":[{"buffer":0,"byteLength":36}],)"
      R"("buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,)"
      R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}]})";
  const struct {
    const char* name;
    const std::string& text;
    Up_Axis up;
  } files[] = {
      {"t.obj", triangle_obj, Up_Axis::y}, {"t.stl", stl, Up_Axis::z}, {"T.STL", stl, Up_Axis::z},
      {"t.ply", ply, Up_Axis::y},          {"t.off", off, Up_Axis::y}, {"t.gltf", gltf, Up_Axis::y},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const Model model = load_model(write(f.name, f.text));
    EXPECT_EQ(model.up, f.up);
    ASSERT_EQ(model.bodies.size(), 1u);
    EXPECT_EQ(model.bodies[0].triangles.size(), 1u);
  }
}

}  // namespace
}  // namespace hlr_tool
