// The one kind of failure the tool reports: a message for the user and the
// exit status the program ends with. Every failure in the tool becomes a
// Tool_Error before it reaches main, which prints what() and returns
// exit_status().
#pragma once

#include <stdexcept>
#include <string>

namespace hlr_tool {

// A fault in what the user gave us (a missing or unreadable model, a bad
// option value) ends the program with 2; anything else with 1.
inline constexpr int exit_input_error = 2;
inline constexpr int exit_failure = 1;

class Tool_Error : public std::runtime_error {
 public:
  explicit Tool_Error(const std::string& message, int exit_status = exit_failure)
      : std::runtime_error(message), exit_status_(exit_status) {}

  int exit_status() const noexcept { return exit_status_; }

 private:
  int exit_status_;
};

// A fault in the user's input or command line: exit status 2.
inline Tool_Error input_error(const std::string& message) {
  return Tool_Error(message, exit_input_error);
}

}  // namespace hlr_tool
