#include "bench_support.h"

#include <vector>

#include "tool/models/camera.h"
#include "tool/models/edge_selection.h"

namespace hlr_bench {

namespace {

void hash_call(Piece_Counter& sink, int form, const KT_Rendition& rendition, int count,
               const void* points, std::size_t point_size) {
  const std::uint32_t color = rendition.color().argb();
  const int pattern = rendition.line_pattern();
  sink.hash_bytes(&form, sizeof form);
  sink.hash_bytes(&color, sizeof color);
  sink.hash_bytes(&pattern, sizeof pattern);
  sink.hash_bytes(&count, sizeof count);
  if (count > 0) sink.hash_bytes(points, static_cast<std::size_t>(count) * point_size);
}

template <class Point, int Form>
void count_piece(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                 const Point* points) {
  auto& sink = *static_cast<Piece_Counter*>(receiver);
  ++sink.pieces;
  hash_call(sink, Form, rendition, count, points, sizeof(Point));
}

void count_markers(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                   const KT_Point* points) {
  auto& sink = *static_cast<Piece_Counter*>(receiver);
  sink.markers += static_cast<std::uint64_t>(count);
  hash_call(sink, 0, rendition, count, points, sizeof(KT_Point));
}

}  // namespace

Piece_Counter::Piece_Counter() : KT_Renderer_Data(nullptr) {
  set_standard_actions(true);
  actions.install(KT_Actions::polyline_form<1>(), this, &count_piece<KT_Point, 1>, 0, 1);
  actions.install(KT_Actions::polyline_form<5>(), this, &count_piece<KT_Point_D, 5>, 0, 1);
  actions.install(KT_Actions::marker_action, this, &count_markers, 0, 1);
}

void Piece_Counter::hash_bytes(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    output_hash = (output_hash ^ bytes[i]) * 0x100000001b3u;
  }
}

Bench_Renderer::Bench_Renderer(bool intersections)
    : sink_(new Piece_Counter()), session_(&KD_Renderer, sink_) {
  session_.set_option("Display Hidden Lines", true);
  session_.set_option("Hidden Line Pattern", 1);
  session_.set_option("Display Intersections", intersections);
}

void Bench_Renderer::capture(const hlr_tool::Scene& scene) {
  session_.set_default_clip({0, scene.width, 0, scene.height});
  session_.capture(scene);
}

hlr_tool::Scene build_tool_scene(std::span<const hlr_tool::Model> models, const std::string& view,
                                 int width, int height, const std::string& edges) {
  hlr_tool::Camera_Settings camera_settings;
  camera_settings.view = hlr_tool::parse_view(view);
  camera_settings.width = width;
  camera_settings.height = height;
  const hlr_tool::Camera camera = hlr_tool::Camera::frame(camera_settings, models);
  hlr_tool::Edge_Options edge_options;
  edge_options.selection = hlr_tool::parse_edge_selection(edges);
  return hlr_tool::build_scene(models, camera, edge_options);
}

void set_depth_tolerance(HLR_Renderer_State& renderer) {
  renderer.depth_tolerance =
      renderer.wzero_factor > 0.0f
          ? static_cast<float>((renderer.extent.z_max - renderer.extent.z_min) *
                               renderer.wzero_factor)
          : 0.1f;
}

}  // namespace hlr_bench
