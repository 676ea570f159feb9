// Internal to the host library: which signature the action at each position
// of the table has, and how a table of one function per position is built
// from a template of entries. The standard entries (renderer_data.cpp) and
// the recording entries (recording_renderer.cpp) are both made this way, so
// both agree with the position list in actions.h by construction.
#pragma once

#include <array>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "actions.h"

namespace korvo_internal {

// The signature of the action at `Position`.
template <int Position>
struct position_signature {
  static constexpr int family_form(int first) { return Position - first + 1; }
  static constexpr bool in(int first, int last) { return Position >= first && Position <= last; }
  static auto pick() {
    using namespace KT_Actions;
    // The four face families: 0..14 (triangle_strip, b, c) and 20..24 (d);
    // 15..19 between them are payload-free.
    if constexpr (in(triangle_strip, face_family_c + 4) || in(face_family_d, face_family_d + 4)) {
      constexpr int form = Position % 5 + 1;
      return static_cast<KT_Face_Action<KT_Form_Point_t<form>>*>(nullptr);
    } else if constexpr (in(polyline, polyline + 4)) {
      return static_cast<KT_Polyline_Action<KT_Form_Point_t<family_form(polyline)>>*>(nullptr);
    } else if constexpr (in(colored_polyline, colored_polyline + 4)) {
      return static_cast<
          KT_Colored_Polyline_Action<KT_Form_Point_t<family_form(colored_polyline)>>*>(nullptr);
    } else if constexpr (Position == marker) {
      return static_cast<KT_Marker_Action*>(nullptr);
    } else if constexpr (Position == positioned_item) {
      return static_cast<KT_Positioned_Item_Action*>(nullptr);
    } else if constexpr (Position == clear_action || Position == forwarded_action) {
      return static_cast<KT_Argument_Action*>(nullptr);
    } else {
      return static_cast<KT_Plain_Action*>(nullptr);
    }
  }
  using type = std::remove_pointer_t<decltype(pick())>;
};

template <int Position>
using position_signature_t = typename position_signature<Position>::type;

// One function per position: Entries<signature at P, P>::function for every
// position P of the table.
template <template <class Signature, int Position> class Entries, std::size_t... Position>
std::array<KT_Any_Function, action_count> entry_table(std::index_sequence<Position...>) {
  return {reinterpret_cast<KT_Any_Function>(
      &Entries<position_signature_t<int(Position)>, int(Position)>::function)...};
}

template <template <class Signature, int Position> class Entries>
std::array<KT_Any_Function, action_count> entry_table() {
  return entry_table<Entries>(std::make_index_sequence<action_count>());
}

}  // namespace korvo_internal
