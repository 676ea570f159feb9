// A host for whole-picture reliability tests: a renderer in a chain whose
// next renderer records every call and can be made to throw at its N-th
// call, and one representative picture played through the action table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hlr_renderer.h"
#include "recording_renderer.h"

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
  std::int64_t calls_seen() const { return calls_seen_; }

  // Counts one call; throws when it is the armed one.
  void count_call();
  // The recording entries the wrappers pass each call on to.
  const KT_Action_Table& recording_actions() const { return recording_; }

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
class Picture_Host {
 public:
  Picture_Host();
  ~Picture_Host();
  Picture_Host(const Picture_Host&) = delete;
  Picture_Host& operator=(const Picture_Host&) = delete;

  // The representative picture from establish to end_picture: faces of all
  // four families in every form, polylines and coloured polylines in every
  // form (clipped, inside, a long one beyond the intake's inside scratch
  // room), markers hidden and visible, intersections on, three updates in
  // different regimes (halo; double precision; retained colours without a
  // halo) with a primitive captured between them, a clear in the middle and
  // a second part of the picture after it.
  void run_picture();

  // The trace lines of every call that reached the next renderer.
  std::vector<std::string> trace() const;

  HLR_Renderer& renderer() { return *renderer_; }
  Failing_Next& next() { return *next_; }

 private:
  Failing_Next* next_;
  HLR_Renderer* renderer_;
  std::vector<KT_Rendition> renditions_;
  std::vector<KT_Option_Value> values_;
};
