// Opening one of the tool's modules, which are installed beside the binary
// that opens them (hlr-render, the Python package's extension, or the CAD
// module itself), finding its one function and calling it.
#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <string>

#include "tool/common/errors.h"

namespace hlr_tool {

// The path of `file` in the folder of the binary (executable or shared
// object) that holds `anchor`, an address of that binary's own code; just
// `file` when that folder cannot be found.
inline std::string path_beside(const void* anchor, const std::string& file) {
  Dl_info here{};
  if (dladdr(anchor, &here) == 0 || here.dli_fname == nullptr) return file;
  std::error_code error;
  const std::filesystem::path binary = std::filesystem::canonical(here.dli_fname, error);
  return error ? file : (binary.parent_path() / file).string();
}

// Opens the module at `path` for the life of the process (Open CASCADE
// keeps global state, allocators and type registries, that must not be
// unloaded) and returns its function `name`, or null with the reason in
// `failure`.
//
// RTLD_NOW rather than RTLD_LAZY: a symbol missing from our own modules
// (built from the same sources as their callers) would be a build fault,
// and binding now reports it here, naming the module, instead of at some
// later call. Lazy binding would not save time either: Debian links Open
// CASCADE's libraries with BIND_NOW, which binds them at load whatever the
// flag, and they are nearly all of the linking (a process that only opens
// the module took 0.99 of the time with RTLD_LAZY, within the noise).
inline void* open_module_function(const std::string& path, const char* name, std::string& failure) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    failure = "cannot load the CAD reader module " + path + ": " + dlerror();
    return nullptr;
  }
  void* function = dlsym(module, name);
  if (function == nullptr) failure = path + ": holds no function " + name;
  return function;
}

// Calls the function `name` of the module `file` beside the binary that
// holds `anchor` with `call`, opening the module on the first call of this
// kind. A module that cannot be opened, or a call that returns an exit
// status (with its message in *call.error), throws Tool_Error.
template <class Call>
void call_module(const void* anchor, const char* file, const char* name, const Call& call) {
  using Function = int (*)(const Call*);
  static Function found = nullptr;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [&] {
    found =
        reinterpret_cast<Function>(open_module_function(path_beside(anchor, file), name, failure));
  });
  if (found == nullptr) throw Tool_Error(failure);
  if (const int status = found(&call); status != 0) throw Tool_Error(*call.error, status);
}

}  // namespace hlr_tool
