#include "tool/drawing/svg_renderer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace hlr_tool {

namespace {

constexpr std::uint32_t no_index = std::numeric_limits<std::uint32_t>::max();

// Long point lists are cut into several <polyline> elements that share
// their joint, so that no attribute grows beyond what XML readers accept
// by default (libxml2 stops at 10 MB).
constexpr std::uint32_t max_points_per_element = 2000;

// Marker dots: radius in stroke widths.
constexpr double marker_radius_strokes = 1.5;

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
    std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    used_ = 0;
    for (const Slot& slot : old) {
      if (slot.chain != no_index) insert(slot.key, slot.chain);
    }
  }

  std::vector<Slot> slots_;
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

// Three decimals, trailing zeros and a lone point cut, never "-0".
void append_number(std::string& out, double value) {
  char buffer[400];  // room for the largest finite double in fixed notation
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  std::string_view text(buffer, error == std::errc() ? static_cast<std::size_t>(end - buffer) : 0);
  if (text.find('.') != std::string_view::npos) {
    while (text.back() == '0') text.remove_suffix(1);
    if (text.back() == '.') text.remove_suffix(1);
  }
  if (text == "-0") text = "0";
  out.append(text);
}

void append_hex_color(std::string& out, std::uint32_t argb) {
  static constexpr char digits[] = "0123456789ABCDEF";
  out += '#';
  for (int shift = 20; shift >= 0; shift -= 4) out += digits[(argb >> shift) & 15u];
}

// stroke or fill colour, with its opacity when not opaque.
void append_paint(std::string& out, const char* what, std::uint32_t argb) {
  out += ' ';
  out += what;
  out += "=\"";
  append_hex_color(out, argb);
  out += '"';
  const std::uint32_t alpha = argb >> 24;
  if (alpha != 255) {
    out += ' ';
    out += what;
    out += "-opacity=\"";
    append_number(out, static_cast<double>(alpha) / 255.0);
    out += '"';
  }
}

// Dash and gap lengths in stroke widths; with round caps each dash grows
// by one stroke width, so the gaps are drawn that much shorter.
void append_dash(std::string& out, Dash dash, double stroke_width) {
  std::vector<double> lengths;
  switch (dash) {
    case Dash::solid:
      return;
    case Dash::dashed:
      lengths = {5.0, 5.0};
      break;
    case Dash::dotted:
      lengths = {0.5, 2.5};
      break;
    case Dash::dash_dot:
      lengths = {7.0, 3.0, 0.5, 3.0};
      break;
  }
  out += " stroke-dasharray=\"";
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    if (i > 0) out += ' ';
    append_number(out, lengths[i] * stroke_width);
  }
  out += '"';
}

}  // namespace

const char* layer_name(Svg_Layer layer) {
  switch (layer) {
    case Svg_Layer::hidden:
      return "hidden";
    case Svg_Layer::visible:
      return "visible";
    case Svg_Layer::intersections:
      return "intersections";
    case Svg_Layer::markers:
      return "markers";
  }
  return "visible";
}

Pattern_Meaning pattern_meaning(int pattern) {
  switch (pattern) {
    case line_pattern::visible:
      return {Svg_Layer::visible, Dash::solid};
    case line_pattern::hidden_dashed:
      return {Svg_Layer::hidden, Dash::dashed};
    case line_pattern::hidden_dotted:
      return {Svg_Layer::hidden, Dash::dotted};
    case line_pattern::hidden_dash_dot:
      return {Svg_Layer::hidden, Dash::dash_dot};
    case line_pattern::intersection_solid:
      return {Svg_Layer::intersections, Dash::solid};
    case line_pattern::intersection_dashed:
      return {Svg_Layer::intersections, Dash::dashed};
    case line_pattern::intersection_dotted:
      return {Svg_Layer::intersections, Dash::dotted};
    case line_pattern::hidden_solid:
      return {Svg_Layer::hidden, Dash::solid};
    default:
      return {Svg_Layer::visible, Dash::solid};
  }
}

struct Svg_Renderer::Store {
  std::vector<Style> styles;
  std::map<std::pair<std::uint32_t, int>, std::uint32_t> style_index;
  // The style of the latest call: pieces come in long runs of one style.
  std::uint32_t last_argb = 0;
  int last_pattern = 0;
  std::uint32_t last_style = no_index;

  std::vector<Node> nodes;
  std::vector<Chain> chains;
  // The open ends of the polylines: chain * 2 + which end.
  End_Table ends;
  std::vector<Dot> dots;
  Svg_Counts counts;

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
      add_piece(style, s.x0, s.y0, s.x1, s.y1);
    }
  }

  void add_markers(const KT_Rendition& rendition, int count, const KT_Point* points) {
    if (rendition.data() == nullptr || points == nullptr || count < 1) return;
    const std::uint32_t style = style_of(rendition);
    const std::size_t layer = static_cast<std::size_t>(Svg_Layer::markers);
    for (int i = 0; i < count; ++i) {
      ++counts.received[layer];
      const double x = static_cast<double>(points[i].x);
      const double y = static_cast<double>(points[i].y);
      if (!inside(rendition.clip_rectangle(), x, y)) continue;  // also drops NaN
      ++counts.drawn[layer];
      dots.push_back({x, y, style});
    }
  }

  // Elements one polyline of `points` points is written as.
  static std::size_t elements_for(std::uint32_t points) {
    return (points - 2) / (max_points_per_element - 1) + 1;
  }
};

// The action entries installed in every Svg_Renderer.
struct Svg_Entries {
  template <int Form>
  static void polyline(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                       const KT_Form_Point_t<Form>* points) {
    // Forms 2 and 4 promise points inside the clip rectangle.
    constexpr bool clip = Form == 1 || Form == 3 || Form == 5;
    static_cast<Svg_Renderer*>(receiver)->store_->add_polyline(rendition, count, points, clip);
  }

  static void marker(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                     const KT_Point* points) {
    static_cast<Svg_Renderer*>(receiver)->store_->add_markers(rendition, count, points);
  }
};

Svg_Renderer::Svg_Renderer(const Svg_Settings& settings)
    : KT_Renderer_Data(nullptr), settings_(settings), store_(std::make_unique<Store>()) {
  const KT_Int_Rectangle& area = settings.drawing_area;
  if (!(area.x_max > area.x_min && area.y_max > area.y_min)) {
    throw std::invalid_argument("the drawing area is empty");
  }
  if (!(std::isfinite(settings.stroke_width) && settings.stroke_width > 0.0)) {
    throw std::invalid_argument("the stroke width must be a positive number");
  }
  actions.install(KT_Actions::polyline_form<1>(), this, &Svg_Entries::polyline<1>, 0, 1);
  actions.install(KT_Actions::polyline_form<2>(), this, &Svg_Entries::polyline<2>, 0, 1);
  actions.install(KT_Actions::polyline_form<3>(), this, &Svg_Entries::polyline<3>, 0, 1);
  actions.install(KT_Actions::polyline_form<4>(), this, &Svg_Entries::polyline<4>, 0, 1);
  actions.install(KT_Actions::polyline_form<5>(), this, &Svg_Entries::polyline<5>, 0, 1);
  actions.install(KT_Actions::marker_action, this, &Svg_Entries::marker, 0, 1);
}

Svg_Renderer::~Svg_Renderer() = default;

Svg_Counts Svg_Renderer::counts() const {
  Svg_Counts counts = store_->counts;
  for (const Chain& chain : store_->chains) {
    if (!chain.merged) counts.polylines += Store::elements_for(chain.point_count);
  }
  counts.markers = store_->dots.size();
  return counts;
}

std::string Svg_Renderer::svg() const {
  const Store& store = *store_;
  const KT_Int_Rectangle& area = settings_.drawing_area;
  const double left = area.x_min;
  const double top = area.y_max;
  const double width = static_cast<double>(area.x_max) - area.x_min;
  const double height = static_cast<double>(area.y_max) - area.y_min;

  std::string out;
  out.reserve(256 + store.nodes.size() * 16 + store.dots.size() * 48);
  const auto append_point = [&](double x, double y) {
    append_number(out, x - left);
    out += ',';
    append_number(out, top - y);
  };

  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
  out +=
      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\" width=\"";
  append_number(out, width);
  out += "\" height=\"";
  append_number(out, height);
  out += "\" viewBox=\"0 0 ";
  append_number(out, width);
  out += ' ';
  append_number(out, height);
  out += "\">\n";

  // The polylines and dots of each style, in the order they were started
  // (a stable counting sort by style).
  const auto by_style = [&store](const auto& items, auto style_of_item) {
    std::vector<std::uint32_t> first(store.styles.size() + 1, 0);
    for (const auto& item : items) {
      if (const std::uint32_t s = style_of_item(item); s != no_index) ++first[s + 1];
    }
    for (std::size_t s = 0; s < store.styles.size(); ++s) first[s + 1] += first[s];
    std::vector<std::uint32_t> order(first.back());
    std::vector<std::uint32_t> fill(first.begin(), first.end() - 1);
    for (std::uint32_t i = 0; i < items.size(); ++i) {
      if (const std::uint32_t s = style_of_item(items[i]); s != no_index) order[fill[s]++] = i;
    }
    return std::pair(std::move(first), std::move(order));
  };
  const auto [chain_first, chain_order] =
      by_style(store.chains, [](const Chain& c) { return c.merged ? no_index : c.style; });
  const auto [dot_first, dot_order] = by_style(store.dots, [](const Dot& d) { return d.style; });

  for (std::size_t l = 0; l < svg_layer_count; ++l) {
    const Svg_Layer layer = static_cast<Svg_Layer>(l);
    const bool dots = layer == Svg_Layer::markers;
    out += "<g id=\"";
    out += layer_name(layer);
    out += "\" inkscape:groupmode=\"layer\" inkscape:label=\"";
    out += layer_name(layer);
    if (dots) {
      out += "\" stroke=\"none\">\n";
    } else {
      out += "\" fill=\"none\" stroke-width=\"";
      append_number(out, settings_.stroke_width);
      out += "\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
    }
    for (std::uint32_t s = 0; s < store.styles.size(); ++s) {
      const Style& style = store.styles[s];
      const auto& first = dots ? dot_first : chain_first;
      if (first[s] == first[s + 1]) continue;
      if (!dots && style.meaning.layer != layer) continue;
      out += "<g";
      if (dots) {
        append_paint(out, "fill", style.argb);
      } else {
        append_paint(out, "stroke", style.argb);
        append_dash(out, style.meaning.dash, settings_.stroke_width);
      }
      out += ">\n";
      if (dots) {
        for (std::uint32_t k = dot_first[s]; k < dot_first[s + 1]; ++k) {
          const Dot& dot = store.dots[dot_order[k]];
          out += "<circle cx=\"";
          append_number(out, dot.x - left);
          out += "\" cy=\"";
          append_number(out, top - dot.y);
          out += "\" r=\"";
          append_number(out, marker_radius_strokes * settings_.stroke_width);
          out += "\"/>\n";
        }
      } else {
        for (std::uint32_t k = chain_first[s]; k < chain_first[s + 1]; ++k) {
          const Chain& chain = store.chains[chain_order[k]];
          out += "<polyline points=\"";
          std::uint32_t in_element = 0;
          std::uint32_t previous = no_index;
          std::uint32_t n = chain.ends[0];
          while (n != no_index) {
            const Node& node = store.nodes[n];
            if (in_element == max_points_per_element) {
              // The next element starts where this one ends.
              out += "\"/>\n<polyline points=\"";
              append_point(store.nodes[previous].x, store.nodes[previous].y);
              in_element = 1;
            }
            if (in_element > 0) out += ' ';
            append_point(node.x, node.y);
            ++in_element;
            const std::uint32_t next = node.link[0] == previous ? node.link[1] : node.link[0];
            previous = n;
            n = next;
          }
          out += "\"/>\n";
        }
      }
      out += "</g>\n";
    }
    out += "</g>\n";
  }
  out += "</svg>\n";
  return out;
}

Drawing Svg_Renderer::drawing() const {
  const Store& store = *store_;
  const KT_Int_Rectangle& area = settings_.drawing_area;
  const double left = area.x_min;
  const double top = area.y_max;
  Drawing drawing;
  drawing.width = static_cast<double>(area.x_max) - area.x_min;
  drawing.height = static_cast<double>(area.y_max) - area.y_min;
  // Style -> its group in its layer, and in the markers layer.
  std::vector<std::uint32_t> line_group(store.styles.size(), no_index);
  std::vector<std::uint32_t> dot_group(store.styles.size(), no_index);
  const auto group_of = [&](std::uint32_t s, Svg_Layer layer, std::vector<std::uint32_t>& index) {
    auto& groups = drawing.layers[static_cast<std::size_t>(layer)];
    if (index[s] == no_index) {
      index[s] = static_cast<std::uint32_t>(groups.size());
      groups.push_back({store.styles[s].argb, store.styles[s].meaning.dash, {}, {}});
    }
    return &groups[index[s]];
  };
  // Groups in style order, as svg() writes them.
  std::vector<bool> has_lines(store.styles.size()), has_dots(store.styles.size());
  for (const Chain& chain : store.chains) {
    if (!chain.merged) has_lines[chain.style] = true;
  }
  for (const Dot& dot : store.dots) has_dots[dot.style] = true;
  for (std::uint32_t s = 0; s < store.styles.size(); ++s) {
    if (has_lines[s]) group_of(s, store.styles[s].meaning.layer, line_group);
    if (has_dots[s]) group_of(s, Svg_Layer::markers, dot_group);
  }
  for (const Chain& chain : store.chains) {
    if (chain.merged) continue;
    Style_Group* group = group_of(chain.style, store.styles[chain.style].meaning.layer, line_group);
    Drawing_Polyline line;
    line.reserve(chain.point_count);
    std::uint32_t previous = no_index;
    for (std::uint32_t n = chain.ends[0]; n != no_index;) {
      const Node& node = store.nodes[n];
      line.push_back({node.x - left, top - node.y});
      const std::uint32_t next = node.link[0] == previous ? node.link[1] : node.link[0];
      previous = n;
      n = next;
    }
    group->polylines.push_back(std::move(line));
  }
  for (const Dot& dot : store.dots) {
    group_of(dot.style, Svg_Layer::markers, dot_group)->dots.push_back({dot.x - left, top - dot.y});
  }
  return drawing;
}

}  // namespace hlr_tool
