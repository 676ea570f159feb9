// The face index: worked splits and placements, the three queries against
// a brute force on random faces (whose keys and bounds share a grid and
// whose queries touch faces at corners and sides, where strict and
// inclusive comparisons differ), resumed iterations whose arguments
// change, and the sentinel guards.
#include "face_index.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "index_fixture.h"

namespace {

const HLR_Index_Node* node_holding(const Test_Index& index, const HLR_Face* face) {
  for (const Answer& a : iterate(index.root(), everything).answers) {
    if (a.face == face) return a.node;
  }
  return nullptr;
}

TEST(FaceIndexSplit, ChildrenOverlapInTheBandAndRunInOrder) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 400.0f);
  HLR_Index_Node* root = index.root();
  split_node(root, root, 75.0f, 30.0f);
  // Centre (500, 200); the high sides start at the centre minus the margin,
  // the low sides end at the centre plus the margin.
  const std::array<float, 4> boxes[4] = {
      {425, 1000, 170, 400}, {425, 1000, 0, 230}, {0, 575, 0, 230}, {0, 575, 170, 400}};
  const HLR_Index_Node* c = root->first_child;
  for (int k = 0; k < 4; ++k, c = c->successor) {
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(box_of(c), boxes[k]) << "child " << k + 1;
  }
  EXPECT_EQ(c, nullptr);
  // A child's fourth child continues with the child's own successor.
  split_node(root->first_child, root, 10.0f, 10.0f);
  EXPECT_TRUE(index_is_consistent(root));
}

// Root 0..1000 in x and y: margin 75 at depth 0 (band 425..575), 43.125 at
// depth 1; child 1 is 425..1000 x 425..1000, its band 669.375..755.625.
TEST(FaceIndexInsert, ItemGoesToTheNodeTheBandsChoose) {
  struct Case {
    const char* what;
    float x0, x1, y0, y1;
    int depth;
    std::array<float, 4> node;
  };
  const float above_425 = std::nextafter(425.0f, 1000.0f);
  const float above_575 = std::nextafter(575.0f, 1000.0f);
  const Case cases[] = {
      {"straddles the band in x", 400, 600, 100, 200, 0, {0, 1000, 0, 1000}},
      {"straddles the band in y", 100, 200, 400, 600, 0, {0, 1000, 0, 1000}},
      {"high x side is strict", 425, 760, 430, 760, 0, {0, 1000, 0, 1000}},
      {"just above the band start", above_425, 760, 430, 760, 1, {425, 1000, 425, 1000}},
      {"high y side is strict", 430, 760, 425, 575, 1, {425, 1000, 0, 575}},
      {"low side is inclusive", 100, 575, 100, 575, 1, {0, 575, 0, 575}},
      {"just past the low side", 100, above_575, 100, 575, 0, {0, 1000, 0, 1000}},
      {"child 4", 100, 575, 430, 760, 1, {0, 575, 425, 1000}},
      // In child 1 (centre 712.5, 712.5) the margin is 43.125: x_min 670 is
      // above 669.375 and y_max 750 below 755.625, so the face goes on to
      // child 1's child 2 (669.375..1000 x 425..755.625), whose margin is
      // 24.796875; there it spans the y band 565.515625..615.109375 and
      // stays.
      {"depth 1 margin", 670, 760, 430, 750, 2, {669.375f, 1000, 425, 755.625f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
    const HLR_Index_Node* node =
        node_holding(index, index.insert_box(c.x0, c.x1, c.y0, c.y1, 1, 2));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(path_of(node).size(), std::size_t(c.depth));
    EXPECT_EQ(box_of(node), c.node);
    EXPECT_EQ(node->first_child, nullptr);
  }
  // In both bands: the high-high child. A point descends one split per
  // level, down to depth 6.
  Test_Index both(0.0f, 1000.0f, 0.0f, 1000.0f);
  EXPECT_EQ(path_of(node_holding(both, both.insert_box(430, 570, 430, 570, 0, 1)))[0], 1);
  Test_Index point(0.0f, 1000.0f, 0.0f, 1000.0f);
  EXPECT_EQ(path_of(node_holding(point, point.insert_box(300, 300, 700, 700, 0, 0))).size(), 6u);
}

// The whole iteration gives every face once, in the order the index
// promises: nodes in pre-order, within a node ascending z_min, equal z_min
// the face inserted last first. Every other iteration, with fixed or
// changing arguments, follows the model over that order.
TEST(FaceIndexQuery, RandomQueriesFollowTheBruteForceInOrder) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
    fill_crowded(index, 7 + round, 500 + 2000 * round, false);
    ASSERT_TRUE(index_is_consistent(index.root()));
    const std::vector<Answer> all = iterate(index.root(), everything).answers;
    std::vector<const HLR_Face*> sorted = faces_of(all);
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(std::unique(sorted.begin(), sorted.end()) - sorted.begin(),
              std::ptrdiff_t(index.faces().size()));
    for (std::size_t i = 1; i < all.size(); ++i) {
      const Answer& p = all[i - 1];
      const Answer& a = all[i];
      const float zp = bounds_of(*p.face).z_min;
      const float za = bounds_of(*a.face).z_min;
      ASSERT_TRUE(p.node != a.node ? path_of(p.node) < path_of(a.node)
                                   : zp < za || (zp == za && index.insertion_index(p.face) >
                                                                 index.insertion_index(a.face)))
          << "answer " << i;
    }

    for (std::uint32_t q = 1; q <= 300; ++q) {
      SCOPED_TRACE(q);
      const float x0 = unit(random) * 110.0f - 5.0f;
      const float y0 = unit(random) * 110.0f - 5.0f;
      const float z0 = unit(random) * 50.0f;
      // Depth bounds on the grid of keys make equal bounds common.
      const float z1 = std::floor(z0 + unit(random) * 30.0f);
      Query args{Kind(q % 3), x0, x0 + unit(random) * 30.0f, y0, y0 + unit(random) * 30.0f, z0, z1};
      // Every fourth query meets one face exactly: a point on one of its
      // corners, or a rectangle touching it there, a depth range starting
      // at its z_max (all inclusive), and now and then a depth bound equal
      // to its z_min (strict).
      if (q % 4 == 0) {
        const HLR_Index_Item b = bounds_of(index.faces()[q % index.faces().size()]);
        const bool low_x = q % 8 == 0;
        const bool low_y = q % 16 < 8;
        const float x = low_x ? b.x_min : b.x_max;
        const float y = low_y ? b.y_min : b.y_max;
        args.x_min = low_x && args.kind != point ? x - 5 : x;
        args.x_max = low_x ? x : x + 5;
        args.y_min = low_y && args.kind != point ? y - 5 : y;
        args.y_max = low_y ? y : y + 5;
        args.z_min = b.z_max;
        args.z_max = q % 5 == 0 ? b.z_min : 100.0f;
      }
      ASSERT_TRUE(follows_model(all, iterate(index.root(), args)));
      ASSERT_TRUE(follows_model(all, iterate(index.root(), args, q)));
    }
  }
}

// Keys beyond the sentinel's 1e28, infinite or NaN must not carry an
// insertion walk or a scan past the end of a list.
TEST(FaceIndexSentinel, OversizedAndNaNKeysDoNotRunOffTheList) {
  using Faces = std::vector<const HLR_Face*>;
  const auto answers = [](const Test_Index& index, Query query) {
    return faces_of(iterate(index.root(), query).answers);
  };
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  // The wide faces straddle the centre and live in the root's list; their
  // boxes and the point queries include the origin, which the sentinels'
  // zero boxes contain too.
  const HLR_Face* five = index.insert_box(0, 600, 0, 600, 5, 6);
  const HLR_Face* huge = index.insert_box(0, 600, 0, 600, 1e30f, 1e30f);
  index.insert_box(0, 600, 0, 600, inf, inf);
  const HLR_Face* three = index.insert_box(0, 600, 0, 600, 3, 4);
  const HLR_Face* huger = index.insert_box(0, 600, 0, 600, 2e30f, 2e30f);
  const HLR_Face* low = index.insert_box(10, 20, 10, 20, 1, 2);
  const HLR_Face* high = index.insert_box(900, 910, 900, 910, 1, 2);
  ASSERT_TRUE(index_is_consistent(index.root()));
  // An infinite or oversized bound: everything below it, never a sentinel.
  for (float bound : {inf, 3e38f}) {
    SCOPED_TRACE(bound);
    const Faces wide{three, five, huge, huger};
    EXPECT_EQ(answers(index, area_query(0, 1000, 0, 1000, bound)),
              (Faces{three, five, huge, huger, high, low}));
    EXPECT_EQ(answers(index, point_query(0, 0, bound)), wide);
    EXPECT_EQ(answers(index, Query{box, -1, 1, -1, 1, -inf, bound}), wide);
  }

  // A NaN key compares false both ways: it goes in front of the second
  // item (or of the sentinel), and it ends any scan that reaches it; a NaN
  // bound ends every scan at once.
  Test_Index nan_index(0.0f, 1000.0f, 0.0f, 1000.0f);
  nan_index.insert_box(0, 600, 0, 600, 5, 6);
  nan_index.insert_box(0, 600, 0, 600, nan_value, nan_value);
  const HLR_Face* n3 = nan_index.insert_box(0, 600, 0, 600, 3, 4);
  nan_index.insert_box(0, 600, 0, 600, nan_value, nan_value);
  const HLR_Face* n7 = nan_index.insert_box(0, 600, 0, 600, 7, 8);
  EXPECT_EQ(answers(nan_index, point_query(0, 0, inf)), (Faces{n3, n7}));
  EXPECT_EQ(answers(nan_index, area_query(0, 1000, 0, 1000, nan_value)), Faces{});

  // Nodes that hold only their sentinel answer nothing to a point at the
  // origin, whatever the bound.
  Test_Index empty(0.0f, 1000.0f, 0.0f, 1000.0f);
  empty.insert_box(10, 20, 10, 20, 1, 2);  // splits the root
  EXPECT_EQ(answers(empty, point_query(0, 0, inf)), Faces{});
}

}  // namespace
