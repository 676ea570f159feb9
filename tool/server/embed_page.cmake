# Writes OUTPUT, a C++ source defining page_files() (page_files.h), from
# the page's files: run by the build whenever one of them changes.
# cmake -DOUTPUT=... -DPAGE_DIR=... -P embed_page.cmake
# Each file: its name, the path it is served at, its type (charset UTF-8).
set(files index.html / text/html viewer.js /viewer.js text/javascript
          viewer.css /viewer.css text/css)
set(arrays "")
set(entries "")
set(n 0)
list(LENGTH files count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 3)
  math(EXPR j "${i} + 1")
  math(EXPR k "${i} + 2")
  list(GET files ${i} name)
  list(GET files ${j} path)
  list(GET files ${k} type)
  file(READ ${PAGE_DIR}/${name} hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR size "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND arrays "const char file_${n}[] = {${bytes}};\n")
  string(APPEND entries "    {\"${path}\", \"${type}; charset=utf-8\", {file_${n}, ${size}}},\n")
  math(EXPR n "${n} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Written by tool/server/embed_page.cmake; do not edit.\n"
  "#include \"tool/server/page_files.h\"\n\nnamespace hlr_tool {\nnamespace {\n\n"
  "${arrays}\n"
  "const Page_File files[] = {\n${entries}};\n\n}  // namespace\n\n"
  "std::span<const Page_File> page_files() { return files; }\n\n}  // namespace hlr_tool\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
