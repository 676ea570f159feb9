// The XDE module (see xde_entry.h): STEP and IGES files read with Open
// CASCADE's XDE readers into placed, named and coloured shapes.
#include "tool/cad/xde_entry.h"

#include <IFSelect_ReturnStatus.hxx>
#include <IGESCAFControl_Reader.hxx>
#include <Interface_Check.hxx>
#include <Interface_CheckIterator.hxx>
#include <Quantity_Color.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <TDF_Label.hxx>
#include <TDF_LabelSequence.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <Transfer_TransientProcess.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <XSControl_TransferReader.hxx>
#include <XSControl_WorkSession.hxx>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

namespace hlr_tool {
namespace {

std::uint32_t color_byte(double channel) {
  return std::uint32_t(std::lround(std::clamp(channel, 0.0, 1.0) * 255.0));
}

// The file's own numbers: the readers store them unconverted, so reading
// them back as plain RGB returns what the file says.
Color_ARGB argb_of(const Quantity_Color& color) {
  double r = 0, g = 0, b = 0;
  color.Values(r, g, b, Quantity_TOC_RGB);
  return 0xFF000000u | color_byte(r) << 16 | color_byte(g) << 8 | color_byte(b);
}

// The document an XDE reader fills; closed again on every way out.
class Xde_Document {
 public:
  Xde_Document() : application_(XCAFApp_Application::GetApplication()) {
    application_->NewDocument("MDTV-XCAF", document_);
  }
  Xde_Document(const Xde_Document&) = delete;
  Xde_Document& operator=(const Xde_Document&) = delete;
  ~Xde_Document() {
    try {
      if (!document_.IsNull() && document_->IsOpened()) application_->Close(document_);
    } catch (const Standard_Failure&) {
      // Nothing can be done about a document that will not close.
    }
  }
  Handle(TDocStd_Document) & handle() { return document_; }

 private:
  Handle(XCAFApp_Application) application_;
  Handle(TDocStd_Document) document_;
};

// Walks the document's assembly tree: placements compose from the root
// down, a colour set on an instance wins over its prototype's, and a
// prototype's over the colour its assembly hands down.
class Xde_Walker {
 public:
  explicit Xde_Walker(const Handle(TDocStd_Document) & document)
      : shapes_(XCAFDoc_DocumentTool::ShapeTool(document->Main())),
        colors_(XCAFDoc_DocumentTool::ColorTool(document->Main())) {}

  std::vector<Cad_Part> parts() {
    TDF_LabelSequence roots;
    shapes_->GetFreeShapes(roots);
    for (Standard_Integer i = 1; i <= roots.Length(); ++i)
      walk(roots.Value(i), TopLoc_Location(), std::nullopt, false, "");
    return std::move(parts_);
  }

 private:
  std::optional<Color_ARGB> label_color(const TDF_Label& label) const {
    Quantity_Color color;
    for (XCAFDoc_ColorType type : {XCAFDoc_ColorSurf, XCAFDoc_ColorGen, XCAFDoc_ColorCurv}) {
      if (colors_->GetColor(label, type, color)) return argb_of(color);
    }
    return std::nullopt;
  }

  static std::string label_name(const TDF_Label& label) {
    Handle(TDataStd_Name) name;
    if (!label.FindAttribute(TDataStd_Name::GetID(), name)) return "";
    return TCollection_AsciiString(name->Get()).ToCString();
  }

  // The first colour a sub-shape (a face, mostly) of a simple shape has.
  std::optional<Color_ARGB> sub_shape_color(const TDF_Label& label) const {
    TDF_LabelSequence subs;
    XCAFDoc_ShapeTool::GetSubShapes(label, subs);
    for (Standard_Integer i = 1; i <= subs.Length(); ++i) {
      if (auto color = label_color(subs.Value(i))) return color;
    }
    return std::nullopt;
  }

  void walk(const TDF_Label& label, const TopLoc_Location& placement,
            std::optional<Color_ARGB> color, bool instance_colored, std::string name) {
    if (!instance_colored) {
      if (auto own = label_color(label)) color = own;
    }
    if (std::string own = label_name(label); !own.empty()) name = own;
    if (XCAFDoc_ShapeTool::IsReference(label)) {
      TDF_Label prototype;
      if (!XCAFDoc_ShapeTool::GetReferredShape(label, prototype)) return;
      const bool colored_here = label_color(label).has_value();
      walk(prototype, placement * XCAFDoc_ShapeTool::GetLocation(label), color,
           instance_colored || colored_here, name);
      return;
    }
    if (XCAFDoc_ShapeTool::IsAssembly(label)) {
      TDF_LabelSequence components;
      XCAFDoc_ShapeTool::GetComponents(label, components);
      for (Standard_Integer i = 1; i <= components.Length(); ++i)
        walk(components.Value(i), placement, color, instance_colored, name);
      return;
    }
    const TopoDS_Shape shape = XCAFDoc_ShapeTool::GetShape(label);
    if (shape.IsNull()) return;
    if (!color) color = sub_shape_color(label);
    parts_.push_back({shape.Moved(placement), name, color});
  }

  Handle(XCAFDoc_ShapeTool) shapes_;
  Handle(XCAFDoc_ColorTool) colors_;
  std::vector<Cad_Part> parts_;
};

// The fails of a check list as one sentence ("the STEP reader found 11
// faults in it; the first: Undefined Parsing: Line 10246: ..."), or
// nothing when it has none. Warnings are left out: good files raise them
// too (hammer.iges: 25 "Resulting Geom_Surface is C0-continuous").
std::optional<std::string> fails_of(const Interface_CheckIterator& checks, const char* when) {
  int fails = 0;
  std::string first;
  for (checks.Start(); checks.More(); checks.Next()) {
    const Handle(Interface_Check)& check = checks.Value();
    if (first.empty() && check->NbFails() > 0) first = check->CFail(1);
    fails += check->NbFails();
  }
  if (fails == 0) return std::nullopt;
  while (!first.empty() && (first.back() == '\n' || first.back() == ' ')) first.pop_back();
  return std::to_string(fails) + (fails == 1 ? " fault " : " faults ") + when +
         (first.empty() ? "" : "; the first: " + first);
}

template <typename Reader>
std::vector<Cad_Part> read_with_xde(const Xde_Read_Call& call, Reader& reader,
                                    XSControl_Reader& checked, const char* format) {
  reader.SetColorMode(true);
  reader.SetNameMode(true);
  const std::string& path = *call.path;
  if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) {
    throw input_error(std::string("cannot read the file as ") + format +
                      " (the reader rejected it; is it " + format + "?)");
  }
  if (auto fails = fails_of(checked.WS()->ModelCheckList(), "while parsing it"))
    call.faults->push_back(*fails);
  Xde_Document document;
  const bool transferred = reader.Transfer(document.handle(), *call.progress);
  if (auto fails = fails_of(checked.WS()->TransferReader()->TransientProcess()->CheckList(true),
                            "while turning its entities into shapes"))
    call.faults->push_back(*fails);
  if (!transferred)
    throw input_error(std::string("the ") + format + " file holds no shape that could be read");
  return Xde_Walker(document.handle()).parts();
}

std::vector<Cad_Part> read_parts(const Xde_Read_Call& call) {
  if (call.format == Xde_Format::step) {
    STEPCAFControl_Reader reader;
    return read_with_xde(call, reader, reader.ChangeReader(), "STEP");
  }
  IGESCAFControl_Reader reader;
  return read_with_xde(call, reader, reader, "IGES");
}

}  // namespace

extern "C" HLR_CAD_ENTRY_EXPORT int hlr_cad_read_xde(const Xde_Read_Call* call) {
  return status_of_module_call(*call->error, [call] {
    try {
      *call->parts = read_parts(*call);
    } catch (const Standard_Failure& failure) {
      throw open_cascade_error(failure);
    }
  });
}

}  // namespace hlr_tool
