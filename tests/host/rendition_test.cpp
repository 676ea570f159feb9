// Copy-on-write of renditions, change stamps, and the reference balance of
// the host's counted objects.
#include <gtest/gtest.h>

#include <new>

#include "allocation_failure.h"
#include "counted.h"
#include "rendition.h"

namespace {

constexpr KT_RGB32 opaque_black{0, 0, 0, 255};
constexpr KT_RGB32 red{0, 0, 255, 255};

std::uint32_t change_counter() { return KORVO.change_counter.load(); }

TEST(Rendition, SharedDataIsCopiedWithItsStampUniqueDataChangesInPlaceWithANewStamp) {
  KT_Rendition first = KT_Rendition::create();
  EXPECT_EQ(first.color(), opaque_black);
  EXPECT_EQ(first.clip_rectangle(), (KT_Int_Rectangle{0, 1000, 0, 1000}));
  first.set_color(red, false);  // unique: in place, stamped
  const std::uint32_t stamp = first.data()->change_stamp();
  EXPECT_EQ(stamp, change_counter());

  KT_Rendition second = first;
  const KT_Rendition_Data* shared = first.data();
  const std::uint32_t before = change_counter();
  second.set_color(red, false);  // the same colour still makes it unique
  EXPECT_EQ(first.data(), shared);
  EXPECT_NE(second.data(), shared);
  EXPECT_EQ(change_counter(), before);  // a copy keeps the original's stamp
  EXPECT_EQ(second.data()->change_stamp(), stamp);
  EXPECT_EQ(first.data()->reference_count(), 1);
  EXPECT_EQ(second.data()->line_style, first.data()->line_style);  // shared, untouched

  second.set_clip_rectangle({-5, 5, 10, 20});
  EXPECT_EQ(second.data()->change_stamp(), before + 1);
  EXPECT_EQ(first.clip_rectangle(), (KT_Int_Rectangle{0, 1000, 0, 1000}));
  // keep_alpha keeps the old alpha byte.
  second.set_color({0x11, 0x22, 0x33, 0x44}, true);
  EXPECT_EQ(second.color().argb(), 0xFF332211u);
}

TEST(Rendition, SetLinePatternCopiesWhatIsSharedDropsTheDashesAndIgnoresTheSamePattern) {
  KT_Rendition first = KT_Rendition::create();
  first.set_dash_definition(4.0f);
  const KT_Line_Style* first_style = first.data()->line_style;
  KT_Rendition second = first;
  const std::uint32_t before = change_counter();
  second.set_line_pattern(0);  // already 0: nothing is copied or stamped
  EXPECT_EQ(second.data(), first.data());
  EXPECT_EQ(change_counter(), before);

  second.set_line_pattern(1);
  EXPECT_EQ(second.line_pattern(), 1);
  EXPECT_EQ(second.data()->line_style->dashes, nullptr);
  EXPECT_EQ(first.line_pattern(), 0);
  EXPECT_EQ(first.data()->line_style, first_style);
  ASSERT_NE(first_style->dashes, nullptr);
  EXPECT_EQ(first_style->dashes->reference_count(), 1);

  // Unique data with a shared line style: only the line style is copied.
  KT_Rendition third = second;
  third.set_color(red, false);
  const KT_Rendition_Data* third_data = third.data();
  third.set_line_pattern(2);
  EXPECT_EQ(third.data(), third_data);
  EXPECT_EQ(second.line_pattern(), 1);
}

TEST(ReferenceBalance, HandlesCopiesAndMovesReturnTheLiveCountToItsStart) {
  const std::int64_t start = KT_Counted::live_objects();
  {
    KT_Rendition a = KT_Rendition::create();  // data + line style
    KT_Rendition b = a;
    KT_Rendition c;
    c = b;
    EXPECT_EQ(KT_Counted::live_objects(), start + 2);
    EXPECT_EQ(a.data()->reference_count(), 3);
    b.set_color(red, false);      // a second data object, line style shared
    b.set_dash_definition(3.0f);  // a second line style and a dash definition
    EXPECT_EQ(KT_Counted::live_objects(), start + 5);
    b.set_line_pattern(2);  // drops the dash definition
    EXPECT_EQ(KT_Counted::live_objects(), start + 4);
    KT_Rendition& alias = c;
    c = alias;  // self-assignment keeps the reference
    KT_Rendition moved = std::move(c);
    EXPECT_EQ(c.data(), nullptr);
    EXPECT_EQ(a.data()->reference_count(), 2);
    moved = std::move(b);
    EXPECT_EQ(a.data()->reference_count(), 1);
    moved.reset();
    moved.reset();  // an empty handle stays empty
    EXPECT_EQ(KT_Counted::live_objects(), start + 2);
  }
  EXPECT_EQ(KT_Counted::live_objects(), start);
}

TEST(ReferenceBalance, FailedCopyLeavesTheHandleOnTheSharedData) {
  const std::int64_t start = KT_Counted::live_objects();
  {
    KT_Rendition first = KT_Rendition::create();
    KT_Rendition second = first;
    {
      allocation_failure::Scope fail(1);
      EXPECT_THROW(second.set_color(red, false), std::bad_alloc);
    }
    EXPECT_EQ(second.data(), first.data());
    EXPECT_EQ(first.data()->reference_count(), 2);
    // The data copy succeeds, the line style copy fails: the handle holds a
    // unique but unchanged copy.
    {
      allocation_failure::Scope fail(2);
      EXPECT_THROW(second.set_line_pattern(1), std::bad_alloc);
    }
    EXPECT_EQ(second.line_pattern(), 0);
    EXPECT_EQ(first.data()->reference_count(), 1);
    EXPECT_EQ(first.data()->line_style->reference_count(), 2);
  }
  EXPECT_EQ(KT_Counted::live_objects(), start);
}

}  // namespace
