// A CAD file's reader running as a process of its own (hlr-cad-read,
// reader_channel.h says what it sends), which the CAD module can wait on
// with a time limit and stop at any moment.
//
// Why a process: Open CASCADE's readers cannot be cancelled, and on some
// damaged files they never return (a BREP file cut short spun for good in
// BRepTools::Read, a STEP file cut short crashed the reader). In a process
// of its own a reader that takes too long is killed, one that crashes is a
// message, and the program that asked (a Python session waiting for
// Ctrl-C) is never held hostage. Its cost on good files is one process
// start and the shape sent back in binary: docs/performance.md has the
// figures.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tool/cad/reader_channel.h"

namespace hlr_tool {

struct Received_Frame {
  Reader_Frame kind;
  std::string payload;
};

class Reader_Process {
 public:
  // Starts `program` with `arguments` and a socket to it on
  // reader_socket_fd; its standard input, output and error are /dev/null.
  // Throws Tool_Error when it cannot be started.
  Reader_Process(const std::string& program, const std::vector<std::string>& arguments);
  Reader_Process(const Reader_Process&) = delete;
  Reader_Process& operator=(const Reader_Process&) = delete;
  // Kills the process if it still runs, and reaps it.
  ~Reader_Process();

  // The next whole frame that has arrived, if any (receive() brings them).
  std::optional<Received_Frame> take_frame();
  // Reads what the socket holds without waiting; false once the process
  // closed it (it ended), after which no more frames arrive.
  bool receive();
  bool ended() const { return ended_; }
  int socket() const { return socket_; }

  // Sends a frame; false when the process is gone.
  bool send(Reader_Frame kind, const std::string& payload);

  // Kills the process (SIGKILL), if it still runs.
  void kill();
  // How the process ended, for a message ("crashed (Segmentation
  // fault)", "ended with status 3"); waits for it to end.
  std::string how_it_ended();

 private:
  void reap(bool wait);

  pid_t pid_ = -1;
  int socket_ = -1;
  bool ended_ = false;
  std::optional<int> wait_status_;
  std::string buffer_;
};

// Waits until one of `processes` has something to read or has ended, or
// until `wait` has passed. The indices of the processes that have.
std::vector<std::size_t> wait_for_readers(std::span<Reader_Process* const> processes,
                                          std::chrono::milliseconds wait);

}  // namespace hlr_tool
