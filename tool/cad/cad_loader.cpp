// load_cad_model on the tool's side: opens the CAD module beside the binary
// this code is linked into (hlr-render, or the Python package's extension)
// on first use and calls its one function (see cad_entry.h).
#include "tool/cad/cad_entry.h"
#include "tool/cad/cad_model.h"
#include "tool/common/errors.h"

#include <dlfcn.h>

#include <cctype>
#include <filesystem>
#include <mutex>

namespace hlr_tool {
namespace {

using Entry = int (*)(const Cad_Load_Call*);

std::string module_path() {
  const std::string file = "libhlr_cad_occt.so";
  Dl_info here{};
  if (dladdr(reinterpret_cast<void*>(&module_path), &here) == 0 || here.dli_fname == nullptr) {
    return file;
  }
  std::error_code error;
  const std::filesystem::path binary = std::filesystem::canonical(here.dli_fname, error);
  return error ? file : (binary.parent_path() / file).string();
}

// Opened once and kept for the life of the process: Open CASCADE keeps
// global state (allocators, type registries) that must not be unloaded.
Entry entry() {
  static Entry found = nullptr;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [] {
    const std::string path = module_path();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      failure = "cannot load the CAD reader module " + path + ": " + dlerror();
      return;
    }
    found = reinterpret_cast<Entry>(dlsym(module, cad_entry_name));
    if (found == nullptr) failure = path + ": holds no function " + cad_entry_name;
  });
  if (found == nullptr) throw Tool_Error(failure);
  return found;
}

}  // namespace

bool is_cad_file(std::string_view path) {
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos) return false;
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension == "step" || extension == "stp" || extension == "iges" || extension == "igs" ||
         extension == "brep";
}

std::vector<Model> load_cad_models(const std::vector<std::string>& paths,
                                   const Cad_Options& options) {
  std::vector<Model> models;
  std::string error;
  const Cad_Load_Call call{&paths, &options, &models, &error};
  if (const int status = entry()(&call); status != 0) throw Tool_Error(error, status);
  return models;
}

Model load_cad_model(const std::string& path, const Cad_Options& options) {
  return std::move(load_cad_models({path}, options).front());
}

}  // namespace hlr_tool
