// The renderer object: construction, destruction, the virtual operations
// that answer for `next`, and clear_picture.

#include "face_index.h"
#include "hlr_renderer.h"
#include "intervals.h"
#include "store.h"

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
  held_renditions = nullptr;
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
  // The index and the interval pools point into the records: they go first.
  delete face_index;
  face_index = nullptr;
  delete interval_pools;
  interval_pools = nullptr;
  clear_records(*this);
}
