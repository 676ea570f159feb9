// The one function of the CAD module (libhlr_cad_occt.so), which holds
// everything that needs Open CASCADE (the STEP and IGES readers in a module
// of their own that it opens in turn, xde_entry.h). The tool opens the
// module only when it is given a CAD file: Open CASCADE's libraries take
// 20 ms (BREP) to 80 ms (STEP, IGES) of dynamic linking, which a run on
// meshes should not pay.
//
// Both sides are built from the same sources with the same compiler, so
// the call passes the tool's own types; failures come back as a message
// and an exit status rather than as exceptions across the boundary.
#pragma once

#include "tool/cad/cad_model.h"
#include "tool/common/errors.h"

#include <exception>
#include <new>
#include <string>
#include <vector>

#define HLR_CAD_ENTRY_EXPORT __attribute__((visibility("default")))

namespace hlr_tool {

struct Cad_Load_Call {
  const std::vector<std::string>* paths;
  const Cad_Options* options;
  std::vector<Model>* models;  // filled when the call returns 0
  std::string* error;          // the message when it returns an exit status
};

inline constexpr const char* cad_entry_name = "hlr_cad_load";

// load_cad_models in the module: 0 on success, else the exit status of the
// Tool_Error it threw, with its message in *error.
extern "C" HLR_CAD_ENTRY_EXPORT int hlr_cad_load(const Cad_Load_Call* call);

// The module side of a call across the boundary: runs `work` and returns 0,
// or the exit status of what it threw with the message in `error`.
template <class Work>
int status_of_module_call(std::string& error, Work&& work) {
  try {
    work();
    return 0;
  } catch (const Tool_Error& failure) {
    error = failure.what();
    return failure.exit_status();
  } catch (const std::bad_alloc&) {
    error = "out of memory while reading or tessellating CAD parts";
    return exit_failure;
  } catch (const std::exception& failure) {
    error = failure.what();
    return exit_failure;
  }
}

}  // namespace hlr_tool
