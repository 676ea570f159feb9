#include "intersection_pass.h"

#include <memory>

#include "face_index.h"
#include "face_pair.h"
#include "index_builder.h"
#include "options.h"
#include "rendition.h"

void intersection_pass(HLR_Renderer_State& renderer) {
  // The "Hidden Line Color" entry of option_table (not current_option_table)
  // carries each face's hidden colour while its lines are captured; it is
  // restored at the end with each component cut to its low 8 bits.
  KT_Option* hidden_line_color = renderer.option_entries[hidden_line_color_option];
  const KT_Color_Components saved = hidden_line_color->color_value();

  const HLR_Extent& extent = renderer.extent;
  // A root whose sentinel cannot be made is released, and face_index stays
  // null.
  std::unique_ptr<HLR_Index_Node> root_storage(new HLR_Index_Node{});
  make_index_node(root_storage.get(), renderer.face_index, nullptr, extent.x_min, extent.x_max,
                  extent.y_min, extent.y_max);
  HLR_Index_Node* root = root_storage.release();
  renderer.face_index = root;

  // index_insert's lists, built with the long ones kept in order beside
  // them (index_builder.h).
  HLR_Index_Builder builder(root);

  // Newest face first. Each face is tested against the faces already in
  // the index, then inserted, so every pair is tested once, with the face
  // captured earlier as `a`; its handle gives the line its colour.
  for (HLR_Face* face = renderer.face_list.head; face != nullptr; face = face->link) {
    if (renderer.display_intersections) {
      KT_Rendition handle = face->rendition;
      handle.set_color(face->intersection_color, false);
      handle.set_line_pattern(renderer.intersection_line_pattern);
      const KT_Color_Components c = unpack_color(face->hidden_color);
      hidden_line_color->set(KT_Option_Value(c[0], c[1], c[2], c[3]));
      intersect_face(renderer, handle, face, root);
    }
    // The item is linked only by the last step of index_insert; if a split
    // fails before that, the item is released here.
    std::unique_ptr<HLR_Index_Item> item(new HLR_Index_Item{});
    make_index_item(item.get(), face);
    builder.insert(item.get());
    item.release();
  }

  hidden_line_color->set(
      KT_Option_Value(saved[0] & 255, saved[1] & 255, saved[2] & 255, saved[3] & 255));
}
