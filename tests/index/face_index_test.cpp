#include "face_index.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "allocation_failure.h"
#include "index_fixture.h"

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();

// The item tests of the three queries, straight from their definitions, for
// the brute-force references.
struct Box {
  float x_min, x_max, y_min, y_max, z_min, z_max;
};

Box box_of(const HLR_Face& f) {
  Box b{f.vertices[0].x, f.vertices[0].x, f.vertices[0].y,
        f.vertices[0].y, f.vertices[0].z, f.vertices[0].z};
  for (const KT_Point& v : f.vertices) {
    b.x_min = std::min(b.x_min, v.x);
    b.x_max = std::max(b.x_max, v.x);
    b.y_min = std::min(b.y_min, v.y);
    b.y_max = std::max(b.y_max, v.y);
    b.z_min = std::min(b.z_min, v.z);
    b.z_max = std::max(b.z_max, v.z);
  }
  return b;
}

struct Box_Args {
  float x_min, x_max, y_min, y_max, z_min, z_max;
  bool matches(const HLR_Face& f) const {
    const Box b = box_of(f);
    return b.z_min < z_max && b.x_max >= x_min && b.y_max >= y_min && b.z_max >= z_min &&
           x_max >= b.x_min && y_max >= b.y_min;
  }
  HLR_Index_Node* operator()(HLR_Index_Node* n) const {
    return index_query_box(n, x_min, x_max, y_min, y_max, z_min, z_max);
  }
};

struct Area_Args {
  float x_min, x_max, y_min, y_max, z_limit;
  bool matches(const HLR_Face& f) const {
    const Box b = box_of(f);
    return b.z_min < z_limit && b.x_max >= x_min && b.y_max >= y_min && x_max >= b.x_min &&
           y_max >= b.y_min;
  }
  HLR_Index_Node* operator()(HLR_Index_Node* n) const {
    return index_query_area(n, x_min, x_max, y_min, y_max, z_limit);
  }
};

struct Point_Args {
  float x, y, z_limit;
  bool matches(const HLR_Face& f) const {
    const Box b = box_of(f);
    return b.z_min < z_limit && b.x_max >= x && b.y_max >= y && x >= b.x_min && y >= b.y_min;
  }
  HLR_Index_Node* operator()(HLR_Index_Node* n) const {
    return index_query_point(n, x, y, z_limit);
  }
};

// The answers of one iteration against the brute force: the same set of
// faces, each once, and the order the index promises: nodes in pre-order,
// within a node ascending z_min, equal z_min the face inserted last first.
template <class Args>
::testing::AssertionResult answers_agree(const Test_Index& index, const Args& args) {
  const std::vector<Answer> answers = run_query(index.root(), args);
  std::vector<const HLR_Face*> expected;
  for (const HLR_Face* f : index.faces_inserted()) {
    if (args.matches(*f)) expected.push_back(f);
  }
  std::vector<const HLR_Face*> got;
  for (const Answer& a : answers) got.push_back(a.face);
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  if (got != expected) {
    return ::testing::AssertionFailure()
           << "answered " << got.size() << " faces, brute force finds " << expected.size();
  }
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const Box b = box_of(*answers[i].face);
    const HLR_Index_Node* n = answers[i].node;
    if (!(b.x_min >= n->x_min && b.x_max <= n->x_max && b.y_min >= n->y_min &&
          b.y_max <= n->y_max)) {
      return ::testing::AssertionFailure() << "answer " << i << " outside its node's box";
    }
    if (i == 0) continue;
    const Answer& p = answers[i - 1];
    const Answer& a = answers[i];
    if (p.node != a.node) {
      if (!(path_of(p.node) < path_of(a.node))) {
        return ::testing::AssertionFailure() << "answer " << i << " breaks the pre-order";
      }
      continue;
    }
    const float zp = box_of(*p.face).z_min;
    const float za = box_of(*a.face).z_min;
    if (zp > za) return ::testing::AssertionFailure() << "answer " << i << " z_min descends";
    if (zp == za && index.insertion_index(p.face) < index.insertion_index(a.face)) {
      return ::testing::AssertionFailure() << "answer " << i << " older face before newer";
    }
  }
  return ::testing::AssertionSuccess();
}

// The node that holds a face: found through an area query over everything.
const HLR_Index_Node* node_holding(const Test_Index& index, const HLR_Face* face) {
  for (const Answer& a : run_query(index.root(), Area_Args{-inf, inf, -inf, inf, sentinel_z_min})) {
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
    const float x1 = std::min(1000.0f, x0 + unit(random) * size);
    const float y1 = std::min(1000.0f, y0 + unit(random) * size);
    const float z0 = static_cast<float>(z_grid(random));
    const float z1 = z0 + unit(random) * 20.0f;
    index.insert_box(x0, x1, y0, y1, z0, z1);
  }
}

TEST(FaceIndexNode, NewNodeHasCentreLinksAndSentinel) {
  auto* node = new HLR_Index_Node{};
  HLR_Index_Node parent{};
  HLR_Index_Node root{};
  EXPECT_EQ(make_index_node(node, &root, &parent, -10.0f, 30.0f, 5.0f, 6.0f), node);
  EXPECT_EQ(node->center_x, 10.0f);
  EXPECT_EQ(node->center_y, 5.5f);
  EXPECT_EQ(node->x_min, -10.0f);
  EXPECT_EQ(node->x_max, 30.0f);
  EXPECT_EQ(node->y_min, 5.0f);
  EXPECT_EQ(node->y_max, 6.0f);
  EXPECT_EQ(node->parent, &parent);
  EXPECT_EQ(node->root, &root);
  EXPECT_EQ(node->first_child, nullptr);
  EXPECT_EQ(node->successor, nullptr);
  ASSERT_NE(node->items, nullptr);
  EXPECT_EQ(node->cursor, node->items);
  const HLR_Index_Item& sentinel = *node->items;
  EXPECT_EQ(std::bit_cast<std::uint32_t>(sentinel.z_min), 0x6E013F39u);
  EXPECT_EQ(sentinel.x_min, 0.0f);
  EXPECT_EQ(sentinel.x_max, 0.0f);
  EXPECT_EQ(sentinel.y_min, 0.0f);
  EXPECT_EQ(sentinel.y_max, 0.0f);
  EXPECT_EQ(sentinel.z_max, 0.0f);
  EXPECT_EQ(sentinel.face, nullptr);
  EXPECT_EQ(sentinel.next_item, nullptr);
  node->parent = nullptr;
  node->root = nullptr;
  free_face_index(node);
}

TEST(FaceIndexNode, FailedSentinelLeavesTheNodeToItsCaller) {
  auto* node = new HLR_Index_Node{};
  {
    allocation_failure::Scope fail(1);
    EXPECT_THROW(make_index_node(node, nullptr, nullptr, 0.0f, 1.0f, 0.0f, 1.0f), std::bad_alloc);
  }
  EXPECT_EQ(node->items, nullptr);
  delete node;  // the caller's; ASan reports a double free or a leak otherwise
}

TEST(FaceIndexSplit, ChildrenOverlapInTheBandAndRunInOrder) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 400.0f);
  HLR_Index_Node* root = index.root();
  split_node(root, root, 75.0f, 30.0f);
  const HLR_Index_Node* c[4];
  c[0] = root->first_child;
  ASSERT_NE(c[0], nullptr);
  for (int k = 1; k < 4; ++k) c[k] = c[k - 1]->successor;
  // Centre (500, 200); the high sides start at the centre minus the margin,
  // the low sides end at the centre plus the margin.
  const float boxes[4][4] = {
      {425, 1000, 170, 400}, {425, 1000, 0, 230}, {0, 575, 0, 230}, {0, 575, 170, 400}};
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k + 1);
    EXPECT_EQ(c[k]->x_min, boxes[k][0]);
    EXPECT_EQ(c[k]->x_max, boxes[k][1]);
    EXPECT_EQ(c[k]->y_min, boxes[k][2]);
    EXPECT_EQ(c[k]->y_max, boxes[k][3]);
    EXPECT_EQ(c[k]->parent, root);
    EXPECT_EQ(c[k]->root, root);
    EXPECT_EQ(c[k]->first_child, nullptr);
  }
  EXPECT_EQ(c[3]->successor, nullptr);

  // A child's fourth child continues with the child's own successor.
  HLR_Index_Node* first = root->first_child;
  split_node(first, root, 10.0f, 10.0f);
  const HLR_Index_Node* g = first->first_child;
  for (int k = 0; k < 3; ++k) g = g->successor;
  EXPECT_EQ(g->successor, c[1]);
  EXPECT_TRUE(index_is_consistent(root));
}

TEST(FaceIndexSplit, FailureAtAnyAllocationLeavesALeafAndNoLeak) {
  for (std::int64_t n = 1; n <= 8; ++n) {
    SCOPED_TRACE(n);
    Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
    {
      allocation_failure::Scope fail(n);
      EXPECT_THROW(split_node(index.root(), index.root(), 7.5f, 7.5f), std::bad_alloc);
    }
    EXPECT_EQ(index.root()->first_child, nullptr);
    EXPECT_TRUE(index_is_consistent(index.root()));
  }
  // Eight allocations (four nodes, four sentinels) make a split.
  Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
  {
    allocation_failure::Scope fail(9);
    split_node(index.root(), index.root(), 7.5f, 7.5f);
    EXPECT_FALSE(allocation_failure::fired());
  }
  EXPECT_NE(index.root()->first_child, nullptr);
}

TEST(FaceIndexItem, BoundsAreTheVertexExtremes) {
  HLR_Face face{};
  face.vertices[0] = {3.0f, -1.0f, 7.0f};
  face.vertices[1] = {-2.0f, 4.0f, 9.0f};
  face.vertices[2] = {5.0f, 0.5f, -6.0f};
  HLR_Index_Item item{};
  EXPECT_EQ(make_index_item(&item, &face), &item);
  EXPECT_EQ(item.x_min, -2.0f);
  EXPECT_EQ(item.x_max, 5.0f);
  EXPECT_EQ(item.y_min, -1.0f);
  EXPECT_EQ(item.y_max, 4.0f);
  EXPECT_EQ(item.z_min, -6.0f);
  EXPECT_EQ(item.z_max, 9.0f);
  EXPECT_EQ(item.face, &face);
  EXPECT_EQ(item.next_item, nullptr);
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
      {"child 2", 430, 760, 100, 575, 1, 425, 1000, 0, 575},
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
    const HLR_Face* face = index.insert_box(c.x0, c.x1, c.y0, c.y1, 1.0f, 2.0f);
    const HLR_Index_Node* node = node_holding(index, face);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(depth_of(node), c.depth);
    EXPECT_EQ(node->x_min, c.node_x_min);
    EXPECT_EQ(node->x_max, c.node_x_max);
    EXPECT_EQ(node->y_min, c.node_y_min);
    EXPECT_EQ(node->y_max, c.node_y_max);
    EXPECT_TRUE(index_is_consistent(index.root()));
  }
}

TEST(FaceIndexInsert, ItemInBothBandsGoesToTheHighHighChild) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Face* face = index.insert_box(430.0f, 570.0f, 430.0f, 570.0f, 0.0f, 1.0f);
  const HLR_Index_Node* node = node_holding(index, face);
  ASSERT_NE(node, nullptr);
  ASSERT_GE(depth_of(node), 1);
  EXPECT_EQ(path_of(node)[0], 1);
}

TEST(FaceIndexInsert, PointSizedFaceDescendsToDepthSix) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Face* face = index.insert_box(300.0f, 300.0f, 700.0f, 700.0f, 0.0f, 0.0f);
  const HLR_Index_Node* node = node_holding(index, face);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(depth_of(node), 6);
  EXPECT_EQ(node->first_child, nullptr);
  std::size_t nodes = 0;
  ASSERT_TRUE(index_is_consistent(index.root(), &nodes));
  EXPECT_EQ(nodes, 1u + 4u * 6u);  // one split per level on the way down
  // Another point at the same place reuses the path.
  const HLR_Face* again = index.insert_box(300.0f, 300.0f, 700.0f, 700.0f, 0.0f, 0.0f);
  EXPECT_EQ(node_holding(index, again), node);
  ASSERT_TRUE(index_is_consistent(index.root(), &nodes));
  EXPECT_EQ(nodes, 25u);
}

TEST(FaceIndexInsert, EqualZMinPutsTheNewestFirst) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  // All straddle the centre, so all live in the root's list.
  const float z[] = {5, 3, 7, 3, 5, 9, 3};
  std::vector<const HLR_Face*> faces;
  for (float zmin : z) faces.push_back(index.insert_box(400, 600, 400, 600, zmin, zmin + 1));
  const std::vector<const HLR_Face*> expected = {faces[6], faces[3], faces[1], faces[4],
                                                 faces[0], faces[2], faces[5]};
  std::vector<const HLR_Face*> list;
  for (const HLR_Index_Item* i = index.root()->items; i->next_item != nullptr; i = i->next_item) {
    list.push_back(i->face);
  }
  EXPECT_EQ(list, expected);
  std::vector<const HLR_Face*> got;
  for (const Answer& a : run_query(index.root(), Area_Args{0, 1000, 0, 1000, 100})) {
    got.push_back(a.face);
  }
  EXPECT_EQ(got, expected);
  // The cursor is left where the insertions found it.
  EXPECT_TRUE(index_is_consistent(index.root()));
}

TEST(FaceIndexQuery, RootItemsComeBeforeChildItems) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Face* child_face = index.insert_box(100, 200, 100, 200, 0, 1);
  const HLR_Face* root_face = index.insert_box(150, 600, 150, 600, 50, 51);
  for (const auto& answers : {run_query(index.root(), Area_Args{0, 1000, 0, 1000, 100}),
                              run_query(index.root(), Box_Args{0, 1000, 0, 1000, -100, 100}),
                              run_query(index.root(), Point_Args{160, 160, 100})}) {
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].face, root_face);
    EXPECT_EQ(answers[0].node, index.root());
    EXPECT_EQ(answers[1].face, child_face);
  }
}

// Boxes that only touch overlap; in depth the bound is strict.
TEST(FaceIndexQuery, TouchingBoxesOverlapAndTheDepthBoundIsStrict) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Face* face = index.insert_box(100, 200, 300, 400, 10, 20);
  struct Case {
    const char* what;
    Box_Args box;
    bool found;
  };
  const Case box_cases[] = {
      {"touching at item x_max", {200, 250, 300, 400, 0, 30}, true},
      {"touching at item x_min", {50, 100, 300, 400, 0, 30}, true},
      {"touching at item y_max", {100, 200, 400, 450, 0, 30}, true},
      {"touching at item y_min", {100, 200, 250, 300, 0, 30}, true},
      {"just past x_max", {std::nextafter(200.0f, 300.0f), 250, 300, 400, 0, 30}, false},
      {"z_max equal to the item's z_min", {100, 200, 300, 400, 0, 10}, false},
      {"z_max just above the item's z_min",
       {100, 200, 300, 400, 0, std::nextafter(10.0f, 11.0f)},
       true},
      {"z_min equal to the item's z_max", {100, 200, 300, 400, 20, 30}, true},
      {"z_min just above the item's z_max",
       {100, 200, 300, 400, std::nextafter(20.0f, 30.0f), 30},
       false},
  };
  for (const Case& c : box_cases) {
    SCOPED_TRACE(c.what);
    const auto answers = run_query(index.root(), c.box);
    ASSERT_EQ(answers.size(), c.found ? 1u : 0u);
    if (c.found) {
      EXPECT_EQ(answers[0].face, face);
    }
  }
  EXPECT_EQ(run_query(index.root(), Area_Args{200, 250, 400, 450, 11}).size(), 1u);
  EXPECT_EQ(run_query(index.root(), Area_Args{200, 250, 400, 450, 10}).size(), 0u);
  // A point on a corner or a side of the item's box is inside it.
  EXPECT_EQ(run_query(index.root(), Point_Args{200, 400, 11}).size(), 1u);
  EXPECT_EQ(run_query(index.root(), Point_Args{100, 350, 11}).size(), 1u);
  EXPECT_EQ(run_query(index.root(), Point_Args{100, 350, 10}).size(), 0u);
  EXPECT_EQ(run_query(index.root(), Point_Args{99.99f, 350, 11}).size(), 0u);
}

TEST(FaceIndexQuery, QueryMissingTheRootFindsNothing) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  index.insert_box(400, 600, 400, 600, 0, 1);
  index.insert_box(10, 20, 10, 20, 0, 1);
  index.insert_box(990, 1000, 990, 1000, 0, 1);
  HLR_Index_Node* root = index.root();
  root->cursor = root->items;
  EXPECT_EQ(index_query_box(root, 1001, 1100, 0, 1000, -100, 100), nullptr);
  root->cursor = root->items;
  EXPECT_EQ(index_query_area(root, 0, 1000, -50, -1, 100), nullptr);
  root->cursor = root->items;
  EXPECT_EQ(index_query_point(root, -1, 500, 100), nullptr);
}

TEST(FaceIndexQuery, AfterTheLastAnswerTheIterationStaysEnded) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  index.insert_box(10, 20, 10, 20, 0, 1);
  HLR_Index_Node* root = index.root();
  root->cursor = root->items;
  HLR_Index_Node* node = index_query_area(root, 0, 1000, 0, 1000, 5);
  ASSERT_NE(node, nullptr);
  node->cursor = node->cursor->next_item;
  EXPECT_EQ(index_query_area(node, 0, 1000, 0, 1000, 5), nullptr);
  // An empty index answers nothing at the first call.
  Test_Index empty(0.0f, 1000.0f, 0.0f, 1000.0f);
  empty.root()->cursor = empty.root()->items;
  EXPECT_EQ(index_query_point(empty.root(), 5, 5, 5), nullptr);
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
      ASSERT_TRUE(answers_agree(index, Box_Args{x0, x1, y0, y1, z0, z1})) << "box " << q;
      ASSERT_TRUE(answers_agree(index, Area_Args{x0, x1, y0, y1, z_limit})) << "area " << q;
      ASSERT_TRUE(answers_agree(index, Point_Args{x0, y0, z_limit})) << "point " << q;
      // A point on a face's corner is inside that face.
      const HLR_Face* f =
          index.faces_inserted()[static_cast<std::size_t>(q) % index.faces_inserted().size()];
      const Box b = box_of(*f);
      ASSERT_TRUE(answers_agree(index, Point_Args{b.x_max, b.y_min, 100.0f})) << "corner " << q;
      ASSERT_TRUE(
          answers_agree(index, Area_Args{b.x_max, b.x_max + 5, b.y_max, b.y_max + 5, b.z_min}))
          << "touching " << q;
    }
    ASSERT_TRUE(answers_agree(index, Area_Args{-inf, inf, -inf, inf, sentinel_z_min}));
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
  const std::vector<Answer> all =
      run_query(index.root(), Area_Args{-inf, inf, -inf, inf, sentinel_z_min});
  ASSERT_EQ(all.size(), 3000u);

  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const int kind = trial % 3;
    // Start wide; every call narrows the rectangle towards a random point
    // and moves the depth bound up or down.
    float x_min = unit(random) * 500.0f, x_max = x_min + 500.0f;
    float y_min = unit(random) * 500.0f, y_max = y_min + 500.0f;
    float z_low = unit(random) * 20.0f;
    float z_bound = 20.0f + unit(random) * 30.0f;
    const float px = x_min + unit(random) * 500.0f;
    const float py = y_min + unit(random) * 500.0f;
    auto call = [&](HLR_Index_Node* n) -> HLR_Index_Node* {
      if (kind == 0) return index_query_box(n, x_min, x_max, y_min, y_max, z_low, z_bound);
      if (kind == 1) return index_query_area(n, x_min, x_max, y_min, y_max, z_bound);
      return index_query_point(n, x_min, y_min, z_bound);
    };
    auto matches = [&](const HLR_Face& f) {
      if (kind == 0) return Box_Args{x_min, x_max, y_min, y_max, z_low, z_bound}.matches(f);
      if (kind == 1) return Area_Args{x_min, x_max, y_min, y_max, z_bound}.matches(f);
      return Point_Args{x_min, y_min, z_bound}.matches(f);
    };
    std::size_t position = 0;  // in `all`: the next face the model may give
    HLR_Index_Node* root = index.root();
    root->cursor = root->items;
    HLR_Index_Node* node = call(root);
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

// Keys beyond the sentinel's 1e28 or infinite must not carry an insertion
// walk or a scan past the end of a list.
TEST(FaceIndexSentinel, OversizedKeysDoNotRunOffTheList) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  // The wide faces straddle the centre and live in the root's list; their
  // boxes and the point queries below include the origin, which the
  // sentinels' zero boxes contain too.
  const HLR_Face* five = index.insert_box(0, 600, 0, 600, 5, 6);
  const HLR_Face* huge = index.insert_box(0, 600, 0, 600, 1e30f, 1e30f);
  const HLR_Face* infinite = index.insert_box(0, 600, 0, 600, inf, inf);
  const HLR_Face* three = index.insert_box(0, 600, 0, 600, 3, 4);
  const HLR_Face* huger = index.insert_box(0, 600, 0, 600, 2e30f, 2e30f);
  const HLR_Face* low = index.insert_box(10, 20, 10, 20, 1, 2);
  const HLR_Face* high = index.insert_box(900, 910, 900, 910, 1, 2);
  ASSERT_TRUE(index_is_consistent(index.root()));

  // The oversized keys went in front of the root's sentinel, in order.
  std::vector<const HLR_Face*> list;
  const HLR_Index_Item* i = index.root()->items;
  for (; i->next_item != nullptr && list.size() < 100; i = i->next_item) list.push_back(i->face);
  EXPECT_EQ(list, (std::vector<const HLR_Face*>{three, five, huge, huger, infinite}));

  auto faces = [](const std::vector<Answer>& answers) {
    std::vector<const HLR_Face*> got;
    for (const Answer& a : answers) got.push_back(a.face);
    return got;
  };
  // An infinite or oversized bound: everything below it, never a sentinel.
  for (float bound : {inf, 3e38f}) {
    SCOPED_TRACE(bound);
    EXPECT_EQ(faces(run_query(index.root(), Area_Args{0, 1000, 0, 1000, bound}, 100)),
              (std::vector<const HLR_Face*>{three, five, huge, huger, high, low}));
    EXPECT_EQ(faces(run_query(index.root(), Point_Args{0, 0, bound}, 100)),
              (std::vector<const HLR_Face*>{three, five, huge, huger}));
    EXPECT_EQ(faces(run_query(index.root(), Box_Args{-1, 1, -1, 1, -inf, bound}, 100)),
              (std::vector<const HLR_Face*>{three, five, huge, huger}));
  }
}

TEST(FaceIndexSentinel, NaNKeysDoNotRunOffTheList) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Face* five = index.insert_box(0, 600, 0, 600, 5, 6);
  const HLR_Face* first_nan = index.insert_box(0, 600, 0, 600, nan_value, nan_value);
  const HLR_Face* three = index.insert_box(0, 600, 0, 600, 3, 4);
  const HLR_Face* second_nan = index.insert_box(0, 600, 0, 600, nan_value, nan_value);
  const HLR_Face* seven = index.insert_box(0, 600, 0, 600, 7, 8);
  // A NaN key compares false both ways: it goes in front of the second item
  // (or of the sentinel), and it stops any walk that reaches it.
  std::vector<const HLR_Face*> list;
  const HLR_Index_Item* i = index.root()->items;
  for (; i->next_item != nullptr && list.size() < 100; i = i->next_item) list.push_back(i->face);
  EXPECT_EQ(list, (std::vector<const HLR_Face*>{three, seven, second_nan, five, first_nan}));
  EXPECT_EQ(i->z_min, sentinel_z_min);

  // A NaN alone in a list: in front of the sentinel.
  Test_Index lone(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Face* only = lone.insert_box(0, 600, 0, 600, nan_value, nan_value);
  EXPECT_EQ(lone.root()->items->face, only);
  EXPECT_EQ(lone.root()->items->next_item->z_min, sentinel_z_min);

  // A scan ends at the first key that is not below the bound, NaN included;
  // a NaN bound ends every scan at once.
  for (float bound : {10.0f, inf}) {
    const auto answers = run_query(index.root(), Point_Args{0, 0, bound}, 100);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].face, three);
    EXPECT_EQ(answers[1].face, seven);
  }
  EXPECT_TRUE(run_query(index.root(), Area_Args{0, 1000, 0, 1000, nan_value}).empty());
  EXPECT_TRUE(run_query(lone.root(), Point_Args{0, 0, inf}).empty());
}

TEST(FaceIndexSentinel, EmptyIndexWithInfiniteBoundAnswersNothing) {
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  // Splits the root; the nodes around the origin hold only sentinels,
  // whose zero boxes contain the point.
  index.insert_box(10, 20, 10, 20, 1, 2);
  const auto answers = run_query(index.root(), Point_Args{0, 0, inf}, 10);
  for (const Answer& a : answers) EXPECT_NE(a.face, nullptr);
  EXPECT_TRUE(answers.empty());
}

TEST(FaceIndexInsert, FailedSplitLeavesTheIndexUsableAndLeaksNothing) {
  // Faces made before arming, so that only the index allocates: each N
  // fails one allocation of a split; the item being inserted is not linked
  // (and released by its owner here), everything before it stays.
  std::vector<HLR_Face> faces;
  for (int k = 0; k < 6; ++k) {
    const float x = 30.0f + 150.0f * static_cast<float>(k);
    faces.push_back(face_with_box(x, x + 1, x, x + 1, 0, 1));
  }
  bool completed = false;
  for (std::int64_t n = 1; !completed; ++n) {
    SCOPED_TRACE(n);
    ASSERT_LT(n, 1000);
    Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
    std::size_t inserted = 0;
    {
      allocation_failure::Scope fail(n);
      try {
        for (HLR_Face& face : faces) {
          std::unique_ptr<HLR_Index_Item> item(new HLR_Index_Item{});
          make_index_item(item.get(), &face);
          index_insert(item.get(), index.root());
          item.release();
          ++inserted;
        }
      } catch (const std::bad_alloc&) {
      }
      completed = !allocation_failure::fired();
    }
    std::size_t items = 0;
    ASSERT_TRUE(index_is_consistent(index.root(), nullptr, &items));
    EXPECT_EQ(items, inserted);
    EXPECT_EQ(completed, inserted == faces.size());
  }
}

TEST(FaceIndexFree, LargeIndexIsReleasedWhole) {
  // ASan's leak check at exit proves the release; the node count shows the
  // tree was deep and wide enough to matter.
  std::mt19937 random(99);
  auto index = std::make_unique<Test_Index>(0.0f, 1000.0f, 0.0f, 1000.0f);
  fill_random(*index, random, 20000);
  std::size_t nodes = 0;
  ASSERT_TRUE(index_is_consistent(index->root(), &nodes));
  EXPECT_GT(nodes, 1000u);
  index.reset();
  // A lone root frees as well.
  Test_Index lone(0.0f, 1.0f, 0.0f, 1.0f);
}

}  // namespace
