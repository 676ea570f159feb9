// The option table (tool/render/draw_options.h) on a CLI11 command: `draw`
// registers every option, `view` those a viewer takes. Each keeps its
// text as given, for apply_draw_option, so the table's checks and messages
// are the command line's.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tool/render/draw_options.h"
#include "tool/render/draw_request.h"

namespace hlr_tool {

// An option as given on the command line: flags as "true".
struct Given_Option {
  const Draw_Option* option = nullptr;
  std::string text;
};

class Draw_Option_Registry {
 public:
  // Registers the options of the table that `take` accepts (all of them
  // without it) on `command`, which must allow extras: refuse_unknown_options
  // names what it did not know.
  void register_options(CLI::App& command, const std::function<bool(const Draw_Option&)>& take = {},
                        bool output_required = true);

  // After parsing: the first unknown option of the command, with the
  // option the user most likely meant, as a Tool_Error (exit status 2).
  void refuse_unknown_options(const CLI::App& command) const;

  // The options given, in the table's order.
  std::vector<Given_Option> given() const;

 private:
  struct Registered {
    const Draw_Option* option = nullptr;
    CLI::Option* cli = nullptr;
    std::string text;
  };
  std::vector<std::unique_ptr<Registered>> options_;
};

// A request of these models with the options applied in order.
Draw_Request request_of(const std::vector<std::string>& models,
                        const std::vector<Given_Option>& options);

}  // namespace hlr_tool
