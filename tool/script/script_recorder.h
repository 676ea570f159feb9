// The picture script of a session's calls: a Host_Call_Observer that
// writes every call it sees as a statement, so that `hlr-render run` on
// the script makes the same calls on a renderer (hlr-render draw
// --record).
//
// Values read back bit for bit: a float is written in the shortest form
// that the script reader (strtod, then rounded to float) turns into the
// same float. Every rendition a primitive uses gets its own ID (r1, r2,
// ...) and a `rendition` statement with its colour, pattern and clip
// before its first use; two primitives share an ID only when they shared
// the rendition.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

#include "tool/session/renderer_session.h"

namespace hlr_tool {

class Script_Recorder final : public Host_Call_Observer {
 public:
  // `comment` opens the script, one `# ` line per line of it.
  explicit Script_Recorder(std::string_view comment = {});

  void option(std::string_view name, const KT_Option_Value& value) override;
  void default_rendition(const KT_Rendition& rendition) override;
  void stage(Host_Stage stage) override;
  // Throw Tool_Error when a point is not finite: a script cannot say it.
  void triangle_strip(const KT_Rendition& rendition, std::span<const KT_Point> points) override;
  void polyline(const KT_Rendition& rendition, std::span<const KT_Point> points) override;

  // The script so far.
  const std::string& text() const { return text_; }

 private:
  // A rendition as the script can say it: its data and what it holds.
  using Rendition_Key = std::tuple<const void*, std::uint32_t, int, int, int, int, int>;

  const std::string& id_of(const KT_Rendition& rendition);
  void primitive(const char* action, const KT_Rendition& rendition,
                 std::span<const KT_Point> points);

  std::string text_;
  std::map<Rendition_Key, std::string> ids_;
};

// The shortest text of `value` that strtod, rounded to float, reads back
// as the same float (finite values only).
std::string float_text(float value);

}  // namespace hlr_tool
