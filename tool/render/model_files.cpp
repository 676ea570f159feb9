#include "tool/render/model_files.h"

#include <algorithm>
#include <utility>

#include "tool/common/parallel.h"

namespace hlr_tool {

namespace {

// Grows `box` over every position of the model.
void widen(std::optional<std::array<Model_Point, 2>>& box, const Model& model) {
  for (const Body& body : model.bodies) {
    for (const Model_Point& p : body.positions) {
      if (!box) box = std::array<Model_Point, 2>{p, p};
      auto& [low, high] = *box;
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
  }
}

}  // namespace

std::vector<Model> load_models(std::span<const Model_Input> inputs, Cad_Options cad,
                               const Thread_Budget& threads) {
  std::vector<Model> models(inputs.size());
  std::vector<std::size_t> mesh_files, cad_files;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (inputs[i].model) {
      models[i] = *inputs[i].model;
      widen(cad.other_models_box, models[i]);
    } else {
      (is_cad_file(inputs[i].path) ? cad_files : mesh_files).push_back(i);
    }
  }

  // Each mesh file has an importer of its own, so several are read at once.
  if (cad.progress && !mesh_files.empty()) {
    cad.progress(mesh_files.size() == 1
                     ? "importing " + inputs[mesh_files[0]].path
                     : "importing " + std::to_string(mesh_files.size()) + " mesh files");
  }
  const Thread_Budget each = threads.share(mesh_files.size());
  for_each_in_parallel(
      mesh_files.size(), static_cast<std::size_t>(threads.threads()), [&](std::size_t k) {
        models[mesh_files[k]] = load_model(inputs[mesh_files[k]].path, std::size_t(each.threads()));
      });
  for (std::size_t i : mesh_files) widen(cad.other_models_box, models[i]);

  if (!cad_files.empty()) {
    std::vector<std::string> cad_paths;
    for (std::size_t i : cad_files) cad_paths.push_back(inputs[i].path);
    cad.in_parallel = threads.threads() > 1;
    cad.readers = threads.threads();
    std::vector<Model> parts = load_cad_models(cad_paths, cad);
    for (std::size_t k = 0; k < cad_files.size(); ++k) models[cad_files[k]] = std::move(parts[k]);
  }
  return models;
}

}  // namespace hlr_tool
