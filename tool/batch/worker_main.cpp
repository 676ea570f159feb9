// hlr-render-worker: the process a batch draws one input in (batch_run.h)
// and a tiled drawing one tile in. It is started by hlr-render or the
// Python package with everything on its command line, never by a user:
//
//   hlr-render-worker draw INPUT OUTPUT [OPTION TEXT]...
//     draws INPUT into OUTPUT with the draw options (long name and text,
//     as apply_draw_option takes them) and prints the batch entry as JSON
//     on standard output; exit status 0 whenever it could say how the
//     drawing went, failed or not.
//
//   hlr-render-worker tile TILE_FILE DRAWING_FILE MODULE THREADS
//     draws the tile file of a tiled drawing with the renderer module
//     MODULE, its passes on THREADS threads, and writes its drawing (tool/render/draw_tiles.h);
//     exit status 0 when it did, 1 with a message on standard error otherwise.
//
// It ends with its parent (a batch that is stopped leaves nothing running).
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "tool/batch/batch_run.h"
#include "tool/common/process_heap.h"
#include "tool/common/worker_process.h"
#include "tool/session/module_path.h"

int main(int argc, char** argv) {
  hlr_tool::end_with_parent();
  hlr_tool::prepare_process_heap();
  const std::vector<std::string> words(argv + 1, argv + argc);
  try {
    if (words.size() >= 3 && words[0] == "draw" && words.size() % 2 == 1) {
      std::vector<hlr_tool::Option_Text> options;
      for (std::size_t k = 3; k + 1 < words.size(); k += 2)
        options.push_back({words[k], words[k + 1]});
      const hlr_tool::Batch_Entry entry = hlr_tool::draw_batch_item(
          options, {words[1], words[2]}, hlr_tool::default_module_path(argv[0]),
          hlr_tool::worker_program_path(argv[0]));
      std::cout << hlr_tool::entry_json(entry) << std::endl;
      return std::cout ? 0 : 1;
    }
    if (words.size() == 5 && words[0] == "tile") {
      hlr_tool::draw_tile_file({words[1], words[2]}, words[3], std::stoi(words[4]));
      return 0;
    }
  } catch (const std::exception& error) {
    std::cerr << "hlr-render-worker: " << error.what() << std::endl;
    return 1;
  }
  std::cerr << "hlr-render-worker: started by hlr-render and the Python package only\n";
  return 2;
}
