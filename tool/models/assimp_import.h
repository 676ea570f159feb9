// Reading a model file through Assimp: every format it reads, the scene
// graph applied, materials as bodies. load_model takes this way for every
// file its own readers (mesh_readers.h) leave to it. Assimp lives in a
// module of its own, opened on the first such file (assimp_entry.h).
#pragma once

#include <string>

#include "tool/models/model.h"

namespace hlr_tool {

// As load_model (model.h), for a file known to exist and be readable; also
// throws Tool_Error (status 1) when the module beside the binary cannot be
// opened.
Model load_model_through_assimp(const std::string& path);

}  // namespace hlr_tool
