#include "tool/render/model_files.h"

#include <algorithm>
#include <utility>

namespace hlr_tool {

std::vector<Model> load_model_files(const std::vector<std::string>& paths, Cad_Options cad) {
  std::vector<Model> models(paths.size());
  std::vector<std::string> cad_paths;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (is_cad_file(paths[i])) {
      cad_paths.push_back(paths[i]);
      continue;
    }
    if (cad.progress) cad.progress("importing " + paths[i]);
    models[i] = load_model(paths[i]);
    for (const Body& body : models[i].bodies) {
      for (const Model_Point& p : body.positions) {
        auto& box = cad.other_models_box;
        if (!box) box = std::array<Model_Point, 2>{p, p};
        auto& [low, high] = *box;
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
      }
    }
  }
  if (!cad_paths.empty()) {
    std::vector<Model> parts = load_cad_models(cad_paths, cad);
    for (std::size_t i = 0, k = 0; i < paths.size(); ++i) {
      if (is_cad_file(paths[i])) models[i] = std::move(parts[k++]);
    }
  }
  return models;
}

}  // namespace hlr_tool
