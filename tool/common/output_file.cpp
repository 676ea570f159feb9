#include "tool/common/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "tool/common/errors.h"

namespace hlr_tool {

namespace {

// A hidden name beside `path`, so that the rename stays within one file
// system and a reader of the folder never takes it for the output.
std::string temporary_name_for(const std::string& path) {
  const std::filesystem::path final_path(path);
  std::random_device random;
  // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
  // a chain of operator+ starting from a literal.
  std::string name = ".";
  name += final_path.filename().string();
  name += ".tmp-";
  name += std::to_string(random());
  name += std::to_string(random());
  return (final_path.parent_path() / name).string();
}

// Removes the temporary file unless the rename has taken it.
class Temporary_File {
 public:
  explicit Temporary_File(std::string name) : name_(std::move(name)) {}
  Temporary_File(const Temporary_File&) = delete;
  Temporary_File& operator=(const Temporary_File&) = delete;
  ~Temporary_File() {
    if (!name_.empty()) std::remove(name_.c_str());
  }
  const std::string& name() const { return name_; }
  void release() { name_.clear(); }

 private:
  std::string name_;
};

}  // namespace

void write_output_file(const std::string& path,
                       const std::function<void(const Output_Writer&)>& produce) {
  const auto failure = [&path](const std::string& reason) {
    return Tool_Error("cannot write " + path + ": " + reason);
  };
  Temporary_File temporary(temporary_name_for(path));
  std::FILE* file = std::fopen(temporary.name().c_str(), "wb");
  if (!file) throw failure(std::strerror(errno));
  int write_error = 0;
  try {
    produce([&](std::string_view piece) {
      if (write_error == 0 && std::fwrite(piece.data(), 1, piece.size(), file) != piece.size())
        write_error = errno != 0 ? errno : EIO;
    });
  } catch (...) {
    std::fclose(file);
    throw;
  }
  const bool closed = std::fclose(file) == 0;
  if (write_error != 0) throw failure(std::strerror(write_error));
  if (!closed) throw failure(std::strerror(errno));
  std::error_code error;
  std::filesystem::rename(temporary.name(), path, error);
  if (error) throw failure(error.message());
  temporary.release();
}

void write_output_file(const std::string& path, std::string_view content) {
  write_output_file(path, [content](const Output_Writer& write) { write(content); });
}

}  // namespace hlr_tool
