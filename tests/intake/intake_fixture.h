// A renderer state for intake tests without the driver: zero-initialised,
// with an empty extent and the two colour options the intake reads, and the
// helpers to look at and free what the intake captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "counted.h"
#include "options.h"
#include "records.h"
#include "renderer_state.h"
#include "rendition.h"

inline bool operator==(const KT_Point& l, const KT_Point& r) {
  return l.x == r.x && l.y == r.y && l.z == r.z;
}
inline bool operator==(const KT_Point_D& l, const KT_Point_D& r) {
  return l.x == r.x && l.y == r.y && l.z == r.z;
}
inline void PrintTo(const KT_Point& p, std::ostream* os) {
  *os << "(" << p.x << ", " << p.y << ", " << p.z << ")";
}
inline void PrintTo(const KT_Point_D& p, std::ostream* os) {
  *os << "(" << p.x << ", " << p.y << ", " << p.z << ")";
}
inline void PrintTo(const KT_RGB32& c, std::ostream* os) {
  *os << "argb " << std::hex << c.argb() << std::dec;
}

// Frees every record of the store (dropping their rendition references)
// and leaves it empty.
inline void free_records(HLR_Renderer_State& state) {
  for (HLR_Edge* edge = state.edge_list.head; edge != nullptr;) {
    HLR_Edge* next = edge->link;
    delete edge;
    edge = next;
  }
  for (HLR_Face* face = state.face_list.head; face != nullptr;) {
    HLR_Face* next = face->link;
    delete face;
    face = next;
  }
  for (HLR_Marker* marker = state.marker_list.head; marker != nullptr;) {
    HLR_Marker* next = marker->link;
    delete marker;
    marker = next;
  }
  state.edge_list = {};
  state.face_list = {};
  state.marker_list = {};
  state.extent = empty_extent;
}

// The lists in their stored order.
inline std::vector<const HLR_Edge*> edges_of(const HLR_Renderer_State& state) {
  std::vector<const HLR_Edge*> edges;
  for (const HLR_Edge* e = state.edge_list.head; e != nullptr; e = e->link) edges.push_back(e);
  return edges;
}
inline std::vector<const HLR_Face*> faces_of(const HLR_Renderer_State& state) {
  std::vector<const HLR_Face*> faces;
  for (const HLR_Face* f = state.face_list.head; f != nullptr; f = f->link) faces.push_back(f);
  return faces;
}
inline std::vector<const HLR_Marker*> markers_of(const HLR_Renderer_State& state) {
  std::vector<const HLR_Marker*> markers;
  for (const HLR_Marker* m = state.marker_list.head; m != nullptr; m = m->link) {
    markers.push_back(m);
  }
  return markers;
}

// Every list well linked and its count matching: the edge walk ends at the
// tail, the face walk at its count. A walk stops after `limit` records so a
// cycle shows as a failure rather than a hang.
inline ::testing::AssertionResult store_is_consistent(const HLR_Renderer_State& state,
                                                      std::uint32_t limit = 1000000) {
  std::uint32_t edges = 0;
  const HLR_Edge* last_edge = nullptr;
  for (const HLR_Edge* e = state.edge_list.head; e != nullptr && edges <= limit; e = e->link) {
    last_edge = e;
    ++edges;
  }
  if (edges != state.edge_list.count) {
    return ::testing::AssertionFailure()
           << "edge list holds " << edges << " edges, count says " << state.edge_list.count;
  }
  if (last_edge != state.edge_list.tail) {
    return ::testing::AssertionFailure() << "edge list tail is not its last edge";
  }
  std::uint32_t faces = 0;
  for (const HLR_Face* f = state.face_list.head; f != nullptr && faces <= limit; f = f->link) {
    ++faces;
  }
  if (faces != state.face_list.count) {
    return ::testing::AssertionFailure()
           << "face list holds " << faces << " faces, count says " << state.face_list.count;
  }
  std::uint32_t markers = 0;
  for (const HLR_Marker* m = state.marker_list.head; m != nullptr; m = m->link) {
    if (++markers > limit) return ::testing::AssertionFailure() << "marker list does not end";
  }
  return ::testing::AssertionSuccess();
}

inline double signed_area(const HLR_Face& face) {
  const KT_Point* v = face.vertices;
  return (double(v[1].x) - double(v[0].x)) * (double(v[2].y) - double(v[0].y)) -
         (double(v[2].x) - double(v[0].x)) * (double(v[1].y) - double(v[0].y));
}

class Intake_Test : public ::testing::Test {
 protected:
  Intake_Test() {
    hidden_line_color = options.add(KT_Option(L"Hidden Line Color",
                                              KT_Option_Enum::scope_renderer, 0, 0, 0, 255));
    intersection_line_color = options.add(KT_Option(
        L"Intersection Line Color", KT_Option_Enum::scope_renderer, 0, 0, 0, 255));
    state.current_option_entries[hidden_line_color_option] = hidden_line_color;
    state.current_option_entries[intersection_line_color_option] = intersection_line_color;
    state.extent = empty_extent;
    live_at_start = KT_Counted::live_objects();
  }
  ~Intake_Test() override { free_records(state); }

  // Whether every host object made during the test is gone again once the
  // records are freed.
  ::testing::AssertionResult references_balanced() {
    free_records(state);
    const std::int64_t live = KT_Counted::live_objects();
    if (live == live_at_start) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << live << " host objects alive, " << live_at_start << " at the start";
  }

  KT_Option_Table options;
  KT_Option* hidden_line_color = nullptr;
  KT_Option* intersection_line_color = nullptr;
  KT_Rendition rendition = KT_Rendition::create();
  HLR_Renderer_State state{};
  std::int64_t live_at_start = 0;
};
