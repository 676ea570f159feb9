// The renderer base class: what the host knows of every renderer in its
// chain. A renderer receives primitives through its action table and
// passes its output on through the action table of `next`.
#pragma once

#include <cstdint>

#include "actions.h"
#include "counted.h"
#include "korvo_api.h"
#include "options.h"
#include "rendition.h"

// The colour system a renderer works in; the first 32-bit value is the
// kind: 0 direct colour, 1 indexed colour (a palette), 2 grey levels.
struct KT_Color_System {
  std::int32_t kind;
  std::int32_t bits_per_color;
};

class KORVO_API KT_Renderer_Options {
 public:
  KT_Color_System color_system() const { return color_system_; }
  void set_color_system(KT_Color_System system) { color_system_ = system; }

 private:
  KT_Color_System color_system_{0, 24};
};

struct KT_Document_Info {
  const wchar_t* title;
};

class KORVO_API KT_Renderer_Data : public KT_Counted {
 public:
  // `next` is the renderer that receives this one's output; the base holds
  // a reference on it. Null only for the last renderer of a chain.
  explicit KT_Renderer_Data(const KT_Renderer_Data* next);
  KT_Renderer_Data(const KT_Renderer_Data&) = delete;

  // Virtual operations in slot order. Slot 0 is the destructor (the
  // deleting form frees the object), slot 1 clone (from KT_Counted).
  ~KT_Renderer_Data() override;                                          // 0
  KT_Counted* clone() const override;                                    // 1
  virtual KT_Renderer_Options& renderer_options();                       // 2
  virtual KT_Renderer_Options& current_renderer_options();               // 3
  virtual void optimize_current_options();                               // 4
  virtual void optimize_current_renderer_options(KT_Renderer_Data& to);  // 5
  virtual KT_Option_Table& current_options();                            // 6
  virtual int establish();                                               // 7
  virtual int establish_all();                                           // 8
  virtual void begin_picture();                                          // 9
  virtual void begin_picture_all(KT_Document_Info* document);            // 10
  virtual void end_picture();                                            // 11
  virtual void end_picture_all();                                        // 12
  virtual void update();                                                 // 13
  virtual void update_all(const KT_Int_Rectangle& area);                 // 14

  // Fills the whole action table. With `draws` false every entry passes its
  // call on, unchanged, to the same action of `next` (and does nothing when
  // there is no next); with `draws` true every entry absorbs its call.
  void set_standard_actions(bool draws);

  KT_Renderer_Data* next;
  KT_Option_Table option_table;
  KT_Option_Table current_option_table;
  KT_Renderer_Options own_renderer_options;
  // What KT_Rendition(const KT_Renderer_Data*) hands out for this renderer.
  KT_Rendition renderer_rendition;
  KT_Action_Table actions;
};

// The standard entry the host installs at `position` with `draws` false:
// it passes the call on to `next`. Exposed so that tests can tell an
// installed entry from a standard one.
KORVO_API KT_Any_Function standard_action(int position);
