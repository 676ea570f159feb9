#include "tool/drawing/drawing_renderer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "tool/common/batch_pipe.h"
#include "tool/common/mapped_allocator.h"

namespace hlr_tool {

namespace {

constexpr std::uint32_t no_index = std::numeric_limits<std::uint32_t>::max();

// One piece end (or start) of an open polyline, as the hash tables key it:
// the coordinates' bits, so that only bit-for-bit equal points meet.
struct End_Key {
  std::uint64_t x;
  std::uint64_t y;
  std::uint32_t style;
  friend bool operator==(const End_Key&, const End_Key&) = default;
};

End_Key key_of(double x, double y, std::uint32_t style) {
  return {std::bit_cast<std::uint64_t>(x), std::bit_cast<std::uint64_t>(y), style};
}

std::uint64_t mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

std::uint64_t hash_of(const End_Key& key) {
  return mix(key.x ^ mix(key.y + 0x9e3779b97f4a7c15ULL * (std::uint64_t{key.style} + 1)));
}

// End point -> polyline, open addressing with linear probing in one array;
// erasing shifts the following entries back, so there are no tombstones
// and lookups stay short. Only lookups by key are made: nothing written
// depends on the order of the slots.
class End_Table {
 public:
  std::uint32_t find(const End_Key& key) const {
    if (slots_.empty()) return no_index;
    for (std::size_t i = home(key);; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.chain == no_index) return no_index;
      if (slot.key == key) return slot.chain;
    }
  }

  // False (and nothing changed) when the key is already there.
  bool insert(const End_Key& key, std::uint32_t chain) {
    if ((used_ + 1) * 4 > slots_.size() * 3) grow();
    std::size_t i = home(key);
    for (;; i = (i + 1) & mask_) {
      if (slots_[i].chain == no_index) break;
      if (slots_[i].key == key) return false;
    }
    slots_[i] = {key, chain};
    ++used_;
    return true;
  }

  // The key must be there.
  void assign(const End_Key& key, std::uint32_t chain) { slots_[position(key)].chain = chain; }

  // The key must be there.
  void erase(const End_Key& key) {
    std::size_t hole = position(key);
    std::size_t i = hole;
    for (;;) {
      i = (i + 1) & mask_;
      if (slots_[i].chain == no_index) break;
      const std::size_t wanted = home(slots_[i].key);
      // The entry at i may move into the hole unless its home lies
      // cyclically in (hole, i].
      const bool stays =
          hole <= i ? (hole < wanted && wanted <= i) : (hole < wanted || wanted <= i);
      if (stays) continue;
      slots_[hole] = slots_[i];
      hole = i;
    }
    slots_[hole].chain = no_index;
    --used_;
  }

 private:
  struct Slot {
    End_Key key{};
    std::uint32_t chain = no_index;
  };

  std::size_t home(const End_Key& key) const { return hash_of(key) & mask_; }

  std::size_t position(const End_Key& key) const {
    for (std::size_t i = home(key);; i = (i + 1) & mask_) {
      if (slots_[i].key == key && slots_[i].chain != no_index) return i;
    }
  }

  void grow() {
    std::vector<Slot, Mapped_Allocator<Slot>> old(std::max<std::size_t>(64, slots_.size() * 2));
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    used_ = 0;
    for (const Slot& slot : old) {
      if (slot.chain != no_index) insert(slot.key, slot.chain);
    }
  }

  // Grown on the joining thread, when there is one (mapped_allocator.h).
  std::vector<Slot, Mapped_Allocator<Slot>> slots_;
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
};

struct Style {
  std::uint32_t argb;
  int pattern;
  Pattern_Meaning meaning;
};

// A point of a polyline. The points of one polyline are linked both ways
// without a direction: a point's two links name its neighbours in either
// order, and an end point has one link free. Joining two polylines end to
// end is then one pair of links, whichever way each runs; no polyline is
// ever reversed.
struct Node {
  double x;
  double y;
  std::array<std::uint32_t, 2> link;
};

// A polyline being built: its two end points, ends[0] where it is written
// from. An end is in the end table only when its key was free when the
// polyline got that end; a merged polyline lives on in the one it was
// joined to.
struct Chain {
  std::array<std::uint32_t, 2> ends;
  std::uint32_t style;
  std::uint32_t point_count;
  std::array<bool, 2> registered;
  bool merged;
};

struct Dot {
  double x;
  double y;
  std::uint32_t style;
};

struct Segment {
  double x0, y0, x1, y1;
};

// A piece on its way to be joined.
struct Piece {
  Segment segment;
  std::uint32_t style;
};

// Pieces handed to the joining thread at a time: small enough that it
// starts early, large enough that handing them on costs nothing.
constexpr std::size_t pieces_per_batch = 4096;

// Parametric clipping of the segment to the closed rectangle; false when
// nothing, or only a single point, is left. An end that needs no clipping
// keeps its coordinates bit for bit, so clipped pieces still join where
// they were not cut. Clipped ends are held to the rectangle's sides
// against rounding.
bool clip_segment(Segment& s, const KT_Int_Rectangle& r) {
  const double x_min = r.x_min, x_max = r.x_max, y_min = r.y_min, y_max = r.y_max;
  const double dx = s.x1 - s.x0;
  const double dy = s.y1 - s.y0;
  double t0 = 0.0;
  double t1 = 1.0;
  // The part of the line where p * t <= q.
  const auto keep = [&](double p, double q) {
    if (p == 0.0) return q >= 0.0;
    const double t = q / p;
    if (p < 0.0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
    return true;
  };
  if (!keep(-dx, s.x0 - x_min) || !keep(dx, x_max - s.x0) || !keep(-dy, s.y0 - y_min) ||
      !keep(dy, y_max - s.y0)) {
    return false;
  }
  if (t0 >= t1) return false;
  const Segment original = s;
  if (t0 > 0.0) {
    s.x0 = std::clamp(original.x0 + t0 * dx, x_min, x_max);
    s.y0 = std::clamp(original.y0 + t0 * dy, y_min, y_max);
  }
  if (t1 < 1.0) {
    s.x1 = std::clamp(original.x0 + t1 * dx, x_min, x_max);
    s.y1 = std::clamp(original.y0 + t1 * dy, y_min, y_max);
  }
  return true;
}

bool inside(const KT_Int_Rectangle& r, double x, double y) {
  return x >= r.x_min && x <= r.x_max && y >= r.y_min && y <= r.y_max;
}

template <class Point>
double widened(decltype(Point::x) value) {
  return static_cast<double>(value);
}

}  // namespace

Pattern_Meaning pattern_meaning(int pattern) {
  switch (pattern) {
    case line_pattern::visible:
      return {Layer::visible, Dash::solid};
    case line_pattern::hidden_dashed:
      return {Layer::hidden, Dash::dashed};
    case line_pattern::hidden_dotted:
      return {Layer::hidden, Dash::dotted};
    case line_pattern::hidden_dash_dot:
      return {Layer::hidden, Dash::dash_dot};
    case line_pattern::intersection_solid:
      return {Layer::intersections, Dash::solid};
    case line_pattern::intersection_dashed:
      return {Layer::intersections, Dash::dashed};
    case line_pattern::intersection_dotted:
      return {Layer::intersections, Dash::dotted};
    case line_pattern::hidden_solid:
      return {Layer::hidden, Dash::solid};
    default:
      return {Layer::visible, Dash::solid};
  }
}

struct Drawing_Renderer::Store {
  Store(bool join_beside, std::size_t expected_pieces) {
    if (join_beside) {
      // Room for what most drawings need, taken once: address space only
      // until it is used, where growing would map and copy again.
      nodes.reserve(2 * expected_pieces);
      chains.reserve(expected_pieces / 2);
      joining = std::make_unique<Batch_Pipe<Piece>>(
          [this](std::span<const Piece> pieces) {
            for (const Piece& piece : pieces) {
              const Segment& s = piece.segment;
              add_piece(piece.style, s.x0, s.y0, s.x1, s.y1);
            }
          },
          pieces_per_batch);
    }
  }

  std::vector<Style> styles;
  std::map<std::pair<std::uint32_t, int>, std::uint32_t> style_index;
  // The style of the latest call: pieces come in long runs of one style.
  std::uint32_t last_argb = 0;
  int last_pattern = 0;
  std::uint32_t last_style = no_index;

  // Grown on the joining thread, when there is one (mapped_allocator.h).
  std::vector<Node, Mapped_Allocator<Node>> nodes;
  std::vector<Chain, Mapped_Allocator<Chain>> chains;
  // The open ends of the polylines: chain * 2 + which end.
  End_Table ends;
  std::vector<Dot> dots;
  Drawing_Counts counts;
  // Joins the pieces on a thread of its own when there is one; nodes,
  // chains and ends are then its alone until finish_joining(). Declared
  // last, so that it stops before what it fills goes.
  std::unique_ptr<Batch_Pipe<Piece>> joining;

  void finish_joining() {
    if (joining) joining->finish();
  }

  std::uint32_t style_of(const KT_Rendition& rendition) {
    const std::uint32_t argb = rendition.color().argb();
    const int pattern = rendition.line_pattern();
    if (last_style != no_index && argb == last_argb && pattern == last_pattern) return last_style;
    const auto [it, added] =
        style_index.try_emplace({argb, pattern}, static_cast<std::uint32_t>(styles.size()));
    if (added) styles.push_back({argb, pattern, pattern_meaning(pattern)});
    last_argb = argb;
    last_pattern = pattern;
    last_style = it->second;
    return last_style;
  }

  std::uint32_t add_node(double x, double y) {
    if (nodes.size() >= no_index - 1) throw std::length_error("too many points for one drawing");
    nodes.push_back({x, y, {no_index, no_index}});
    return static_cast<std::uint32_t>(nodes.size() - 1);
  }

  // Links two points, each at the end of its polyline (one link free).
  void link(std::uint32_t a, std::uint32_t b) {
    Node& na = nodes[a];
    na.link[na.link[0] == no_index ? 0 : 1] = b;
    Node& nb = nodes[b];
    nb.link[nb.link[0] == no_index ? 0 : 1] = a;
  }

  End_Key key_of_node(std::uint32_t node, std::uint32_t style) const {
    return key_of(nodes[node].x, nodes[node].y, style);
  }

  // One piece from (x0, y0) to (x1, y1), finite and not empty. Either end
  // of the piece may meet either end of an open polyline.
  void add_piece(std::uint32_t style, double x0, double y0, double x1, double y1) {
    const End_Key p = key_of(x0, y0, style);
    const End_Key q = key_of(x1, y1, style);
    // An entry is chain * 2 + which end.
    const std::uint32_t at_p = ends.find(p);
    const std::uint32_t at_q = ends.find(q);
    if (at_p != no_index && at_q != no_index) {
      ends.erase(p);
      ends.erase(q);
      std::uint32_t x = at_p / 2, i = at_p % 2;
      std::uint32_t y = at_q / 2, j = at_q % 2;
      // The earlier polyline takes in the later one and keeps its place in
      // the output.
      if (y < x) {
        std::swap(x, y);
        std::swap(i, j);
      }
      Chain& first = chains[x];
      if (x == y) {
        // The piece closes the polyline into a loop: its end at p gets a
        // last point that repeats the end at q, and no end is open any
        // more. (Linking the two ends instead would make a ring, which has
        // no point to be written from.)
        const std::uint32_t node = add_node(x1, y1);
        link(first.ends[i], node);
        first.ends[i] = node;
        ++first.point_count;
        first.registered = {false, false};
        return;
      }
      Chain& second = chains[y];
      link(first.ends[i], second.ends[j]);
      first.ends[i] = second.ends[1 - j];
      first.registered[i] = second.registered[1 - j];
      first.point_count += second.point_count;
      if (first.registered[i]) ends.assign(key_of_node(first.ends[i], style), x * 2 + i);
      second.merged = true;
      second.registered = {false, false};
      return;
    }
    if (at_p != no_index || at_q != no_index) {
      // One end of the piece extends a polyline; the other end becomes the
      // polyline's new end.
      const bool from_p = at_p != no_index;
      const std::uint32_t at = from_p ? at_p : at_q;
      const std::uint32_t c = at / 2, i = at % 2;
      ends.erase(from_p ? p : q);
      const std::uint32_t node = from_p ? add_node(x1, y1) : add_node(x0, y0);
      Chain& chain = chains[c];
      link(chain.ends[i], node);
      chain.ends[i] = node;
      ++chain.point_count;
      chain.registered[i] = ends.insert(from_p ? q : p, c * 2 + i);
      return;
    }
    if (chains.size() >= no_index / 2) throw std::length_error("too many lines for one drawing");
    const std::uint32_t c = static_cast<std::uint32_t>(chains.size());
    const std::uint32_t a = add_node(x0, y0);
    const std::uint32_t b = add_node(x1, y1);
    link(a, b);
    chains.push_back({{a, b}, style, 2, {false, false}, false});
    Chain& chain = chains.back();
    chain.registered[0] = ends.insert(p, c * 2);
    chain.registered[1] = ends.insert(q, c * 2 + 1);
  }

  template <class Point>
  void add_polyline(const KT_Rendition& rendition, int count, const Point* points, bool clip) {
    if (rendition.data() == nullptr || points == nullptr || count < 2) return;
    const std::uint32_t style = style_of(rendition);
    const std::size_t layer = static_cast<std::size_t>(styles[style].meaning.layer);
    const KT_Int_Rectangle& rectangle = rendition.clip_rectangle();
    for (int i = 0; i + 1 < count; ++i) {
      ++counts.received[layer];
      Segment s{widened<Point>(points[i].x), widened<Point>(points[i].y),
                widened<Point>(points[i + 1].x), widened<Point>(points[i + 1].y)};
      if (!std::isfinite(s.x0) || !std::isfinite(s.y0) || !std::isfinite(s.x1) ||
          !std::isfinite(s.y1)) {
        continue;
      }
      if (clip && !clip_segment(s, rectangle)) continue;
      if (s.x0 == s.x1 && s.y0 == s.y1) continue;
      ++counts.drawn[layer];
      if (joining) {
        joining->push({s, style});
      } else {
        add_piece(style, s.x0, s.y0, s.x1, s.y1);
      }
    }
  }

  void add_markers(const KT_Rendition& rendition, int count, const KT_Point* points) {
    if (rendition.data() == nullptr || points == nullptr || count < 1) return;
    const std::uint32_t style = style_of(rendition);
    const std::size_t layer = static_cast<std::size_t>(Layer::markers);
    for (int i = 0; i < count; ++i) {
      ++counts.received[layer];
      const double x = static_cast<double>(points[i].x);
      const double y = static_cast<double>(points[i].y);
      if (!inside(rendition.clip_rectangle(), x, y)) continue;  // also drops NaN
      ++counts.drawn[layer];
      dots.push_back({x, y, style});
    }
  }

  // The polyline of a chain, walked from ends[0], in drawing coordinates.
  Drawing_Polyline polyline_of(const Chain& chain, double left, double top) const {
    Drawing_Polyline points;
    points.reserve(chain.point_count);
    std::uint32_t previous = no_index;
    for (std::uint32_t n = chain.ends[0]; n != no_index;) {
      const Node& node = nodes[n];
      points.push_back({node.x - left, top - node.y});
      const std::uint32_t next = node.link[0] == previous ? node.link[1] : node.link[0];
      previous = n;
      n = next;
    }
    return points;
  }

  Drawing drawing(const KT_Int_Rectangle& area) const {
    const double left = area.x_min;
    const double top = area.y_max;
    Drawing drawing;
    drawing.width = static_cast<double>(area.x_max) - area.x_min;
    drawing.height = static_cast<double>(area.y_max) - area.y_min;
    // One group per style that drew something, in style order (the order
    // the styles first arrived); a style with both lines and dots has a
    // group in its line layer and one in the markers layer.
    std::vector<std::uint32_t> line_group(styles.size(), no_index);
    std::vector<std::uint32_t> dot_group(styles.size(), no_index);
    for (const Chain& chain : chains) {
      if (!chain.merged) line_group[chain.style] = 0;
    }
    for (const Dot& dot : dots) dot_group[dot.style] = 0;
    const auto add_group = [&drawing](Layer layer, const Style& style) {
      std::vector<Style_Group>& groups = drawing.layers[static_cast<std::size_t>(layer)];
      groups.push_back({style.argb, style.meaning.dash, {}, {}, {}, {}});
      return static_cast<std::uint32_t>(groups.size() - 1);
    };
    for (std::uint32_t s = 0; s < styles.size(); ++s) {
      if (line_group[s] == 0) line_group[s] = add_group(styles[s].meaning.layer, styles[s]);
      if (dot_group[s] == 0) dot_group[s] = add_group(Layer::markers, styles[s]);
    }
    for (const Chain& chain : chains) {
      if (chain.merged) continue;
      const Layer layer = styles[chain.style].meaning.layer;
      drawing.layers[static_cast<std::size_t>(layer)][line_group[chain.style]].polylines.push_back(
          polyline_of(chain, left, top));
    }
    for (const Dot& dot : dots) {
      drawing.layers[static_cast<std::size_t>(Layer::markers)][dot_group[dot.style]].dots.push_back(
          {dot.x - left, top - dot.y});
    }
    return drawing;
  }
};

// The action entries installed in every Drawing_Renderer.
struct Drawing_Entries {
  template <int Form>
  static void polyline(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                       const KT_Form_Point_t<Form>* points) {
    // Forms 2 and 4 promise points inside the clip rectangle.
    constexpr bool clip = Form == 1 || Form == 3 || Form == 5;
    static_cast<Drawing_Renderer*>(receiver)->store_->add_polyline(rendition, count, points, clip);
  }

  static void marker(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                     const KT_Point* points) {
    static_cast<Drawing_Renderer*>(receiver)->store_->add_markers(rendition, count, points);
  }
};

Drawing_Renderer::Drawing_Renderer(const KT_Int_Rectangle& drawing_area, Joining joining,
                                   std::size_t expected_pieces)
    : KT_Renderer_Data(nullptr),
      drawing_area_(drawing_area),
      store_(std::make_unique<Store>(joining == Joining::beside, expected_pieces)) {
  if (!(drawing_area.x_max > drawing_area.x_min && drawing_area.y_max > drawing_area.y_min)) {
    throw std::invalid_argument("the drawing area is empty");
  }
  actions.install(KT_Actions::polyline_form<1>(), this, &Drawing_Entries::polyline<1>, 0, 1);
  actions.install(KT_Actions::polyline_form<2>(), this, &Drawing_Entries::polyline<2>, 0, 1);
  actions.install(KT_Actions::polyline_form<3>(), this, &Drawing_Entries::polyline<3>, 0, 1);
  actions.install(KT_Actions::polyline_form<4>(), this, &Drawing_Entries::polyline<4>, 0, 1);
  actions.install(KT_Actions::polyline_form<5>(), this, &Drawing_Entries::polyline<5>, 0, 1);
  actions.install(KT_Actions::marker_action, this, &Drawing_Entries::marker, 0, 1);
}

Drawing_Renderer::~Drawing_Renderer() = default;

Drawing_Counts Drawing_Renderer::counts() const { return store_->counts; }

Drawing Drawing_Renderer::drawing() const {
  store_->finish_joining();
  return store_->drawing(drawing_area_);
}

}  // namespace hlr_tool
