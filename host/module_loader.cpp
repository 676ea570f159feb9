#include "module_loader.h"

#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
void* open_library(const std::string& path, std::string& reason) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) reason = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(module);
}
void* find_symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void close_library(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
void* open_library(const std::string& path, std::string& reason) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    // dlerror may have nothing to say; a null char* must not reach std::string.
    const char* message = dlerror();
    reason = message != nullptr ? message : "unknown reason";
  }
  return library;
}
void* find_symbol(void* library, const char* name) { return dlsym(library, name); }
void close_library(void* library) { dlclose(library); }
#endif

}  // namespace

KT_Renderer_Module::KT_Renderer_Module(const std::string& path) {
  std::string reason;
  handle_ = open_library(path, reason);
  if (!handle_) throw std::runtime_error(path + ": cannot load renderer module: " + reason);
  entry_ = reinterpret_cast<KD_Renderer_Function>(find_symbol(handle_, "KD_Renderer"));
  if (!entry_) {
    close_library(handle_);
    throw std::runtime_error(path + ": not a renderer module (no KD_Renderer)");
  }
}

KT_Renderer_Module::~KT_Renderer_Module() { close_library(handle_); }

KT_Renderer_Data* KT_Renderer_Module::create(KT_Renderer_Data* next) const {
  const KT_Renderer_Data* argument = next;
  return entry_(&argument);
}

std::string KT_Renderer_Module::file_name(const std::string& name) {
#if defined(_WIN32)
  return name + ".dll";
#else
  return "lib" + name + ".so";
#endif
}
