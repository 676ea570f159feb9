// What a batch did with each input, and the JSON report of --report (and
// Python's batch) that lists them. The report, an object:
//   "inputs", "drawn", "up_to_date", "failed": counts of inputs
//   "seconds": the batch's wall-clock time
//   "entries": one object per input, in the order of the inputs:
//     "input", "output": the paths
//     "status": "drawn", "up-to-date" (skipped: the drawing is newer) or
//               "failed"
//     "exit_status": what `hlr-render draw` would have ended with: 0, 2
//               for a fault in the input, 1 for anything else (a crash, a
//               run stopped at the time limit)
//     "seconds": wall-clock time of the input, process start to the file
//               written (0 for an up-to-date input)
//     "counts": of a drawn input: "triangles", "edges" (drawn segments),
//               "visible", "hidden" and "intersections" (pieces drawn),
//               "polylines" (written); all 0 otherwise
//     "message": why it failed, or the warnings of a drawn input; "" else
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace hlr_tool {

enum class Batch_Status { drawn, up_to_date, failed };

struct Batch_Counts {
  std::size_t triangles = 0;
  std::size_t edges = 0;
  std::size_t visible = 0;
  std::size_t hidden = 0;
  std::size_t intersections = 0;
  std::size_t polylines = 0;
};

struct Batch_Entry {
  std::string input{};
  std::string output{};
  Batch_Status status = Batch_Status::failed;
  int exit_status = 0;
  double seconds = 0.0;
  Batch_Counts counts{};
  std::string message{};
};

struct Batch_Report {
  std::vector<Batch_Entry> entries;
  double seconds = 0.0;

  std::size_t count(Batch_Status status) const;
  // 0 when nothing failed, exit_some_inputs_failed (batch_request.h) else.
  int exit_status() const;
};

// One entry as a JSON object, and back (the worker's answer to its
// parent). entry_from_json throws std::runtime_error for text that is not
// such an object.
std::string entry_json(const Batch_Entry& entry);
Batch_Entry entry_from_json(const std::string& text);

// The whole report, indented, ending with a newline.
std::string report_json(const Batch_Report& report);

}  // namespace hlr_tool
