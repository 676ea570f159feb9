// The files the tool reads (models, CAD parts): what their names say and
// whether they can be opened, checked before a reader is chosen.
#pragma once

#include <string>
#include <string_view>

namespace hlr_tool {

// The extension of the file name at the end of `path`, without the dot and
// in lower case ("step" for "parts.v2/Axle.STEP"); empty when the name has
// none. A dot in a folder's name is not an extension.
std::string extension_of(std::string_view path);

// Throws Tool_Error (exit status 2), its message starting with `path`, when
// there is no file at `path`, when it is a folder ("is a directory, not a
// `kind`"), or when it cannot be opened for reading.
void check_readable(const std::string& path, std::string_view kind);

}  // namespace hlr_tool
