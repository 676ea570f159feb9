#include "tool/common/input_files.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "tool/common/errors.h"

namespace hlr_tool {

std::string extension_of(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

void check_readable(const std::string& path, std::string_view kind) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) throw input_error(path + ": no such file");
  if (std::filesystem::is_directory(status)) {
    throw input_error(path + ": is a directory, not a " + std::string(kind));
  }
  std::ifstream probe(path, std::ios::binary);
  if (!probe) throw input_error(path + ": cannot open the file for reading");
}

}  // namespace hlr_tool
