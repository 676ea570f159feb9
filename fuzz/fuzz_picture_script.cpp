// Fuzz target: arbitrary bytes read as a picture script and, when the
// reader accepts them, run against the renderer as `hlr-render run` does.
//
// The renderer is linked in: the runner creates it through KD_Renderer
// directly instead of loading the module. The reader must either accept the
// bytes or reject them with one input error that names the script; the
// runner must never fail on a script the reader accepted (an exception from
// the renderer, or host objects left alive after it, abort the run).
//
// Work per input is bounded before anything runs: scripts with more
// statements, points or updates than the limits below are read but not
// run, so one input cannot keep the fuzzer for long (the passes cost up to
// faces times edges, and intersection lines can add faces squared edges).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "hlr_renderer.h"
#include "tool/common/errors.h"
#include "tool/script/picture_script.h"
#include "tool/script/script_runner.h"

namespace {

constexpr std::size_t max_statements = 400;
constexpr int max_points = 200;
constexpr int max_updates = 16;

const std::string script_name = "fuzz.pic";

// The work a script asks for: its statements, the points of all its
// primitives, and its updates.
bool small_enough(const hlr_tool::Picture_Script& script) {
  if (script.statements.size() > max_statements) return false;
  int points = 0;
  int updates = 0;
  for (const hlr_tool::Statement& statement : script.statements) {
    std::visit(
        [&](const auto& body) {
          using Body = std::decay_t<decltype(body)>;
          if constexpr (std::is_same_v<Body, hlr_tool::Face_Statement> ||
                        std::is_same_v<Body, hlr_tool::Polyline_Statement> ||
                        std::is_same_v<Body, hlr_tool::Colored_Polyline_Statement>) {
            points += body.points.count();
          } else if constexpr (std::is_same_v<Body, hlr_tool::Marker_Statement>) {
            points += static_cast<int>(body.points.size());
          } else if constexpr (std::is_same_v<Body, hlr_tool::Stage_Statement>) {
            if (body.stage == hlr_tool::Stage::update) ++updates;
          }
        },
        statement.body);
    if (points > max_points || updates > max_updates) return false;
  }
  return true;
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz_picture_script: %s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  hlr_tool::Picture_Script script;
  try {
    script = hlr_tool::parse_picture_script(text, script_name);
  } catch (const hlr_tool::Tool_Error& error) {
    // A rejected script: one input error, "FILE:LINE:COL: ...".
    const std::string message = error.what();
    if (error.exit_status() != hlr_tool::exit_input_error ||
        message.compare(0, script_name.size() + 1, script_name + ":") != 0) {
      fail("the reader rejected a script without an input error naming it: " + message);
    }
    return 0;
  }
  if (!small_enough(script)) return 0;

  try {
    const auto calls = hlr_tool::run_picture_script(script, &KD_Renderer);
    // The trace writer sees every value the renderer sent.
    std::ostringstream trace;
    write_trace(trace, calls);
  } catch (const hlr_tool::Tool_Error& error) {
    fail(std::string("an accepted script failed to run: ") + error.what());
  }
  return 0;
}
