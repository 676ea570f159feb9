#include "hidden_pass.h"

#include <cmath>

#include "edge_face.h"

void hide_edges(HLR_Renderer_State& renderer) {
  HLR_Packed_Lists nothing_packed;
  hide_edges(renderer, nothing_packed);
}

void hide_edges(HLR_Renderer_State& renderer, HLR_Packed_Lists& packed) {
  HLR_Index_Node* root = renderer.face_index;
  const float depth_tolerance = renderer.depth_tolerance;
  for (HLR_Edge* edge = renderer.edge_list.head; edge != nullptr; edge = edge->link) {
    // Root-box test first: four comparisons skip an edge that misses every
    // face before an iteration is set up.
    if (!(root->x_max >= edge->x_min && root->y_max >= edge->y_min && edge->x_max >= root->x_min &&
          edge->y_max >= root->y_min)) {
      continue;
    }
    // The box is read from the edge again for every call: the face tests
    // narrow it (and may raise z_max) as parts of the edge are hidden.
    root->cursor = root->items;
    HLR_Index_Node* node =
        packed.query_area(root, edge->x_min, edge->x_max, edge->y_min, edge->y_max, edge->z_max);
    while (node != nullptr) {
      HLR_Index_Item* item = node->cursor;
      // A fully hidden edge abandons its iteration at once.
      if (test_face(*edge, depth_tolerance, *item->face)) break;
      node->cursor = item->next_item;
      node =
          packed.query_area(node, edge->x_min, edge->x_max, edge->y_min, edge->y_max, edge->z_max);
    }
  }
}

bool marker_visible(const HLR_Marker& marker, float depth_tolerance, HLR_Index_Node* root) {
  const KT_Point& p = marker.position;
  if (!(root->x_max >= p.x && root->y_max >= p.y && p.x >= root->x_min && p.y >= root->y_min)) {
    return true;
  }
  root->cursor = root->items;
  HLR_Index_Node* node = index_query_point(root, p.x, p.y, p.z);
  while (node != nullptr) {
    HLR_Index_Item* item = node->cursor;
    const HLR_Face& face = *item->face;
    // Behind the plane beyond the tolerance and inside the triangle: one
    // face is enough to hide a marker.
    const float d = plane_value(face, p);
    if (d > 0.0f && std::fabs(d) > depth_tolerance && inside_triangle(face, p)) return false;
    node->cursor = item->next_item;
    node = index_query_point(node, p.x, p.y, p.z);
  }
  return true;
}
