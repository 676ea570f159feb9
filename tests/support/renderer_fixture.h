// The hidden-line renderer in a host's chain whose next renderer records
// every call (Renderer_Chain), and a test fixture over one chain that checks
// at the end that no host object was leaked (Renderer_Test). For the suites
// that link the driver.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "hlr_renderer.h"
#include "recording_renderer.h"

// Holds its references the way the host does: one on next, one on the
// renderer (which holds another on next).
template <class Next = KT_Recording_Renderer>
struct Renderer_Chain {
  Renderer_Chain() : next(new Next) {
    next->add_reference();
    const KT_Renderer_Data* first = next;
    renderer = static_cast<HLR_Renderer*>(KD_Renderer(&first));
    renderer->add_reference();
  }
  ~Renderer_Chain() {
    renderer->drop_reference();
    next->drop_reference();
  }
  Renderer_Chain(const Renderer_Chain&) = delete;
  Renderer_Chain& operator=(const Renderer_Chain&) = delete;

  void set(HLR_Option_Index option, const KT_Option_Value& value) {
    renderer->current_option_entries[option]->set(value);
  }
  // The trace lines of every call that reached next.
  std::vector<std::string> trace() const {
    std::vector<std::string> lines;
    for (const KT_Recorded_Call& call : next->calls()) lines.push_back(trace_line(call));
    return lines;
  }

  Next* next;
  HLR_Renderer* renderer;
};

class Renderer_Test : public ::testing::Test {
 protected:
  void TearDown() override {
    rendition_.reset();
    chain_.reset();
    EXPECT_EQ(KT_Counted::live_objects(), live_at_start_) << "a host object was leaked";
  }

  const std::int64_t live_at_start_ = KT_Counted::live_objects();
  std::optional<Renderer_Chain<>> chain_{std::in_place};
  KT_Recording_Renderer* recorder_ = chain_->next;
  HLR_Renderer* renderer_ = chain_->renderer;
  KT_Rendition rendition_ = KT_Rendition::create();
};
