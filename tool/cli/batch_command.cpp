// hlr-render batch: a drawing for every input, each byte for byte what
// `hlr-render draw INPUT -o OUTPUT` with the same options writes. The
// command is a front end of tool/batch/batch_request.h: the draw options
// are registered from the option table, the batch's own from
// batch_options(), and run_batch does the work. What it adds is the
// terminal's: the progress line, a line per failed input, the summary.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tool/batch/batch_run.h"
#include "tool/cli/commands.h"
#include "tool/cli/draw_option_registry.h"
#include "tool/cli/progress.h"
#include "tool/common/errors.h"
#include "tool/session/module_path.h"

namespace hlr_tool {

namespace {

struct Batch_Command {
  std::vector<std::string> inputs;
  Draw_Option_Registry draw_options;
  // The batch's own options as CLI11 holds them.
  std::vector<std::pair<const Batch_Option*, CLI::Option*>> own;
  std::vector<std::unique_ptr<std::string>> own_texts;
  std::string worker_program;
};

Batch_Request request_of(const Batch_Command& command) {
  Batch_Request request;
  request.inputs = command.inputs;
  for (const Given_Option& given : command.draw_options.given()) {
    request.draw_options.push_back({given.option->name, given.text});
  }
  for (std::size_t k = 0; k < command.own.size(); ++k) {
    const auto& [option, cli] = command.own[k];
    if (cli->count() == 0) continue;
    apply_batch_option(request, *option,
                       option->kind == Option_Kind::flag ? "true" : *command.own_texts[k]);
  }
  return request;
}

std::string summary_of(const Batch_Report& report) {
  return std::to_string(report.entries.size()) +
         " inputs: " + std::to_string(report.count(Batch_Status::drawn)) + " drawn, " +
         std::to_string(report.count(Batch_Status::up_to_date)) + " up to date, " +
         std::to_string(report.count(Batch_Status::failed)) + " failed";
}

void run(const Batch_Command& command) {
  const Batch_Request request = request_of(command);
  request.validate();
  const Draw_Request settings = request.draw_settings();
  Progress progress(settings.quiet, settings.progress);
  Batch_Front_End front_end;
  front_end.worker_program = command.worker_program;
  front_end.progress = [&progress](const Batch_Progress& p) {
    if (p.finished != nullptr && p.finished->status == Batch_Status::failed) {
      progress.clear();
      // The drawing's own messages name their file already.
      const std::string& message = p.finished->message;
      std::cerr << "hlr-render batch: "
                << (message.find(p.finished->input) == std::string::npos
                        ? p.finished->input + ": " + message
                        : message)
                << std::endl;
    }
    progress.show(std::to_string(p.done) + " of " + std::to_string(p.total) + " inputs done, " +
                  std::to_string(p.running) + " drawing" +
                  (p.finished != nullptr ? " (last: " + p.finished->input + ")" : ""));
  };
  const Batch_Report report = run_batch(request, front_end);
  progress.clear();
  const std::string summary = summary_of(report) + " in " +
                              std::to_string(static_cast<long>(report.seconds + 0.5)) + " s" +
                              (request.report.empty() ? "" : " (" + request.report + ")");
  if (report.exit_status() != 0) throw Tool_Error(summary, report.exit_status());
  if (!request.draw_settings().quiet) std::cerr << "hlr-render batch: " << summary << std::endl;
}

}  // namespace

void add_batch_command(CLI::App& app, const char* argv0) {
  auto batch = std::make_shared<Batch_Command>();
  batch->worker_program = worker_program_path(argv0);
  CLI::App* command = app.add_subcommand(
      "batch",
      "Draw each input into a file of its own, as `hlr-render draw INPUT -o OUTPUT` would, "
      "several at once; inputs whose drawing is up to date are skipped, failing inputs are "
      "reported and the rest drawn.");
  command
      ->add_option("INPUT", batch->inputs,
                   "Model files and CAD parts, glob patterns ('parts/*.step', quoted) and @FILE "
                   "(a list of inputs, one a line)")
      ->required();
  batch->draw_options.register_options(
      *command, [](const Draw_Option& option) { return !not_in_batch(option.name); }, false);
  for (const Batch_Option& option : batch_options()) {
    std::string names = "--" + option.name;
    if (option.short_name != 0) names = std::string("-") + option.short_name + "," + names;
    const std::string help =
        option.help + (option.default_text.empty() ? "" : " (default " + option.default_text + ")");
    CLI::Option* cli = nullptr;
    auto& text = *batch->own_texts.emplace_back(std::make_unique<std::string>());
    if (option.kind == Option_Kind::flag) {
      cli = command->add_flag(names)->description(help);
    } else {
      cli = command->add_option(names, text, help)->option_text(option.value_name);
    }
    cli->group("Batch")->required(option.required_on_command_line);
    batch->own.push_back({&option, cli});
  }
  command->allow_extras();
  command->footer(
      "--jobs N is the threads of the whole batch: min(inputs, N) inputs are drawn at once, each "
      "renderer with N / that many.\nEach input is drawn in a process of its own "
      "(hlr-render-worker), so an "
      "input that crashes,\nhangs (see --time-limit) or runs out of memory fails alone.\n"
      "\n"
      "Exit status: 0 every input drawn or up to date, 3 some inputs failed (the others were "
      "drawn;\n--report lists them), 2 a fault in the command line, 1 anything else.");
  command->callback([command, batch] {
    batch->draw_options.refuse_unknown_options(*command);
    run(*batch);
  });
}

}  // namespace hlr_tool
