// Option values and option tables: what the renderer's option entries rely
// on beyond the eleven options a picture uses.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "options.h"

namespace {

using KT_Option_Enum::scope_renderer;

TEST(Options, EachKindKeepsItsValueAndRefusesTheOthers) {
  KT_Option real(L"Halo Gap", scope_renderer, 0.5f);
  EXPECT_THROW(real.integer_value(), std::logic_error);
  EXPECT_THROW(real.color_value(), std::logic_error);
  EXPECT_THROW(real.set(KT_Option_Value(1)), std::invalid_argument);
  EXPECT_THROW(real.set(KT_Option_Value(true)), std::invalid_argument);
  real.set(KT_Option_Value(2.0f));
  EXPECT_EQ(real.real_value(), 2.0f);
}

// The renderer keeps pointers to its entries while the host adds more.
TEST(OptionTable, EntriesAreCopiesWhosePointersStayValidAndFindTakesTheFirst) {
  KT_Option_Table table;
  std::vector<KT_Option*> added;
  for (int i = 0; i < 2000; ++i) {
    added.push_back(
        table.add(KT_Option(KT_String(L"option " + std::to_wstring(i)), scope_renderer, i)));
  }
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(added[std::size_t(i)]->integer_value(), i);
    ASSERT_EQ(table.find(L"option " + std::to_wstring(i)), added[std::size_t(i)]);
  }
  KT_Option original(L"option 5", scope_renderer, 1, 2, 3, 4);
  KT_Option* second = table.add(original);  // the same name again
  original.set(KT_Option_Value(9, 9, 9, 9));
  EXPECT_EQ(second->color_value(), (KT_Color_Components{1, 2, 3, 4}));
  EXPECT_EQ(table.find(L"option 5"), added[5]);
  EXPECT_EQ(table.find(L"Option 5"), nullptr);
}

}  // namespace
