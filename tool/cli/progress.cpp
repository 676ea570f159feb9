#include "tool/cli/progress.h"

#include <unistd.h>

#include <iostream>

namespace hlr_tool {

Progress::Progress(bool quiet) : shown_(!quiet && isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() { clear(); }

void Progress::show(const std::string& status) {
  if (!shown_) return;
  std::cerr << "\r\033[Khlr-render: " << status << std::flush;
  dirty_ = true;
}

void Progress::clear() {
  if (!shown_ || !dirty_) return;
  std::cerr << "\r\033[K" << std::flush;
  dirty_ = false;
}

}  // namespace hlr_tool
