#include "tool/session/module_path.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "module_loader.h"

namespace hlr_tool {

namespace {

// `file` in the running executable's folder; `file` alone when that cannot
// be found.
std::string beside_executable(const char* argv0, const std::string& file) {
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error && argv0 != nullptr) executable = std::filesystem::absolute(argv0, error);
  if (error) return file;
  return (executable.parent_path() / file).string();
}

}  // namespace

std::string default_module_path(const char* argv0) {
  return beside_executable(argv0, KT_Renderer_Module::file_name("hlr_renderer"));
}

std::string worker_program_path(const char* argv0) {
  return beside_executable(argv0, "hlr-render-worker");
}

std::string renderer_module_path(const std::string& given, const std::string& installed) {
  if (!given.empty()) return given;
  const char* named = std::getenv(module_environment_variable);
  return named != nullptr && *named != '\0' ? named : installed;
}

}  // namespace hlr_tool
