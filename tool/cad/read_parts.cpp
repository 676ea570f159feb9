#include "tool/cad/read_parts.h"

#include <BRepTools.hxx>
#include <BRep_Builder.hxx>

#include <filesystem>
#include <fstream>
#include <ios>

#include "tool/common/errors.h"
#include "tool/common/module_open.h"

namespace hlr_tool {

namespace {

Parts_Read read_with_xde(const std::string& path, Xde_Format format,
                         const Message_ProgressRange& progress) {
  Parts_Read read;
  std::string error;
  const Xde_Read_Call call{&path, format, &progress, &read.parts, &read.faults, &error};
  // The XDE module, opened beside this program on the first STEP or IGES
  // file.
  call_module(reinterpret_cast<const void*>(&read_with_xde), "libhlr_cad_xde.so", xde_entry_name,
              call);
  return read;
}

Parts_Read read_brep(const std::string& path, const Message_ProgressRange& progress) {
  std::ifstream file(path, std::ios::binary);
  std::string head(512, '\0');
  file.read(head.data(), std::streamsize(head.size()));
  head.resize(std::size_t(file.gcount()));
  if (head.find("CASCADE Topology V") == std::string::npos)
    throw input_error("cannot read the file as BREP (no \"CASCADE Topology\" header)");
  file.clear();
  file.seekg(0);
  // The reader reads numbers with `>>` in loops that end at a terminating
  // word: on a file cut short the stream fails, every read after it
  // returns nothing, and the loop never ends (bottle.brep cut at 99%).
  // A failing stream throws instead.
  file.exceptions(std::ios::failbit | std::ios::badbit);
  TopoDS_Shape shape;
  try {
    BRepTools::Read(shape, file, BRep_Builder(), progress);
  } catch (const std::ios_base::failure&) {
    throw input_error(
        "cannot read the file as BREP: it ends too early, or holds something else where the "
        "format has a number");
  } catch (const Standard_Failure& failure) {
    throw input_error(
        std::string("cannot read the file as BREP: it refers to shapes or geometry it does not "
                    "hold (Open CASCADE: ") +
        failure.GetMessageString() + ")");
  }
  if (shape.IsNull())
    throw input_error("cannot read the file as BREP: its table of shapes is damaged");
  return {{{shape, std::filesystem::path(path).stem().string(), std::nullopt}}, {}};
}

}  // namespace

Parts_Read read_cad_parts(const std::string& path, Cad_Format format,
                          const Message_ProgressRange& progress) {
  try {
    switch (format) {
      case Cad_Format::brep:
        return read_brep(path, progress);
      case Cad_Format::step:
        return read_with_xde(path, Xde_Format::step, progress);
      case Cad_Format::iges:
        return read_with_xde(path, Xde_Format::iges, progress);
    }
  } catch (const Standard_Failure& failure) {
    throw open_cascade_error(failure);
  }
  return {};
}

}  // namespace hlr_tool
