// load_cad_model on the tool's side: opens the CAD module beside the binary
// this code is linked into (hlr-render, or the Python package's extension)
// on first use and calls its one function (see cad_entry.h).
#include "tool/cad/cad_entry.h"
#include "tool/cad/cad_model.h"
#include "tool/common/errors.h"
#include "tool/common/input_files.h"
#include "tool/common/module_open.h"

namespace hlr_tool {

bool is_cad_file(std::string_view path) {
  const std::string extension = extension_of(path);
  return extension == "step" || extension == "stp" || extension == "iges" || extension == "igs" ||
         extension == "brep";
}

std::vector<Model> load_cad_models(const std::vector<std::string>& paths,
                                   const Cad_Options& options) {
  std::vector<Model> models;
  std::string error;
  const Cad_Load_Call call{&paths, &options, &models, &error};
  // The CAD module, opened on the first CAD file.
  call_module(reinterpret_cast<const void*>(&load_cad_models), "libhlr_cad_occt.so", cad_entry_name,
              call);
  return models;
}

Model load_cad_model(const std::string& path, const Cad_Options& options) {
  return std::move(load_cad_models({path}, options).front());
}

}  // namespace hlr_tool
