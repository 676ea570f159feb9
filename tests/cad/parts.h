// The CAD parts the tests draw: the sample data of Debian's occt-misc
// package, fetched once into a cache (never into the source tree), and
// hlr-render run on them as a user runs it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace hlr_cad_test {

// The folder holding step/, iges/ and occ/, fetched with `apt-get download
// occt-misc` into $HLR_DATA_CACHE (default ~/.cache/hlr-data) when missing;
// nullopt with `why` filled when it cannot be had.
std::optional<std::string> occt_parts(std::string& why);

struct Run_Result {
  int status = -1;
  std::string out, err;
};

// hlr-render with these arguments; standard output and error captured
// through files in `folder`. A run still going after two minutes is killed
// (status -1).
Run_Result run_tool(const std::vector<std::string>& arguments, const std::string& folder);

// The whole of a file; empty when it cannot be read.
std::string file_text(const std::string& path);

using Device_Segment = std::array<double, 4>;  // x0, y0, x1, y1

// The segments of one layer ("visible", "hidden") of a drawing, in device
// coordinates (y up, as the renderer received them).
std::vector<Device_Segment> svg_layer(const std::string& svg_file, const std::string& layer,
                                      double height);

}  // namespace hlr_cad_test
