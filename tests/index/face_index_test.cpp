// The face index: worked placements, the three queries against a brute
// force on random faces (whose keys and bounds share a grid and whose
// queries touch faces at corners and sides, where strict and inclusive
// comparisons differ), resumed iterations whose arguments change, in
// lists short and crowded (read through their cells), and keys that are
// infinite, beyond 1e28 or NaN.
#include "face_index.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "index_fixture.h"

namespace {

const HLR_Index_Node* node_holding(Test_Index& index, const HLR_Face* face) {
  for (const Answer& a : iterate(index.index(), everything).answers) {
    if (a.face == face) return a.node;
  }
  return nullptr;
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
    const HLR_Face* face = index.insert_box(c.x0, c.x1, c.y0, c.y1, 1, 2);
    const HLR_Index_Node* node = node_holding(index, face);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(path_of(index.index(), node).size(), std::size_t(c.depth));
    EXPECT_EQ(box_of(*node), c.node);
    // A leaf: the node's subtree is the node alone.
    EXPECT_EQ(node->subtree_end, std::uint32_t(node - index.index().nodes().data()) + 1);
    ASSERT_TRUE(index_is_consistent(index.index()));
  }
  // In both bands: the high-high child. A
  // point descends one split per level, down to depth 6.
  Test_Index both(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Face* middle = both.insert_box(430, 570, 430, 570, 0, 1);
  EXPECT_EQ(path_of(both.index(), node_holding(both, middle))[0], 1);
  Test_Index point(0.0f, 1000.0f, 0.0f, 1000.0f);
  const HLR_Face* dot = point.insert_box(300, 300, 700, 700, 0, 0);
  EXPECT_EQ(path_of(point.index(), node_holding(point, dot)).size(), 6u);
}

// What the traversal answers by its definition, over the lists as built,
// for the calls of `run`: each call resumes after the previous answer (at
// the root at first); the resumed node's list is scanned on when its node
// test holds (the point query skips the test), every later node in
// pre-order is skipped with its subtree when its test fails and otherwise
// scanned from its start; a scan ends at the first counted key not below
// the bound, or at any such key in a list without NaN keys.
std::vector<Answer> by_definition(const HLR_Face_Index& index, const Iteration& run,
                                  std::uint32_t before) {
  const auto nodes = index.nodes();
  std::vector<Answer> answers;
  std::uint32_t n = 0, position = 0;
  for (const Query& q : run.calls) {
    const float x1 = q.kind == point ? q.x_min : q.x_max;
    const float y1 = q.kind == point ? q.y_min : q.y_max;
    const auto node_passes = [&](const HLR_Index_Node& node) {
      return node.x_max >= q.x_min && node.y_max >= q.y_min && x1 >= node.x_min && y1 >= node.y_min;
    };
    bool resumed = true, found = false;
    while (n < nodes.size() && !found) {
      const HLR_Index_Node& node = nodes[n];
      if ((!resumed || q.kind != point) && !node_passes(node)) {
        n = resumed ? n + 1 : node.subtree_end;
        resumed = false;
        position = 0;
        continue;
      }
      const auto list = index.list(node);
      for (; position < list.size(); ++position) {
        const HLR_Index_Item& i = list[position];
        const bool counted = q.kind != box || i.face_number < before;
        if (!(i.z_min < q.z_max) && (counted || node.ordered)) {
          position = std::uint32_t(list.size());
          break;
        }
        if (counted && q.matches(*index.face(i.face_number))) {
          answers.push_back({&node, index.face(i.face_number)});
          ++position;
          found = true;
          break;
        }
      }
      if (!found) {
        ++n;
        position = 0;
        resumed = false;
      }
    }
  }
  return answers;
}

// The whole iteration gives every face once, in the order the index
// promises: nodes in pre-order, within a node ascending z_min, equal z_min
// the face given later first. Every other iteration, with fixed or
// changing arguments, large or small (a few cells of a crowded list),
// follows the model over that order; a box query counting only the faces
// before a number follows it over those faces alone. With NaN keys and
// sides among the faces, the iterations answer what the definition does.
TEST(FaceIndexQuery, RandomQueriesFollowTheBruteForceInOrder) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::normal_distribution<float> crowd(50.0f, 2.0f);
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    const bool odd = round == 3;
    Test_Index index(0.0f, 100.0f, 0.0f, 100.0f);
    fill_crowded(index, 7 + round, 500 + 2500 * (round % 3), odd);
    ASSERT_TRUE(index_is_consistent(index.index()));
    const std::vector<Answer> all = iterate(index.index(), everything).answers;
    if (!odd) {
      std::vector<const HLR_Face*> sorted = faces_of(all);
      std::sort(sorted.begin(), sorted.end());
      ASSERT_EQ(std::unique(sorted.begin(), sorted.end()) - sorted.begin(),
                std::ptrdiff_t(index.faces().size()));
      for (std::size_t i = 1; i < all.size(); ++i) {
        const Answer& p = all[i - 1];
        const Answer& a = all[i];
        const float zp = bounds_of(*p.face).z_min;
        const float za = bounds_of(*a.face).z_min;
        ASSERT_TRUE(p.node != a.node
                        ? path_of(index.index(), p.node) < path_of(index.index(), a.node)
                        : zp < za || (zp == za && index.insertion_index(p.face) >
                                                      index.insertion_index(a.face)))
            << "answer " << i;
      }
    }
    if (round == 2) {
      EXPECT_GT(index.index().grid_count(), 0u);
    }

    for (std::uint32_t q = 1; q <= 600; ++q) {
      SCOPED_TRACE(q);
      // Every other query small and in the crowd, where the lists have cells.
      const bool small = q % 2 == 0;
      const float x0 = small ? crowd(random) : unit(random) * 110.0f - 5.0f;
      const float y0 = small ? crowd(random) : unit(random) * 110.0f - 5.0f;
      const float extent = small ? 1.5f : 30.0f;
      const float z0 = unit(random) * 50.0f;
      // Depth bounds on the grid of keys make equal bounds common.
      const float z1 = std::floor(z0 + unit(random) * 30.0f);
      Query args{Kind(q % 3), x0, x0 + unit(random) * extent, y0, y0 + unit(random) * extent,
                 z0,          z1};
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
        args.x_min = low_x && args.kind != point ? x - extent : x;
        args.x_max = low_x ? x : x + extent;
        args.y_min = low_y && args.kind != point ? y - extent : y;
        args.y_max = low_y ? y : y + extent;
        args.z_min = b.z_max;
        args.z_max = q % 5 == 0 ? b.z_min : 100.0f;
      }
      // Box queries of the intersection pass count only the faces before
      // their own.
      const std::uint32_t before =
          args.kind == box && q % 2 == 1 ? q * 7 % std::uint32_t(index.faces().size()) : ~0u;
      std::vector<Answer> model;
      for (const Answer& a : all) {
        if (index.insertion_index(a.face) < before) model.push_back(a);
      }
      for (std::uint32_t seed : {0u, q}) {
        const Iteration run = iterate(index.index(), args, seed, before);
        if (odd) {
          ASSERT_EQ(run.answers, by_definition(index.index(), run, before)) << seed;
        } else {
          ASSERT_TRUE(follows_model(model, run)) << seed;
        }
      }
    }
  }
}

// Keys beyond 1e28, infinite or NaN are placed as the insertion walks place
// them and must not carry a scan past the end of a list.
TEST(FaceIndexKeys, OversizedAndNaNKeysDoNotRunOffTheList) {
  using Faces = std::vector<const HLR_Face*>;
  const auto answers = [](Test_Index& index, Query query) {
    return faces_of(iterate(index.index(), query).answers);
  };
  Test_Index index(0.0f, 1000.0f, 0.0f, 1000.0f);
  // The wide faces straddle the centre and live in the root's list; their
  // boxes and the point queries include the origin.
  const HLR_Face* five = index.insert_box(0, 600, 0, 600, 5, 6);
  const HLR_Face* huge = index.insert_box(0, 600, 0, 600, 1e30f, 1e30f);
  index.insert_box(0, 600, 0, 600, inf, inf);
  const HLR_Face* three = index.insert_box(0, 600, 0, 600, 3, 4);
  const HLR_Face* huger = index.insert_box(0, 600, 0, 600, 2e30f, 2e30f);
  const HLR_Face* low = index.insert_box(10, 20, 10, 20, 1, 2);
  const HLR_Face* high = index.insert_box(900, 910, 900, 910, 1, 2);
  ASSERT_TRUE(index_is_consistent(index.index()));
  // An infinite or oversized bound: everything below it, nothing more.
  for (float bound : {inf, 3e38f}) {
    SCOPED_TRACE(bound);
    const Faces wide{three, five, huge, huger};
    EXPECT_EQ(answers(index, area_query(0, 1000, 0, 1000, bound)),
              (Faces{three, five, huge, huger, high, low}));
    EXPECT_EQ(answers(index, point_query(0, 0, bound)), wide);
    EXPECT_EQ(answers(index, Query{box, -1, 1, -1, 1, -inf, bound}), wide);
  }

  // A NaN key compares false both ways: its walk puts it in front of the
  // second item (or last), and it ends any scan that reaches it; a NaN
  // bound ends every scan at once.
  Test_Index nan_index(0.0f, 1000.0f, 0.0f, 1000.0f);
  nan_index.insert_box(0, 600, 0, 600, 5, 6);
  nan_index.insert_box(0, 600, 0, 600, nan_value, nan_value);
  const HLR_Face* n3 = nan_index.insert_box(0, 600, 0, 600, 3, 4);
  nan_index.insert_box(0, 600, 0, 600, nan_value, nan_value);
  const HLR_Face* n7 = nan_index.insert_box(0, 600, 0, 600, 7, 8);
  EXPECT_EQ(answers(nan_index, point_query(0, 0, inf)), (Faces{n3, n7}));
  EXPECT_EQ(answers(nan_index, area_query(0, 1000, 0, 1000, nan_value)), Faces{});

  // Nodes that hold no item answer nothing to a point at the origin,
  // whatever the bound.
  Test_Index empty(0.0f, 1000.0f, 0.0f, 1000.0f);
  empty.insert_box(10, 20, 10, 20, 1, 2);  // splits the root
  EXPECT_EQ(answers(empty, point_query(0, 0, inf)), Faces{});
}

}  // namespace
