// The action table: one entry per drawing action, through which primitives
// reach a renderer and through which a renderer's output reaches the next.
//
// Positions are counted from the first triangle_strip entry. The families
// take five forms each, in this order: 1 float points that may need
// clipping, 2 float points already inside the clip rectangle, 3 integer
// points that may need clipping, 4 integer points already inside, 5 double
// points that may need clipping.
//
// The host's actions at the positions named here:
//   0..4     triangle_strip      (rendition, count, points, normals, colours)
//   5..9     face_family_b       a strip with per-vertex normals
//   10..14   face_family_c       a strip with per-vertex colours
//   15..19   (payload-free)      reserved
//   20..24   face_family_d       a strip with per-vertex normals and colours
//   25..29   polyline            (rendition, count, points)
//   30..34   colored_polyline    (rendition, count, points, colours, one_color)
//   51       marker              (rendition, count, float points)
//   75       positioned_item     (rendition, float position, item)
//   86, 87   palette_begin, palette_end (used in the indexed colour system)
//   90, 91   direct_color_begin, direct_color_end (other colour systems)
//   100      flush_hint
//   104      clear_action        (argument) -> int
//   105      forwarded_action    (argument) -> int
// Every other position holds a payload-free action: (receiver) only.
// All four face families share one signature; the further arguments of
// triangle_strip are null when the host calls it.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "geometry.h"

class KT_Renderer_Data;
class KT_Rendition;

constexpr int action_count = 112;

template <class Point>
using KT_Face_Action = void(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                            const Point* points, const void* normals, const void* colors);
template <class Point>
using KT_Polyline_Action = void(KT_Renderer_Data* receiver, const KT_Rendition& rendition,
                                int count, const Point* points);
template <class Point>
using KT_Colored_Polyline_Action = void(KT_Renderer_Data* receiver, const KT_Rendition& rendition,
                                        int count, const Point* points, const KT_RGB32* colors,
                                        int one_color);
using KT_Marker_Action = void(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                              const KT_Point* points);
using KT_Positioned_Item_Action = void(KT_Renderer_Data* receiver, const KT_Rendition& rendition,
                                       const KT_Point* position, const void* item);
using KT_Plain_Action = void(KT_Renderer_Data* receiver);
using KT_Argument_Action = int(KT_Renderer_Data* receiver, int argument);

// Any action function, as the table stores it.
using KT_Any_Function = void (*)();

// One entry of the table: what is called, on whom, and two host fields.
struct action_entry {
  KT_Renderer_Data* receiver;
  KT_Any_Function function;  // cast to the position's signature when called
  std::intptr_t word;
  std::int32_t flag;
};

// A position together with the signature of the action there.
template <class Signature>
struct KT_Action {
  int position;
};

// The point type of each form (1 to 5).
template <int Form>
struct KT_Form_Point;
template <>
struct KT_Form_Point<1> {
  using type = KT_Point;
};
template <>
struct KT_Form_Point<2> {
  using type = KT_Point;
};
template <>
struct KT_Form_Point<3> {
  using type = KT_Point_I;
};
template <>
struct KT_Form_Point<4> {
  using type = KT_Point_I;
};
template <>
struct KT_Form_Point<5> {
  using type = KT_Point_D;
};
template <int Form>
using KT_Form_Point_t = typename KT_Form_Point<Form>::type;

namespace KT_Actions {
constexpr int triangle_strip = 0;
constexpr int face_family_b = 5;
constexpr int face_family_c = 10;
constexpr int face_family_d = 20;
constexpr int polyline = 25;
constexpr int colored_polyline = 30;
constexpr int marker = 51;
constexpr int positioned_item = 75;
constexpr int palette_begin = 86;
constexpr int palette_end = 87;
constexpr int direct_color_begin = 90;
constexpr int direct_color_end = 91;
constexpr int flush_hint = 100;
constexpr int clear_action = 104;
constexpr int forwarded_action = 105;

// Form-typed positions of the families: family + form - 1.
template <int Form>
constexpr KT_Action<KT_Face_Action<KT_Form_Point_t<Form>>> face(int family) {
  return {family + Form - 1};
}
template <int Form>
constexpr KT_Action<KT_Polyline_Action<KT_Form_Point_t<Form>>> polyline_form() {
  return {polyline + Form - 1};
}
template <int Form>
constexpr KT_Action<KT_Colored_Polyline_Action<KT_Form_Point_t<Form>>> colored_polyline_form() {
  return {colored_polyline + Form - 1};
}
constexpr KT_Action<KT_Marker_Action> marker_action{marker};
constexpr KT_Action<KT_Positioned_Item_Action> positioned_item_action{positioned_item};
constexpr KT_Action<KT_Argument_Action> clear_action_action{clear_action};
constexpr KT_Action<KT_Argument_Action> forwarded_action_action{forwarded_action};
constexpr KT_Action<KT_Plain_Action> plain(int position) { return {position}; }
}  // namespace KT_Actions

class KT_Action_Table {
 public:
  action_entry& operator[](int position) { return entries_[position]; }
  const action_entry& operator[](int position) const { return entries_[position]; }

  // Writes an entry the way a renderer installs its own functions.
  template <class Signature>
  void install(KT_Action<Signature> action, KT_Renderer_Data* receiver, Signature* function,
               std::intptr_t word, std::int32_t flag) {
    entries_[action.position] = {receiver, reinterpret_cast<KT_Any_Function>(function), word, flag};
  }

  template <class Signature>
  Signature* function(KT_Action<Signature> action) const {
    return reinterpret_cast<Signature*>(entries_[action.position].function);
  }

  // Calls the action: the entry's function with the entry's receiver first.
  template <class Signature, class... Args>
  decltype(auto) call(KT_Action<Signature> action, Args&&... args) const {
    const action_entry& entry = entries_[action.position];
    return reinterpret_cast<Signature*>(entry.function)(entry.receiver,
                                                        std::forward<Args>(args)...);
  }

 private:
  std::array<action_entry, action_count> entries_{};
};
