// The files of one drawing read in the order given: meshes through Assimp
// (tool/models/model.h), CAD parts through Open CASCADE (tool/cad/cad_model.h),
// told apart by their extension.
//
// The CAD parts are read together, after the meshes, so that their default
// deflection follows the size of the whole drawing (the meshes' box
// included); the result still keeps the order of `paths`.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tool/cad/cad_model.h"
#include "tool/models/model.h"

namespace hlr_tool {

// `cad.progress` also receives a status line per mesh file. Throws what
// load_model and load_cad_models throw.
std::vector<Model> load_model_files(const std::vector<std::string>& paths, Cad_Options cad);

}  // namespace hlr_tool
