// The end of a picture: the passes, once per picture, and the output in
// the order hidden pieces, visible pieces, markers.

#include "emission.h"
#include "hidden_pass.h"
#include "hlr_renderer.h"
#include "intersection_pass.h"

void HLR_Renderer::update() {
  read_settings();

  // A face index means an earlier update of this picture ran the passes:
  // its tolerance and visibility results stand. Faces and edges captured
  // since are neither indexed nor tested, so such edges come out wholly
  // visible until the store is cleared.
  if (face_index == nullptr) {
    depth_tolerance = wzero_factor > 0.0f
                          ? static_cast<float>((extent.z_max - extent.z_min) * wzero_factor)
                          : 0.1f;
    if (face_list.head != nullptr) {
      intersection_pass(*this);
      hide_edges(*this);
      // Only the marker test asks the index from here on, a few times per
      // marker: the cells of its crowded lists go before the emission.
      face_index->release_cells();
    }
  }

  if (display_hidden_lines) {
    KT_Rendition hidden(static_cast<const KT_Renderer_Data*>(this));
    hidden.set_line_pattern(hidden_line_pattern);
    if (!retain_hidden_line_color) hidden.set_color(hidden_line_color, false);
    emit_hidden_lines(*this, *next, hidden);
  }
  emit_visible_lines(*this, *next);

  // Newest first, one call per marker.
  for (const HLR_Marker* marker = marker_list.head; marker != nullptr; marker = marker->link) {
    if (face_index != nullptr && !marker_visible(*marker, depth_tolerance, *face_index)) continue;
    next->actions.call(KT_Actions::marker_action, *marker->rendition, 1, &marker->position);
  }
}
