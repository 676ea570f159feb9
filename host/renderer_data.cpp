#include "renderer_data.h"

#include <utility>

namespace {

// Which action sits at a position, by signature.
template <int Position>
struct position_signature {
  static constexpr int family_form(int first) { return Position - first + 1; }
  static constexpr bool in(int first, int last) { return Position >= first && Position <= last; }
  static auto pick() {
    using namespace KT_Actions;
    if constexpr (in(triangle_strip, 14) || in(face_family_d, face_family_d + 4)) {
      constexpr int form = Position % 5 + 1;
      return static_cast<KT_Face_Action<KT_Form_Point_t<form>>*>(nullptr);
    } else if constexpr (in(polyline, polyline + 4)) {
      return static_cast<KT_Polyline_Action<KT_Form_Point_t<family_form(polyline)>>*>(nullptr);
    } else if constexpr (in(colored_polyline, colored_polyline + 4)) {
      return static_cast<KT_Colored_Polyline_Action<KT_Form_Point_t<family_form(colored_polyline)>>*>(
          nullptr);
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

template <class Signature, int Position>
struct standard_entries;

template <int Position, class Result, class... Args>
struct standard_entries<Result(KT_Renderer_Data*, Args...), Position> {
  // Passes the call on, unchanged, to the same action of `next`.
  static Result pass_on(KT_Renderer_Data* receiver, Args... args) {
    if (receiver->next == nullptr) return Result();
    return receiver->next->actions.call(
        KT_Action<Result(KT_Renderer_Data*, Args...)>{Position}, args...);
  }
  // Draws nothing: the stand-in host has no device of its own.
  static Result absorb(KT_Renderer_Data*, Args...) { return Result(); }
};

template <int Position>
using entries_at = standard_entries<typename position_signature<Position>::type, Position>;

template <std::size_t... Position>
constexpr std::array<KT_Any_Function, action_count> make_pass_on(std::index_sequence<Position...>) {
  return {reinterpret_cast<KT_Any_Function>(&entries_at<Position>::pass_on)...};
}

template <std::size_t... Position>
constexpr std::array<KT_Any_Function, action_count> make_absorb(std::index_sequence<Position...>) {
  return {reinterpret_cast<KT_Any_Function>(&entries_at<Position>::absorb)...};
}

const std::array<KT_Any_Function, action_count> pass_on_entries =
    make_pass_on(std::make_index_sequence<action_count>());
const std::array<KT_Any_Function, action_count> absorb_entries =
    make_absorb(std::make_index_sequence<action_count>());

}  // namespace

KT_Any_Function standard_action(int position) { return pass_on_entries.at(position); }

KT_Renderer_Data::KT_Renderer_Data(const KT_Renderer_Data* next)
    : next(const_cast<KT_Renderer_Data*>(next)), renderer_rendition(KT_Rendition::create()) {
  if (this->next) this->next->add_reference();
  set_standard_actions(true);
}

KT_Renderer_Data::~KT_Renderer_Data() {
  if (next) next->drop_reference();
}

KT_Counted* KT_Renderer_Data::clone() const { return nullptr; }

KT_Renderer_Options& KT_Renderer_Data::renderer_options() { return own_renderer_options; }

KT_Renderer_Options& KT_Renderer_Data::current_renderer_options() { return own_renderer_options; }

void KT_Renderer_Data::optimize_current_options() {}

void KT_Renderer_Data::optimize_current_renderer_options(KT_Renderer_Data&) {}

KT_Option_Table& KT_Renderer_Data::current_options() { return current_option_table; }

int KT_Renderer_Data::establish() { return 0; }

int KT_Renderer_Data::establish_all() {
  const int result = establish();
  if (next) next->establish_all();
  return result;
}

void KT_Renderer_Data::begin_picture() {}

void KT_Renderer_Data::begin_picture_all(KT_Document_Info* document) {
  begin_picture();
  if (next) next->begin_picture_all(document);
}

void KT_Renderer_Data::end_picture() {}

void KT_Renderer_Data::end_picture_all() {
  end_picture();
  if (next) next->end_picture_all();
}

void KT_Renderer_Data::update() {}

void KT_Renderer_Data::update_all(const KT_Int_Rectangle& area) {
  update();
  if (next) next->update_all(area);
}

void KT_Renderer_Data::set_standard_actions(bool draws) {
  const auto& functions = draws ? absorb_entries : pass_on_entries;
  for (int position = 0; position < action_count; ++position) {
    actions[position] = {this, functions[position], 0, 0};
  }
}
