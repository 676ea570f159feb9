// The models of one drawing, in the order given: files read as meshes
// through Assimp (tool/models/model.h) or as CAD parts through Open CASCADE
// (tool/cad/cad_model.h), told apart by their extension, and models the
// caller made (the Python package's arrays and loaded models).
//
// The CAD parts are read together, after the meshes, so that their default
// deflection follows the size of the whole drawing (the meshes' and the
// given models' box included); the result still keeps the order given.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tool/cad/cad_model.h"
#include "tool/common/thread_budget.h"
#include "tool/models/model.h"

namespace hlr_tool {

// A file to read, or, when `model` is set, a model drawn as it is.
struct Model_Input {
  std::string path;
  std::shared_ptr<const Model> model;
};

// `cad.progress` also receives a status line per mesh file. Mesh files are
// read side by side on up to threads.threads() threads. Throws what
// load_model and load_cad_models throw, for the first faulty file in the
// order given.
std::vector<Model> load_models(std::span<const Model_Input> inputs, Cad_Options cad,
                               const Thread_Budget& threads);

}  // namespace hlr_tool
