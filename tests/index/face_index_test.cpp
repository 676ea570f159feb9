// The face index: worked splits and placements, the three queries against
// a brute force on random faces (whose keys and bounds share a grid and
// whose queries touch faces at corners and sides, where strict and
// inclusive comparisons differ), resumed iterations, and the sentinel
// guards.
#include "face_index.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "index_fixture.h"

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();

// The item tests of the three queries, from their definitions, against the
// face's vertices: the brute-force reference.
struct Box {
  float x_min, x_max, y_min, y_max, z_min, z_max;
};
Box box_of(const HLR_Face& f) {
  const KT_Point* v = f.vertices;
  return {std::min({v[0].x, v[1].x, v[2].x}), std::max({v[0].x, v[1].x, v[2].x}),
          std::min({v[0].y, v[1].y, v[2].y}), std::max({v[0].y, v[1].y, v[2].y}),
          std::min({v[0].z, v[1].z, v[2].z}), std::max({v[0].z, v[1].z, v[2].z})};
}

// One query's arguments: box (z_min, z_max), area (z_max is the limit) or
// point (x_min, y_min and the limit).
enum Kind { box, area, point };
struct Query {
  Kind kind;
  float x_min, x_max, y_min, y_max, z_min, z_max;
  bool matches(const HLR_Face& f) const {
    const Box b = box_of(f);
    const float x1 = kind == point ? x_min : x_max;
    const float y1 = kind == point ? y_min : y_max;
    return b.z_min < z_max && b.x_max >= x_min && b.y_max >= y_min && x1 >= b.x_min &&
           y1 >= b.y_min && (kind != box || b.z_max >= z_min);
  }
  HLR_Index_Node* operator()(HLR_Index_Node* n) const {
    if (kind == box) return index_query_box(n, x_min, x_max, y_min, y_max, z_min, z_max);
    if (kind == area) return index_query_area(n, x_min, x_max, y_min, y_max, z_max);
    return index_query_point(n, x_min, y_min, z_max);
  }
};
Query box_query(float x0, float x1, float y0, float y1, float z0, float z1) {
  return {box, x0, x1, y0, y1, z0, z1};
}
Query area_query(float x0, float x1, float y0, float y1, float limit) {
  return {area, x0, x1, y0, y1, 0, limit};
}
Query point_query(float x, float y, float limit) { return {point, x, x, y, y, 0, limit}; }

const Query everything = area_query(-inf, inf, -inf, inf, sentinel_z_min);

// The answers of one iteration against the brute force: the same set of
// faces, each once, and in the order the index
// promises: nodes in pre-order, within a node ascending z_min, equal z_min
// the face inserted last first.
::testing::AssertionResult answers_agree(const Test_Index& index, const Query& args) {
  const std::vector<Answer> answers = run_query(index.root(), args);
  std::vector<const HLR_Face*> expected;
  for (const HLR_Face* f : index.faces_inserted()) {
    if (args.matches(*f)) expected.push_back(f);
  }
  std::vector<const HLR_Face*> got = faces_of(answers);
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  if (got != expected) {
    return ::testing::AssertionFailure()
           << "answered " << got.size() << " faces, brute force finds " << expected.size();
  }
  for (std::size_t i = 1; i < answers.size(); ++i) {
    const Answer& p = answers[i - 1];
    const Answer& a = answers[i];
    const float zp = box_of(*p.face).z_min;
    const float za = box_of(*a.face).z_min;
    const bool in_order = p.node != a.node
                              ? path_of(p.node) < path_of(a.node)
                              : zp < za || (zp == za && index.insertion_index(p.face) >
                                                            index.insertion_index(a.face));
    if (!in_order) return ::testing::AssertionFailure() << "answer " << i << " out of order";
  }
  return ::testing::AssertionSuccess();
}

const HLR_Index_Node* node_holding(const Test_Index& index, const HLR_Face* face) {
  for (const Answer& a : run_query(index.root(), everything)) {
    if (a.face == face) return a.node;
  }
  return nullptr;
}

// Random faces over a 0..1000 root: mostly small, some spanning much of
// the root, z_min on a coarse grid so that equal keys are common.
void fill_random(Test_Index& index, std::mt19937& random, int count) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> z_grid(0, 40);
  for (int i = 0; i < count; ++i) {
    const float r = unit(random);
    const float size = r < 0.7f ? 20.0f : (r < 0.9f ? 200.0f : 1000.0f);
    const float x0 = unit(random) * 1000.0f;
    const float y0 = unit(random) * 1000.0f;
    const float z0 = float(z_grid(random));
    index.insert_box(x0, std::min(1000.0f, x0 + unit(random) * size), y0,
                     std::min(1000.0f, y0 + unit(random) * size), z0, z0 + unit(random) * 20.0f);
  }
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
    float node_x_min, node_x_max, node_y_min, node_y_max;
  };
  const float above_425 = std::nextafter(425.0f, 1000.0f);
  const float above_575 = std::nextafter(575.0f, 1000.0f);
  const Case cases[] = {
      {"straddles the band in x", 400, 600, 100, 200, 0, 0, 1000, 0, 1000},
      {"straddles the band in y", 100, 200, 400, 600, 0, 0, 1000, 0, 1000},
      {"high x side is strict", 425, 760, 430, 760, 0, 0, 1000, 0, 1000},
      {"just above the band start", above_425, 760, 430, 760, 1, 425, 1000, 425, 1000},
      {"high y side is strict", 430, 760, 425, 575, 1, 425, 1000, 0, 575},
      {"low side is inclusive", 100, 575, 100, 575, 1, 0, 575, 0, 575},
      {"just past the low side", 100, above_575, 100, 575, 0, 0, 1000, 0, 1000},
      {"child 4", 100, 575, 430, 760, 1, 0, 575, 425, 1000},
      // In child 1 (centre 712.5, 712.5) the margin is 43.125: x_min 670 is
      // above 669.375 and y_max 750 below 755.625, so the face goes on to
      // child 1's child 2 (669.375..1000 x 425..755.625), whose margin is
      // 24.796875; there it spans the y band 565.515625..615.109375 and
      // stays.
      {"depth 1 margin", 670, 760, 430, 750, 2, 669.375f, 1000, 425, 755.625f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
    const HLR_Index_Node* node =
        node_holding(index, index.insert_box(c.x0, c.x1, c.y0, c.y1, 1, 2));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(depth_of(node), c.depth);
    EXPECT_EQ(box_of(node), (std::array{c.node_x_min, c.node_x_max, c.node_y_min, c.node_y_max}));
  }
  // In both bands: the high-high child.
  Test_Index both(0.0f, 1000.0f, 0.0f, 1000.0f);
  EXPECT_EQ(path_of(node_holding(both, both.insert_box(430, 570, 430, 570, 0, 1)))[0], 1);
  // A point descends to depth 6 and no further, one split per level.
  Test_Index point(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Index_Node* deepest = node_holding(point, point.insert_box(300, 300, 700, 700, 0, 0));
  EXPECT_EQ(depth_of(deepest), 6);
  EXPECT_EQ(deepest->first_child, nullptr);
}

TEST(FaceIndexQuery, RandomQueriesMatchTheBruteForceInOrder) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 4; ++round) {
    Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
    fill_random(index, random, 300 + 700 * round);
    ASSERT_TRUE(index_is_consistent(index.root()));
    for (int q = 0; q < 300; ++q) {
      const float x0 = unit(random) * 1100.0f - 50.0f;
      const float y0 = unit(random) * 1100.0f - 50.0f;
      const float x1 = x0 + unit(random) * 300.0f;
      const float y1 = y0 + unit(random) * 300.0f;
      const float z0 = unit(random) * 50.0f;
      const float z1 = z0 + unit(random) * 30.0f;
      // Query values on the grid of face keys make equal bounds common.
      const float z_limit = std::floor(unit(random) * 45.0f);
      ASSERT_TRUE(answers_agree(index, box_query(x0, x1, y0, y1, z0, z1))) << "box " << q;
      ASSERT_TRUE(answers_agree(index, area_query(x0, x1, y0, y1, z_limit))) << "area " << q;
      ASSERT_TRUE(answers_agree(index, point_query(x0, y0, z_limit))) << "point " << q;
      // Queries that meet one face exactly: a point on one of its corners,
      // a rectangle touching it at that corner, a depth range starting at
      // its z_max (all inclusive), and a depth bound equal to its z_min
      // (strict).
      const Box b = box_of(*index.faces_inserted()[std::size_t(q) % index.faces_inserted().size()]);
      const float x = q % 2 == 0 ? b.x_min : b.x_max;
      const float y = q % 4 < 2 ? b.y_min : b.y_max;
      const float x_out = q % 2 == 0 ? x - 5 : x + 5;
      const float y_out = q % 4 < 2 ? y - 5 : y + 5;
      ASSERT_TRUE(answers_agree(index, point_query(x, y, 100.0f))) << "corner " << q;
      ASSERT_TRUE(answers_agree(index, area_query(std::min(x, x_out), std::max(x, x_out),
                                                  std::min(y, y_out), std::max(y, y_out), 100.0f)))
          << "touching " << q;
      ASSERT_TRUE(
          answers_agree(index, box_query(std::min(x, x_out), std::max(x, x_out), std::min(y, y_out),
                                         std::max(y, y_out), b.z_max, 100.0f)))
          << "z_max " << q;
      ASSERT_TRUE(answers_agree(index, area_query(b.x_min, b.x_max, b.y_min, b.y_max, b.z_min)))
          << "z_min " << q;
    }
    ASSERT_TRUE(answers_agree(index, everything));
  }
}

// The arguments may change between the calls of one iteration, as the
// hidden-line pass narrows an edge's box. The traversal goes on from where
// it stopped, so each answer is the first face after the previous answer,
// in the order of a whole iteration, that matches the arguments of this
// call.
TEST(FaceIndexQuery, ChangingArgumentsGoOnFromWhereTheIterationStopped) {
  std::mt19937 random(777);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  fill_random(index, random, 3000);
  const std::vector<Answer> all = run_query(index.root(), everything);
  ASSERT_EQ(all.size(), 3000u);

  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    // Start wide; every call narrows the rectangle towards a random point
    // and moves the depth bounds up or down.
    float x_min = unit(random) * 500.0f, x_max = x_min + 500.0f;
    float y_min = unit(random) * 500.0f, y_max = y_min + 500.0f;
    float z_low = unit(random) * 20.0f;
    float z_bound = 20.0f + unit(random) * 30.0f;
    const float px = x_min + unit(random) * 500.0f;
    const float py = y_min + unit(random) * 500.0f;
    const Kind kind = Kind(trial % 3);
    auto call = [&](HLR_Index_Node* n) {
      return Query{kind, x_min, x_max, y_min, y_max, z_low, z_bound}(n);
    };
    auto matches = [&](const HLR_Face& f) {
      return Query{kind, x_min, x_max, y_min, y_max, z_low, z_bound}.matches(f);
    };
    std::size_t position = 0;  // in `all`: the next face the model may give
    index.root()->cursor = index.root()->items;
    HLR_Index_Node* node = call(index.root());
    for (int step = 0;; ++step) {
      std::size_t expected = position;
      while (expected < all.size() && !matches(*all[expected].face)) ++expected;
      if (expected == all.size()) {
        ASSERT_EQ(node, nullptr) << "step " << step;
        break;
      }
      ASSERT_NE(node, nullptr) << "step " << step;
      ASSERT_EQ(node->cursor->face, all[expected].face) << "step " << step;
      ASSERT_EQ(node, all[expected].node) << "step " << step;
      position = expected + 1;
      node->cursor = node->cursor->next_item;
      x_min += (px - x_min) * 0.1f;
      x_max -= (x_max - px) * 0.1f;
      y_min += (py - y_min) * 0.1f;
      y_max -= (y_max - py) * 0.1f;
      z_bound += (unit(random) - 0.6f) * 4.0f;
      z_low += (unit(random) - 0.5f) * 2.0f;
      node = call(node);
    }
  }
}

// Keys beyond the sentinel's 1e28, infinite or NaN must not carry an
// insertion walk or a scan past the end of a list.
TEST(FaceIndexSentinel, OversizedAndNaNKeysDoNotRunOffTheList) {
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
  using Faces = std::vector<const HLR_Face*>;
  // An infinite or oversized bound: everything below it, never a sentinel.
  for (float bound : {inf, 3e38f}) {
    SCOPED_TRACE(bound);
    EXPECT_EQ(faces_of(run_query(index.root(), area_query(0, 1000, 0, 1000, bound), 100)),
              (Faces{three, five, huge, huger, high, low}));
    EXPECT_EQ(faces_of(run_query(index.root(), point_query(0, 0, bound), 100)),
              (Faces{three, five, huge, huger}));
    EXPECT_EQ(faces_of(run_query(index.root(), box_query(-1, 1, -1, 1, -inf, bound), 100)),
              (Faces{three, five, huge, huger}));
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
  EXPECT_EQ(faces_of(run_query(nan_index.root(), point_query(0, 0, inf), 100)), (Faces{n3, n7}));
  EXPECT_TRUE(run_query(nan_index.root(), area_query(0, 1000, 0, 1000, nan_value)).empty());

  // Nodes that hold only their sentinel answer nothing to a point at the
  // origin, whatever the bound.
  Test_Index empty(0.0f, 1000.0f, 0.0f, 1000.0f);
  empty.insert_box(10, 20, 10, 20, 1, 2);  // splits the root
  EXPECT_EQ(faces_of(run_query(empty.root(), point_query(0, 0, inf), 10)), Faces{});
}

}  // namespace
