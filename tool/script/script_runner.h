// Running a picture script: the statements of a script, in order, against
// one renderer whose next renderer records every call that reaches it.
//
// The runner plays the host: it creates the renderer through the module's
// entry point, holds one reference on it, hands out renditions (the script's
// own ones, and `default`, the renderer's renderer_rendition), sets options
// in the renderer's current_option_table, calls the stage operations and
// the actions of the renderer's action table, and at the end drops every
// reference it took. A renderer that leaves host objects alive after that
// is a fault the runner reports.
#pragma once

#include <vector>

#include "module_loader.h"
#include "recording_renderer.h"
#include "tool/script/picture_script.h"

namespace hlr_tool {

// Runs `script` against a renderer made by `create_renderer` and returns
// the calls that reached the recording renderer, in order of arrival.
// Failures while running (an exception from the renderer, an option the
// renderer lacks, host objects left alive) throw Tool_Error with exit
// status 1 and a message "FILE:LINE: ..." naming the statement.
std::vector<KT_Recorded_Call> run_picture_script(const Picture_Script& script,
                                                 KD_Renderer_Function create_renderer);

}  // namespace hlr_tool
