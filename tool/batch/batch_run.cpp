#include "tool/batch/batch_run.h"

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>

#include "tool/common/clock.h"
#include "tool/common/errors.h"
#include "tool/common/output_file.h"
#include "tool/common/thread_budget.h"
#include "tool/common/worker_process.h"

namespace hlr_tool {

namespace {

// An input being drawn by its worker.
struct Running_Item {
  std::size_t index = 0;
  std::unique_ptr<Worker_Process> worker;
  Clock::time_point start;
  bool out_of_time = false;
};

// The last non-empty line of a worker's standard error: what a crash or
// a library printed last.
std::string last_line(const std::string& text) {
  std::size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "";
  const std::size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

Batch_Entry finished_entry(const Batch_Item& item, Running_Item& running, double time_limit) {
  Worker_Process& worker = *running.worker;
  const int status = worker.wait();
  worker.read_available();
  Batch_Entry entry;
  if (!running.out_of_time && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    try {
      entry = entry_from_json(worker.out());
    } catch (const std::runtime_error& error) {
      entry.message = std::string("the worker's answer could not be read: ") + error.what();
      entry.exit_status = exit_failure;
    }
  } else {
    entry.exit_status = exit_failure;
    if (running.out_of_time) {
      entry.message =
          "stopped after the time limit of " + seconds_text(time_limit) + " s (--time-limit)";
    } else {
      entry.message = "the drawing's process " + how_it_ended(status);
      const std::string said = last_line(worker.err());
      if (!said.empty()) entry.message += ": " + said;
    }
  }
  entry.input = item.input;
  entry.output = item.output;
  entry.seconds = milliseconds_since(running.start) / 1000.0;
  return entry;
}

void make_output_folders(const std::vector<Batch_Item>& items) {
  for (const Batch_Item& item : items) {
    const std::filesystem::path folder = std::filesystem::path(item.output).parent_path();
    if (folder.empty()) continue;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
  }
}

}  // namespace

std::vector<Batch_Item> plan_batch(const Batch_Request& request) {
  request.validate();
  return batch_items(expand_inputs(request.inputs), request.output);
}

Batch_Report run_batch(const Batch_Request& request, const Batch_Front_End& front_end) {
  const Clock::time_point start = Clock::now();
  const std::vector<Batch_Item> items = plan_batch(request);
  const Draw_Request settings = request.draw_settings();

  Batch_Report report;
  report.entries.resize(items.size());
  std::vector<std::size_t> to_draw;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!request.force && up_to_date(items[i])) {
      report.entries[i] = {items[i].input, items[i].output, Batch_Status::up_to_date};
    } else {
      to_draw.push_back(i);
    }
  }
  make_output_folders(items);

  // The batch's threads shared out as for the views of a sheet: so many
  // inputs at once, each worker with its share (the drawing is the same
  // for every number of threads).
  const Thread_Budget budget(settings.jobs);
  const std::size_t at_once = budget.parts_at_once(to_draw.size());
  std::vector<Option_Text> worker_options;
  for (const Option_Text& option : request.draw_options) {
    if (option.first != "jobs" && option.first != "quiet") worker_options.push_back(option);
  }
  worker_options.push_back({"jobs", std::to_string(budget.share(to_draw.size()).threads())});
  std::vector<std::string> common_arguments{"draw"};
  for (const auto& [name, text] : worker_options) {
    common_arguments.push_back(name);
    common_arguments.push_back(text);
  }

  Batch_Progress progress;
  progress.total = items.size();
  progress.done = items.size() - to_draw.size();
  std::vector<Running_Item> running;
  std::size_t next = 0;
  Clock::time_point told = Clock::now();
  while (next < to_draw.size() || !running.empty()) {
    while (running.size() < at_once && next < to_draw.size()) {
      const Batch_Item& item = items[to_draw[next]];
      std::vector<std::string> arguments{common_arguments[0], item.input, item.output};
      arguments.insert(arguments.end(), common_arguments.begin() + 1, common_arguments.end());
      running.push_back({to_draw[next++],
                         std::make_unique<Worker_Process>(front_end.worker_program, arguments),
                         Clock::now()});
    }
    std::vector<Worker_Process*> workers;
    for (Running_Item& r : running) workers.push_back(r.worker.get());
    wait_for_workers(workers, std::chrono::milliseconds(100));
    if (front_end.interrupted && front_end.interrupted()) throw Tool_Error("interrupted");

    for (auto r = running.begin(); r != running.end();) {
      r->worker->read_available();
      if (request.time_limit > 0.0 && !r->out_of_time &&
          milliseconds_since(r->start) > request.time_limit * 1000.0) {
        r->out_of_time = true;
        r->worker->kill();
      }
      if (!r->worker->pipes_closed()) {
        ++r;
        continue;
      }
      Batch_Entry& entry = report.entries[r->index];
      entry = finished_entry(items[r->index], *r, request.time_limit);
      r = running.erase(r);
      ++progress.done;
      progress.running = running.size();
      progress.finished = &entry;
      if (front_end.progress) front_end.progress(progress);
      told = Clock::now();
    }
    if (front_end.progress && milliseconds_since(told) > 1000.0) {
      progress.running = running.size();
      progress.finished = nullptr;
      front_end.progress(progress);
      told = Clock::now();
    }
  }
  report.seconds = milliseconds_since(start) / 1000.0;
  if (!request.report.empty()) write_output_file(request.report, report_json(report));
  return report;
}

Batch_Entry draw_batch_item(std::span<const Option_Text> draw_options, const Batch_Item& item,
                            const std::string& default_module, const std::string& worker_program) {
  Batch_Entry entry{item.input, item.output};
  const Clock::time_point start = Clock::now();
  std::vector<std::string> warnings;
  try {
    const Draw_Request request = drawing_request(draw_options, item);
    Draw_Front_End front_end;
    front_end.default_module = default_module;
    front_end.worker_program = worker_program;
    front_end.warn = [&warnings](const std::string& warning) { warnings.push_back(warning); };
    Finished_Drawing drawing = draw_request(request, front_end);
    write_drawing_files(drawing, request);
    const Draw_Totals totals = draw_totals(drawing);
    const auto drawn = [&totals](Layer layer) {
      return totals.pieces.drawn[static_cast<std::size_t>(layer)];
    };
    entry.counts = {totals.scene.triangles, totals.scene.edges,          drawn(Layer::visible),
                    drawn(Layer::hidden),   drawn(Layer::intersections), totals.svg_polylines};
    entry.status = Batch_Status::drawn;
  } catch (const Tool_Error& error) {
    entry.exit_status = error.exit_status();
    entry.message = error.what();
  } catch (const std::bad_alloc&) {
    entry.exit_status = exit_failure;
    entry.message = "out of memory";
  } catch (const std::exception& error) {
    entry.exit_status = exit_failure;
    entry.message = error.what();
  }
  for (const std::string& warning : warnings) {
    entry.message += (entry.message.empty() ? "warning: " : "; warning: ") + warning;
  }
  entry.seconds = milliseconds_since(start) / 1000.0;
  return entry;
}

}  // namespace hlr_tool
