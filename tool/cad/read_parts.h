// Reading one CAD file into its parts, in the reader process
// (hlr-cad-read): BREP directly, STEP and IGES through the XDE module
// (xde_entry.h), with Open CASCADE's own checks of what was read.
#pragma once

#include <Message_ProgressRange.hxx>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tool/cad/xde_entry.h"
#include "tool/common/input_files.h"

namespace hlr_tool {

enum class Cad_Format { step, iges, brep };

// By the file name's extension (any case); nothing for other names.
inline std::optional<Cad_Format> cad_format_of(std::string_view path) {
  const std::string extension = extension_of(path);
  if (extension == "step" || extension == "stp") return Cad_Format::step;
  if (extension == "iges" || extension == "igs") return Cad_Format::iges;
  if (extension == "brep") return Cad_Format::brep;
  return std::nullopt;
}

struct Parts_Read {
  std::vector<Cad_Part> parts;
  // What the reader's checks found wrong in a file it read only in part,
  // each a sentence without the file's name.
  std::vector<std::string> faults;
};

// Throws Tool_Error (exit status 2), its message without the file's name,
// when the file cannot be read at all.
Parts_Read read_cad_parts(const std::string& path, Cad_Format format,
                          const Message_ProgressRange& progress);

}  // namespace hlr_tool
