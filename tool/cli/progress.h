// One status line on standard error, rewritten in place, only when
// standard error is a terminal and the user did not ask for quiet.
#pragma once

#include <string>

namespace hlr_tool {

class Progress {
 public:
  explicit Progress(bool quiet);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // Clears the line.
  ~Progress();

  void show(const std::string& status);
  void clear();

 private:
  bool shown_;
  bool dirty_ = false;
};

}  // namespace hlr_tool
