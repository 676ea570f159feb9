#include "tool/session/renderer_session.h"

#include <stdexcept>
#include <type_traits>
#include <vector>

#include "tool/common/errors.h"

namespace hlr_tool {

namespace {

// Option names are plain ASCII; the host keeps them as wide strings.
std::wstring wide(std::string_view text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

Renderer_Session::Renderer_Session(const std::string& module_path, KT_Renderer_Data* downstream)
    : downstream_(downstream), downstream_reference_(downstream) {
  try {
    module_ = std::make_unique<KT_Renderer_Module>(module_path);
  } catch (const std::runtime_error& error) {
    throw Tool_Error(error.what());
  }
  create(module_->entry());
}

Renderer_Session::Renderer_Session(KD_Renderer_Function entry, KT_Renderer_Data* downstream)
    : downstream_(downstream), downstream_reference_(downstream) {
  create(entry);
}

Renderer_Session::~Renderer_Session() = default;

void Renderer_Session::create(KD_Renderer_Function entry) {
  const KT_Renderer_Data* next = downstream_;
  renderer_ = entry(&next);
  if (renderer_ == nullptr) throw Tool_Error("the renderer module created no renderer");
  renderer_reference_.emplace(renderer_);
}

void Renderer_Session::set_option(std::string_view name, const KT_Option_Value& value) {
  KT_Option* option = renderer_->current_option_table.find(wide(name));
  if (option == nullptr) {
    throw Tool_Error("the renderer module has no option \"" + std::string(name) + "\"");
  }
  try {
    option->set(value);
  } catch (const std::invalid_argument&) {
    throw Tool_Error("the renderer module's option \"" + std::string(name) +
                     "\" holds another kind of value");
  }
  if (observer_ != nullptr) observer_->option(name, value);
}

void Renderer_Session::set_option(std::string_view name, bool value) {
  set_option(name, KT_Option_Value(value));
}

void Renderer_Session::set_option(std::string_view name, int value) {
  set_option(name, KT_Option_Value(value));
}

void Renderer_Session::set_option(std::string_view name, float value) {
  set_option(name, KT_Option_Value(value));
}

void Renderer_Session::set_color_option(std::string_view name, std::uint32_t argb) {
  set_option(name, KT_Option_Value(static_cast<int>((argb >> 16) & 255u),
                                   static_cast<int>((argb >> 8) & 255u),
                                   static_cast<int>(argb & 255u), static_cast<int>(argb >> 24)));
}

void Renderer_Session::set_default_clip(const KT_Int_Rectangle& clip) {
  renderer_->renderer_rendition.set_clip_rectangle(clip);
  if (observer_ != nullptr) observer_->default_rendition(renderer_->renderer_rendition);
}

void Renderer_Session::stage(Host_Stage stage) {
  switch (stage) {
    case Host_Stage::establish:
      renderer_->establish();
      break;
    case Host_Stage::begin_picture:
      renderer_->begin_picture();
      break;
    case Host_Stage::update:
      renderer_->update();
      break;
    case Host_Stage::end_picture:
      renderer_->end_picture();
      break;
  }
  if (observer_ != nullptr) observer_->stage(stage);
}

void Renderer_Session::capture(const Scene& scene, const Capture_Progress& progress) {
  send_bodies(scene.bodies, scene.width, scene.height, progress, false);
}

void Renderer_Session::capture(Scene&& scene, const Capture_Progress& progress) {
  send_bodies(scene.bodies, scene.width, scene.height, progress, true);
  scene = Scene{};
}

template <class Bodies>
void Renderer_Session::send_bodies(Bodies& bodies, int width, int height,
                                   const Capture_Progress& progress, bool release) {
  const KT_Int_Rectangle device{0, width, 0, height};
  std::vector<KT_Point> points;
  const auto fill = [&points](const Device_Polyline& line) {
    points.clear();
    for (const Device_Point& p : line) points.push_back({p.x, p.y, p.z});
    return static_cast<int>(points.size());
  };
  // Swapped with an empty one when released: clear() would keep the memory.
  const auto let_go = [release](auto& line) {
    if constexpr (!std::is_const_v<std::remove_reference_t<decltype(line)>>) {
      if (release) std::remove_reference_t<decltype(line)>().swap(line);
    }
  };
  for (std::size_t b = 0; b < bodies.size(); ++b) {
    auto& body = bodies[b];
    if (progress) progress(b, bodies.size());
    KT_Rendition faces = KT_Rendition::create();
    faces.set_color(KT_RGB32::from_argb(body.face_color), false);
    faces.set_line_pattern(0);
    faces.set_clip_rectangle(device);
    KT_Rendition lines = KT_Rendition::create();
    lines.set_color(KT_RGB32::from_argb(body.line_color), false);
    lines.set_line_pattern(0);
    lines.set_clip_rectangle(device);
    for (auto& strip : body.strips) {
      const int count = fill(strip);
      let_go(strip);
      renderer_->actions.call(KT_Actions::face<1>(KT_Actions::triangle_strip), faces, count,
                              points.data(), nullptr, nullptr);
      if (observer_ != nullptr) observer_->triangle_strip(faces, points);
    }
    for (auto& line : body.polylines) {
      const int count = fill(line);
      let_go(line);
      renderer_->actions.call(KT_Actions::polyline_form<1>(), lines, count, points.data());
      if (observer_ != nullptr) observer_->polyline(lines, points);
    }
  }
}

}  // namespace hlr_tool
