// A model file's bytes, mapped into memory read-only for as long as the
// Mapped_File lives: the readers walk them in place, without a copy.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hlr_tool {

class Mapped_File {
 public:
  // Throws Tool_Error (status 2) naming `path` when the file cannot be
  // opened or mapped. An empty file maps to no bytes.
  explicit Mapped_File(const std::string& path);
  ~Mapped_File();
  Mapped_File(const Mapped_File&) = delete;
  Mapped_File& operator=(const Mapped_File&) = delete;

  const char* begin() const { return bytes_; }
  const char* end() const { return bytes_ + size_; }
  std::size_t size() const { return size_; }
  std::string_view bytes() const { return {bytes_, size_}; }

 private:
  const char* bytes_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace hlr_tool
