// Where the tool finds the renderer module when the command line does not
// say: the module file built beside the executable.
#pragma once

#include <string>

namespace hlr_tool {

// Environment variable that names the module when --module is not given.
inline constexpr const char* module_environment_variable = "HLR_RENDERER_MODULE";

// The path of the module "hlr_renderer" in the folder of the running
// executable (found through /proc/self/exe where there is one, else through
// `argv0`).
std::string default_module_path(const char* argv0);

// hlr-render-worker beside the running executable, which draws a batch's
// inputs and a tiled drawing's tiles in processes of their own.
std::string worker_program_path(const char* argv0);

// The module a run loads: `given` when not empty, else the one the
// environment variable names when it is set and not empty, else
// `installed` (the module beside the program).
std::string renderer_module_path(const std::string& given, const std::string& installed);

}  // namespace hlr_tool
