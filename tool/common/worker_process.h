// A child process of the tool's worker program (hlr-render-worker), with
// its standard output and error read through pipes, that can be stopped at
// any moment. Batches draw every input in one (a model that crashes or
// hangs its reader, or takes more memory than there is, ends that process
// only), and tiled drawings draw every tile in one.
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <chrono>
#include <span>
#include <string>
#include <vector>

namespace hlr_tool {

// posix_spawn's file actions, destroyed on every way out.
class Spawn_Actions {
 public:
  Spawn_Actions() { posix_spawn_file_actions_init(&actions_); }
  Spawn_Actions(const Spawn_Actions&) = delete;
  Spawn_Actions& operator=(const Spawn_Actions&) = delete;
  ~Spawn_Actions() { posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// Starts `program` with `arguments` (argv[1] on) and `actions`, in this
// process's environment. Throws Tool_Error "cannot start `what` PROGRAM:
// REASON" when it cannot.
pid_t spawn_program(const std::string& program, const std::vector<std::string>& arguments,
                    Spawn_Actions& actions, const std::string& what);

class Worker_Process {
 public:
  // Starts `program` with `arguments` (argv[1] on), standard input
  // /dev/null. Throws Tool_Error (exit status 1) when it cannot start.
  Worker_Process(const std::string& program, const std::vector<std::string>& arguments);
  Worker_Process(const Worker_Process&) = delete;
  Worker_Process& operator=(const Worker_Process&) = delete;
  // Kills the process if it still runs, and reaps it.
  ~Worker_Process();

  // Reads what the pipes hold, without waiting.
  void read_available();
  // Both pipes were closed: the process ended (or closed them); wait()
  // then returns at once, or nearly.
  bool pipes_closed() const { return out_fd_ < 0 && err_fd_ < 0; }
  // Waits for the process to end; the wait status (sys/wait.h).
  int wait();
  // Stops the process (SIGKILL), if it still runs.
  void kill();

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  std::vector<int> open_pipes() const;

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::string out_, err_;
};

// Waits until a pipe of one of `workers` has something, or closed, or
// `wait` has passed.
void wait_for_workers(std::span<Worker_Process* const> workers, std::chrono::milliseconds wait);

// How a process ended, for a message: "" for exit status 0, "ended with
// status 3", "crashed (Segmentation fault)", "was killed (Killed)".
std::string how_it_ended(int wait_status);

// The worker program's side: makes the process end when its parent does
// (a batch stopped by Ctrl-C or killed leaves no drawing behind it). Call
// first thing in main.
void end_with_parent();

}  // namespace hlr_tool
