#include "tool/models/strips.h"

#include <algorithm>
#include <array>

namespace hlr_tool {
namespace {

class Strip_Builder {
 public:
  Strip_Builder(std::span<const Triangle> triangles, const Edge_Table& table)
      : triangles_(triangles),
        neighbour_(3 * triangles.size(), no_index),
        mark_(triangles.size(), 0),
        free_neighbours_(triangles.size(), 0) {
    // Copied out of the edge table: the walks look a neighbour up at
    // every step, and one array read beats two scattered ones. Filled
    // edge by edge: the edges' halves lie scattered over the triangles,
    // and scattered writes cost less than scattered reads.
    for (const Mesh_Edge& edge : table.edges) {
      if (edge.triangle_count != 2) continue;
      neighbour_[edge.first_half] = edge.second_half / 3;
      neighbour_[edge.second_half] = edge.first_half / 3;
    }
    for (std::uint32_t t = 0; t < triangles.size(); ++t) {
      for (std::uint32_t k = 0; k < 3; ++k)
        free_neighbours_[t] += neighbour_[3 * t + k] != no_index;
    }
    // Pushed in reverse so that, at equal counts, the first triangle of
    // the file starts first.
    for (std::uint32_t t = std::uint32_t(triangles.size()); t-- > 0;)
      waiting_[free_neighbours_[t]].push_back(t);
  }

  std::vector<Strip> build() {
    std::vector<Strip> strips;
    for (std::uint32_t start = next_start(); start != no_index; start = next_start())
      strips.push_back(strip_through(start));
    return strips;
  }

 private:
  // The buckets hold stale entries for triangles whose count fell since
  // they were pushed, or that are used; popping skips them.
  std::uint32_t next_start() {
    for (std::uint8_t count = 0; count < 4; ++count) {
      auto& bucket = waiting_[count];
      while (!bucket.empty()) {
        const std::uint32_t t = bucket.back();
        bucket.pop_back();
        if (mark_[t] != taken && free_neighbours_[t] == count) return t;
      }
    }
    return no_index;
  }

  // The half-edge of triangle t between its corners p and q.
  std::uint32_t half_between(std::uint32_t t, std::uint32_t p, std::uint32_t q) const {
    const Triangle& tri = triangles_[t];
    for (std::uint32_t k = 0; k < 3; ++k) {
      if (tri[k] != p && tri[k] != q) return 3 * t + (k + 1) % 3;  // the edge opposite corner k
    }
    return no_index;  // p == q cannot happen for a valid triangle
  }

  // Walks on from triangle t whose strip ends in p, q, appending the new
  // corners to `corners` and the triangles to `walked`, and marking them
  // with the current trial so a walk never takes a triangle twice.
  void walk(std::uint32_t t, std::uint32_t p, std::uint32_t q, Strip& corners,
            std::vector<std::uint32_t>& walked) {
    for (;;) {
      const std::uint32_t next = neighbour_[half_between(t, p, q)];
      if (next == no_index || mark_[next] == taken || mark_[next] == trial_id_) return;
      const Triangle& tri = triangles_[next];
      std::uint32_t r = tri[0];
      if (r == p || r == q) r = (tri[1] == p || tri[1] == q) ? tri[2] : tri[1];
      mark_[next] = trial_id_;
      corners.push_back(r);
      walked.push_back(next);
      t = next;
      p = q;
      q = r;
    }
  }

  // One way through t: corners a, b, c in this order, extended forwards
  // across (b, c) and backwards across (a, b).
  std::size_t try_way(std::uint32_t t, int rotation) {
    ++trial_id_;
    if (trial_id_ == taken) {  // wrapped: old marks could match again
      for (std::uint32_t& mark : mark_) mark = mark == taken ? taken : 0;
      trial_id_ = 1;
    }
    mark_[t] = trial_id_;
    const Triangle& tri = triangles_[t];
    const std::uint32_t a = tri[rotation], b = tri[(rotation + 1) % 3], c = tri[(rotation + 2) % 3];
    forward_.clear();
    backward_.clear();
    walked_.clear();
    walk(t, b, c, forward_, walked_);
    walk(t, b, a, backward_, walked_);
    return forward_.size() + backward_.size();
  }

  Strip strip_through(std::uint32_t t) {
    int best_rotation = 0;
    std::size_t best_length = 0;
    for (int rotation = 0; rotation < 3; ++rotation) {
      const std::size_t length = try_way(t, rotation);
      if (length > best_length || rotation == 0) {
        best_length = length;
        best_rotation = rotation;
        std::swap(forward_, best_forward_);
        std::swap(backward_, best_backward_);
        std::swap(walked_, best_walked_);
      }
    }

    // The backward walk read the strip in reverse: its corners come
    // first, last one first.
    const Triangle& tri = triangles_[t];
    Strip strip;
    strip.reserve(best_backward_.size() + 3 + best_forward_.size());
    strip.assign(best_backward_.rbegin(), best_backward_.rend());
    strip.push_back(tri[best_rotation]);
    strip.push_back(tri[(best_rotation + 1) % 3]);
    strip.push_back(tri[(best_rotation + 2) % 3]);
    strip.insert(strip.end(), best_forward_.begin(), best_forward_.end());

    take(t);
    for (std::uint32_t walked : best_walked_) take(walked);
    return strip;
  }

  void take(std::uint32_t t) {
    mark_[t] = taken;
    for (std::uint32_t k = 0; k < 3; ++k) {
      const std::uint32_t n = neighbour_[3 * t + k];
      if (n != no_index && mark_[n] != taken) {
        --free_neighbours_[n];
        waiting_[free_neighbours_[n]].push_back(n);
      }
    }
  }

  std::span<const Triangle> triangles_;
  std::vector<std::uint32_t> neighbour_;  // per half-edge, or no_index
  // Per triangle: `taken` once in a strip, else the last trial that
  // walked it (one array, so a step of a walk reads one place).
  static constexpr std::uint32_t taken = no_index;
  std::vector<std::uint32_t> mark_;
  std::uint32_t trial_id_ = 0;
  std::vector<std::uint8_t> free_neighbours_;
  std::array<std::vector<std::uint32_t>, 4> waiting_;
  // The trial being walked and the longest so far, swapped, not copied.
  Strip forward_, backward_, best_forward_, best_backward_;
  std::vector<std::uint32_t> walked_, best_walked_;
};

}  // namespace

std::vector<Strip> build_strips(std::span<const Triangle> triangles, const Edge_Table& table) {
  return Strip_Builder(triangles, table).build();
}

}  // namespace hlr_tool
