// Helpers for the index suites: an index over a fixed root box built over
// the faces given so far, random faces, query iterations recorded with the
// arguments of every call, the model that says what each answer must be,
// and the structural invariants of the tree.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <random>
#include <unordered_map>
#include <vector>

#include "face_index.h"
#include "records.h"

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();

// A face whose bounding box is exactly [x0, x1] x [y0, y1] x [z0, z1]. Only
// the vertices matter to the index; the face is not a store record.
inline HLR_Face face_with_box(float x0, float x1, float y0, float y1, float z0, float z1) {
  HLR_Face face{};
  face.vertices[0] = {x0, y0, z0};
  face.vertices[1] = {x1, y0, z1};
  face.vertices[2] = {x0, y1, z0};
  return face;
}

// Faces given in turn (kept in a deque, so their addresses stay put), and
// the index over all of them, built when first asked for after a change.
class Test_Index {
 public:
  Test_Index(float x_min, float x_max, float y_min, float y_max)
      : root_{x_min, x_max, y_min, y_max} {}

  // Adds a copy of `face` and returns the copy.
  HLR_Face* insert(const HLR_Face& face) {
    faces_.push_back(face);
    position_.emplace(&faces_.back(), faces_.size() - 1);
    index_.reset();
    return &faces_.back();
  }
  HLR_Face* insert_box(float x0, float x1, float y0, float y1, float z0, float z1) {
    return insert(face_with_box(x0, x1, y0, y1, z0, z1));
  }
  const HLR_Face_Index& index() {
    if (index_ == nullptr) {
      std::vector<HLR_Face*> faces;
      for (HLR_Face& f : faces_) faces.push_back(&f);
      index_ = std::make_unique<HLR_Face_Index>(root_, std::move(faces));
    }
    return *index_;
  }
  // Position of a face in the order given, 0 first.
  std::size_t insertion_index(const HLR_Face* face) const { return position_.at(face); }
  const std::deque<HLR_Face>& faces() const { return faces_; }

 private:
  HLR_Index_Box root_;
  std::deque<HLR_Face> faces_;
  std::unordered_map<const HLR_Face*, std::size_t> position_;
  std::unique_ptr<HLR_Face_Index> index_;
};

// Random faces over a 0..100 root: most crowded around the centre (lists of
// hundreds in the deepest nodes), some anywhere, some large, some on a
// half-unit grid so that queries on the same grid touch them exactly; keys
// often equal (a flat part facing the viewer) and a few beyond 1e28. With
// `odd`, some faces have a NaN key or x.
inline void fill_crowded(Test_Index& index, std::uint32_t seed, int count, bool odd) {
  std::mt19937 random(seed);
  std::normal_distribution<float> around(50.0f, 1.5f);
  std::uniform_real_distribution<float> anywhere(0.0f, 100.0f);
  std::uniform_real_distribution<float> size(0.0f, 1.5f);
  std::uniform_real_distribution<float> depth(0.0f, 50.0f);
  for (int k = 0; k < count; ++k) {
    const bool crowded = k % 10 != 0;
    float x = std::clamp(crowded ? around(random) : anywhere(random), 0.0f, 98.0f);
    float y = std::clamp(crowded ? around(random) : anywhere(random), 0.0f, 98.0f);
    const bool on_grid = k % 5 == 0;
    if (on_grid) {
      x = std::round(x * 2.0f) * 0.5f;
      y = std::round(y * 2.0f) * 0.5f;
    }
    float z0 = k % 3 == 0 ? std::round(depth(random)) : depth(random);
    if (k % 7 == 0) z0 = 10.0f;
    if (k % 389 == 0) z0 = 3e28f;
    const float z1 = z0 + size(random);
    const float grow = k % 97 == 0 ? 20.0f : 1.0f;
    float x0 = x;
    if (odd && k % 211 == 0) x0 = nan_value;
    if (odd && k % 173 == 0) z0 = nan_value;
    const float step = on_grid ? 0.5f : size(random);
    index.insert_box(x0, std::min(x + step * grow, 100.0f), y, std::min(y + step * grow, 100.0f),
                     z0, z1);
  }
}

// A face's bounding box, from its vertices.
inline HLR_Index_Item bounds_of(const HLR_Face& f) {
  const KT_Point* v = f.vertices;
  return {std::min({v[0].x, v[1].x, v[2].x}),
          std::max({v[0].x, v[1].x, v[2].x}),
          std::min({v[0].y, v[1].y, v[2].y}),
          std::max({v[0].y, v[1].y, v[2].y}),
          std::min({v[0].z, v[1].z, v[2].z}),
          std::max({v[0].z, v[1].z, v[2].z}),
          0};
}

// One query's arguments: box (z_min, z_max), area (z_max is the limit) or
// point (x_min, y_min and the limit). `matches` is the item test, from the
// query's definition, against the face's vertices.
enum Kind { box, area, point };
struct Query {
  Kind kind;
  float x_min, x_max, y_min, y_max, z_min, z_max;

  bool matches(const HLR_Face& f) const {
    const HLR_Index_Item b = bounds_of(f);
    const float x1 = kind == point ? x_min : x_max;
    const float y1 = kind == point ? y_min : y_max;
    return b.z_min < z_max && b.x_max >= x_min && b.y_max >= y_min && x1 >= b.x_min &&
           y1 >= b.y_min && (kind != box || b.z_max >= z_min);
  }
};
inline Query area_query(float x0, float x1, float y0, float y1, float limit) {
  return {area, x0, x1, y0, y1, 0, limit};
}
inline Query point_query(float x, float y, float limit) { return {point, x, x, y, y, 0, limit}; }
inline const Query everything = area_query(-inf, inf, -inf, inf, inf);

// One answer of a query iteration: the node of the answer and its face.
struct Answer {
  const HLR_Index_Node* node;
  const HLR_Face* face;
  bool operator==(const Answer&) const = default;
};

struct Iteration {
  std::vector<Query> calls;  // the arguments of every call, in turn
  std::vector<Answer> answers;
};

// Runs one whole iteration of a query of the kind `query` says, counting
// only the faces numbered below `before` for a box query. With a non-zero
// seed, the arguments change after about half the answers as random draws
// say (the hidden-line pass narrows an edge's box, and its depth bound
// moves); the draws depend only on the answers, so two runs that answer
// alike call alike. Stops after a million answers, so a traversal that
// loops shows as a failure.
inline Iteration iterate(const HLR_Face_Index& index, Query query, std::uint32_t seed = 0,
                         std::uint32_t before = 0xFFFFFFFFu) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  HLR_Box_Query boxes(index, before);
  HLR_Area_Query areas(index);
  HLR_Point_Query points(index);
  Iteration run;
  for (;;) {
    run.calls.push_back(query);
    const HLR_Face* face;
    const HLR_Index_Node* node;
    if (query.kind == box) {
      face =
          boxes.next(query.x_min, query.x_max, query.y_min, query.y_max, query.z_min, query.z_max);
      node = &boxes.node();
    } else if (query.kind == area) {
      face = areas.next(query.x_min, query.x_max, query.y_min, query.y_max, query.z_max);
      node = &areas.node();
    } else {
      face = points.next(query.x_min, query.y_min, query.z_max);
      node = &points.node();
    }
    if (face == nullptr || run.answers.size() >= 1000000) break;
    run.answers.push_back({node, face});
    if (seed != 0 && unit(random) < 0.5f) {
      const float width = query.x_max - query.x_min;
      const float height = query.y_max - query.y_min;
      query.x_min += width * 0.2f * unit(random);
      query.x_max -= width * 0.2f * unit(random);
      query.y_min += height * 0.2f * unit(random);
      query.y_max -= height * 0.2f * unit(random);
      query.z_min += (unit(random) - 0.5f) * 2.0f;
      query.z_max += (unit(random) - 0.4f) * 4.0f;
    }
  }
  return run;
}

inline std::vector<const HLR_Face*> faces_of(const std::vector<Answer>& answers) {
  std::vector<const HLR_Face*> faces;
  for (const Answer& a : answers) faces.push_back(a.face);
  return faces;
}

// The model of a resumed traversal: each answer is the first face after the
// previous answer, in the order of the whole iteration `all`, that matches
// the arguments of its call, and the iteration ends when none is left.
inline ::testing::AssertionResult follows_model(const std::vector<Answer>& all,
                                                const Iteration& run) {
  if (run.calls.size() != run.answers.size() + 1) {
    return ::testing::AssertionFailure() << "the iteration did not end";
  }
  std::size_t position = 0;
  for (std::size_t k = 0; k < run.calls.size(); ++k) {
    while (position < all.size() && !run.calls[k].matches(*all[position].face)) ++position;
    if (k == run.answers.size()) {
      if (position == all.size()) break;
      return ::testing::AssertionFailure() << "ended after " << k << " answers, too early";
    }
    if (position == all.size() || !(all[position] == run.answers[k])) {
      return ::testing::AssertionFailure() << "answer " << k << " differs from the model";
    }
    ++position;
  }
  return ::testing::AssertionSuccess();
}

// A node's box as (x_min, x_max, y_min, y_max).
inline std::array<float, 4> box_of(const HLR_Index_Node& node) {
  return {node.x_min, node.x_max, node.y_min, node.y_max};
}

// The path of child positions (1..4) from the root; comparing two paths
// lexicographically, a prefix first, is comparing the nodes in pre-order.
inline std::vector<int> path_of(const HLR_Face_Index& index, const HLR_Index_Node* node) {
  const auto nodes = index.nodes();
  std::vector<int> path;
  for (; node->parent != no_index_node; node = &nodes[node->parent]) {
    int position = 1;
    for (auto c = node->parent + 1; &nodes[c] != node; c = nodes[c].subtree_end) ++position;
    path.push_back(position);
  }
  std::reverse(path.begin(), path.end());
  return path;
}

// The tree's invariants: every list without a NaN key is sorted by z_min
// and marked ordered, every item lies inside its node's box, nodes have 0 or 4 children whose
// parent is the node and whose subtrees follow one another to the end of
// the parent's, depth is the path's length and no node is deeper than 6.
// Counts the items and the nodes.
inline ::testing::AssertionResult index_is_consistent(const HLR_Face_Index& index,
                                                      std::size_t* item_count = nullptr,
                                                      std::size_t* node_count = nullptr) {
  const auto nodes = index.nodes();
  std::size_t items = 0;
  for (std::uint32_t k = 0; k < nodes.size(); ++k) {
    const HLR_Index_Node& n = nodes[k];
    if (path_of(index, &n).size() != n.depth || n.depth > 6 || n.subtree_end <= k ||
        n.subtree_end > nodes.size()) {
      return ::testing::AssertionFailure() << "node " << k << ": depth or subtree";
    }
    float previous = -inf;
    bool sorted = true;
    for (const HLR_Index_Item& i : index.list(n)) {
      ++items;
      sorted = sorted && i.z_min >= previous;
      previous = i.z_min;
      if (i.x_min == i.x_min &&
          !(i.x_min >= n.x_min && i.x_max <= n.x_max && i.y_min >= n.y_min && i.y_max <= n.y_max)) {
        return ::testing::AssertionFailure() << "node " << k << ": an item outside";
      }
    }
    if (sorted != n.ordered) return ::testing::AssertionFailure() << "node " << k << ": unsorted";
    int children = 0;
    std::uint32_t c = k + 1;
    for (; c < n.subtree_end; c = nodes[c].subtree_end, ++children) {
      if (nodes[c].parent != k) return ::testing::AssertionFailure() << "node " << k << ": parent";
    }
    if ((children != 0 && children != 4) || c != n.subtree_end) {
      return ::testing::AssertionFailure() << "node " << k << ": children";
    }
  }
  if (item_count != nullptr) *item_count = items;
  if (node_count != nullptr) *node_count = nodes.size();
  return ::testing::AssertionSuccess();
}
