// Writes a generated mesh as an OFF file, for the whole-tool runs of the
// scaling series:  hlr_make_mesh terrain|sphere TRIANGLES FILE.off
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "generated_mesh.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hlr_make_mesh terrain|sphere TRIANGLES FILE.off\n");
    return 2;
  }
  try {
    const hlr_bench::Mesh_Shape shape = hlr_bench::parse_mesh_shape(argv[1]);
    const std::size_t triangles = std::stoul(argv[2]);
    const hlr_tool::Model model = hlr_bench::generate_mesh(shape, triangles);
    hlr_bench::write_off(model, argv[3]);
    std::printf("%s: %zu triangles, %zu vertices\n", argv[3], model.bodies[0].triangles.size(),
                model.bodies[0].positions.size());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "hlr_make_mesh: %s\n", error.what());
    return 2;
  }
  return 0;
}
