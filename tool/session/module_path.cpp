#include "tool/session/module_path.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "module_loader.h"

namespace hlr_tool {

std::string default_module_path(const char* argv0) {
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error && argv0 != nullptr) executable = std::filesystem::absolute(argv0, error);
  const std::string module = KT_Renderer_Module::file_name("hlr_renderer");
  if (error) return module;
  return (executable.parent_path() / module).string();
}

std::string renderer_module_path(const std::string& given, const std::string& installed) {
  if (!given.empty()) return given;
  const char* named = std::getenv(module_environment_variable);
  return named != nullptr && *named != '\0' ? named : installed;
}

}  // namespace hlr_tool
