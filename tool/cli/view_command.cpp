// hlr-render view: the models read once, a page in the browser that turns
// them and shows the hidden-line drawing, served from 127.0.0.1
// (tool/server/viewer_server.h).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tool/cli/commands.h"
#include "tool/cli/draw_option_registry.h"
#include "tool/cli/progress.h"
#include "tool/common/errors.h"
#include "tool/server/viewer_server.h"
#include "tool/session/module_path.h"

extern char** environ;

namespace hlr_tool {

namespace {

struct View_Command {
  std::vector<std::string> models;
  Draw_Option_Registry options;
  std::string default_module;
  int port = 0;
  bool no_browser = false;
  double time_limit = 5.0;
};

// What a viewer has no use for: it writes no files (the page exports) and
// prints no counts.
bool viewer_takes(const Draw_Option& option) {
  // A live view is drawn whole: tiles are for models larger than a machine.
  for (const char* name : {"output", "record", "trace", "stats", "tiles", "tile-folder"}) {
    if (option.name == name) return false;
  }
  return true;
}

// xdg-open in the background, its output kept off ours (whose first line
// is the address); a thread waits for it to end.
void open_browser(const std::string& url) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  std::string program = "xdg-open";
  char* argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
  pid_t child = 0;
  const int error = posix_spawnp(&child, "xdg-open", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    std::cerr << "hlr-render view: could not start xdg-open (" << std::strerror(error)
              << "); open the address above in a browser" << std::endl;
    return;
  }
  std::thread([child] { waitpid(child, nullptr, 0); }).detach();
}

void view(const View_Command& command) {
  Viewer_Start start;
  for (const std::string& path : command.models) start.models.push_back({path, nullptr});
  for (const Given_Option& given : command.options.given()) {
    start.options.push_back({given.option, given.text});
  }
  start.default_module = command.default_module;
  start.port = command.port;
  start.time_limit = std::chrono::duration<double>(command.time_limit);
  const Draw_Request request = request_of(command.models, command.options.given());
  Progress progress(request.quiet, request.progress);
  Draw_Front_End front_end;
  front_end.progress = [&progress](const std::string& status) { progress.show(status); };
  front_end.warn = [&progress](const std::string& warning) {
    progress.clear();
    std::cerr << "hlr-render view: warning: " << warning << std::endl;
  };
  Viewer_Server server(std::move(start), front_end);
  progress.clear();
  std::cout << server.url() << std::endl;
  if (!command.no_browser) open_browser(server.url());
  server.serve();
}

}  // namespace

void add_view_command(CLI::App& app, const char* argv0) {
  auto view_command = std::make_shared<View_Command>();
  view_command->default_module = default_module_path(argv0);
  CLI::App* command = app.add_subcommand(
      "view",
      "Turn the models in the browser and see their hidden-line drawing follow, then export "
      "it: reads them once and serves a page on 127.0.0.1. The first line printed is the "
      "page's address, with a token every request needs.");
  command
      ->add_option("MODEL", view_command->models,
                   "Model files and CAD parts, as for hlr-render draw, drawn together")
      ->required();
  command->add_option("--port", view_command->port, "The port to listen on; 0 picks a free one")
      ->check(CLI::Range(0, 65535))
      ->capture_default_str()
      ->group("Viewer");
  command->add_flag("--no-browser", view_command->no_browser, "Do not open a browser (xdg-open)")
      ->group("Viewer");
  command
      ->add_option("--time-limit", view_command->time_limit,
                   "Seconds a drawing may take; a longer one stops between its phases and the "
                   "page says so")
      ->check(CLI::PositiveNumber)
      ->capture_default_str()
      ->group("Viewer");
  view_command->options.register_options(*command, viewer_takes, false);
  command->allow_extras();
  command->footer(
      "The drawing options are the page's first state; every drawing the page asks for "
      "carries its own, and draws exactly what hlr-render draw draws with them (the page shows "
      "that command). The CAD options, --jobs and --module hold for the whole run.");
  command->callback([command, view_command] {
    view_command->options.refuse_unknown_options(*command);
    view(*view_command);
  });
}

}  // namespace hlr_tool
