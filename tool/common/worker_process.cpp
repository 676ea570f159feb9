#include "tool/common/worker_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tool/common/errors.h"

extern char** environ;

namespace hlr_tool {

namespace {

// Both ends of a pipe, closed on every way out unless taken.
struct Pipe {
  int ends[2] = {-1, -1};
  Pipe() {
    if (pipe2(ends, O_CLOEXEC) != 0) {
      throw Tool_Error(std::string("cannot start a worker process: ") + std::strerror(errno));
    }
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    for (int fd : ends) {
      if (fd >= 0) close(fd);
    }
  }
  int take_reading_end() { return std::exchange(ends[0], -1); }
};

// Appends what `fd` holds to `into`; closes it and sets it to -1 at its end.
void drain(int& fd, std::string& into) {
  if (fd < 0) return;
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) {
      into.append(chunk, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    close(fd);
    fd = -1;
    return;
  }
}

}  // namespace

pid_t spawn_program(const std::string& program, const std::vector<std::string>& arguments,
                    Spawn_Actions& actions, const std::string& what) {
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failed =
      posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv.data(), environ);
  if (failed != 0) {
    throw Tool_Error("cannot start " + what + " " + program + ": " + std::strerror(failed));
  }
  return pid;
}

Worker_Process::Worker_Process(const std::string& program,
                               const std::vector<std::string>& arguments) {
  Pipe out, err;
  Spawn_Actions actions;
  posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions.get(), out.ends[1], 1);
  posix_spawn_file_actions_adddup2(actions.get(), err.ends[1], 2);

  pid_ = spawn_program(program, arguments, actions, "the worker program");
  out_fd_ = out.take_reading_end();
  err_fd_ = err.take_reading_end();
  fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  fcntl(err_fd_, F_SETFL, O_NONBLOCK);
}

Worker_Process::~Worker_Process() {
  kill();
  wait();
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

void Worker_Process::read_available() {
  drain(out_fd_, out_);
  drain(err_fd_, err_);
}

std::vector<int> Worker_Process::open_pipes() const {
  std::vector<int> fds;
  if (out_fd_ >= 0) fds.push_back(out_fd_);
  if (err_fd_ >= 0) fds.push_back(err_fd_);
  return fds;
}

int Worker_Process::wait() {
  while (!reaped_ && pid_ > 0) {
    if (waitpid(pid_, &status_, 0) == pid_ || errno != EINTR) reaped_ = true;
  }
  return status_;
}

void Worker_Process::kill() {
  if (!reaped_ && pid_ > 0) ::kill(pid_, SIGKILL);
}

void wait_for_workers(std::span<Worker_Process* const> workers, std::chrono::milliseconds wait) {
  std::vector<pollfd> fds;
  for (const Worker_Process* worker : workers) {
    for (int fd : worker->open_pipes()) fds.push_back({fd, POLLIN, 0});
  }
  if (fds.empty()) return;
  poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
}

std::string how_it_ended(int wait_status) {
  if (WIFEXITED(wait_status)) {
    const int status = WEXITSTATUS(wait_status);
    return status == 0 ? "" : "ended with status " + std::to_string(status);
  }
  if (WIFSIGNALED(wait_status)) {
    const int number = WTERMSIG(wait_status);
    const char* name = strsignal(number);
    const std::string what = name != nullptr ? name : "signal " + std::to_string(number);
    return (number == SIGKILL ? "was killed (" : "crashed (") + what + ")";
  }
  return "ended";
}

void end_with_parent() {
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The parent may have gone before the request was made.
  if (getppid() != parent) _exit(1);
}

}  // namespace hlr_tool
