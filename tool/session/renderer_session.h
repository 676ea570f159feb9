// The host side of one renderer: the module it comes from, the renderer
// itself with its downstream renderer, the references the host holds on
// both, and the host's calls on it (options, the default rendition,
// stages, primitives). `draw`, `run`, the benchmarks and the Python
// package all drive the renderer through this one type, so they make the
// same calls in the same way.
//
// Lifetime: the session holds one reference on the downstream renderer and
// one on the renderer; its destructor drops the renderer's first, then the
// downstream renderer's, and unloads the module (when it loaded one) last,
// after every renderer the module made is gone.
//
// Every call the session makes on the renderer is also told, after it was
// made, to the observer given with set_observer (a picture-script writer,
// say), so what the observer sees is exactly what the renderer was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "module_loader.h"
#include "renderer_data.h"
#include "tool/common/held_reference.h"
#include "tool/models/scene.h"

namespace hlr_tool {

enum class Host_Stage { establish, begin_picture, update, end_picture };

// Sees the session's calls on the renderer, each after it was made.
class Host_Call_Observer {
 public:
  virtual ~Host_Call_Observer() = default;
  virtual void option(std::string_view name, const KT_Option_Value& value) = 0;
  // The renderer's default rendition (renderer_rendition) as it is now.
  virtual void default_rendition(const KT_Rendition& rendition) = 0;
  virtual void stage(Host_Stage stage) = 0;
  // A triangle strip of float points that may need clipping (form 1).
  virtual void triangle_strip(const KT_Rendition& rendition, std::span<const KT_Point> points) = 0;
  // A polyline of float points that may need clipping (form 1).
  virtual void polyline(const KT_Rendition& rendition, std::span<const KT_Point> points) = 0;
};

// Called with (body, bodies), body counting from 0, before each body is
// captured.
using Capture_Progress = std::function<void(std::size_t, std::size_t)>;

class Renderer_Session {
 public:
  // Loads the module at `module_path` and creates a renderer through its
  // entry point whose output goes to `downstream` (a counted renderer made
  // with new; the session takes a reference on it). Throws Tool_Error
  // (exit status 1) when the module cannot be loaded or makes no renderer.
  Renderer_Session(const std::string& module_path, KT_Renderer_Data* downstream);
  // The same with an entry point at hand (a renderer linked into the
  // program, or a module loaded by the caller and kept loaded for the
  // session's life).
  Renderer_Session(KD_Renderer_Function entry, KT_Renderer_Data* downstream);
  ~Renderer_Session();
  Renderer_Session(const Renderer_Session&) = delete;
  Renderer_Session& operator=(const Renderer_Session&) = delete;

  KT_Renderer_Data& renderer() const { return *renderer_; }
  KT_Renderer_Data& downstream() const { return *downstream_; }

  // Not owned; null for none. Must outlive the calls it sees.
  void set_observer(Host_Call_Observer* observer) { observer_ = observer; }

  // Sets the option `name` (ASCII) in the renderer's current option table.
  // Throws Tool_Error (exit status 1) when the renderer has no such option
  // or the option holds another kind of value.
  void set_option(std::string_view name, const KT_Option_Value& value);
  void set_option(std::string_view name, bool value);
  void set_option(std::string_view name, int value);
  void set_option(std::string_view name, float value);
  // A colour option from 0xAARRGGBB (the renderer packs its four ints as
  // red, green, blue, alpha).
  void set_color_option(std::string_view name, std::uint32_t argb);

  // The clip rectangle of the default rendition, which the renderer's
  // hidden-line rendition is made from at update.
  void set_default_clip(const KT_Int_Rectangle& clip);

  void stage(Host_Stage stage);

  // Sends every body of `scene`: per body a face rendition (the body's
  // face colour) for its strips and a line rendition (its line colour) for
  // its polylines, both pattern 0 and clipped to the device rectangle.
  void capture(const Scene& scene, const Capture_Progress& progress = {});
  // The same, letting each strip and polyline go once it is sent, so that
  // the renderer's records reuse its memory; the scene is empty afterwards.
  void capture(Scene&& scene, const Capture_Progress& progress = {});

 private:
  void create(KD_Renderer_Function entry);
  template <class Bodies>
  void send_bodies(Bodies& bodies, int width, int height, const Capture_Progress& progress,
                   bool release);

  // In this order so that they go in the reverse one: the renderer's
  // reference, the downstream renderer's, then the module.
  std::unique_ptr<KT_Renderer_Module> module_;
  KT_Renderer_Data* downstream_;
  Held_Reference downstream_reference_;
  KT_Renderer_Data* renderer_ = nullptr;
  std::optional<Held_Reference> renderer_reference_;
  Host_Call_Observer* observer_ = nullptr;
};

}  // namespace hlr_tool
