// Opening one of the tool's modules, which are installed beside the binary
// that opens them (hlr-render, the Python package's extension, or another
// module), finding its one function and calling it; and the module's side
// of such a call.
//
// A module holds what links a large library that most runs do not need:
// Open CASCADE for CAD parts, Assimp for the model formats the tool's own
// readers leave to it, cairo for PDF, EPS and PNG. Linking those at start-up
// cost every run their dynamic linking, a run on a mesh to SVG included.
// Both sides are built from the same sources with the same compiler, so a
// call passes the tool's own types; failures come back as a message and an
// exit status rather than as exceptions across the boundary.
#pragma once

#include <dlfcn.h>

#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <string>

#include "tool/common/errors.h"

#define HLR_MODULE_ENTRY_EXPORT __attribute__((visibility("default")))

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
// `failure`; `what` names the module in that reason.
//
// RTLD_NOW rather than RTLD_LAZY: a symbol missing from our own modules
// (built from the same sources as their callers) would be a build fault,
// and binding now reports it here, naming the module, instead of at some
// later call. Lazy binding would not save time either: Debian links Open
// CASCADE's libraries with BIND_NOW, which binds them at load whatever the
// flag, and they are nearly all of the linking (a process that only opens
// the module took 0.99 of the time with RTLD_LAZY, within the noise).
inline void* open_module_function(const std::string& path, const char* name, const char* what,
                                  std::string& failure) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    failure = std::string("cannot load the ") + what + " " + path + ": " + dlerror();
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
void call_module(const void* anchor, const char* file, const char* name, const Call& call,
                 const char* what = "CAD reader module") {
  using Function = int (*)(const Call*);
  static Function found = nullptr;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [&] {
    found = reinterpret_cast<Function>(
        open_module_function(path_beside(anchor, file), name, what, failure));
  });
  if (found == nullptr) throw Tool_Error(failure);
  if (const int status = found(&call); status != 0) throw Tool_Error(*call.error, status);
}

// The module side of a call across the boundary: runs `work` and returns 0,
// or the exit status of what it threw with the message in `error`
// (`out_of_memory` for std::bad_alloc).
template <class Work>
int module_call_status(std::string& error, const char* out_of_memory, Work&& work) {
  try {
    work();
    return 0;
  } catch (const Tool_Error& failure) {
    error = failure.what();
    return failure.exit_status();
  } catch (const std::bad_alloc&) {
    error = out_of_memory;
    return exit_failure;
  } catch (const std::exception& failure) {
    error = failure.what();
    return exit_failure;
  }
}

}  // namespace hlr_tool
