#include "tool/models/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool/common/errors.h"

namespace hlr_tool {
namespace {

// Closes the descriptor on every way out; the mapping outlives it.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

Mapped_File::Mapped_File(const std::string& path) {
  const Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0)
    throw input_error(path + ": cannot open the file for reading: " + std::strerror(errno));
  struct stat status {};
  if (::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
    throw input_error(path + ": not a regular file");
  size_ = std::size_t(status.st_size);
  if (size_ == 0) return;
  void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, file.fd, 0);
  if (mapped == MAP_FAILED) {
    size_ = 0;
    throw input_error(path + ": cannot map the file into memory: " + std::strerror(errno));
  }
  // The readers go through the file once, front to back: read it ahead.
  ::madvise(mapped, size_, MADV_WILLNEED);
  bytes_ = static_cast<const char*>(mapped);
}

Mapped_File::~Mapped_File() {
  if (bytes_ != nullptr) ::munmap(const_cast<char*>(bytes_), size_);
}

}  // namespace hlr_tool
