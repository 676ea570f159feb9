// What the benchmark programs share: a renderer made by the module's entry
// point with a downstream sink that only counts, the tool's scene built
// from models, and the capture of a scene as `hlr-render draw` does it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "hlr_renderer.h"
#include "renderer_data.h"
#include "tool/models/model.h"
#include "tool/models/scene.h"
#include "tool/session/renderer_session.h"

namespace hlr_bench {

// The end of the chain: counts the two-point pieces and markers that
// arrive, draws nothing, and keeps a hash of everything it received (form,
// colour, line pattern and the points' bytes, in arrival order), so that
// two builds can be shown to send the same calls on scenes far larger than
// the golden traces.
class Piece_Counter final : public KT_Renderer_Data {
 public:
  Piece_Counter();

  std::uint64_t pieces = 0;
  std::uint64_t markers = 0;
  std::uint64_t output_hash = 0xcbf29ce484222325u;  // FNV-1a

  void hash_bytes(const void* data, std::size_t size);
};

// A hidden-line renderer made through KD_Renderer, in a session whose
// downstream renderer is a Piece_Counter. Hidden lines are displayed
// (dashed), intersections as asked.
class Bench_Renderer {
 public:
  explicit Bench_Renderer(bool intersections);

  hlr_tool::Renderer_Session& session() { return session_; }
  HLR_Renderer& renderer() { return static_cast<HLR_Renderer&>(session_.renderer()); }
  Piece_Counter& sink() { return *sink_; }

  // As draw sends a scene: the default rendition clipped to the device
  // rectangle, then the session's capture.
  void capture(const hlr_tool::Scene& scene);

 private:
  Piece_Counter* sink_;
  hlr_tool::Renderer_Session session_;
};

// The scene draw builds: the view as "yaw,pitch" or a name, a device
// rectangle of width x height, edges "all" or "feature".
hlr_tool::Scene build_tool_scene(std::span<const hlr_tool::Model> models, const std::string& view,
                                 int width, int height, const std::string& edges);

// What update does before its passes: the depth tolerance from the extent
// and "WZERO Factor" (after read_settings).
void set_depth_tolerance(HLR_Renderer_State& renderer);

}  // namespace hlr_bench
