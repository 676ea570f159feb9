// Output files of the tool appear only when complete: the content goes to a
// temporary file in the same folder, which is renamed onto the final name
// once everything was written. On any failure the temporary file is removed
// and the final name is left as it was.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace hlr_tool {

// Writes `content` to `path`; throws Tool_Error (exit status 1) naming the
// path and the reason when it cannot.
void write_output_file(const std::string& path, std::string_view content);

// Hands what `produce` writes, piece by piece and in order, to `path`;
// likewise. A failure of `produce` leaves the final name as it was too.
using Output_Writer = std::function<void(std::string_view)>;
void write_output_file(const std::string& path,
                       const std::function<void(const Output_Writer&)>& produce);

}  // namespace hlr_tool
