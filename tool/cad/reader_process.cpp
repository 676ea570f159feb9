#include "tool/cad/reader_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tool/common/worker_process.h"

namespace hlr_tool {

namespace {

// A file descriptor closed on every way out.
class Owned_Fd {
 public:
  explicit Owned_Fd(int fd = -1) : fd_(fd) {}
  Owned_Fd(const Owned_Fd&) = delete;
  Owned_Fd& operator=(const Owned_Fd&) = delete;
  ~Owned_Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

}  // namespace

Reader_Process::Reader_Process(const std::string& program,
                               const std::vector<std::string>& arguments) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    throw Tool_Error(std::string("cannot start the CAD reader: ") + std::strerror(errno));
  Owned_Fd ours(ends[0]), theirs(ends[1]);
  // The child's end is moved to reader_socket_fd by dup2, which clears
  // close-on-exec; it must not already sit there (dup2 onto itself would
  // leave the flag set).
  if (theirs.get() == reader_socket_fd) {
    const int moved = fcntl(theirs.get(), F_DUPFD_CLOEXEC, reader_socket_fd + 1);
    if (moved < 0)
      throw Tool_Error(std::string("cannot start the CAD reader: ") + std::strerror(errno));
    theirs.reset(moved);
  }

  Spawn_Actions actions;
  posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(actions.get(), theirs.get(), reader_socket_fd);

  pid_ = spawn_program(program, arguments, actions, "the CAD reader");
  socket_ = ours.release();
}

Reader_Process::~Reader_Process() {
  kill();
  reap(true);
  if (socket_ >= 0) close(socket_);
}

std::optional<Received_Frame> Reader_Process::take_frame() {
  const std::optional<std::uint64_t> length = frame_length(buffer_);
  if (!length || buffer_.size() - frame_header_bytes < *length) return std::nullopt;
  Received_Frame frame{static_cast<Reader_Frame>(buffer_[0]),
                       buffer_.substr(frame_header_bytes, std::size_t(*length))};
  buffer_.erase(0, frame_header_bytes + std::size_t(*length));
  return frame;
}

bool Reader_Process::receive() {
  if (ended_) return false;
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = recv(socket_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0) {
      buffer_.append(chunk, std::size_t(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    ended_ = true;  // closed, or broken
    return false;
  }
}

bool Reader_Process::send(Reader_Frame kind, const std::string& payload) {
  const std::string bytes = frame_bytes(kind, payload);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    // MSG_NOSIGNAL: a reader that died must not take this process with
    // it through SIGPIPE.
    const ssize_t put = ::send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    sent += std::size_t(put);
  }
  return true;
}

void Reader_Process::kill() {
  reap(false);
  if (pid_ > 0 && !wait_status_) ::kill(pid_, SIGKILL);
}

void Reader_Process::reap(bool wait) {
  if (pid_ <= 0 || wait_status_) return;
  int status = 0;
  pid_t done = 0;
  do {
    done = waitpid(pid_, &status, wait ? 0 : WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == pid_) wait_status_ = status;
  if (done < 0) wait_status_ = 0;  // reaped by someone else: nothing more to learn
}

std::string Reader_Process::how_it_ended() {
  reap(true);
  const std::string how = hlr_tool::how_it_ended(wait_status_.value_or(0));
  return how.empty() ? "ended" : how;
}

std::vector<std::size_t> wait_for_readers(std::span<Reader_Process* const> processes,
                                          std::chrono::milliseconds wait) {
  std::vector<pollfd> watched;
  for (Reader_Process* process : processes) watched.push_back({process->socket(), POLLIN, 0});
  std::vector<std::size_t> ready;
  const int count = poll(watched.data(), watched.size(), int(wait.count()));
  if (count <= 0) return ready;  // time up, or a signal: the caller looks again
  for (std::size_t k = 0; k < watched.size(); ++k) {
    if (watched[k].revents != 0) ready.push_back(k);
  }
  return ready;
}

}  // namespace hlr_tool
