// The renderer object: construction, destruction, the virtual operations
// that answer for `next`, and clear_picture.

#include "face_index.h"
#include "hlr_renderer.h"
#include "intervals.h"

HLR_Renderer::HLR_Renderer(const KT_Renderer_Data* next) : KT_Renderer_Data(next) {
  // From here on the object is an HLR_Renderer; if a step below throws, the
  // base destructor runs before the exception leaves.
  register_options(option_table, option_entries);
  register_options(current_option_table, current_option_entries);
  hidden_line_pattern = 0;
  intersection_line_pattern = 0;
  assign_option_defaults(option_entries);
  edge_list = {};
  face_list = {};
  marker_list = {};
  face_index = nullptr;
  interval_pools = nullptr;
  extent = empty_extent;
  set_standard_actions(false);
}

HLR_Renderer::~HLR_Renderer() { clear_picture(); }

KT_Counted* HLR_Renderer::clone() const { return nullptr; }

KT_Renderer_Options& HLR_Renderer::renderer_options() { return next->own_renderer_options; }

KT_Renderer_Options& HLR_Renderer::current_renderer_options() { return next->own_renderer_options; }

KT_Option_Table& HLR_Renderer::current_options() { return next->current_option_table; }

void HLR_Renderer::clear_picture() {
  delete face_index;

  // Each list is walked by reading a record's link before freeing it. The
  // edges' interval nodes go with their pools.
  for (HLR_Edge* edge = edge_list.head; edge != nullptr;) {
    HLR_Edge* following = edge->link;
    edge->rendition.reset();
    delete edge;
    --edge_list.count;
    edge = following;
  }
  for (HLR_Face* face = face_list.head; face != nullptr;) {
    HLR_Face* following = face->link;
    face->rendition.reset();
    delete face;
    --face_list.count;
    face = following;
  }
  for (HLR_Marker* marker = marker_list.head; marker != nullptr;) {
    HLR_Marker* following = marker->link;
    marker->rendition.reset();
    delete marker;
    marker = following;
  }

  delete interval_pools;

  edge_list = {};
  face_list = {};
  marker_list = {};
  face_index = nullptr;
  interval_pools = nullptr;
  extent = empty_extent;
}
