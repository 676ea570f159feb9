// The one function of the Assimp module (libhlr_assimp.so), which holds
// everything that links Assimp. The tool opens it only for a file its own
// readers leave to Assimp (mesh_readers.h): Assimp and the libraries it
// pulls in (draco, minizip) took 1.2 ms of processor time in the dynamic
// linking of every run, a run on an OFF, OBJ, STL or PLY file included.
#pragma once

#include <optional>
#include <string>

#include "tool/common/module_open.h"
#include "tool/models/model.h"

namespace hlr_tool {

struct Assimp_Load_Call {
  const std::string* path;
  Model* model;                         // filled when the call returns 0
  std::optional<Up_Axis>* declared_up;  // the up axis the file declares, if any
  std::string* error;                   // the message when it returns an exit status
};

inline constexpr const char* assimp_entry_name = "hlr_assimp_load";

// load_model_through_assimp in the module: 0 on success, else the exit
// status of the Tool_Error it threw, with its message in *error.
extern "C" HLR_MODULE_ENTRY_EXPORT int hlr_assimp_load(const Assimp_Load_Call* call);

}  // namespace hlr_tool
