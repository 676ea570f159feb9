#include "tool/script/script_recorder.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tool/common/errors.h"

namespace hlr_tool {

namespace {

void append_rendition(std::string& out, const std::string& id, const KT_Rendition& rendition) {
  char line[160];
  const KT_Int_Rectangle& clip = rendition.clip_rectangle();
  std::snprintf(line, sizeof line, "rendition %s color %08X pattern %d clip %d %d %d %d\n",
                id.c_str(), static_cast<unsigned>(rendition.color().argb()),
                rendition.line_pattern(), clip.x_min, clip.x_max, clip.y_min, clip.y_max);
  out += line;
}

const char* stage_word(Host_Stage stage) {
  switch (stage) {
    case Host_Stage::establish:
      return "establish";
    case Host_Stage::begin_picture:
      return "begin_picture";
    case Host_Stage::update:
      return "update";
    case Host_Stage::end_picture:
      return "end_picture";
  }
  return "establish";
}

}  // namespace

std::string float_text(float value) {
  char buffer[64];
  // The float's own shortest form reads back through strtof; the reader
  // rounds through double, so check, and fall back to the double's
  // shortest form, which strtod reads back exactly.
  const std::string shortest(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  if (static_cast<float>(std::strtod(shortest.c_str(), nullptr)) == value &&
      std::signbit(value) == (shortest.front() == '-')) {
    return shortest;
  }
  return std::string(buffer,
                     std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value)).ptr);
}

Script_Recorder::Script_Recorder(std::string_view comment) {
  while (!comment.empty()) {
    const std::size_t end = comment.find('\n');
    text_ += "# ";
    text_ += comment.substr(0, end);
    text_ += '\n';
    comment = end == std::string_view::npos ? std::string_view() : comment.substr(end + 1);
  }
}

void Script_Recorder::option(std::string_view name, const KT_Option_Value& value) {
  text_ += "option \"";
  text_ += name;
  text_ += "\" ";
  switch (value.kind()) {
    case KT_Option_Kind::integer:
      text_ += std::to_string(value.integer());
      break;
    case KT_Option_Kind::boolean:
      text_ += value.boolean() ? "true" : "false";
      break;
    case KT_Option_Kind::real:
      if (!std::isfinite(value.real())) {
        throw Tool_Error("cannot record option \"" + std::string(name) +
                         "\": a picture script holds finite numbers only");
      }
      text_ += float_text(value.real());
      break;
    case KT_Option_Kind::color:
      for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) text_ += ' ';
        text_ += std::to_string(value.color()[i]);
      }
      break;
  }
  text_ += '\n';
}

void Script_Recorder::default_rendition(const KT_Rendition& rendition) {
  append_rendition(text_, "default", rendition);
}

void Script_Recorder::stage(Host_Stage stage) {
  text_ += stage_word(stage);
  text_ += '\n';
}

void Script_Recorder::triangle_strip(const KT_Rendition& rendition,
                                     std::span<const KT_Point> points) {
  primitive("triangle_strip", rendition, points);
}

void Script_Recorder::polyline(const KT_Rendition& rendition, std::span<const KT_Point> points) {
  primitive("polyline", rendition, points);
}

const std::string& Script_Recorder::id_of(const KT_Rendition& rendition) {
  // The data's address alone could be reused by a later rendition once
  // the renderer let go of the first; with the content in the key such a
  // reuse still means the same statement.
  const KT_Int_Rectangle& clip = rendition.clip_rectangle();
  const Rendition_Key key{rendition.data(),
                          rendition.color().argb(),
                          rendition.line_pattern(),
                          clip.x_min,
                          clip.x_max,
                          clip.y_min,
                          clip.y_max};
  const auto [it, added] = ids_.try_emplace(key, "r" + std::to_string(ids_.size() + 1));
  if (added) append_rendition(text_, it->second, rendition);
  return it->second;
}

void Script_Recorder::primitive(const char* action, const KT_Rendition& rendition,
                                std::span<const KT_Point> points) {
  for (const KT_Point& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
      throw Tool_Error(std::string("cannot record a ") + action +
                       " with a point that is not finite: a picture script holds finite "
                       "numbers only");
    }
  }
  const std::string& id = id_of(rendition);
  text_ += action;
  text_ += " f ";
  text_ += id;
  for (const KT_Point& p : points) {
    text_ += ' ';
    text_ += float_text(p.x);
    text_ += ' ';
    text_ += float_text(p.y);
    text_ += ' ';
    text_ += float_text(p.z);
  }
  text_ += '\n';
}

}  // namespace hlr_tool
