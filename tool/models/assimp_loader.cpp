// load_model_through_assimp on the tool's side: opens the Assimp module
// beside the binary this code is linked into (hlr-render, the Python
// package's extension, a test) on first use and calls its one function
// (assimp_entry.h).
#include "tool/models/assimp_entry.h"
#include "tool/models/assimp_import.h"

namespace hlr_tool {

Model load_model_through_assimp(const std::string& path) {
  Model model;
  std::optional<Up_Axis> declared_up;
  std::string error;
  const Assimp_Load_Call call{&path, &model, &declared_up, &error};
  call_module(reinterpret_cast<const void*>(&load_model_through_assimp), "libhlr_assimp.so",
              assimp_entry_name, call, "Assimp import module");
  model.up = declared_up.value_or(conventional_up_axis(path));
  return model;
}

}  // namespace hlr_tool
