// The eleven options: their order in both tables and in the entry arrays,
// their registered values, what the constructor assigns, and the settings
// read_settings copies from the current table. Each option's effect on a
// picture is pinned by a golden trace.
#include <string>
#include <vector>

#include "renderer_fixture.h"

namespace {

using Options = Renderer_Test;

TEST_F(Options, BothTablesHoldTheElevenOptionsAndTheEntriesFollowTheFixedIndexOrder) {
  const std::vector<std::wstring> registered{L"Hidden Line Pattern",
                                             L"Hidden Line Color",
                                             L"Display Hidden Lines",
                                             L"Use Face Color For Intersections",
                                             L"Intersection Line Color",
                                             L"Display Intersections",
                                             L"Intersection Line Pattern",
                                             L"Retain Hidden Line Color",
                                             L"Halo Gap",
                                             L"WZERO Factor",
                                             L"Use Double Precision"};
  for (const KT_Option_Table* table :
       {&renderer_->option_table, &renderer_->current_option_table}) {
    std::vector<std::wstring> names;
    for (const KT_Option& option : table->entries()) {
      names.push_back(option.name());
      EXPECT_EQ(option.scope(), KT_Option_Enum::scope_renderer);
    }
    EXPECT_EQ(names, registered);
  }
  const int by_index[option_count] = {0, 1, 3, 4, 2, 5, 6, 7, 8, 9, 10};
  for (int i = 0; i < option_count; ++i) {
    EXPECT_EQ(renderer_->option_entries[i]->name(), registered[std::size_t(by_index[i])]) << i;
    EXPECT_EQ(renderer_->current_option_entries[i]->name(), registered[std::size_t(by_index[i])]);
    EXPECT_NE(renderer_->option_entries[i], renderer_->current_option_entries[i]);
  }
}

// The settings start from the registered values of the current table
// (only option_table gets the constructor's assignments), and each follows
// its current value.
TEST_F(Options, SettingsFollowTheCurrentTableFromItsRegisteredValues) {
  EXPECT_EQ(original(hidden_line_color_option).color_value(),
            (KT_Color_Components{255, 255, 255, 255}));
  EXPECT_EQ(original(intersection_line_color_option).color_value(),
            (KT_Color_Components{255, 255, 255, 255}));
  EXPECT_FALSE(original(display_hidden_lines_option).boolean_value());
  original(halo_gap_option).set(KT_Option_Value(9));  // never what the settings come from
  renderer_->begin_picture();
  EXPECT_EQ(renderer_->hidden_line_color.argb(), 0xFF000000u);
  EXPECT_TRUE(renderer_->display_hidden_lines);
  EXPECT_EQ(renderer_->halo_gap, 0);
  EXPECT_EQ(current(intersection_line_color_option).color_value(),
            (KT_Color_Components{0, 0, 0, 255}));

  current(hidden_line_pattern_option).set(KT_Option_Value(3));
  // Bytes from the lowest address: c2, c1, c0 & 255, c3.
  current(hidden_line_color_option).set(KT_Option_Value(300, 1, 2, 3));
  current(display_hidden_lines_option).set(KT_Option_Value(false));
  current(use_face_color_for_intersections_option).set(KT_Option_Value(true));
  current(display_intersections_option).set(KT_Option_Value(true));
  current(intersection_line_pattern_option).set(KT_Option_Value(-7));
  current(retain_hidden_line_color_option).set(KT_Option_Value(true));
  current(halo_gap_option).set(KT_Option_Value(2));
  current(wzero_factor_option).set(KT_Option_Value(0.5f));
  current(use_double_precision_option).set(KT_Option_Value(true));
  renderer_->read_settings();
  EXPECT_EQ(renderer_->hidden_line_pattern, 3);
  EXPECT_EQ(renderer_->hidden_line_color, (KT_RGB32{2, 1, 44, 3}));
  EXPECT_FALSE(renderer_->display_hidden_lines);
  EXPECT_TRUE(renderer_->use_face_color_for_intersections);
  EXPECT_TRUE(renderer_->display_intersections);
  EXPECT_EQ(renderer_->intersection_line_pattern, -7);
  EXPECT_TRUE(renderer_->retain_hidden_line_color);
  EXPECT_EQ(renderer_->halo_gap, 2);
  EXPECT_EQ(renderer_->wzero_factor, 0.5f);
  EXPECT_TRUE(renderer_->use_double_precision);
}

}  // namespace
