// The STEP and IGES readers (Open CASCADE's XDE: assembly structure, names
// and colours) as a module of their own, libhlr_cad_xde.so, which the CAD
// module opens beside itself on the first STEP or IGES file. Their
// libraries, with the visualisation libraries the XDE document depends on,
// are about three quarters of the dynamic linking of Open CASCADE: opening
// the CAD module takes 20 ms with them apart, 78 ms with them linked in
// (quiet bench machine), which a run on BREP parts alone should not pay.
//
// Both modules are built from the same sources with the same compiler and
// share Open CASCADE's libraries, so the call passes shapes; failures come
// back as a message and an exit status, as from the CAD module itself.
#pragma once

#include "tool/cad/cad_entry.h"
#include "tool/common/errors.h"
#include "tool/models/model.h"

#include <Message_ProgressRange.hxx>
#include <Standard_Failure.hxx>
#include <TopoDS_Shape.hxx>

#include <optional>
#include <string>
#include <vector>

namespace hlr_tool {

// A shape of the file to draw: placed in world coordinates, with the colour
// and name its labels give it.
struct Cad_Part {
  TopoDS_Shape shape;
  std::string name;
  std::optional<Color_ARGB> color;
};

enum class Xde_Format { step, iges };

struct Xde_Read_Call {
  const std::string* path;
  Xde_Format format;
  const Message_ProgressRange* progress;  // the transfer's share of the reading
  std::vector<Cad_Part>* parts;           // filled when the call returns 0
  // Filled when the call returns 0: what the reader's checks found wrong
  // in a file it read (entities it could not parse or transfer), each a
  // sentence without the file's name. Empty for a file read whole.
  std::vector<std::string>* faults;
  std::string* error;  // the message when it returns an exit status
};

inline constexpr const char* xde_entry_name = "hlr_cad_read_xde";

// Reads the file's parts, walking its assembly tree: 0 on success, else the
// exit status of the Tool_Error the reading threw, with its message in
// *error (without the file's name: the caller names it).
extern "C" HLR_CAD_ENTRY_EXPORT int hlr_cad_read_xde(const Xde_Read_Call* call);

// An exception of Open CASCADE's as a fault of the file (the caller adds
// its name).
inline Tool_Error open_cascade_error(const Standard_Failure& failure) {
  return input_error(std::string("Open CASCADE failed on it: ") + failure.GetMessageString());
}

}  // namespace hlr_tool
