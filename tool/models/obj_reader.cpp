#include "tool/models/mesh_text.h"

namespace hlr_tool {

std::optional<Model> read_obj_file(const Mapped_File&, const std::string&) {
  throw Leave_To_Assimp{};
}

}  // namespace hlr_tool
