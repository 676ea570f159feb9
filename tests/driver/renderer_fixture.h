// A renderer in a chain whose next is a recording renderer, as the host
// builds it, with the live-object balance checked at the end.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "hlr_renderer.h"
#include "recording_renderer.h"

class Renderer_Test : public ::testing::Test {
 protected:
  void SetUp() override {
    live_at_start_ = KT_Counted::live_objects();
    recorder_ = new KT_Recording_Renderer;
    recorder_->add_reference();
    const KT_Renderer_Data* next = recorder_;
    renderer_ = static_cast<HLR_Renderer*>(KD_Renderer(&next));
    renderer_->add_reference();
  }

  void TearDown() override {
    if (renderer_) renderer_->drop_reference();
    recorder_->drop_reference();
    EXPECT_EQ(KT_Counted::live_objects(), live_at_start_) << "a host object was leaked";
  }

  KT_Option& current(HLR_Option_Index index) { return *renderer_->current_option_entries[index]; }
  KT_Option& original(HLR_Option_Index index) { return *renderer_->option_entries[index]; }

  std::int64_t live_at_start_ = 0;
  KT_Recording_Renderer* recorder_ = nullptr;
  HLR_Renderer* renderer_ = nullptr;
};
