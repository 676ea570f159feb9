// Helpers for the index suites: an index over a fixed root box that frees
// itself, random faces, query iterations recorded with the arguments of
// every call, the model that says what each answer must be, and the
// structural invariants of the tree.
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
#include "index_builder.h"
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

// Inserts copies of faces through index_insert, or through a builder.
// Faces live in a deque so their addresses stay put.
class Test_Index {
 public:
  Test_Index(float x_min, float x_max, float y_min, float y_max, bool through_builder = false)
      : root_(make_index_node(new HLR_Index_Node{}, nullptr, nullptr, x_min, x_max, y_min, y_max)) {
    if (through_builder) builder_ = std::make_unique<HLR_Index_Builder>(root_);
  }
  ~Test_Index() {
    builder_.reset();
    free_face_index(root_);
  }
  Test_Index(const Test_Index&) = delete;
  Test_Index& operator=(const Test_Index&) = delete;

  HLR_Index_Node* root() const { return root_; }

  // Inserts a copy of `face`, kept by the index, and returns the copy.
  HLR_Face* insert(const HLR_Face& face) {
    faces_.push_back(face);
    std::unique_ptr<HLR_Index_Item> item(new HLR_Index_Item{});
    make_index_item(item.get(), &faces_.back());
    if (builder_ != nullptr) {
      builder_->insert(item.get());
    } else {
      index_insert(item.get(), root_);
    }
    item.release();
    position_.emplace(&faces_.back(), position_.size());
    return &faces_.back();
  }
  HLR_Face* insert_box(float x0, float x1, float y0, float y1, float z0, float z1) {
    return insert(face_with_box(x0, x1, y0, y1, z0, z1));
  }
  // Position of a face in the insertion order, 0 first.
  std::size_t insertion_index(const HLR_Face* face) const { return position_.at(face); }
  // The faces in insertion order.
  const std::deque<HLR_Face>& faces() const { return faces_; }

  HLR_Index_Builder* builder() const { return builder_.get(); }

  // Every node's list in pre-order, each face as its insertion index (a
  // face not inserted through insert as -1): two indexes of the same faces
  // compare equal when their lists are alike.
  std::vector<std::vector<std::size_t>> lists() const {
    std::vector<std::vector<std::size_t>> lists;
    for (const HLR_Index_Node* n = root_; n != nullptr;
         n = n->first_child != nullptr ? n->first_child : n->successor) {
      std::vector<std::size_t>& list = lists.emplace_back();
      for (const HLR_Index_Item* i = n->items; i->next_item != nullptr; i = i->next_item) {
        const auto found = position_.find(i->face);
        list.push_back(found == position_.end() ? std::size_t(-1) : found->second);
      }
    }
    return lists;
  }

 private:
  HLR_Index_Node* root_;
  std::unique_ptr<HLR_Index_Builder> builder_;
  std::deque<HLR_Face> faces_;
  std::unordered_map<const HLR_Face*, std::size_t> position_;
};

// Random faces over a 0..100 root: most crowded around the centre (lists of
// hundreds in the deepest nodes), some anywhere, some large, some on a
// half-unit grid so that queries on the same grid touch them exactly; keys
// often equal (a flat part facing the viewer) and a few beyond the
// sentinel's. With `odd`, some faces have a NaN key or x.
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
          nullptr,
          nullptr};
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
  HLR_Index_Node* operator()(HLR_Index_Node* n) const {
    if (kind == box) return index_query_box(n, x_min, x_max, y_min, y_max, z_min, z_max);
    if (kind == area) return index_query_area(n, x_min, x_max, y_min, y_max, z_max);
    return index_query_point(n, x_min, y_min, z_max);
  }
};
inline Query area_query(float x0, float x1, float y0, float y1, float limit) {
  return {area, x0, x1, y0, y1, 0, limit};
}
inline Query point_query(float x, float y, float limit) { return {point, x, x, y, y, 0, limit}; }
inline const Query everything = area_query(-inf, inf, -inf, inf, inf);

// One answer of a query iteration: the node the query returned and the
// face its cursor designated.
struct Answer {
  const HLR_Index_Node* node;
  const HLR_Face* face;
  bool operator==(const Answer&) const = default;
};

struct Iteration {
  std::vector<Query> calls;  // the arguments of every call, in turn
  std::vector<Answer> answers;
  std::vector<const HLR_Index_Item*> cursors;  // every node's at the end, in pre-order
  // Alike when the answers and the cursors are.
  bool operator==(const Iteration& other) const {
    return answers == other.answers && cursors == other.cursors;
  }
};

// Runs one whole iteration of the protocol from the root with `call(node,
// query)`; iterate calls the query itself. With a non-zero seed, the
// arguments change after about half the answers as random draws say (the
// hidden-line pass narrows an edge's box, and its depth bound moves); the
// draws depend only on the answers, so two runs that answer alike call
// alike. After each answer the cursor moves on `skip` items more than the
// protocol says (not past the sentinel). Stops after a million answers, so
// a traversal that loops shows as a failure.
template <class Call>
Iteration iterate_by(Call call, HLR_Index_Node* root, Query query, std::uint32_t seed = 0,
                     int skip = 0) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Iteration run;
  root->cursor = root->items;
  for (HLR_Index_Node* node = call(root, query);; node = call(node, query)) {
    run.calls.push_back(query);
    if (node == nullptr || run.answers.size() >= 1000000) break;
    run.answers.push_back({node, node->cursor->face});
    node->cursor = node->cursor->next_item;
    for (int k = 0; k < skip && node->cursor->next_item != nullptr; ++k) {
      node->cursor = node->cursor->next_item;
    }
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
  for (const HLR_Index_Node* n = root; n != nullptr;
       n = n->first_child != nullptr ? n->first_child : n->successor) {
    run.cursors.push_back(n->cursor);
  }
  return run;
}
inline Iteration iterate(HLR_Index_Node* root, Query query, std::uint32_t seed = 0) {
  const auto by_query = [](HLR_Index_Node* n, const Query& q) { return q(n); };
  return iterate_by(by_query, root, query, seed);
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
inline std::array<float, 4> box_of(const HLR_Index_Node* node) {
  return {node->x_min, node->x_max, node->y_min, node->y_max};
}

// The path of child positions (1..4) from the root; comparing two paths
// lexicographically, a prefix first, is comparing the nodes in pre-order.
inline std::vector<int> path_of(const HLR_Index_Node* node) {
  std::vector<int> path;
  for (; node->parent != nullptr; node = node->parent) {
    int position = 1;
    for (const HLR_Index_Node* c = node->parent->first_child; c != node; c = c->successor) {
      ++position;
    }
    path.push_back(position);
  }
  std::reverse(path.begin(), path.end());
  return path;
}

// The tree's invariants: every list ends at the node's sentinel (1e28, no
// face) and is sorted by z_min, every item lies inside its node's box,
// nodes have 0 or 4 children whose parent is the node, the successor links
// thread the tree in pre-order (the fourth child's successor is its
// parent's), and no node is deeper than 6. Counts the items and the nodes.
inline ::testing::AssertionResult index_is_consistent(const HLR_Index_Node* root,
                                                      std::size_t* item_count = nullptr,
                                                      std::size_t* node_count = nullptr) {
  std::size_t items = 0, nodes = 0;
  for (const HLR_Index_Node* n = root; n != nullptr;
       n = n->first_child != nullptr ? n->first_child : n->successor) {
    if (++nodes > 1000000 || path_of(n).size() > 6 || n->root != (n == root ? nullptr : root)) {
      return ::testing::AssertionFailure() << "node " << nodes << ": too deep, or its root";
    }
    const HLR_Index_Item* i = n->items;
    for (float previous = -3.0e38f; i->next_item != nullptr;
         previous = i->z_min, i = i->next_item) {
      if (!(i->z_min >= previous && i->x_min >= n->x_min && i->x_max <= n->x_max &&
            i->y_min >= n->y_min && i->y_max <= n->y_max) ||
          ++items > 1000000) {
        return ::testing::AssertionFailure() << "item " << items << ": unsorted or outside";
      }
    }
    int children = 0;
    const HLR_Index_Node* last = nullptr;
    for (const HLR_Index_Node* c = n->first_child; c != nullptr && children < 4; c = c->successor) {
      if (c->parent != n) return ::testing::AssertionFailure() << "node " << nodes << ": parent";
      last = c;
      ++children;
    }
    if (i->z_min != sentinel_z_min || i->face != nullptr || (children != 0 && children != 4) ||
        (last != nullptr && last->successor != n->successor)) {
      return ::testing::AssertionFailure() << "node " << nodes << ": sentinel or children";
    }
  }
  if (item_count != nullptr) *item_count = items;
  if (node_count != nullptr) *node_count = nodes;
  return ::testing::AssertionSuccess();
}
