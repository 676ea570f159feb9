// A renderer state for the intake, index and hidden suites, without the
// driver: zero-initialised, with an empty extent, a depth tolerance of 0.1,
// and the two colour options the intake and the intersection pass read
// ("Hidden Line Color" and "Intersection Line Color", opaque black) in both
// option tables. The fixture frees every record it finds in the store at
// the end of the test, with the face index and the interval pools where
// the suite links the layers that make them; `intervals` is a pool for the
// tests that hide parts of edges themselves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <type_traits>
#include <utility>
#include <vector>

#include "counted.h"
#include "options.h"
#include "records.h"
#include "renderer_state.h"
#include "rendition.h"
#include "store.h"

// Which layers the suite sees decides what there is to free: the index
// suites link the face index, the hidden suites the intervals as well.
#if __has_include("face_index.h")
#include "face_index.h"
#define HLR_STATE_FIXTURE_HAS_INDEX 1
#endif
#if __has_include("intervals.h")
#include "intervals.h"
#define HLR_STATE_FIXTURE_HAS_INTERVALS 1
#endif

inline bool operator==(const KT_Point& l, const KT_Point& r) {
  return l.x == r.x && l.y == r.y && l.z == r.z;
}
inline bool operator==(const KT_Point_D& l, const KT_Point_D& r) {
  return l.x == r.x && l.y == r.y && l.z == r.z;
}
inline void PrintTo(const KT_Point& p, std::ostream* os) {
  *os << "(" << p.x << ", " << p.y << ", " << p.z << ")";
}

constexpr KT_RGB32 opaque_black{0, 0, 0, 255};

class State_Test : public ::testing::Test {
 public:
  State_Test() {
    for (KT_Option_Table* table : {&option_table, &current_option_table}) {
      auto& entries = table == &option_table ? state.option_entries : state.current_option_entries;
      entries[hidden_line_color_option] =
          table->add(KT_Option(L"Hidden Line Color", KT_Option_Enum::scope_renderer, 0, 0, 0, 255));
      entries[intersection_line_color_option] = table->add(
          KT_Option(L"Intersection Line Color", KT_Option_Enum::scope_renderer, 0, 0, 0, 255));
    }
    state.extent = empty_extent;
    state.depth_tolerance = 0.1f;
    live_at_start = KT_Counted::live_objects();
  }
  ~State_Test() override { clear(); }

  KT_Option& current(HLR_Option_Index index) { return *state.current_option_entries[index]; }

  // Empties the edge list; the edges stay in the record arena, with the
  // renditions held for them, and their interval nodes with the pools they
  // came from, until clear().
  void clear_edges() { state.edge_list = {}; }
  // Frees the index, the pass's pools and every record, and empties the
  // store.
  void clear() {
#ifdef HLR_STATE_FIXTURE_HAS_INDEX
    delete state.face_index;
    state.face_index = nullptr;
#endif
#ifdef HLR_STATE_FIXTURE_HAS_INTERVALS
    delete state.interval_pools;
    state.interval_pools = nullptr;
#endif
    clear_records(state);
  }

  // Whether every host object made since the fixture was built is gone
  // again once the records are freed, and the fixture's rendition is held
  // by nothing else.
  ::testing::AssertionResult references_balanced() {
    clear();
    const std::int64_t live = KT_Counted::live_objects();
    const std::int32_t holders = rendition.data()->reference_count();
    if (live == live_at_start && holders == 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << live << " host objects alive, " << live_at_start
           << " at the start; the rendition has " << holders << " holders";
  }

  // Records built by the store's own builders.
  HLR_Edge& edge(KT_Point p, KT_Point q, float t0 = 0.0f, float t1 = 1.0f,
                 KT_RGB32 hidden_color = opaque_black) {
    make_edge(state, rendition, hidden_color, p, q, t0, t1);
    return *state.edge_list.tail;
  }
  HLR_Edge& edge_d(KT_Point_D p, KT_Point_D q) {
    const KT_Point pf{float(p.x), float(p.y), float(p.z)};
    const KT_Point qf{float(q.x), float(q.y), float(q.z)};
    make_edge(state, rendition, opaque_black, pf, qf, 0.0f, 1.0f, p, q);
    return *state.edge_list.tail;
  }
  // The newest face, or null when the triangle was dropped.
  HLR_Face* face(KT_Point p0, KT_Point p1, KT_Point p2, KT_RGB32 intersection = opaque_black,
                 KT_RGB32 hidden = opaque_black) {
    const std::uint32_t before = state.face_list.count;
    make_face(state, rendition, intersection, hidden, p0, p1, p2);
    return state.face_list.count == before ? nullptr : state.face_list.head;
  }

  // The lists in their stored order.
  template <class List>
  static auto all_of(const List& list) {
    std::vector<const std::remove_pointer_t<decltype(list.head)>*> all;
    for (const auto* record = list.head; record != nullptr; record = record->link) {
      all.push_back(record);
    }
    return all;
  }
  std::vector<const HLR_Edge*> edges() const { return all_of(state.edge_list); }
  std::vector<const HLR_Face*> faces() const { return all_of(state.face_list); }

  KT_Option_Table option_table;
  KT_Option_Table current_option_table;
  KT_Rendition rendition = KT_Rendition::create();
#ifdef HLR_STATE_FIXTURE_HAS_INTERVALS
  HLR_Interval_Pool intervals;
#endif
  HLR_Renderer_State state{};
  std::int64_t live_at_start = 0;
};
