// Fuzz target: arbitrary bytes read as a mesh file by the tool's own OFF,
// OBJ, STL and PLY readers, the way load_model reads them before anything
// is left to Assimp. The first byte picks the name's ending (.off, .obj,
// .stl, .ply, or .dat, which no reader of ours takes, for the check of
// declared counts before Assimp); the rest is the file, held in memory of
// its exact size so that the sanitizers see a read past its end.
//
// The readers must accept the bytes, leave them to Assimp, or reject them
// with one input error naming the file. A Model they accept must keep every
// promise of model.h and be, bit for bit, the Model the Assimp path reads
// from the same bytes: the readers promise exactly that. The file's name
// lies in a folder that does not exist, so an OBJ's material library is
// never found; the comparison, which needs the file on disk, is skipped for
// files naming a library, so nothing outside the input decides a run.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_set>

#include "tool/common/errors.h"
#include "tool/models/assimp_import.h"
#include "tool/models/mesh_readers.h"
#include "tool/models/position_key.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz_mesh_readers: %s\n", what.c_str());
  std::abort();
}

// The promises of model.h, for a model just read.
void check_model(const hlr_tool::Model& model) {
  if (model.bodies.empty()) fail("a model without bodies");
  for (const hlr_tool::Body& body : model.bodies) {
    if (body.triangles.empty() && body.lines.empty()) fail("a body without triangles or lines");
    std::unordered_set<hlr_tool::Position_Key, hlr_tool::Position_Key_Hash> seen;
    for (const hlr_tool::Model_Point& p : body.positions) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
        fail("a position that is not finite");
      if (!seen.insert(hlr_tool::Position_Key::of(p.x, p.y, p.z)).second)
        fail("two equal positions in one body");
    }
    const std::size_t n = body.positions.size();
    for (const hlr_tool::Triangle& t : body.triangles) {
      if (t[0] >= n || t[1] >= n || t[2] >= n) fail("a triangle index out of range");
      if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0]) fail("a triangle with a repeated corner");
    }
    for (const std::vector<std::uint32_t>& line : body.lines) {
      if (line.size() < 2) fail("a line of fewer than two points");
      for (std::size_t k = 0; k < line.size(); ++k) {
        if (line[k] >= n) fail("a line index out of range");
        if (k > 0 && line[k] == line[k - 1]) fail("a line with a repeated point");
      }
    }
  }
}

// A folder of its own for one file, removed with everything in it when
// the Folder goes.
struct Folder {
  std::filesystem::path path;
  Folder() {
    char name[] = "/tmp/hlr_fuzz_mesh_readers_XXXXXX";
    if (mkdtemp(name) == nullptr) fail("cannot make a folder for the Assimp comparison");
    path = name;
  }
  ~Folder() { std::filesystem::remove_all(path); }
};

// The first difference between the bodies, or empty; positions bit for bit.
std::string difference(const hlr_tool::Model& a, const hlr_tool::Model& b) {
  if (a.bodies.size() != b.bodies.size()) return "the number of bodies";
  for (std::size_t i = 0; i < a.bodies.size(); ++i) {
    const hlr_tool::Body &x = a.bodies[i], &y = b.bodies[i];
    if (x.name != y.name || x.color != y.color) return "the name or colour of " + x.name;
    if (x.positions.size() != y.positions.size() ||
        std::memcmp(x.positions.data(), y.positions.data(),
                    x.positions.size() * sizeof(hlr_tool::Model_Point)) != 0)
      return "the positions of " + x.name;
    if (x.triangles != y.triangles || x.lines != y.lines) return "the faces of " + x.name;
  }
  return {};
}

void compare_with_assimp(const hlr_tool::Model& model, std::string_view bytes,
                         const std::string& ending) {
  if (bytes.find("mtllib") != std::string_view::npos) return;
  const Folder folder;
  const std::string path = (folder.path / ("model" + ending)).string();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), std::streamsize(bytes.size()));
  try {
    const std::string why = difference(model, hlr_tool::load_model_through_assimp(path));
    if (!why.empty()) fail("the Assimp path reads this file otherwise: " + why);
  } catch (const hlr_tool::Tool_Error& error) {
    fail(std::string("the readers accept a file the Assimp path refuses: ") + error.what());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const endings[] = {".off", ".obj", ".stl", ".ply", ".dat"};
  const std::string ending = endings[data[0] % std::size(endings)];
  const std::string path = "/nonexistent-hlr-fuzz/model" + ending;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    if (const std::optional<hlr_tool::Model> model = hlr_tool::read_mesh_bytes(bytes, path)) {
      check_model(*model);
      compare_with_assimp(*model, bytes, ending);
    }
  } catch (const hlr_tool::Tool_Error& error) {
    // A rejected file: one input error, "FILE:LINE: ..." or "FILE: ...".
    const std::string message = error.what();
    if (error.exit_status() != hlr_tool::exit_input_error ||
        message.compare(0, path.size() + 1, path + ":") != 0)
      fail("a file was rejected without an input error naming it: " + message);
  }
  return 0;
}
