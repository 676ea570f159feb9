#include "renderer_data.h"

#include <utility>

#include "action_signatures.h"

namespace {

using korvo_internal::entry_table;

template <class Signature, int Position>
struct pass_on_entry;

// Passes the call on, unchanged, to the same action of `next`.
template <int Position, class Result, class... Args>
struct pass_on_entry<Result(KT_Renderer_Data*, Args...), Position> {
  static Result function(KT_Renderer_Data* receiver, Args... args) {
    if (receiver->next == nullptr) return Result();
    return receiver->next->actions.call(KT_Action<Result(KT_Renderer_Data*, Args...)>{Position},
                                        args...);
  }
};

template <class Signature, int Position>
struct absorb_entry;

// Draws nothing: the stand-in host has no device of its own.
template <int Position, class Result, class... Args>
struct absorb_entry<Result(KT_Renderer_Data*, Args...), Position> {
  static Result function(KT_Renderer_Data*, Args...) { return Result(); }
};

// Built on first use, so that a renderer constructed during another file's
// static initialisation still finds them filled.
const std::array<KT_Any_Function, action_count>& pass_on_entries() {
  static const std::array<KT_Any_Function, action_count> table = entry_table<pass_on_entry>();
  return table;
}
const std::array<KT_Any_Function, action_count>& absorb_entries() {
  static const std::array<KT_Any_Function, action_count> table = entry_table<absorb_entry>();
  return table;
}

}  // namespace

KT_Any_Function standard_action(int position) { return pass_on_entries().at(position); }

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
  const auto& functions = draws ? absorb_entries() : pass_on_entries();
  for (int position = 0; position < action_count; ++position) {
    actions[position] = {this, functions[position], 0, 0};
  }
}
