// The SVG renderer at the end of the chain: clipping by form, joining of
// pieces in any order, the upright drawing, layers by line pattern, and
// byte-identical output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "counted.h"
#include "svg_renderer.h"

namespace {

using namespace hlr_tool;

// The renderer with one reference held for the test.
class Svg_Fixture : public ::testing::Test {
 protected:
  void SetUp() override { live_before_ = KT_Counted::live_objects(); }
  void TearDown() override {
    for (Svg_Renderer* renderer : renderers_) renderer->drop_reference();
    renderers_.clear();
    renditions_.clear();
    EXPECT_EQ(KT_Counted::live_objects(), live_before_);
  }

  Svg_Renderer& make(KT_Int_Rectangle area = {0, 100, 0, 100}, double stroke = 1.0) {
    auto* renderer = new Svg_Renderer(Svg_Settings{area, stroke});
    renderer->add_reference();
    renderers_.push_back(renderer);
    return *renderer;
  }

  KT_Rendition& rendition(std::uint32_t argb = 0xFF000000u, int pattern = 0,
                          KT_Int_Rectangle clip = {0, 100, 0, 100}) {
    KT_Rendition r = KT_Rendition::create();
    r.set_color(KT_RGB32::from_argb(argb), false);
    r.set_line_pattern(pattern);
    r.set_clip_rectangle(clip);
    renditions_.push_back(r);
    return renditions_.back();
  }

 private:
  std::int64_t live_before_ = 0;
  std::vector<Svg_Renderer*> renderers_;
  std::deque<KT_Rendition> renditions_;  // handed out by reference: only appended
};

void piece_f(Svg_Renderer& svg, const KT_Rendition& r, float x0, float y0, float x1, float y1,
             bool inside = false) {
  const KT_Point points[2] = {{x0, y0, 1.0f}, {x1, y1, 1.0f}};
  if (inside) {
    svg.actions.call(KT_Actions::polyline_form<2>(), r, 2, points);
  } else {
    svg.actions.call(KT_Actions::polyline_form<1>(), r, 2, points);
  }
}

// One <polyline> as written: the layer it is in, the attributes of its
// style group and its points attribute.
struct Written_Polyline {
  std::string layer;
  std::string style;
  std::string points;
  bool operator==(const Written_Polyline&) const = default;
};

std::string attribute(const std::string& line, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size();
  return line.substr(start, line.find('"', start) - start);
}

// Reads back what svg() wrote, one element a line.
std::vector<Written_Polyline> polylines_of(const std::string& svg) {
  std::vector<Written_Polyline> result;
  std::string layer, style;
  std::size_t begin = 0;
  while (begin < svg.size()) {
    std::size_t end = svg.find('\n', begin);
    if (end == std::string::npos) end = svg.size();
    const std::string line = svg.substr(begin, end - begin);
    begin = end + 1;
    if (line.rfind("<g id=", 0) == 0) {
      layer = attribute(line, "id");
    } else if (line.rfind("<g ", 0) == 0) {
      style = line.substr(3, line.size() - 4);
    } else if (line.rfind("<polyline ", 0) == 0) {
      result.push_back({layer, style, attribute(line, "points")});
    }
  }
  return result;
}

std::vector<std::string> points_of(const std::vector<Written_Polyline>& polylines) {
  std::vector<std::string> result;
  for (const Written_Polyline& p : polylines) result.push_back(p.points);
  return result;
}

// A polyline's points written from whichever end comes first in text
// order: joining keeps no direction.
std::string either_way(const std::string& points) {
  std::vector<std::string> pairs;
  std::size_t begin = 0;
  while (begin <= points.size()) {
    std::size_t end = points.find(' ', begin);
    if (end == std::string::npos) end = points.size();
    pairs.push_back(points.substr(begin, end - begin));
    begin = end + 1;
  }
  std::string forward, backward;
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    forward += (k ? " " : "") + pairs[k];
    backward += (k ? " " : "") + pairs[pairs.size() - 1 - k];
  }
  return std::min(forward, backward);
}

std::vector<std::string> either_way(std::vector<std::string> polylines) {
  for (std::string& p : polylines) p = either_way(p);
  return polylines;
}

using Strings = std::vector<std::string>;

TEST_F(Svg_Fixture, ClippingCutsFormOnePiecesAtTheClipRectangle) {
  // Clip 0..100 x 0..100, drawing area the same; svg y = 100 - y.
  struct Case {
    const char* what;
    float x0, y0, x1, y1;
    Strings expected;
  };
  const Case cases[] = {
      {"inside, untouched", 10, 20, 30, 40, {"10,80 30,60"}},
      {"enters at the left side", -50, 20, 50, 20, {"0,80 50,80"}},
      {"leaves through the right side", 50, 50, 150, 100, {"50,50 100,25"}},
      {"crosses the whole rectangle", -10, -10, 110, 110, {"0,100 100,0"}},
      {"runs along the lower side (closed rectangle)", -10, 0, 10, 0, {"0,100 10,100"}},
      {"runs along the upper side", 20, 100, 40, 100, {"20,0 40,0"}},
      {"only touches a corner", -10, 10, 10, -10, {}},
      {"wholly to the left", -30, 10, -20, 90, {}},
      {"wholly above", 10, 101, 90, 150, {}},
      {"beyond a corner, across both outside bands", -20, 90, 10, 120, {}},
  };
  for (const Case& c : cases) {
    Svg_Renderer& svg = make();
    piece_f(svg, rendition(), c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(points_of(polylines_of(svg.svg())), c.expected) << c.what;
  }
}

TEST_F(Svg_Fixture, ClippingUsesTheRenditionsRectangleInEveryClippingForm) {
  // The clip rectangle 10..60 x 0..50 lies inside a larger drawing area.
  const KT_Int_Rectangle clip{10, 60, 0, 50};
  Svg_Renderer& svg = make({0, 100, 0, 100});
  const KT_Rendition& r = rendition(0xFF000000u, 0, clip);
  const KT_Point f[2] = {{0, 12, 1}, {100, 12, 1}};
  const KT_Point_I i[2] = {{20, -40, 1}, {20, 40, 1}};
  const KT_Point_D d[2] = {{0.0, 0.0, 1.0}, {100.0, 100.0, 1.0}};
  svg.actions.call(KT_Actions::polyline_form<1>(), r, 2, f);
  svg.actions.call(KT_Actions::polyline_form<3>(), r, 2, i);
  svg.actions.call(KT_Actions::polyline_form<5>(), r, 2, d);
  EXPECT_EQ(points_of(polylines_of(svg.svg())),
            (Strings{"10,88 60,88", "20,100 20,60", "10,90 50,50"}));
}

TEST_F(Svg_Fixture, PiecesAlreadyInsideAreNotClipped) {
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition(0xFF000000u, 0, {0, 10, 0, 10});
  piece_f(svg, r, -50, 20, 50, 20, /*inside=*/true);
  const KT_Point_I i[2] = {{5, 5, 0}, {200, 5, 0}};
  svg.actions.call(KT_Actions::polyline_form<4>(), r, 2, i);
  EXPECT_EQ(points_of(polylines_of(svg.svg())), (Strings{"-50,80 50,80", "5,95 200,95"}));
}

TEST_F(Svg_Fixture, ClippedEndsKeepTheirPointAndStillJoin) {
  // The second piece is cut at x = 100 only; its start is the first
  // piece's end bit for bit, so the two make one polyline.
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition();
  piece_f(svg, r, 10.1f, 10.3f, 50.7f, 30.9f);
  piece_f(svg, r, 50.7f, 30.9f, 150.7f, 30.9f);
  EXPECT_EQ(points_of(polylines_of(svg.svg())), (Strings{"10.1,89.7 50.7,69.1 100,69.1"}));
}

TEST_F(Svg_Fixture, PiecesJoinIntoOnePolylineInEveryArrivalOrder) {
  // A path of three pieces, sent in all six orders.
  struct Piece {
    float x0, y0, x1, y1;
  };
  std::vector<Piece> pieces{{0, 0, 10, 0}, {10, 0, 10, 10}, {10, 10, 0, 20}};
  std::vector<int> order{0, 1, 2};
  do {
    Svg_Renderer& svg = make();
    const KT_Rendition& r = rendition();
    for (int k : order) piece_f(svg, r, pieces[k].x0, pieces[k].y0, pieces[k].x1, pieces[k].y1);
    EXPECT_EQ(either_way(points_of(polylines_of(svg.svg()))),
              (Strings{either_way("0,100 10,100 10,90 0,80")}))
        << order[0] << order[1] << order[2];
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(Svg_Fixture, ShuffledPiecesOfLongPathsComeBackAsThosePaths) {
  // Brute force: random paths (distinct points, so no junctions), their
  // pieces shuffled together; each path must come back whole, once.
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(1.0f, 99.0f);
  for (int trial = 0; trial < 20; ++trial) {
    struct Piece {
      int path;
      KT_Point a, b;
    };
    std::vector<std::vector<KT_Point>> paths(3);
    std::vector<Piece> pieces;
    for (int p = 0; p < 3; ++p) {
      const int length = 2 + static_cast<int>(random() % 40);
      for (int k = 0; k < length; ++k) paths[p].push_back({coordinate(random), coordinate(random), 1});
      for (int k = 0; k + 1 < length; ++k) pieces.push_back({p, paths[p][k], paths[p][k + 1]});
    }
    std::shuffle(pieces.begin(), pieces.end(), random);
    Svg_Renderer& svg = make();
    const KT_Rendition& r = rendition();
    for (const Piece& piece : pieces) piece_f(svg, r, piece.a.x, piece.a.y, piece.b.x, piece.b.y);
    // Expected: each path written by the same renderer as a single call.
    Svg_Renderer& reference = make();
    for (const std::vector<KT_Point>& path : paths) {
      reference.actions.call(KT_Actions::polyline_form<2>(), r, static_cast<int>(path.size()),
                             path.data());
    }
    Strings got = either_way(points_of(polylines_of(svg.svg())));
    Strings expected = either_way(points_of(polylines_of(reference.svg())));
    ASSERT_EQ(expected.size(), 3u);
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected) << "trial " << trial;
  }
}

TEST_F(Svg_Fixture, OnlyBitForBitEqualEndsOfTheSameStyleJoin) {
  Svg_Renderer& svg = make();
  const KT_Rendition& black = rendition(0xFF000000u);
  const KT_Rendition& red = rendition(0xFFFF0000u);
  const KT_Rendition& dashed = rendition(0xFF000000u, line_pattern::intersection_dashed);
  piece_f(svg, black, 10, 10, 20, 10);
  piece_f(svg, black, 20.000002f, 10, 30, 10);  // one float step away
  piece_f(svg, red, 30, 10, 40, 10);            // another colour
  piece_f(svg, dashed, 40, 10, 50, 10);         // another pattern
  piece_f(svg, black, 30, 10, 30, 30);          // joins the second piece
  const std::vector<Written_Polyline> written = polylines_of(svg.svg());
  ASSERT_EQ(written.size(), 4u);
  // Layer visible (black, then red), then intersections.
  EXPECT_EQ(points_of(written), (Strings{"10,90 20,90", "20,90 30,90 30,70", "30,90 40,90",
                                         "40,90 50,90"}));
}

TEST_F(Svg_Fixture, PiecesJoinWhicheverWayTheyRun) {
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition();
  // A zigzag whose pieces all run left to right, so that every second one
  // meets its neighbours end to end or start to start.
  piece_f(svg, r, 0, 0, 10, 20);
  piece_f(svg, r, 20, 0, 30, 20);
  piece_f(svg, r, 10, 20, 20, 0);
  piece_f(svg, r, 30, 20, 40, 0);
  // The two halves of a diamond, both from its left corner to its right.
  piece_f(svg, r, 50, 50, 60, 60);
  piece_f(svg, r, 60, 60, 70, 50);
  piece_f(svg, r, 50, 50, 60, 40);
  piece_f(svg, r, 60, 40, 70, 50);
  EXPECT_EQ(either_way(points_of(polylines_of(svg.svg()))),
            either_way(Strings{"0,100 10,80 20,100 30,80 40,100",
                               "70,50 60,40 50,50 60,60 70,50"}));
}

TEST_F(Svg_Fixture, JoinedPolylinesKeepThePlaceOfTheEarlierOne) {
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition();
  piece_f(svg, r, 30, 30, 40, 30);  // first polyline
  piece_f(svg, r, 0, 0, 10, 0);     // second
  piece_f(svg, r, 50, 50, 60, 50);  // third
  piece_f(svg, r, 50, 50, 40, 30);  // joins the third to the first
  EXPECT_EQ(either_way(points_of(polylines_of(svg.svg()))),
            either_way(Strings{"30,70 40,70 50,50 60,50", "0,100 10,100"}));
}

TEST_F(Svg_Fixture, APieceThatClosesAPolylineRepeatsItsFirstPoint) {
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition();
  piece_f(svg, r, 10, 10, 20, 10);
  piece_f(svg, r, 20, 20, 10, 10);
  piece_f(svg, r, 20, 10, 20, 20);
  // The second piece went before the first; the third closed the loop.
  // Closed now: a further piece at (10, 10) begins a polyline of its own.
  piece_f(svg, r, 0, 0, 10, 10);
  EXPECT_EQ(points_of(polylines_of(svg.svg())),
            (Strings{"20,80 10,90 20,90 20,80", "0,100 10,90"}));
}

TEST_F(Svg_Fixture, AtAJunctionTheFirstArrivalsJoin) {
  // Three pieces end at (50, 50); the second is joined to the first, the
  // third stays apart.
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition();
  piece_f(svg, r, 0, 50, 50, 50);
  piece_f(svg, r, 50, 50, 100, 50);
  piece_f(svg, r, 50, 50, 50, 100);
  EXPECT_EQ(points_of(polylines_of(svg.svg())), (Strings{"0,50 50,50 100,50", "50,50 50,0"}));
}

TEST_F(Svg_Fixture, EmptyAndNonFinitePiecesDrawNothing) {
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  piece_f(svg, r, 10, 10, 10, 10);
  piece_f(svg, r, nan, 10, 20, 10, true);
  piece_f(svg, r, 10, 10, 20, inf, true);
  piece_f(svg, r, nan, 10, 20, 10);
  EXPECT_TRUE(polylines_of(svg.svg()).empty());
  const Svg_Counts counts = svg.counts();
  EXPECT_EQ(counts.received[static_cast<int>(Svg_Layer::visible)], 4u);
  EXPECT_EQ(counts.drawn[static_cast<int>(Svg_Layer::visible)], 0u);
  EXPECT_EQ(counts.polylines, 0u);
}

TEST_F(Svg_Fixture, TheDrawingIsUprightInItsArea) {
  // Area 100..300 x 50..150: svg x = x - 100, svg y = 150 - y.
  Svg_Renderer& svg = make({100, 300, 50, 150});
  const KT_Rendition& r = rendition(0xFF000000u, 0, {100, 300, 50, 150});
  piece_f(svg, r, 100, 50, 300, 150);
  const std::string text = svg.svg();
  EXPECT_NE(text.find("width=\"200\" height=\"100\" viewBox=\"0 0 200 100\""), std::string::npos);
  EXPECT_EQ(points_of(polylines_of(text)), (Strings{"0,100 200,0"}));
}

TEST_F(Svg_Fixture, EveryPatternLandsInItsLayerWithItsDashes) {
  Svg_Renderer& svg = make({0, 100, 0, 100}, 2.0);
  struct Case {
    int pattern;
    const char* layer;
    const char* dashes;  // stroke-dasharray at stroke width 2, "" for solid
  };
  const Case cases[] = {
      {0, "visible", ""},          {1, "hidden", "10 10"},      {2, "hidden", "1 5"},
      {3, "hidden", "14 6 1 6"},   {4, "intersections", ""},    {5, "intersections", "10 10"},
      {6, "intersections", "1 5"}, {7, "hidden", ""},           {42, "visible", ""},
      {-1, "visible", ""},
  };
  float y = 5;
  for (const Case& c : cases) {
    piece_f(svg, rendition(0xFF000000u, c.pattern), 10, y, 20, y);
    y += 5;
  }
  const std::vector<Written_Polyline> written = polylines_of(svg.svg());
  ASSERT_EQ(written.size(), std::size(cases));
  // Layers in the order hidden, visible, intersections; in each, the
  // styles in order of arrival.
  const int expected_order[] = {1, 2, 3, 7, 0, 42, -1, 4, 5, 6};
  for (std::size_t k = 0; k < written.size(); ++k) {
    const Case& c =
        *std::find_if(std::begin(cases), std::end(cases),
                      [&](const Case& x) { return x.pattern == expected_order[k]; });
    EXPECT_EQ(written[k].layer, c.layer) << "pattern " << c.pattern;
    EXPECT_EQ(attribute(" " + written[k].style, "stroke-dasharray"), c.dashes)
        << "pattern " << c.pattern;
  }
}

TEST_F(Svg_Fixture, EveryLayerIsWrittenEvenWhenEmpty) {
  const std::string text = make().svg();
  std::size_t at = 0;
  for (const char* layer : {"hidden", "visible", "intersections", "markers"}) {
    const std::size_t found = text.find(std::string("<g id=\"") + layer + "\"", at);
    ASSERT_NE(found, std::string::npos) << layer;
    at = found;
  }
}

TEST_F(Svg_Fixture, ColoursBecomeStrokesWithOpacityOnlyWhenNotOpaque) {
  Svg_Renderer& svg = make();
  piece_f(svg, rendition(0xFF1A2B3Cu), 10, 10, 20, 10);
  piece_f(svg, rendition(0x80FF0000u), 10, 20, 20, 20);
  piece_f(svg, rendition(0x00000000u), 10, 30, 20, 30);
  const std::vector<Written_Polyline> written = polylines_of(svg.svg());
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[0].style, "stroke=\"#1A2B3C\"");
  EXPECT_EQ(written[1].style, "stroke=\"#FF0000\" stroke-opacity=\"0.502\"");
  EXPECT_EQ(written[2].style, "stroke=\"#000000\" stroke-opacity=\"0\"");
}

TEST_F(Svg_Fixture, MarkersInsideTheirClipRectangleBecomeDots) {
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition(0xFF00FF00u, 0, {0, 50, 0, 50});
  const KT_Point points[3] = {{10, 20, 1}, {60, 20, 1}, {50, 50, 1}};
  svg.actions.call(KT_Actions::marker_action, r, 3, points);
  const std::string text = svg.svg();
  const std::string markers = text.substr(text.find("<g id=\"markers\""));
  EXPECT_NE(markers.find("<g fill=\"#00FF00\">\n<circle cx=\"10\" cy=\"80\" r=\"1.5\"/>\n"
                         "<circle cx=\"50\" cy=\"50\" r=\"1.5\"/>\n</g>"),
            std::string::npos)
      << markers;
  const Svg_Counts counts = svg.counts();
  EXPECT_EQ(counts.received[static_cast<int>(Svg_Layer::markers)], 3u);
  EXPECT_EQ(counts.markers, 2u);
}

TEST_F(Svg_Fixture, LongPolylinesAreCutIntoElementsSharingTheirJoints) {
  // 2500 points: the first element takes 2000, the second starts at the
  // 2000th point again and takes the remaining 500.
  Svg_Renderer& svg = make({0, 3000, 0, 100});
  std::vector<KT_Point> path;
  for (int k = 0; k < 2500; ++k) path.push_back({static_cast<float>(k), 50.0f + (k % 2), 1.0f});
  svg.actions.call(KT_Actions::polyline_form<2>(), rendition(), 2500, path.data());
  const Strings written = points_of(polylines_of(svg.svg()));
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(std::count(written[0].begin(), written[0].end(), ' '), 1999);
  EXPECT_EQ(std::count(written[1].begin(), written[1].end(), ' '), 500);
  EXPECT_EQ(written[1].substr(0, written[1].find(' ')), "1999,49");
  EXPECT_EQ(written[0].substr(written[0].rfind(' ') + 1), "1999,49");
  EXPECT_EQ(svg.counts().polylines, 2u);
}

TEST_F(Svg_Fixture, NumbersHaveThreeDecimalsAndNoNegativeZero) {
  Svg_Renderer& svg = make();
  const KT_Rendition& r = rendition(0xFF000000u, 0, {-10, 100, -10, 100});
  const KT_Point_D d[2] = {{1.23456, 99.99999, 0}, {-0.0001, 33.3336, 0}};
  svg.actions.call(KT_Actions::polyline_form<5>(), r, 2, d);
  EXPECT_EQ(points_of(polylines_of(svg.svg())), (Strings{"1.235,0 0,66.666"}));
}

TEST_F(Svg_Fixture, TheSameCallsGiveTheSameBytes) {
  // Many styles and pieces, so that the hash tables grow, entries are
  // erased and styles are looked up out of order; two renderers fed alike
  // write alike.
  std::string first_text;
  for (int run = 0; run < 2; ++run) {
    std::mt19937 random(11);
    Svg_Renderer& svg = make();
    std::vector<const KT_Rendition*> styles;
    for (int s = 0; s < 12; ++s) styles.push_back(&rendition(0xFF000000u + 997u * s * s, s % 8));
    for (int k = 0; k < 5000; ++k) {
      const float x = static_cast<float>(random() % 100), y = static_cast<float>(random() % 100);
      piece_f(svg, *styles[random() % styles.size()], x, y, static_cast<float>(random() % 100),
              static_cast<float>(random() % 100));
    }
    if (run == 0) {
      first_text = svg.svg();
    } else {
      EXPECT_EQ(svg.svg(), first_text);
    }
  }
}

TEST(Svg_Settings_Check, EmptyAreaOrBadStrokeIsRefused) {
  EXPECT_THROW(Svg_Renderer(Svg_Settings{{0, 0, 0, 100}, 1.0}), std::invalid_argument);
  EXPECT_THROW(Svg_Renderer(Svg_Settings{{0, 100, 5, 4}, 1.0}), std::invalid_argument);
  EXPECT_THROW(Svg_Renderer(Svg_Settings{{0, 100, 0, 100}, 0.0}), std::invalid_argument);
  EXPECT_THROW(Svg_Renderer(Svg_Settings{{0, 100, 0, 100}, -1.0}), std::invalid_argument);
}

}  // namespace
