// The page of hlr-render view (tool/server/page/), built into the program
// (embed_page.cmake writes page_files.cpp from the files at build time):
// the viewer serves them from memory and reads no file.
#pragma once

#include <span>
#include <string_view>

namespace hlr_tool {

struct Page_File {
  std::string_view path;  // as requested: "/", "/viewer.js"
  std::string_view content_type;
  std::string_view bytes;
};

std::span<const Page_File> page_files();

}  // namespace hlr_tool
