// The SVG renderer at the end of the chain: clipping by form, joining of
// pieces in any order, the upright drawing, layers by line pattern.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "counted.h"
#include "tool/drawing/drawing_renderer.h"
#include "tool/drawing/svg_writer.h"

namespace {

using namespace hlr_tool;
using Strings = std::vector<std::string>;

// The renderers and renditions of a test, released afterwards: nothing of
// the host may stay alive.
class Svg_Fixture : public ::testing::Test {
 protected:
  void SetUp() override { live_before_ = KT_Counted::live_objects(); }
  void TearDown() override {
    for (Drawing_Renderer* renderer : renderers_) renderer->drop_reference();
    renditions_.clear();
    EXPECT_EQ(KT_Counted::live_objects(), live_before_);
  }

  Drawing_Renderer& make(KT_Int_Rectangle area = {0, 100, 0, 100}, double stroke = 1.0,
                         Joining joining = Joining::on_the_calling_thread) {
    renderers_.push_back(new Drawing_Renderer(area, joining));
    renderers_.back()->add_reference();
    strokes_.push_back(stroke);
    return *renderers_.back();
  }

  // The SVG of what reached `renderer`, at its stroke width.
  std::string svg_of(const Drawing_Renderer& renderer) const {
    const auto at = std::find(renderers_.begin(), renderers_.end(), &renderer);
    return write_svg(renderer.drawing(), {strokes_[at - renderers_.begin()]});
  }

  const KT_Rendition& rendition(std::uint32_t argb = 0xFF000000u, int pattern = 0,
                                KT_Int_Rectangle clip = {0, 100, 0, 100}) {
    KT_Rendition& r = renditions_.emplace_back(KT_Rendition::create());
    r.set_color(KT_RGB32::from_argb(argb), false);
    r.set_line_pattern(pattern);
    r.set_clip_rectangle(clip);
    return r;
  }

 private:
  std::int64_t live_before_ = 0;
  std::vector<Drawing_Renderer*> renderers_;
  std::vector<double> strokes_;
  std::deque<KT_Rendition> renditions_;  // handed out by reference: only appended
};

// One two-point polyline in point form `form` (1 to 5).
void piece(Drawing_Renderer& svg, const KT_Rendition& r, float x0, float y0, float x1, float y1,
           int form = 1) {
  const KT_Point f[2] = {{x0, y0, 1.0f}, {x1, y1, 1.0f}};
  const KT_Point_I i[2] = {{static_cast<int>(x0), static_cast<int>(y0), 1},
                           {static_cast<int>(x1), static_cast<int>(y1), 1}};
  const KT_Point_D d[2] = {{double(x0), double(y0), 1.0}, {double(x1), double(y1), 1.0}};
  switch (form) {
    case 1:
      svg.actions.call(KT_Actions::polyline_form<1>(), r, 2, f);
      break;
    case 2:
      svg.actions.call(KT_Actions::polyline_form<2>(), r, 2, f);
      break;
    case 3:
      svg.actions.call(KT_Actions::polyline_form<3>(), r, 2, i);
      break;
    case 4:
      svg.actions.call(KT_Actions::polyline_form<4>(), r, 2, i);
      break;
    default:
      svg.actions.call(KT_Actions::polyline_form<5>(), r, 2, d);
      break;
  }
}

// The points attribute of every <polyline>, in order; with `style`, each
// prefixed by its layer and its style group: "hidden|stroke=... points".
Strings polylines_of(const std::string& svg, bool style = false) {
  Strings result;
  std::string layer, group, line;
  for (std::size_t begin = 0, end; begin < svg.size(); begin = end + 1) {
    end = std::min(svg.find('\n', begin), svg.size());
    line = svg.substr(begin, end - begin);
    const auto value = [&line](std::size_t at) { return line.substr(at, line.find('"', at) - at); };
    if (line.rfind("<g id=\"", 0) == 0)
      layer = value(7);
    else if (line.rfind("<g ", 0) == 0)
      group = line.substr(3, line.size() - 4);
    else if (line.rfind("<polyline points=\"", 0) == 0)
      result.push_back((style ? layer + "|" + group + " " : "") + value(18));
  }
  return result;
}

// Each polyline's points written from whichever end comes first in text
// order: a line in a drawing has no direction.
Strings either_way(Strings polylines) {
  for (std::string& p : polylines) {
    std::vector<std::string> pairs;
    for (std::size_t begin = 0, end; begin <= p.size(); begin = end + 1) {
      end = std::min(p.find(' ', begin), p.size());
      pairs.push_back(p.substr(begin, end - begin));
    }
    std::string backward;
    for (std::size_t k = pairs.size(); k-- > 0;) backward += pairs[k] + (k ? " " : "");
    p = std::min(p, backward);
  }
  return polylines;
}

// Clip rectangle 10..60 x 0..50 inside the area 0..100 x 0..100;
// svg y = 100 - y.
TEST_F(Svg_Fixture, FormsOneThreeAndFiveAreClippedToTheRenditionsRectangle) {
  const struct {
    const char* what;
    int form;
    float x0, y0, x1, y1;
    Strings expected;
  } cases[] = {
      {"inside, untouched", 1, 20, 10, 30, 20, {"20,90 30,80"}},
      {"enters at the left side", 1, 0, 10, 30, 10, {"10,90 30,90"}},
      {"leaves through the upper side", 1, 20, 40, 20, 80, {"20,60 20,50"}},
      {"crosses the whole rectangle", 1, 0, 0, 100, 100, {"10,90 50,50"}},
      {"runs along the lower side (closed rectangle)", 1, 0, 0, 20, 0, {"10,100 20,100"}},
      {"only touches a corner", 1, 0, 10, 10, 0, {}},
      {"wholly to the right", 1, 70, 10, 90, 40, {}},
      {"beyond a corner, across both outside bands", 1, 0, 55, 15, 70, {}},
      {"integers", 3, 20, -40, 20, 40, {"20,100 20,60"}},
      {"doubles", 5, 0, 0, 100, 100, {"10,90 50,50"}},
      {"floats already inside", 2, -50, 20, 50, 20, {"-50,80 50,80"}},
      {"integers already inside", 4, 5, 5, 200, 5, {"5,95 200,95"}},
  };
  for (const auto& c : cases) {
    Drawing_Renderer& svg = make();
    piece(svg, rendition(0xFF000000u, 0, {10, 60, 0, 50}), c.x0, c.y0, c.x1, c.y1, c.form);
    EXPECT_EQ(polylines_of(svg_of(svg)), c.expected) << c.what;
  }
}

// Pieces in, polylines out, in the default rendition's area 0..100 unless
// a style says otherwise: 0 black, 1 red, 2 black intersection dashed.
TEST_F(Svg_Fixture, PiecesWhoseEndsMeetBitForBitJoin) {
  struct Piece {
    int style;
    float x0, y0, x1, y1;
  };
  const struct {
    const char* what;
    std::vector<Piece> pieces;
    Strings expected;
  } cases[] = {
      {"one float step apart, another colour, another pattern",
       {{0, 10, 10, 20, 10},
        {0, 20.000002f, 10, 30, 10},
        {1, 30, 10, 40, 10},
        {2, 40, 10, 50, 10},
        {0, 30, 10, 30, 30}},
       {"10,90 20,90", "20,90 30,90 30,70", "30,90 40,90", "40,90 50,90"}},
      {"a zigzag and a diamond whose pieces all run left to right",
       {{0, 0, 0, 10, 20},
        {0, 20, 0, 30, 20},
        {0, 10, 20, 20, 0},
        {0, 30, 20, 40, 0},
        {0, 50, 50, 60, 60},
        {0, 60, 60, 70, 50},
        {0, 50, 50, 60, 40},
        {0, 60, 40, 70, 50}},
       {"0,100 10,80 20,100 30,80 40,100", "70,50 60,40 50,50 60,60 70,50"}},
      {"two joined polylines keep the place of the earlier one",
       {{0, 30, 30, 40, 30}, {0, 0, 0, 10, 0}, {0, 50, 50, 60, 50}, {0, 50, 50, 40, 30}},
       {"30,70 40,70 50,50 60,50", "0,100 10,100"}},
      {"a closed polyline repeats its first point and takes no more",
       {{0, 10, 10, 20, 10}, {0, 20, 20, 10, 10}, {0, 20, 10, 20, 20}, {0, 0, 0, 10, 10}},
       {"20,80 10,90 20,90 20,80", "0,100 10,90"}},
      {"at a junction the first arrivals join",
       {{0, 0, 50, 50, 50}, {0, 50, 50, 100, 50}, {0, 50, 50, 50, 100}},
       {"0,50 50,50 100,50", "50,50 50,0"}},
      {"a clipped end keeps its point and still joins",
       {{0, 10.1f, 10.3f, 50.7f, 30.9f}, {0, 50.7f, 30.9f, 150.7f, 30.9f}},
       {"10.1,89.7 50.7,69.1 100,69.1"}},
  };
  for (const auto& c : cases) {
    Drawing_Renderer& svg = make();
    const KT_Rendition* styles[] = {&rendition(), &rendition(0xFFFF0000u),
                                    &rendition(0xFF000000u, line_pattern::intersection_dashed)};
    for (const Piece& p : c.pieces) piece(svg, *styles[p.style], p.x0, p.y0, p.x1, p.y1);
    EXPECT_EQ(either_way(polylines_of(svg_of(svg))), either_way(c.expected)) << c.what;
  }
}

// Brute force: random paths (distinct points, so no junctions), their
// pieces shuffled together; each path must come back whole, once.
TEST_F(Svg_Fixture, ShuffledPiecesOfLongPathsComeBackAsThosePaths) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(1.0f, 99.0f);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<std::vector<KT_Point>> paths(3);
    std::vector<std::pair<KT_Point, KT_Point>> pieces;
    for (auto& path : paths) {
      const int length = 2 + static_cast<int>(random() % 40);
      for (int k = 0; k < length; ++k) path.push_back({coordinate(random), coordinate(random), 1});
      for (int k = 0; k + 1 < length; ++k) pieces.push_back({path[k], path[k + 1]});
    }
    std::shuffle(pieces.begin(), pieces.end(), random);
    Drawing_Renderer& svg = make();
    const KT_Rendition& r = rendition();
    for (const auto& [a, b] : pieces) piece(svg, r, a.x, a.y, b.x, b.y);
    // Expected: each path written by the same renderer as a single call.
    Drawing_Renderer& reference = make();
    for (const auto& path : paths)
      reference.actions.call(KT_Actions::polyline_form<2>(), r, static_cast<int>(path.size()),
                             path.data());
    Strings got = either_way(polylines_of(svg_of(svg))),
            expected = either_way(polylines_of(svg_of(reference)));
    ASSERT_EQ(expected.size(), 3u);
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected) << "trial " << trial;
  }
}

// Brute force: pieces on a small lattice, so that many meet at one point
// (where arrival order decides the joins), in three styles, enough of them
// for many batches; joined on a thread beside the calls, the drawing is
// the one joining them on the calling thread gives, bit for bit.
TEST_F(Svg_Fixture, PiecesJoinedBesideTheCallsGiveTheSameDrawing) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> lattice(0, 40);
  std::vector<std::pair<KT_Point, KT_Point>> pieces;
  std::vector<int> styles;
  for (int k = 0; k < 30000; ++k) {
    const KT_Point a{2.0f + 2.0f * float(lattice(random)), 2.0f + 2.0f * float(lattice(random)), 1};
    const KT_Point b{a.x + 2.0f * float(static_cast<int>(random() % 3) - 1),
                     a.y + 2.0f * float(static_cast<int>(random() % 3) - 1), 1};
    pieces.push_back({a, b});
    styles.push_back(static_cast<int>(random() % 3));
  }
  Drawing_Renderer& beside = make({0, 100, 0, 100}, 1.0, Joining::beside);
  Drawing_Renderer& here = make();
  const KT_Rendition* r[3] = {&rendition(0xFF000000u, 0), &rendition(0xFF000000u, 1),
                              &rendition(0xFF102030u, 0)};
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const auto& [a, b] = pieces[k];
    piece(beside, *r[styles[k]], a.x, a.y, b.x, b.y);
    piece(here, *r[styles[k]], a.x, a.y, b.x, b.y);
  }
  const std::string expected = svg_of(here);
  EXPECT_GT(polylines_of(expected).size(), 1000u);
  EXPECT_EQ(svg_of(beside), expected);
  // More pieces after a drawing was taken: they join onto what is there.
  for (std::size_t k = 0; k < 5000; ++k) {
    const auto& [a, b] = pieces[k];
    piece(beside, *r[styles[k]], b.y, a.x, a.y, b.x);
    piece(here, *r[styles[k]], b.y, a.x, a.y, b.x);
  }
  EXPECT_EQ(svg_of(beside), svg_of(here));
}

// Area 100..300 x 50..150: svg x = x - 100, svg y = 150 - y.
TEST_F(Svg_Fixture, TheDrawingIsUprightInItsArea) {
  Drawing_Renderer& svg = make({100, 300, 50, 150});
  piece(svg, rendition(0xFF000000u, 0, {100, 300, 50, 150}), 100, 50, 300, 150);
  EXPECT_NE(svg_of(svg).find(" width=\"200\" height=\"100\" viewBox=\"0 0 200 100\""),
            std::string::npos);
  EXPECT_EQ(polylines_of(svg_of(svg)), (Strings{"0,100 200,0"}));
}

TEST_F(Svg_Fixture, EveryPatternLandsInItsLayerWithItsDashes) {
  Drawing_Renderer& svg = make({0, 100, 0, 100}, 2.0);
  float y = 5;
  for (int pattern : {0, 1, 2, 3, 4, 5, 6, 7, 42, -1}) {
    piece(svg, rendition(0xFF000000u, pattern), 10, y, 20, y);
    y += 5;
  }
  // Layers hidden, visible, intersections; in each, the styles in order of
  // arrival. Dashes at stroke width 2.
  const std::string black = "stroke=\"#000000\"", dashes = " stroke-dasharray=\"";
  EXPECT_EQ(polylines_of(svg_of(svg), true),
            (Strings{"hidden|" + black + dashes + "10 10\" 10,90 20,90",
                     "hidden|" + black + dashes + "1 5\" 10,85 20,85",
                     "hidden|" + black + dashes + "14 6 1 6\" 10,80 20,80",
                     "hidden|" + black + " 10,60 20,60", "visible|" + black + " 10,95 20,95",
                     "visible|" + black + " 10,55 20,55", "visible|" + black + " 10,50 20,50",
                     "intersections|" + black + " 10,75 20,75",
                     "intersections|" + black + dashes + "10 10\" 10,70 20,70",
                     "intersections|" + black + dashes + "1 5\" 10,65 20,65"}));
}

TEST_F(Svg_Fixture, EmptyAndNonFinitePiecesDrawNothing) {
  Drawing_Renderer& svg = make();
  const KT_Rendition& r = rendition();
  const float nan = std::numeric_limits<float>::quiet_NaN(),
              inf = std::numeric_limits<float>::infinity();
  piece(svg, r, 10, 10, 10, 10);
  piece(svg, r, nan, 10, 20, 10, 2);
  piece(svg, r, 10, 10, 20, inf, 2);
  piece(svg, r, nan, 10, 20, 10);
  EXPECT_TRUE(polylines_of(svg_of(svg)).empty());
  const Drawing_Counts counts = svg.counts();
  EXPECT_EQ(counts.received[static_cast<int>(Layer::visible)], 4u);
  EXPECT_EQ(counts.drawn[static_cast<int>(Layer::visible)], 0u);
}

TEST_F(Svg_Fixture, LongPolylinesAreCutIntoElementsSharingTheirJoints) {
  // 2500 points: the first element takes 2000, the second starts at the
  // 2000th point again and takes the remaining 500.
  Drawing_Renderer& svg = make({0, 3000, 0, 100});
  std::vector<KT_Point> path;
  for (int k = 0; k < 2500; ++k) path.push_back({static_cast<float>(k), 50.0f + (k % 2), 1.0f});
  svg.actions.call(KT_Actions::polyline_form<2>(), rendition(), 2500, path.data());
  const Strings written = polylines_of(svg_of(svg));
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(std::count(written[0].begin(), written[0].end(), ' '), 1999);
  EXPECT_EQ(std::count(written[1].begin(), written[1].end(), ' '), 500);
  EXPECT_EQ(written[1].substr(0, written[1].find(' ')), "1999,49");
  EXPECT_EQ(written[0].substr(written[0].rfind(' ') + 1), "1999,49");
}

TEST_F(Svg_Fixture, NumbersHaveThreeDecimalsAndNoNegativeZero) {
  Drawing_Renderer& svg = make();
  const KT_Point_D d[2] = {{1.23456, 99.99999, 0}, {-0.0001, 33.3336, 0}};
  svg.actions.call(KT_Actions::polyline_form<5>(), rendition(0xFF000000u, 0, {-10, 100, -10, 100}),
                   2, d);
  EXPECT_EQ(polylines_of(svg_of(svg)), (Strings{"1.235,0 0,66.666"}));
}

}  // namespace
