// Reading a model file through Assimp: every format it reads, the scene
// graph applied, materials as bodies. load_model takes this way for every
// file its own readers (mesh_readers.h) leave to it.
#pragma once

#include <string>

#include "tool/models/model.h"

namespace hlr_tool {

// As load_model (model.h), for a file known to exist and be readable.
Model load_model_through_assimp(const std::string& path);

}  // namespace hlr_tool
