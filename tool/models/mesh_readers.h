// The tool's own readers of OFF, OBJ (with its MTL materials), STL (ASCII
// and binary) and PLY (ASCII and binary) files. They read the file in
// place, mapped into memory, and give exactly the Model that the Assimp
// path (assimp_import.h) gives for the same file: the same bodies, names
// and colours, the same positions to the bit, welded in the same order,
// the same triangles and lines. Where a file uses something they do not
// reproduce exactly (an unusual header, a polygon of more than four
// corners, an OBJ statement beyond the plain ones), they leave the whole
// file to Assimp rather than guess.
//
// Where Assimp would quietly read a broken file (a face naming a vertex the
// file does not have, a file cut short, a word where a number belongs), they
// stop with a message naming the file and line. So they do for a file they
// leave to Assimp whose OFF or PLY header declares more records than the
// file has bytes, for which Assimp would allocate before reading any.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tool/models/model.h"

namespace hlr_tool {

// The model in `path` when its name ends in .off, .obj, .stl or .ply (any
// case) and the file keeps to what these readers reproduce; nullopt when it
// is Assimp's to read. Throws Tool_Error with exit status 2, the message
// starting "FILE:LINE: " (or "FILE: "), for malformed input. With two
// `threads` or more a reader may use a second one; the model is the same.
std::optional<Model> read_mesh_file(const std::string& path, std::size_t threads = 1);

// The same for a file's bytes already in memory; `path` chooses the reader
// by its ending and names the file in messages.
std::optional<Model> read_mesh_bytes(std::string_view bytes, const std::string& path,
                                     std::size_t threads = 1);

}  // namespace hlr_tool
