// Runs a batch: every input drawn into its output, each in a worker
// process of its own (hlr-render-worker, beside the front end), as many at
// once as the batch's threads allow, each with its share of them.
//
// Why processes and not threads: an input may fail in ways a thread
// cannot survive. A damaged CAD file can crash or hang Open CASCADE's
// reader, a huge model can run the machine out of memory, and none of that
// may take the other inputs down. A worker that crashes, is killed or runs
// past the time limit is a failed input with a message, and the batch goes
// on. The cost is one process start per input (a few milliseconds beside
// reading and drawing a part).
//
// What a worker draws is exactly `hlr-render draw INPUT -o OUTPUT` with the
// batch's draw options: the worker builds that Draw_Request
// (drawing_request, batch_request.h) and calls draw_request and
// write_drawing_files; so the files are byte for byte draw's.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "tool/batch/batch_report.h"
#include "tool/batch/batch_request.h"

namespace hlr_tool {

struct Batch_Progress {
  std::size_t done = 0;   // inputs finished, up-to-date ones included
  std::size_t total = 0;  // inputs
  std::size_t running = 0;
  const Batch_Entry* finished = nullptr;  // the input just finished, if any
};

struct Batch_Front_End {
  // hlr-render-worker: beside hlr-render, or beside the Python extension.
  std::string worker_program;
  // Told after each input finishes (and while inputs run, about every
  // second, with finished null).
  std::function<void(const Batch_Progress&)> progress;
  // Asked about every tenth of a second: true stops the batch (its workers
  // are killed) with Tool_Error "interrupted".
  std::function<bool()> interrupted;
};

// The inputs (expanded) with their outputs, as run_batch draws them.
// Throws what Batch_Request::validate and batch_items throw.
std::vector<Batch_Item> plan_batch(const Batch_Request& request);

// Validates the request, draws every input that is not up to date (all
// with --force), writes the report when asked, and returns it. Throws
// Tool_Error: exit status 2 for a fault in the request, 1 when the report
// cannot be written or a worker cannot be started; a failing input is an
// entry of the report, never an exception.
Batch_Report run_batch(const Batch_Request& request, const Batch_Front_End& front_end);

// The worker program's side: draws one item with `draw_options` (jobs,
// quiet and the rest already set) and says how it went; never throws.
// `default_module` is the renderer module beside the worker,
// `worker_program` the worker itself (for --tiles).
Batch_Entry draw_batch_item(std::span<const Option_Text> draw_options, const Batch_Item& item,
                            const std::string& default_module, const std::string& worker_program);

}  // namespace hlr_tool
