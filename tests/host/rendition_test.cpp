// Copy-on-write of renditions, change stamps and the reference balance of
// the host's counted objects.
#include <gtest/gtest.h>

#include <new>

#include "allocation_failure.h"
#include "counted.h"
#include "recording_renderer.h"
#include "rendition.h"

namespace {

constexpr KT_RGB32 opaque_black{0, 0, 0, 255};
constexpr KT_RGB32 red{0, 0, 255, 255};

std::uint32_t change_counter() { return KORVO.change_counter.load(); }

TEST(Rendition, NewRenditionIsOpaqueBlackSolidWithClipZeroToThousand) {
  const KT_Rendition r = KT_Rendition::create();
  EXPECT_EQ(r.color(), opaque_black);
  EXPECT_EQ(r.line_pattern(), 0);
  EXPECT_EQ(r.clip_rectangle(), (KT_Int_Rectangle{0, 1000, 0, 1000}));
  EXPECT_EQ(r.data()->reference_count(), 1);
}

TEST(Rendition, EarlierHolderKeepsItsColourAfterSetColorThroughAnotherHandle) {
  KT_Rendition first = KT_Rendition::create();
  KT_Rendition second = first;
  ASSERT_EQ(first.data(), second.data());
  ASSERT_EQ(first.data()->reference_count(), 2);

  second.set_color(red, false);

  EXPECT_EQ(first.color(), opaque_black);
  EXPECT_EQ(second.color(), red);
  EXPECT_NE(first.data(), second.data());
  EXPECT_EQ(first.data()->reference_count(), 1);
  EXPECT_EQ(second.data()->reference_count(), 1);
  // The copy shares the untouched line style.
  EXPECT_EQ(first.data()->line_style, second.data()->line_style);
  EXPECT_EQ(first.data()->line_style->reference_count(), 2);
}

TEST(Rendition, SharedCopyKeepsTheOriginalsStampAndLeavesTheCounterAlone) {
  KT_Rendition first = KT_Rendition::create();
  first.set_color(red, false);  // gives the data a non-zero stamp
  const std::uint32_t stamp = first.data()->change_stamp();
  KT_Rendition second = first;
  const std::uint32_t before = change_counter();

  second.set_color(opaque_black, false);

  EXPECT_EQ(change_counter(), before);
  EXPECT_EQ(second.data()->change_stamp(), stamp);
  EXPECT_EQ(first.data()->change_stamp(), stamp);
}

TEST(Rendition, UniqueRenditionChangesInPlaceWithTheIncrementedCounterAsStamp) {
  KT_Rendition r = KT_Rendition::create();
  const KT_Rendition_Data* data = r.data();
  const std::uint32_t before = change_counter();

  r.set_color(red, false);

  EXPECT_EQ(r.data(), data);
  EXPECT_EQ(change_counter(), before + 1);
  EXPECT_EQ(r.data()->change_stamp(), before + 1);
  EXPECT_EQ(r.color(), red);

  r.set_clip_rectangle({-5, 5, 10, 20});
  EXPECT_EQ(r.data(), data);
  EXPECT_EQ(r.data()->change_stamp(), before + 2);
  EXPECT_EQ(r.clip_rectangle(), (KT_Int_Rectangle{-5, 5, 10, 20}));
}

TEST(Rendition, SetColorMakesUniqueEvenWhenTheColourIsUnchanged) {
  KT_Rendition first = KT_Rendition::create();
  KT_Rendition second = first;
  second.set_color(first.color(), false);
  EXPECT_NE(first.data(), second.data());

  const std::uint32_t before = change_counter();
  second.set_color(second.color(), false);
  EXPECT_EQ(second.data()->change_stamp(), before + 1);
}

TEST(Rendition, SetColorWithKeepAlphaKeepsTheOldAlphaByte) {
  KT_Rendition r = KT_Rendition::create();
  r.set_color({0x11, 0x22, 0x33, 0x44}, true);
  EXPECT_EQ(r.color().argb(), 0xFF332211u);
  r.set_color({0x11, 0x22, 0x33, 0x44}, false);
  EXPECT_EQ(r.color().argb(), 0x44332211u);
}

TEST(Rendition, SetLinePatternToTheSamePatternChangesNothing) {
  KT_Rendition first = KT_Rendition::create();
  first.set_line_pattern(2);
  first.set_dash_definition(4.0f);
  KT_Rendition second = first;
  const KT_Rendition_Data* data = first.data();
  const KT_Line_Style* style = data->line_style;
  const KT_Dash_Definition* dashes = style->dashes;
  const std::uint32_t stamp = data->change_stamp();
  const std::uint32_t style_stamp = style->change_stamp();
  const std::uint32_t before = change_counter();

  second.set_line_pattern(2);

  EXPECT_EQ(second.data(), data);
  EXPECT_EQ(second.data()->line_style, style);
  EXPECT_EQ(style->dashes, dashes);
  EXPECT_EQ(data->reference_count(), 2);
  EXPECT_EQ(data->change_stamp(), stamp);
  EXPECT_EQ(style->change_stamp(), style_stamp);
  EXPECT_EQ(change_counter(), before);
}

TEST(Rendition, SetLinePatternOnASharedRenditionCopiesBothPartsAndDropsTheDashes) {
  KT_Rendition first = KT_Rendition::create();
  first.set_dash_definition(4.0f);
  const KT_Line_Style* first_style = first.data()->line_style;
  ASSERT_NE(first_style->dashes, nullptr);
  KT_Rendition second = first;

  second.set_line_pattern(1);

  EXPECT_EQ(second.line_pattern(), 1);
  EXPECT_EQ(second.data()->line_style->dashes, nullptr);
  EXPECT_EQ(second.data()->line_style->caps, nullptr);
  EXPECT_NE(second.data()->line_style, first_style);
  // The earlier holder keeps its line style object, pattern and dashes.
  EXPECT_EQ(first.data()->line_style, first_style);
  EXPECT_EQ(first.line_pattern(), 0);
  ASSERT_NE(first_style->dashes, nullptr);
  EXPECT_EQ(first_style->dashes->dash_length, 4.0f);
  EXPECT_EQ(first_style->reference_count(), 1);
  EXPECT_EQ(first_style->dashes->reference_count(), 1);
}

TEST(Rendition, SetLinePatternOnAUniqueRenditionStampsBothPartsInPlace) {
  KT_Rendition r = KT_Rendition::create();
  r.set_dash_definition(2.0f);
  const KT_Rendition_Data* data = r.data();
  const KT_Line_Style* style = data->line_style;
  const std::uint32_t before = change_counter();

  r.set_line_pattern(3);

  EXPECT_EQ(r.data(), data);
  EXPECT_EQ(r.data()->line_style, style);
  EXPECT_EQ(style->line_pattern, 3);
  EXPECT_EQ(style->dashes, nullptr);
  EXPECT_EQ(data->change_stamp(), before + 1);
  EXPECT_EQ(style->change_stamp(), before + 2);
  EXPECT_EQ(change_counter(), before + 2);
}

TEST(Rendition, UniqueRenditionWithSharedLineStyleCopiesOnlyTheLineStyle) {
  KT_Rendition first = KT_Rendition::create();
  KT_Rendition second = first;
  second.set_color(red, false);  // two data objects, one line style
  const KT_Rendition_Data* second_data = second.data();
  const KT_Line_Style* shared_style = second_data->line_style;

  second.set_line_pattern(1);

  EXPECT_EQ(second.data(), second_data);
  EXPECT_NE(second.data()->line_style, shared_style);
  EXPECT_EQ(first.data()->line_style, shared_style);
  EXPECT_EQ(first.line_pattern(), 0);
  EXPECT_EQ(shared_style->reference_count(), 1);
}

TEST(Rendition, MakeUniqueOnASharedObjectClonesDropsOneAndHoldsTheCopy) {
  auto* original = new KT_Dash_Definition(1.5f);
  original->set_change_stamp(77);
  original->add_reference();
  original->add_reference();
  KT_Dash_Definition* handle = original;
  const std::uint32_t before = change_counter();

  make_unique(handle);

  ASSERT_NE(handle, original);
  EXPECT_EQ(original->reference_count(), 1);
  EXPECT_EQ(handle->reference_count(), 1);
  EXPECT_EQ(handle->dash_length, 1.5f);
  EXPECT_EQ(handle->change_stamp(), 77u);
  EXPECT_EQ(change_counter(), before);
  handle->drop_reference();
  original->drop_reference();
}

TEST(Rendition, MakeUniqueOnAnUnsharedObjectOnlyStamps) {
  for (int references : {0, 1}) {
    auto* object = new KT_Dash_Definition(1.5f);
    for (int i = 0; i < references; ++i) object->add_reference();
    KT_Dash_Definition* handle = object;
    const std::uint32_t before = change_counter();
    make_unique(handle);
    EXPECT_EQ(handle, object) << references;
    EXPECT_EQ(object->change_stamp(), before + 1) << references;
    EXPECT_EQ(object->reference_count(), references);
    delete object;
  }
}

TEST(Rendition, RendererRenditionIsSharedWithTheRenderer) {
  auto* renderer = new KT_Recording_Renderer;
  renderer->add_reference();
  {
    KT_Rendition r(renderer);
    EXPECT_EQ(r.data(), renderer->renderer_rendition.data());
    EXPECT_EQ(r.data()->reference_count(), 2);
    r.set_color(red, false);
    EXPECT_EQ(renderer->renderer_rendition.color(), opaque_black);
  }
  EXPECT_EQ(renderer->renderer_rendition.data()->reference_count(), 1);
  renderer->drop_reference();
}

TEST(ReferenceBalance, HandlesAndCopiesReturnTheLiveCountToItsStart) {
  const std::int64_t start = KT_Counted::live_objects();
  {
    KT_Rendition a = KT_Rendition::create();  // data + line style
    EXPECT_EQ(KT_Counted::live_objects(), start + 2);
    KT_Rendition b = a;
    KT_Rendition c;
    c = b;
    EXPECT_EQ(KT_Counted::live_objects(), start + 2);
    EXPECT_EQ(a.data()->reference_count(), 3);
    b.set_color(red, false);  // a second data object, line style shared
    EXPECT_EQ(KT_Counted::live_objects(), start + 3);
    b.set_line_pattern(1);  // a second line style
    EXPECT_EQ(KT_Counted::live_objects(), start + 4);
    b.set_dash_definition(3.0f);
    EXPECT_EQ(KT_Counted::live_objects(), start + 5);
    b.set_line_pattern(2);  // drops the dash definition
    EXPECT_EQ(KT_Counted::live_objects(), start + 4);

    KT_Rendition& alias = c;
    c = alias;  // self-assignment keeps the reference
    EXPECT_EQ(a.data()->reference_count(), 2);
    KT_Rendition moved = std::move(c);
    EXPECT_EQ(c.data(), nullptr);
    EXPECT_EQ(a.data()->reference_count(), 2);
    moved = std::move(b);
    EXPECT_EQ(a.data()->reference_count(), 1);
    EXPECT_EQ(KT_Counted::live_objects(), start + 4);
    moved.reset();
    EXPECT_EQ(KT_Counted::live_objects(), start + 2);
    moved.reset();  // an empty handle stays empty
  }
  EXPECT_EQ(KT_Counted::live_objects(), start);
}

TEST(ReferenceBalance, DashDefinitionsAreReleasedWithTheirLineStyles) {
  const std::int64_t start = KT_Counted::live_objects();
  {
    KT_Rendition a = KT_Rendition::create();
    a.set_dash_definition(1.0f);
    EXPECT_EQ(KT_Counted::live_objects(), start + 3);
    KT_Rendition b = a;
    b.set_color(red, false);      // a second data object
    b.set_dash_definition(2.0f);  // a second line style and dash definition
    EXPECT_EQ(KT_Counted::live_objects(), start + 6);
    EXPECT_EQ(a.data()->line_style->dashes->reference_count(), 1);
    EXPECT_EQ(a.data()->line_style->dashes->dash_length, 1.0f);
    EXPECT_EQ(b.data()->line_style->dashes->dash_length, 2.0f);
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
    EXPECT_EQ(second.color(), opaque_black);

    // The data copy succeeds, the line style copy fails: the handle holds a
    // unique but unchanged copy.
    {
      allocation_failure::Scope fail(2);
      EXPECT_THROW(second.set_line_pattern(1), std::bad_alloc);
    }
    EXPECT_EQ(first.line_pattern(), 0);
    EXPECT_EQ(second.line_pattern(), 0);
    EXPECT_EQ(first.data()->reference_count(), 1);
    EXPECT_EQ(first.data()->line_style->reference_count(), 2);
  }
  EXPECT_EQ(KT_Counted::live_objects(), start);
}

}  // namespace
