#include "tool/cli/progress.h"

#include <unistd.h>

#include <cctype>
#include <iostream>

namespace hlr_tool {

namespace {

struct Phase_Status {
  std::string phase;
  int percent = -1;  // none
};

// The status split at its ": NN%" ending, if it has one.
Phase_Status phase_of(const std::string& status) {
  if (status.empty() || status.back() != '%') return {status};
  std::size_t digits = status.size() - 1;
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(status[digits - 1]))) --digits;
  if (digits >= 2 && digits < status.size() - 1 && status.compare(digits - 2, 2, ": ") == 0)
    return {status.substr(0, digits - 2), std::stoi(status.substr(digits))};
  return {status};
}

}  // namespace

Progress::Progress(bool quiet, bool forced) {
  const bool terminal = isatty(STDERR_FILENO) == 1;
  if (quiet) {
    mode_ = Mode::off;
  } else if (terminal) {
    mode_ = Mode::line_in_place;
  } else {
    mode_ = forced ? Mode::line_per_phase : Mode::off;
  }
}

Progress::~Progress() { clear(); }

void Progress::show(const std::string& status) {
  switch (mode_) {
    case Mode::off:
      return;
    case Mode::line_in_place:
      std::cerr << "\r\033[Khlr-render: " << status << std::flush;
      dirty_ = true;
      return;
    case Mode::line_per_phase: {
      const Phase_Status now = phase_of(status);
      if (now.phase != phase_ || !dirty_) {
        clear();
        phase_ = now.phase;
        percent_shown_ = -1;
        std::cerr << "hlr-render: " << phase_;
        dirty_ = true;
      }
      if (now.percent >= 0 && (now.percent / 10 > percent_shown_ / 10 || percent_shown_ < 0)) {
        percent_shown_ = now.percent;
        std::cerr << ' ' << now.percent << '%';
      }
      std::cerr << std::flush;
      return;
    }
  }
}

void Progress::clear() {
  if (!dirty_) return;
  std::cerr << (mode_ == Mode::line_in_place ? "\r\033[K" : "\n") << std::flush;
  dirty_ = false;
}

}  // namespace hlr_tool
