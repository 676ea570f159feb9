// A host for whole-picture reliability tests: a renderer in a chain whose
// next renderer records every call and can be made to throw at its N-th
// call, and one representative picture played through the action table.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "renderer_fixture.h"

// The last renderer of the chain: records like KT_Recording_Renderer, and
// throws std::runtime_error from the N-th call of an action the hidden-line
// renderer passes on (polyline, marker, clear, forward), counted from when
// it was armed.
class Failing_Next final : public KT_Recording_Renderer {
 public:
  Failing_Next();

  // From now on the n-th call throws; 0 never.
  void fail_at(std::int64_t n) {
    calls_seen_ = 0;
    failing_call_ = n;
    fired_ = false;
  }
  bool fired() const { return fired_; }

  // Counts one call, throwing when it is the armed one, and returns the
  // recording entries that record it.
  const KT_Action_Table& count_call();

 private:
  KT_Action_Table recording_;
  std::int64_t calls_seen_ = 0;
  std::int64_t failing_call_ = 0;
  bool fired_ = false;
};

// The host side: the chain, the renditions and the option values the
// picture uses. Everything the picture needs from the host is made here,
// before a failure is armed, so that while the picture runs the host only
// moves references: the live-object count after end_picture is the count
// before the picture, whatever failed.
class Picture_Host : public Renderer_Chain<Failing_Next> {
 public:
  Picture_Host();

  // The representative picture from establish to end_picture: faces of all
  // four families in every form, polylines and coloured polylines in every
  // form (clipped, inside, a long one beyond the intake's inside scratch
  // room), markers hidden and visible, intersections on, three updates in
  // different regimes (halo; double precision; retained colours without a
  // halo) with a primitive captured between them, a clear in the middle and
  // a second part of the picture after it.
  void run_picture();

 private:
  using Settings = std::vector<std::pair<HLR_Option_Index, KT_Option_Value>>;
  void apply(const Settings& settings);

  std::vector<KT_Rendition> renditions_;
  // What the picture starts from, and what later updates switch to.
  Settings start_, double_precision_, third_update_, second_part_;
};
