#include <string>
#include <vector>

#include "renderer_fixture.h"

namespace {

using Options = Renderer_Test;

std::vector<std::wstring> names_in(const KT_Option_Table& table) {
  std::vector<std::wstring> names;
  for (const KT_Option& option : table.entries()) names.push_back(option.name());
  return names;
}

TEST_F(Options, BothTablesHoldTheElevenOptionsInRegistrationOrder) {
  const std::vector<std::wstring> expected{
      L"Hidden Line Pattern",       L"Hidden Line Color",
      L"Display Hidden Lines",      L"Use Face Color For Intersections",
      L"Intersection Line Color",   L"Display Intersections",
      L"Intersection Line Pattern", L"Retain Hidden Line Color",
      L"Halo Gap",                  L"WZERO Factor",
      L"Use Double Precision"};
  EXPECT_EQ(names_in(renderer_->option_table), expected);
  EXPECT_EQ(names_in(renderer_->current_option_table), expected);
  for (const KT_Option& option : renderer_->option_table.entries()) {
    EXPECT_EQ(option.scope(), 0);
  }
}

TEST_F(Options, EntriesArraysFollowTheFixedIndexOrder) {
  const wchar_t* by_index[option_count] = {
      L"Hidden Line Pattern",  L"Hidden Line Color",         L"Use Face Color For Intersections",
      L"Intersection Line Color", L"Display Hidden Lines",   L"Display Intersections",
      L"Intersection Line Pattern", L"Retain Hidden Line Color", L"Halo Gap",
      L"WZERO Factor",         L"Use Double Precision"};
  for (int i = 0; i < option_count; ++i) {
    EXPECT_EQ(renderer_->option_entries[i]->name(), by_index[i]) << i;
    EXPECT_EQ(renderer_->current_option_entries[i]->name(), by_index[i]) << i;
    EXPECT_NE(renderer_->option_entries[i], renderer_->current_option_entries[i]);
  }
}

TEST_F(Options, CurrentTableKeepsRegisteredValues) {
  EXPECT_EQ(current(hidden_line_pattern_option).integer_value(), 0);
  EXPECT_EQ(current(hidden_line_color_option).color_value(), (KT_Color_Components{0, 0, 0, 255}));
  EXPECT_TRUE(current(display_hidden_lines_option).boolean_value());
  EXPECT_FALSE(current(use_face_color_for_intersections_option).boolean_value());
  EXPECT_EQ(current(intersection_line_color_option).color_value(),
            (KT_Color_Components{0, 0, 0, 255}));
  EXPECT_FALSE(current(display_intersections_option).boolean_value());
  EXPECT_EQ(current(halo_gap_option).integer_value(), 0);
  EXPECT_EQ(current(wzero_factor_option).real_value(), 0.0f);
  EXPECT_FALSE(current(use_double_precision_option).boolean_value());
}

TEST_F(Options, ConstructorAssignsOnlyInOptionTable) {
  EXPECT_EQ(original(hidden_line_color_option).color_value(),
            (KT_Color_Components{255, 255, 255, 255}));
  EXPECT_EQ(original(intersection_line_color_option).color_value(),
            (KT_Color_Components{255, 255, 255, 255}));
  EXPECT_FALSE(original(display_hidden_lines_option).boolean_value());
  // No assignment touches "Use Double Precision": its registered false.
  EXPECT_FALSE(original(use_double_precision_option).boolean_value());
}

TEST_F(Options, FreshRendererDisplaysHiddenLinesAfterBeginPicture) {
  renderer_->begin_picture();
  EXPECT_TRUE(renderer_->display_hidden_lines);
  EXPECT_EQ(renderer_->hidden_line_color.argb(), 0xFF000000u);
  EXPECT_FALSE(renderer_->display_intersections);
  EXPECT_EQ(renderer_->wzero_factor, 0.0f);
}

TEST_F(Options, ColourPackingKeepsTheLowEightBitsOfEachComponent) {
  current(hidden_line_color_option).set(KT_Option_Value(300, 1, 2, 3));
  renderer_->read_settings();
  const KT_RGB32 c = renderer_->hidden_line_color;
  // Bytes from the lowest address: c2, c1, c0 & 255, c3.
  EXPECT_EQ(c.blue, 2);
  EXPECT_EQ(c.green, 1);
  EXPECT_EQ(c.red, 44);
  EXPECT_EQ(c.alpha, 3);
}

TEST_F(Options, ReadSettingsCopiesEveryCurrentValue) {
  current(hidden_line_pattern_option).set(KT_Option_Value(3));
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
  EXPECT_FALSE(renderer_->display_hidden_lines);
  EXPECT_TRUE(renderer_->use_face_color_for_intersections);
  EXPECT_TRUE(renderer_->display_intersections);
  EXPECT_EQ(renderer_->intersection_line_pattern, -7);
  EXPECT_TRUE(renderer_->retain_hidden_line_color);
  EXPECT_EQ(renderer_->halo_gap, 2);
  EXPECT_EQ(renderer_->wzero_factor, 0.5f);
  EXPECT_TRUE(renderer_->use_double_precision);
  // The option_table copy is never what the settings come from.
  original(halo_gap_option).set(KT_Option_Value(9));
  renderer_->read_settings();
  EXPECT_EQ(renderer_->halo_gap, 2);
}

}  // namespace
