// Writes BREP parts into one BREP file as a single compound: the all-parts
// assembly of bench/cad.sh, so that a program that reads one part draws
// them all at once, as hlr-render draws them from several files.
//
//   cad_assembly OUT.brep PART.brep...
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <TopoDS_Compound.hxx>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: cad_assembly OUT.brep PART.brep...\n");
    return 2;
  }
  BRep_Builder builder;
  TopoDS_Compound assembly;
  builder.MakeCompound(assembly);
  for (int i = 2; i < argc; ++i) {
    TopoDS_Shape part;
    if (!BRepTools::Read(part, argv[i], builder)) {
      std::fprintf(stderr, "cad_assembly: cannot read %s\n", argv[i]);
      return 2;
    }
    builder.Add(assembly, part);
  }
  if (!BRepTools::Write(assembly, argv[1])) {
    std::fprintf(stderr, "cad_assembly: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
