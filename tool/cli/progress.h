// Progress on standard error. On a terminal: one status line, rewritten in
// place, unless the user asked for quiet. Elsewhere (a log, a pipe) only
// when forced (--progress), then one line per phase: a status names its
// phase ("tessellating bottle.brep") and may follow with ": NN%" as the
// phase advances; a new phase starts a line, and its percentages are added
// to it every tenth ("hlr-render: tessellating terrain.brep 10% 20% ...").
#pragma once

#include <string>

namespace hlr_tool {

class Progress {
 public:
  Progress(bool quiet, bool forced);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // Clears the line.
  ~Progress();

  void show(const std::string& status);
  void clear();

 private:
  enum class Mode { off, line_in_place, line_per_phase };
  Mode mode_;
  bool dirty_ = false;
  std::string phase_;
  int percent_shown_ = -1;
};

}  // namespace hlr_tool
