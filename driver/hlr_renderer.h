// The hidden-line renderer: a renderer of the host's chain that captures a
// picture's faces, lines and markers, and at update sends downstream the
// hidden pieces of the lines (when asked for), then the visible pieces, then
// the markers no face hides.
//
// The host creates it through KD_Renderer and drives it through the stages
// establish (once), then per picture begin_picture, the primitives, update
// (once or more) and end_picture. It is destroyed when the host drops its
// last reference.
#pragma once

#include "korvo_api.h"
#include "renderer_data.h"
#include "renderer_state.h"

class HLR_Renderer final : public KT_Renderer_Data, public HLR_Renderer_State {
 public:
  // Builds on storage that KD_Renderer zero-filled: every member of the
  // state not set here stays zero.
  explicit HLR_Renderer(const KT_Renderer_Data* next);
  ~HLR_Renderer() override;

  KT_Counted* clone() const override;                        // 1: never copied
  KT_Renderer_Options& renderer_options() override;          // 2: next's
  KT_Renderer_Options& current_renderer_options() override;  // 3: next's
  KT_Option_Table& current_options() override;               // 6: next's
  int establish() override;                                  // 7
  void begin_picture() override;                             // 9
  void end_picture() override;                               // 11
  void update() override;                                    // 13

  // Copies the current option values into the settings.
  void read_settings();
  // Frees the store: face index, edges with their intervals, faces,
  // markers; then resets it to empty. Cannot fail; idempotent.
  void clear_picture();
};

// The eleven options with their registered values, into `table`.
void register_options(KT_Option_Table& table, std::array<KT_Option*, option_count>& entries);
// The values the constructor assigns in option_table.
void assign_option_defaults(const std::array<KT_Option*, option_count>& entries);

// The module's one exported entry point: a new renderer whose output goes
// to the renderer that `next` points at.
extern "C" KORVO_MODULE_EXPORT KT_Renderer_Data* KD_Renderer(const KT_Renderer_Data* const* next);
