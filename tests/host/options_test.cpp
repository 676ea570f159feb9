// Option values, options and option tables.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "counted.h"
#include "options.h"

namespace {

using KT_Option_Enum::scope_renderer;

TEST(Options, EachKindKeepsItsValueAndRefusesTheOthers) {
  KT_Option integer(L"n", scope_renderer, 7);
  KT_Option boolean(L"b", KT_Option_Enum::scope_chain, true);
  KT_Option real(L"Halo Gap", scope_renderer, 0.5f);
  KT_Option color(L"c", scope_renderer, 1, 2, 3, 300);
  EXPECT_EQ(integer.integer_value(), 7);
  EXPECT_TRUE(boolean.boolean_value());
  EXPECT_EQ(boolean.scope(), KT_Option_Enum::scope_chain);
  EXPECT_EQ(color.color_value(), (KT_Color_Components{1, 2, 3, 300}));
  EXPECT_THROW(integer.boolean_value(), std::logic_error);
  EXPECT_THROW(integer.real_value(), std::logic_error);
  EXPECT_THROW(boolean.integer_value(), std::logic_error);
  EXPECT_THROW(real.color_value(), std::logic_error);
  EXPECT_THROW(real.set(KT_Option_Value(1)), std::invalid_argument);
  EXPECT_THROW(real.set(KT_Option_Value(true)), std::invalid_argument);
  EXPECT_THROW(real.set(KT_Option_Value(0, 0, 0, 255)), std::invalid_argument);
  EXPECT_EQ(real.real_value(), 0.5f);
  real.set(KT_Option_Value(2.0f));
  EXPECT_EQ(real.real_value(), 2.0f);
}

TEST(Options, ValuesAreSharedAndReleased) {
  const std::int64_t start = KT_Counted::live_objects();
  {
    KT_Option option(L"n", scope_renderer, 1);
    option.set(KT_Option_Value(5));  // the first value is released, the new one shared
    KT_Option copy = option;
    EXPECT_EQ(KT_Counted::live_objects(), start + 1);
    copy.set(KT_Option_Value(6));
    EXPECT_EQ(option.integer_value(), 5);
    EXPECT_EQ(KT_Counted::live_objects(), start + 2);
  }
  EXPECT_EQ(KT_Counted::live_objects(), start);
}

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
  EXPECT_EQ(table.find(L"option"), nullptr);
  const KT_Option_Table& read_only = table;
  EXPECT_EQ(read_only.find(L"option 7"), added[7]);
}

}  // namespace
