// Option values, options and option tables.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "counted.h"
#include "options.h"

namespace {

using KT_Option_Enum::scope_chain;
using KT_Option_Enum::scope_renderer;

TEST(Options, EachConstructorGivesItsKindAndValue) {
  const KT_Option integer(L"Hidden Line Pattern", scope_renderer, 7);
  const KT_Option boolean(L"Display Hidden Lines", scope_chain, true);
  const KT_Option real(L"Halo Gap", scope_renderer, 0.25f);
  const KT_Option color(L"Hidden Line Color", scope_renderer, 1, 2, 3, 300);

  EXPECT_EQ(integer.kind(), KT_Option_Kind::integer);
  EXPECT_EQ(integer.integer_value(), 7);
  EXPECT_EQ(boolean.kind(), KT_Option_Kind::boolean);
  EXPECT_TRUE(boolean.boolean_value());
  EXPECT_EQ(boolean.scope(), scope_chain);
  EXPECT_EQ(real.kind(), KT_Option_Kind::real);
  EXPECT_EQ(real.real_value(), 0.25f);
  EXPECT_EQ(color.kind(), KT_Option_Kind::color);
  EXPECT_EQ(color.color_value(), (KT_Color_Components{1, 2, 3, 300}));
  EXPECT_EQ(color.name(), L"Hidden Line Color");
}

TEST(Options, ReadingAnotherKindThrows) {
  const KT_Option integer(L"n", scope_renderer, 7);
  const KT_Option boolean(L"b", scope_renderer, false);
  EXPECT_THROW(integer.boolean_value(), std::logic_error);
  EXPECT_THROW(integer.real_value(), std::logic_error);
  EXPECT_THROW(integer.color_value(), std::logic_error);
  EXPECT_THROW(boolean.integer_value(), std::logic_error);
}

TEST(Options, SetWithTheWrongKindThrowsAndKeepsTheValue) {
  KT_Option option(L"Halo Gap", scope_renderer, 0.5f);
  EXPECT_THROW(option.set(KT_Option_Value(1)), std::invalid_argument);
  EXPECT_THROW(option.set(KT_Option_Value(true)), std::invalid_argument);
  EXPECT_THROW(option.set(KT_Option_Value(0, 0, 0, 255)), std::invalid_argument);
  EXPECT_EQ(option.kind(), KT_Option_Kind::real);
  EXPECT_EQ(option.real_value(), 0.5f);

  option.set(KT_Option_Value(2.0f));
  EXPECT_EQ(option.real_value(), 2.0f);

  KT_Option color(L"c", scope_renderer, 0, 0, 0, 255);
  color.set(KT_Option_Value(10, 20, 30, 40));
  EXPECT_EQ(color.color_value(), (KT_Color_Components{10, 20, 30, 40}));
}

TEST(Options, ValuesAreSharedAndReleased) {
  const std::int64_t start = KT_Counted::live_objects();
  {
    KT_Option option(L"n", scope_renderer, 1);
    EXPECT_EQ(KT_Counted::live_objects(), start + 1);
    const KT_Option_Value value(5);
    option.set(value);  // the first value is released, the new one shared
    EXPECT_EQ(KT_Counted::live_objects(), start + 1);
    KT_Option copy = option;
    EXPECT_EQ(KT_Counted::live_objects(), start + 1);
    EXPECT_EQ(copy.integer_value(), 5);
    copy.set(KT_Option_Value(6));
    EXPECT_EQ(option.integer_value(), 5);
    EXPECT_EQ(KT_Counted::live_objects(), start + 2);
  }
  EXPECT_EQ(KT_Counted::live_objects(), start);
}

TEST(OptionTable, AddKeepsACopyAndReturnsPointersThatStayValid) {
  const std::int64_t start = KT_Counted::live_objects();
  {
    KT_Option_Table table;
    std::vector<KT_Option*> added;
    for (int i = 0; i < 2000; ++i) {
      added.push_back(table.add(KT_Option(KT_String(L"option " + std::to_wstring(i)),
                                          scope_renderer, i)));
    }
    for (int i = 0; i < 2000; ++i) {
      ASSERT_EQ(added[i]->name(), L"option " + std::to_wstring(i));
      ASSERT_EQ(added[i]->integer_value(), i);
      ASSERT_EQ(table.find(L"option " + std::to_wstring(i)), added[i]);
    }
    EXPECT_EQ(table.entries().size(), 2000u);

    // Changing an entry through its pointer is what find sees afterwards.
    added[1234]->set(KT_Option_Value(-1));
    EXPECT_EQ(table.find(L"option 1234")->integer_value(), -1);

    // The table holds a copy: the option added is independent of it.
    KT_Option original(L"colour", scope_renderer, 1, 2, 3, 4);
    KT_Option* entry = table.add(original);
    original.set(KT_Option_Value(9, 9, 9, 9));
    EXPECT_EQ(entry->color_value(), (KT_Color_Components{1, 2, 3, 4}));
  }
  EXPECT_EQ(KT_Counted::live_objects(), start);
}

TEST(OptionTable, FindReturnsTheFirstOfEqualNamesAndNullForUnknownNames) {
  KT_Option_Table table;
  KT_Option* first = table.add(KT_Option(L"same", scope_renderer, 1));
  table.add(KT_Option(L"same", scope_renderer, 2));
  EXPECT_EQ(table.find(L"same"), first);
  EXPECT_EQ(table.find(L"Same"), nullptr);
  EXPECT_EQ(table.find(L"sam"), nullptr);
  EXPECT_EQ(table.find(L""), nullptr);
  const KT_Option_Table& read_only = table;
  EXPECT_EQ(read_only.find(L"same"), first);
  EXPECT_EQ(read_only.find(L"other"), nullptr);
}

}  // namespace
