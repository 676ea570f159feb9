#include "intervals.h"

#include <algorithm>
#include <new>
#include <utility>

struct HLR_Interval_Pool::Block {
  Block* previous;
  hidden_interval nodes[block_nodes];
};

HLR_Interval_Pool::~HLR_Interval_Pool() {
  while (blocks_ != nullptr) delete std::exchange(blocks_, blocks_->previous);
}

HLR_Interval_Pool::HLR_Interval_Pool(HLR_Interval_Pool&& other) noexcept
    : blocks_(std::exchange(other.blocks_, nullptr)),
      used_(std::exchange(other.used_, block_nodes)),
      free_(std::exchange(other.free_, nullptr)) {}

void HLR_Interval_Pool::reserve() {
  if (blocks_ != nullptr) return;
  blocks_ = new Block;
  blocks_->previous = nullptr;
  used_ = 0;
}

hidden_interval* HLR_Interval_Pool::make(double from, double to, hidden_interval* prev,
                                         hidden_interval* next) {
  hidden_interval* node;
  if (free_ != nullptr) {
    node = free_;
    free_ = node->next_interval;
  } else {
    if (used_ == block_nodes) {
      auto* block = new Block;
      block->previous = blocks_;
      blocks_ = block;
      used_ = 0;
    }
    node = &blocks_->nodes[used_++];
  }
  *node = {from, to, prev, next};
  return node;
}

void HLR_Interval_Pool::release(hidden_interval* node) noexcept {
  node->next_interval = free_;
  free_ = node;
}

namespace {

// Gives back the nodes from `node` up to, not including, `stop` (null: to
// the end). Linking the neighbours is the caller's business.
void free_nodes(hidden_interval* node, const hidden_interval* stop, HLR_Interval_Pool& pool) {
  while (node != stop) {
    hidden_interval* next = node->next_interval;
    pool.release(node);
    node = next;
  }
}

void make_fully_hidden(HLR_Edge& edge, HLR_Interval_Pool& pool) {
  edge.t_min = 1.0;
  edge.t_max = 1.0;
  free_intervals(edge, pool);
}

// Links a new node {from, to} in front of `before`, or at the end when
// `before` is null. The node is requested before the list is touched, so a
// failed allocation leaves the list as it was.
void insert_before(HLR_Edge& edge, hidden_interval* before, double from, double to,
                   HLR_Interval_Pool& pool) {
  hidden_interval* previous = before != nullptr ? before->prev_interval : edge.intervals_tail;
  hidden_interval* node = pool.make(from, to, previous, before);
  if (previous != nullptr) {
    previous->next_interval = node;
  } else {
    edge.intervals = node;
  }
  if (before != nullptr) {
    before->prev_interval = node;
  } else {
    edge.intervals_tail = node;
  }
}

// hide_interval's merge step: the interval lies at least a tolerance inside
// both ends of the working range.
void merge_interval(HLR_Edge& edge, double from, double to, HLR_Interval_Pool& pool) {
  const double tol = edge.t_tolerance;
  hidden_interval* first = edge.intervals;
  hidden_interval* last = edge.intervals_tail;

  // The common cases first, in this order and with exactly these
  // comparisons: they make appending, prepending and growing an end node
  // constant-time.
  if (first == nullptr) {
    insert_before(edge, nullptr, from, to, pool);
    return;
  }
  if (first->from >= to + tol) {
    insert_before(edge, first, from, to, pool);
    return;
  }
  if (from - tol >= last->to) {
    insert_before(edge, nullptr, from, to, pool);
    return;
  }
  if (first->to >= to) {
    first->from = std::min(first->from, from);
    return;
  }
  if (from >= last->from) {
    last->to = std::max(last->to, to);
    return;
  }

  // The touching nodes run from `forward`, the first node whose to + tol
  // reaches past `from`, to `backward`, the last node whose from - tol
  // reaches before `to`. Both walks stop at the ends of the list whatever
  // the keys; the backward one goes first so that the forward one can tell
  // whether it went past it.
  hidden_interval* backward = last;
  while (backward != nullptr && !(backward->from - tol < to)) {
    backward = backward->prev_interval;
  }
  hidden_interval* forward = first;
  bool passed_backward = backward == nullptr;
  while (forward != nullptr && !(forward->to + tol > from)) {
    if (forward == backward) passed_backward = true;
    forward = forward->next_interval;
  }

  if (passed_backward) {
    // No node touches. Where rounding let a walk run off the list (or
    // leave nodes between the two), the new node goes where the forward
    // walk stopped: in front of `forward`, or last when it ran off the end.
    insert_before(edge, forward, from, to, pool);
    return;
  }

  // `forward` stays and spans the whole run; the rest of the run goes.
  forward->from = std::min(forward->from, from);
  forward->to = std::max(backward->to, to);
  if (forward != backward) {
    hidden_interval* after = backward->next_interval;
    free_nodes(forward->next_interval, after, pool);
    forward->next_interval = after;
    if (after != nullptr) {
      after->prev_interval = forward;
    } else {
      edge.intervals_tail = forward;
    }
  }
}

}  // namespace

KT_Point point_at(const HLR_Edge& edge, double t) {
  // The stored end points bit for bit at the ends; in between the float
  // direction widened, times t, plus the widened start, rounded per axis.
  if (t == 0.0) return edge.a;
  if (t == 1.0) return edge.b;
  return KT_Point{
      static_cast<float>(static_cast<double>(edge.dx) * t + static_cast<double>(edge.a.x)),
      static_cast<float>(static_cast<double>(edge.dy) * t + static_cast<double>(edge.a.y)),
      static_cast<float>(static_cast<double>(edge.dz) * t + static_cast<double>(edge.a.z))};
}

HLR_Double_End_Points double_end_points(const HLR_Edge& edge) {
  // Edges captured from float or integer points (intersection lines too)
  // have no double end points: their float end points widened stand in.
  if (edge.double_ends != nullptr) return {edge.double_ends->a, edge.double_ends->b};
  return {
      {static_cast<double>(edge.a.x), static_cast<double>(edge.a.y), static_cast<double>(edge.a.z)},
      {static_cast<double>(edge.b.x), static_cast<double>(edge.b.y),
       static_cast<double>(edge.b.z)}};
}

KT_Point_D point_at_d(const HLR_Edge& edge, const HLR_Double_End_Points& ends, double t) {
  // The direction is the float one, also in double precision.
  if (t == 0.0) return ends.a;
  if (t == 1.0) return ends.b;
  return KT_Point_D{static_cast<double>(edge.dx) * t + ends.a.x,
                    static_cast<double>(edge.dy) * t + ends.a.y,
                    static_cast<double>(edge.dz) * t + ends.a.z};
}

KT_Point_D point_at_d(const HLR_Edge& edge, double t) {
  return point_at_d(edge, double_end_points(edge), t);
}

void hide_start(HLR_Edge& edge, double t, HLR_Interval_Pool& pool) {
  const double tol = edge.t_tolerance;
  if (t > edge.t_max - tol) {
    make_fully_hidden(edge, pool);
  } else {
    // Nodes starting within a tolerance of the new start merge into the
    // hidden start; the list is ascending, so they are a prefix and the
    // last of them has the largest `to`.
    const double limit = t + tol;
    hidden_interval* last = edge.intervals_tail;
    if (last != nullptr && last->from < limit) {
      edge.t_min = std::max(t, last->to);
      free_intervals(edge, pool);
    } else {
      bool removed = false;
      double largest_to = 0.0;
      while (edge.intervals != nullptr && edge.intervals->from < limit) {
        largest_to = edge.intervals->to;
        removed = true;
        remove_interval(edge, edge.intervals, pool);
      }
      edge.t_min = removed ? std::max(t, largest_to) : t;
    }
  }
  refresh_box_start(edge);
}

void hide_end(HLR_Edge& edge, double t, HLR_Interval_Pool& pool) {
  const double tol = edge.t_tolerance;
  if (edge.t_min + tol > t) {
    make_fully_hidden(edge, pool);
  } else {
    // The mirror image of hide_start: a suffix of the list merges into the
    // hidden end, the first of it has the smallest `from`.
    const double limit = t - tol;
    hidden_interval* first = edge.intervals;
    if (first != nullptr && first->to > limit) {
      edge.t_max = std::min(t, first->from);
      free_intervals(edge, pool);
    } else {
      bool removed = false;
      double smallest_from = 0.0;
      while (edge.intervals_tail != nullptr && edge.intervals_tail->to > limit) {
        smallest_from = edge.intervals_tail->from;
        removed = true;
        remove_interval(edge, edge.intervals_tail, pool);
      }
      edge.t_max = removed ? std::min(t, smallest_from) : t;
    }
  }
  refresh_box_end(edge);
}

void hide_interval(HLR_Edge& edge, double from, double to, HLR_Interval_Pool& pool) {
  // 1.0 is the face tests' "nothing hidden".
  if (from == 1.0) return;
  const double tol = edge.t_tolerance;
  if (tol > to - from) return;
  if (from < edge.t_min + tol) {
    hide_start(edge, to, pool);
    return;
  }
  if (to > edge.t_max - tol) {
    hide_end(edge, from, pool);
    return;
  }
  merge_interval(edge, from, to, pool);
}

void free_intervals(HLR_Edge& edge, HLR_Interval_Pool& pool) {
  free_nodes(edge.intervals, nullptr, pool);
  edge.intervals = nullptr;
  edge.intervals_tail = nullptr;
}

void remove_interval(HLR_Edge& edge, hidden_interval* node, HLR_Interval_Pool& pool) {
  hidden_interval* previous = node->prev_interval;
  hidden_interval* next = node->next_interval;
  if (previous != nullptr) {
    previous->next_interval = next;
  } else {
    edge.intervals = next;
  }
  if (next != nullptr) {
    next->prev_interval = previous;
  } else {
    edge.intervals_tail = previous;
  }
  pool.release(node);
}

void refresh_box_start(HLR_Edge& edge) {
  const KT_Point p = point_at(edge, edge.t_min);
  if (edge.dx > 0.0f) {
    edge.x_min = p.x;
  } else {
    edge.x_max = p.x;
  }
  if (edge.dy > 0.0f) {
    edge.y_min = p.y;
  } else {
    edge.y_max = p.y;
  }
  if (p.z > edge.z_max) edge.z_max = p.z;
}

void refresh_box_end(HLR_Edge& edge) {
  const KT_Point p = point_at(edge, edge.t_max);
  if (edge.dx > 0.0f) {
    edge.x_max = p.x;
  } else {
    edge.x_min = p.x;
  }
  if (edge.dy > 0.0f) {
    edge.y_max = p.y;
  } else {
    edge.y_min = p.y;
  }
  if (p.z > edge.z_max) edge.z_max = p.z;
}

namespace {

// A distance of at least `tol` from `low` up to `high`. The operations
// establish it with one of two roundings (low + tol <= high from the tests
// on a start, high - tol >= low from the tests on an end), so either one
// is accepted.
bool apart(double low, double high, double tol) { return low + tol <= high || high - tol >= low; }

}  // namespace

const char* check_intervals(const HLR_Edge& edge) {
  const double tol = edge.t_tolerance;
  if (!(edge.t_min <= edge.t_max)) return "t_min > t_max";
  if (edge.t_min == 1.0) {
    if (edge.t_max != 1.0) return "fully hidden edge with t_max != 1.0";
    if (edge.intervals != nullptr || edge.intervals_tail != nullptr) {
      return "fully hidden edge with intervals";
    }
    return "";
  }
  if ((edge.intervals == nullptr) != (edge.intervals_tail == nullptr)) {
    return "only one of intervals and intervals_tail is null";
  }
  if (edge.intervals == nullptr) return "";
  if (edge.intervals->prev_interval != nullptr) return "first node has a previous node";
  if (!apart(edge.t_min, edge.intervals->from, tol)) {
    return "first node starts less than t_tolerance after t_min";
  }
  const hidden_interval* node = edge.intervals;
  for (;;) {
    if (!(node->to - node->from >= tol)) return "node shorter than t_tolerance";
    const hidden_interval* next = node->next_interval;
    if (next == nullptr) break;
    // Following the back link of every node also rules out cycles: a cycle
    // would have to re-enter at the first node, whose back link is null.
    if (next->prev_interval != node) return "back link does not match";
    if (!apart(node->to, next->from, tol)) return "gap between nodes below t_tolerance";
    node = next;
  }
  if (node != edge.intervals_tail) return "intervals_tail is not the last node";
  if (!apart(node->to, edge.t_max, tol)) return "last node ends less than t_tolerance before t_max";
  return "";
}
