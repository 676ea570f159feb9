#include "tool/models/model.h"

#include "tool/common/errors.h"
#include "tool/common/input_files.h"
#include "tool/models/assimp_import.h"
#include "tool/models/mesh_readers.h"

namespace hlr_tool {

Model load_model(const std::string& path, std::size_t threads) {
  check_readable(path, "model file");
  std::optional<Model> model = read_mesh_file(path, threads);
  // Our own readers' formats declare no up axis: their convention holds.
  if (model) {
    model->up = conventional_up_axis(path);
    return std::move(*model);
  }
  return load_model_through_assimp(path);
}

}  // namespace hlr_tool
