// Which parts of an edge are hidden: the working range [t_min, t_max] and an
// ordered list of hidden parameter intervals inside it, kept tidy with the
// edge's t_tolerance.
//
// Invariants after every operation:
//   1. t_min <= t_max;
//   2. nodes ascending, apart, each at least t_tolerance long;
//   3. gaps between neighbours at least t_tolerance;
//   4. the first node starts at least t_tolerance after t_min, the last ends
//      at least t_tolerance before t_max;
//   5. fully hidden: t_min == t_max == 1.0 and no nodes. t_min == 1.0 is the
//      test for it everywhere.
#pragma once

#include <cstddef>
#include <vector>

#include "records.h"

struct hidden_interval {
  double from;
  double to;
  hidden_interval* prev_interval;
  hidden_interval* next_interval;
};

// Where the nodes of hidden intervals come from: blocks the pool owns,
// nodes an edge lets go back on the pool's free list for the next one, and
// every block released with the pool. A pool serves one thread at a time;
// the edges whose nodes it holds must not outlive it.
class HLR_Interval_Pool {
 public:
  HLR_Interval_Pool() = default;
  ~HLR_Interval_Pool();
  HLR_Interval_Pool(HLR_Interval_Pool&& other) noexcept;
  HLR_Interval_Pool(const HLR_Interval_Pool&) = delete;
  HLR_Interval_Pool& operator=(const HLR_Interval_Pool&) = delete;
  HLR_Interval_Pool& operator=(HLR_Interval_Pool&&) = delete;

  // A node {from, to, prev, next}; on an allocation failure std::bad_alloc
  // leaves and nothing changed.
  hidden_interval* make(double from, double to, hidden_interval* prev, hidden_interval* next);
  void release(hidden_interval* node) noexcept;
  // Gets the first block now, so that the thread this pool is handed to
  // finds it ready.
  void reserve();

  static constexpr std::size_t block_nodes = 1024;

 private:
  struct Block;
  Block* blocks_ = nullptr;
  std::size_t used_ = block_nodes;  // nodes handed out of the newest block
  hidden_interval* free_ = nullptr;
};

// The pools of one picture's hidden-line pass, one per thread; the edges'
// nodes live in them until the store is cleared.
struct HLR_Interval_Pools {
  std::vector<HLR_Interval_Pool> of_thread;
};

// The edge's point at t: exactly a at t == 0 and b at t == 1; otherwise
// (double)direction * t + (double)a, rounded to float per coordinate.
KT_Point point_at(const HLR_Edge& edge, double t);

// The double end points that double-precision output starts from: an
// edge's double_ends, or for an edge captured from float or integer points
// its float end points widened, so that it comes out where it lies.
struct HLR_Double_End_Points {
  KT_Point_D a;
  KT_Point_D b;
};
HLR_Double_End_Points double_end_points(const HLR_Edge& edge);

// The same in double: ends.a at 0, ends.b at 1, else the float direction
// widened, times t, plus ends.a.
KT_Point_D point_at_d(const HLR_Edge& edge, const HLR_Double_End_Points& ends, double t);
// point_at_d with the edge's own double_end_points.
KT_Point_D point_at_d(const HLR_Edge& edge, double t);

// The operations that change the list take its nodes from `pool` and give
// them back there: the pool must be the one every node of the edge came
// from.
// The edge is hidden from t_min up to t.
void hide_start(HLR_Edge& edge, double t, HLR_Interval_Pool& pool);
// The edge is hidden from t up to t_max.
void hide_end(HLR_Edge& edge, double t, HLR_Interval_Pool& pool);
// The edge is hidden from `from` to `to`; from == 1.0 means nothing.
void hide_interval(HLR_Edge& edge, double from, double to, HLR_Interval_Pool& pool);

void free_intervals(HLR_Edge& edge, HLR_Interval_Pool& pool);
void remove_interval(HLR_Edge& edge, hidden_interval* node, HLR_Interval_Pool& pool);
// Narrow the edge's box after t_min or t_max moved; z_max is only raised.
void refresh_box_start(HLR_Edge& edge);
void refresh_box_end(HLR_Edge& edge);

// Debug check of the five invariants, for tests: an empty string when they
// hold, else what is broken.
const char* check_intervals(const HLR_Edge& edge);
