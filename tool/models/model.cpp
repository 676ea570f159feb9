#include "tool/models/model.h"

#include <filesystem>
#include <fstream>

#include "tool/common/errors.h"
#include "tool/models/assimp_import.h"
#include "tool/models/mesh_readers.h"

namespace hlr_tool {
namespace {

void check_readable(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) throw input_error(path + ": no such file");
  if (std::filesystem::is_directory(status))
    throw input_error(path + ": is a directory, not a model file");
  std::ifstream probe(path, std::ios::binary);
  if (!probe) throw input_error(path + ": cannot open the file for reading");
}

}  // namespace

Model load_model(const std::string& path) {
  check_readable(path);
  if (std::optional<Model> model = read_mesh_file(path)) return std::move(*model);
  return load_model_through_assimp(path);
}

}  // namespace hlr_tool
