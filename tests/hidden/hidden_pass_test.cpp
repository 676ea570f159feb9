// The marker test where the golden trace markers leaves a case open: two
// faces, a vertex, exactly the tolerance. The pass over the edges is
// checked against brute force on a whole sphere (tests/driver).
#include <gtest/gtest.h>

#include <vector>

#include "face_index.h"
#include "hidden_pass.h"
#include "intervals.h"
#include "state_fixture.h"

namespace {

class Hidden_Pass : public State_Test {
 protected:
  // The index over the faces so far, inserted in face_list order as the
  // intersection pass builds it.
  void build_index() {
    const HLR_Extent& e = state.extent;
    std::vector<HLR_Face*> faces;
    for (HLR_Face* f = state.face_list.head; f != nullptr; f = f->link) faces.push_back(f);
    state.face_index = new HLR_Face_Index({e.x_min, e.x_max, e.y_min, e.y_max}, std::move(faces));
  }
  const HLR_Face_Index& root() { return *state.face_index; }
};

TEST_F(Hidden_Pass, OnlyAMarkerBehindAFaceInsideItsTriangleIsHidden) {
  face({0, 0, 10}, {100, 0, 10}, {0, 100, 10});
  // A second face over the top right corner at z 11: it hides what the big
  // face's triangle does not cover; offered after the big face.
  face({100, 50, 11}, {100, 100, 11}, {50, 100, 11});
  build_index();
  const struct {
    KT_Point position;
    bool visible;
    const char* what;
  } cases[] = {
      {{10, 10, 5}, true, "in front"},
      {{10, 10, 20}, false, "behind, inside"},
      {{10, 10, 10.05f}, true, "on the plane within the tolerance"},
      {{10, 10, 10.2f}, false, "behind beyond the tolerance"},
      {{60, 45, 20}, true, "behind, outside both triangles"},
      {{90, 90, 10.5f}, true, "behind the first plane, outside its triangle, before the second"},
      {{90, 90, 20}, false, "behind the second face"},
      {{0, 0, 20}, false, "behind, at a vertex"},
      {{50, -0.5f, 20}, true, "just below the root box"},
  };
  for (const auto& c : cases) {
    make_marker(state, rendition, c.position);
    EXPECT_EQ(marker_visible(*state.marker_list.head, state.depth_tolerance, root()), c.visible)
        << c.what;
  }
  // Behind by exactly the tolerance is on the plane.
  make_marker(state, rendition, {10, 10, 10.5f});
  EXPECT_TRUE(marker_visible(*state.marker_list.head, 0.5f, root()));
}

}  // namespace
