// Shared by the hidden suites: edges built by the store's own make_edge and
// freed again with their interval lists, and faces built as the store
// builds them, without a renderer.
#pragma once

#include <cstring>

#include "intervals.h"
#include "records.h"
#include "store.h"

namespace hidden_test {

// Owns the edges it makes: deletes each with its interval list.
class Edge_Store {
 public:
  Edge_Store() = default;
  Edge_Store(const Edge_Store&) = delete;
  Edge_Store& operator=(const Edge_Store&) = delete;
  ~Edge_Store() { clear(); }

  HLR_Edge& add(KT_Point p, KT_Point q, float t0 = 0.0f, float t1 = 1.0f,
                KT_RGB32 hidden_color = KT_RGB32{0, 0, 0, 255}) {
    make_edge(list, rendition, hidden_color, p, q, t0, t1);
    return *list.tail;
  }
  HLR_Edge& add_double(KT_Point_D p, KT_Point_D q, float t0 = 0.0f, float t1 = 1.0f,
                       KT_RGB32 hidden_color = KT_RGB32{0, 0, 0, 255}) {
    const KT_Point pf{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    const KT_Point qf{static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z)};
    make_edge(list, rendition, hidden_color, pf, qf, t0, t1, p, q);
    return *list.tail;
  }

  void clear() {
    HLR_Edge* edge = list.head;
    while (edge != nullptr) {
      HLR_Edge* next = edge->link;
      free_intervals(*edge);
      delete edge;
      edge = next;
    }
    list = HLR_Edge_List{};
  }

  KT_Rendition rendition = KT_Rendition::create();
  HLR_Edge_List list{};
};

// A face as make_face keeps it; the vertices must already run
// counter-clockwise in x-y.
inline HLR_Face face_of(KT_Point v0, KT_Point v1, KT_Point v2) {
  HLR_Face face{};
  face.vertices[0] = v0;
  face.vertices[1] = v1;
  face.vertices[2] = v2;
  face.plane = face_plane(v0, v1, v2);
  return face;
}

inline bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
inline bool same_bits(const KT_Point& a, const KT_Point& b) {
  return same_bits(a.x, b.x) && same_bits(a.y, b.y) && same_bits(a.z, b.z);
}
inline bool same_bits(const KT_Point_D& a, const KT_Point_D& b) {
  return same_bits(a.x, b.x) && same_bits(a.y, b.y) && same_bits(a.z, b.z);
}

}  // namespace hidden_test
