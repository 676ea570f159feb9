// The picture stages and the action table: establish installs the intake
// in place of the host's standard entries, one function per drawing action.

#include "hlr_renderer.h"
#include "intake_actions.h"

namespace {

HLR_Renderer& renderer_of(KT_Renderer_Data* receiver) {
  return static_cast<HLR_Renderer&>(*receiver);
}

template <class Point>
using Capture = void(HLR_Renderer_State&, const KT_Rendition&, int, const Point*);
template <class Point>
using Colored_Capture = void(HLR_Renderer_State&, const KT_Rendition&, int, const Point*,
                             const KT_RGB32*, int);

// The triangle_strip entries: they use the first three action arguments and
// ignore the rest.
template <class Point, Capture<Point>* Operation>
void strip_entry(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                 const Point* points, const void*, const void*) {
  Operation(renderer_of(receiver), rendition, count, points);
}

// The entries of the three further face families pass every argument on
// unchanged to the triangle_strip entry of the same form.
template <class Point, Capture<Point>* Operation>
void face_family_entry(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                       const Point* points, const void* normals, const void* colors) {
  strip_entry<Point, Operation>(receiver, rendition, count, points, normals, colors);
}

template <class Point, Capture<Point>* Operation>
void polyline_entry(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                    const Point* points) {
  Operation(renderer_of(receiver), rendition, count, points);
}

template <class Point, Colored_Capture<Point>* Operation>
void colored_polyline_entry(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                            const Point* points, const KT_RGB32* colors, int one_color) {
  Operation(renderer_of(receiver), rendition, count, points, colors, one_color);
}

void marker_entry(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                  const KT_Point* points) {
  marker_f(renderer_of(receiver), rendition, count, points);
}

// Positioned items are absorbed: nothing is captured, nothing passed on.
void absorb_positioned_item(KT_Renderer_Data*, const KT_Rendition&, const KT_Point*, const void*) {}

void ignore(KT_Renderer_Data*) {}

int clear_entry(KT_Renderer_Data* receiver, int argument) {
  HLR_Renderer& renderer = renderer_of(receiver);
  renderer.clear_picture();
  return renderer.next->actions.call(KT_Actions::clear_action_action, argument);
}

int forward_entry(KT_Renderer_Data* receiver, int argument) {
  return renderer_of(receiver).next->actions.call(KT_Actions::forwarded_action_action, argument);
}

}  // namespace

int HLR_Renderer::establish() {
  using namespace KT_Actions;
  KT_Action_Table& table = actions;
  // Every installed entry: the renderer as receiver, word 0, flag 1.
  auto install = [&](auto action, auto* function) { table.install(action, this, function, 0, 1); };

  install(face<1>(triangle_strip), &strip_entry<KT_Point, strip_f>);
  install(face<2>(triangle_strip), &strip_entry<KT_Point, strip_f_noclip>);
  install(face<3>(triangle_strip), &strip_entry<KT_Point_I, strip_i>);
  install(face<4>(triangle_strip), &strip_entry<KT_Point_I, strip_i_noclip>);
  install(face<5>(triangle_strip), &strip_entry<KT_Point_D, strip_d>);
  for (int family : {face_family_b, face_family_c, face_family_d}) {
    install(face<1>(family), &face_family_entry<KT_Point, strip_f>);
    install(face<2>(family), &face_family_entry<KT_Point, strip_f_noclip>);
    install(face<3>(family), &face_family_entry<KT_Point_I, strip_i>);
    install(face<4>(family), &face_family_entry<KT_Point_I, strip_i_noclip>);
    install(face<5>(family), &face_family_entry<KT_Point_D, strip_d>);
  }
  install(polyline_form<1>(), &polyline_entry<KT_Point, polyline_f>);
  install(polyline_form<2>(), &polyline_entry<KT_Point, polyline_f_noclip>);
  install(polyline_form<3>(), &polyline_entry<KT_Point_I, polyline_i>);
  install(polyline_form<4>(), &polyline_entry<KT_Point_I, polyline_i_noclip>);
  install(polyline_form<5>(), &polyline_entry<KT_Point_D, polyline_d>);
  install(colored_polyline_form<1>(), &colored_polyline_entry<KT_Point, colored_polyline_f>);
  install(colored_polyline_form<2>(), &colored_polyline_entry<KT_Point, colored_polyline_f_noclip>);
  install(colored_polyline_form<3>(), &colored_polyline_entry<KT_Point_I, colored_polyline_i>);
  install(colored_polyline_form<4>(),
          &colored_polyline_entry<KT_Point_I, colored_polyline_i_noclip>);
  install(colored_polyline_form<5>(), &colored_polyline_entry<KT_Point_D, colored_polyline_d>);
  install(marker_action, &marker_entry);
  install(positioned_item_action, &absorb_positioned_item);

  // Only a colour system of exactly 1 (indexed) selects the palette pair;
  // every other value installs the direct-colour pair.
  const bool indexed = own_renderer_options.color_system().kind == 1;
  install(plain(indexed ? palette_begin : direct_color_begin), &ignore);
  install(plain(indexed ? palette_end : direct_color_end), &ignore);
  install(plain(flush_hint), &ignore);
  install(clear_action_action, &clear_entry);
  install(forwarded_action_action, &forward_entry);
  return 0;
}

void HLR_Renderer::begin_picture() { read_settings(); }

void HLR_Renderer::end_picture() { clear_picture(); }
