// The pieces handed downstream, recorded by the host's recording renderer,
// where the golden traces leave a case open: a hidden start, the halo at
// clipped and at hidden ends, the halo's rounding point, the colour of
// hidden pieces with a halo, and stored end points. The ordinary cases
// (inner hidden pieces, clipped ends, the halo figure, short pieces,
// negative halo, double precision, retained colours) are pinned by the
// golden traces example, clipped_lines, halo_*, double_precision and
// retain_hidden_color.
#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "emission.h"
#include "intervals.h"
#include "recording_renderer.h"
#include "state_fixture.h"

namespace {

constexpr KT_RGB32 hidden_line_color = KT_RGB32::from_argb(0xFF112233);
constexpr KT_RGB32 edge_hidden_color = KT_RGB32::from_argb(0x80A0B0C0);

class Emission : public State_Test {
 protected:
  Emission() { hidden_rendition_.set_color(hidden_line_color, false); }

  HLR_Edge& line(float t0 = 0.0f, float t1 = 1.0f) {
    return edge({0, 0, 0}, {100, 0, 0}, t0, t1, edge_hidden_color);
  }
  const std::vector<KT_Recorded_Call>& visible() {
    recorder_.forget_calls();
    emit_visible_lines(state, recorder_);
    return recorder_.calls();
  }
  const std::vector<KT_Recorded_Call>& hidden() {
    recorder_.forget_calls();
    emit_hidden_lines(state, recorder_, hidden_rendition_);
    return recorder_.calls();
  }
  // The pieces as "FORM x0-x1", float points along x, exact as %.9g.
  static std::vector<std::string> pieces(const std::vector<KT_Recorded_Call>& calls) {
    std::vector<std::string> out;
    for (const KT_Recorded_Call& c : calls) {
      if (c.count != 2 || c.float_points.size() != 2) return {"not a float piece"};
      std::ostringstream text;
      text << std::setprecision(9) << c.form << " " << c.float_points[0].x << "-"
           << c.float_points[1].x;
      out.push_back(text.str());
    }
    return out;
  }

  KT_Rendition hidden_rendition_ = KT_Rendition::create();
  KT_Recording_Renderer recorder_;
};

using Pieces = std::vector<std::string>;

TEST_F(Emission, HiddenStartAndEndStretchesGoThroughFormOneInnerPartsFormTwo) {
  HLR_Edge& e = line();
  hide_start(e, 0.125, intervals);
  hide_end(e, 0.875, intervals);
  hide_interval(e, 0.5, 0.625, intervals);
  EXPECT_EQ(pieces(hidden()), (Pieces{"1 0-12.5", "2 50-62.5", "1 87.5-100"}));
  EXPECT_EQ(pieces(visible()), (Pieces{"1 12.5-50", "1 62.5-87.5"}));
  // Wholly hidden: one piece over the whole edge in every regime.
  hide_start(e, 1.0, intervals);
  EXPECT_TRUE(visible().empty());
  state.halo_gap = 2;
  EXPECT_EQ(pieces(hidden()), (Pieces{"1 0-100"}));
  state.use_double_precision = true;
  ASSERT_EQ(hidden().size(), 1u);
  EXPECT_EQ(recorder_.calls()[0].form, 5);
  EXPECT_EQ(recorder_.calls()[0].double_points[1].x, 100.0);
}

TEST_F(Emission, HaloShortensAtHiddenEndsButNotAtClippedOnes) {
  // h = 2 * 100 * t_tolerance = 0.02 of these 100-unit edges.
  state.halo_gap = 2;
  line(0.25f, 0.75f);  // clipped, nothing hidden
  HLR_Edge& trimmed = line();
  hide_start(trimmed, 0.25, intervals);
  hide_end(trimmed, 0.75, intervals);
  HLR_Edge& edges_near_the_ends = line();
  hide_start(edges_near_the_ends, 0.01, intervals);  // t_min - h < 0: no hidden stretch
  hide_end(edges_near_the_ends, 0.99, intervals);    // t_max + h > 1
  EXPECT_EQ(pieces(visible()), (Pieces{"1 25-75", "1 27-73", "1 3-97"}));
  EXPECT_EQ(pieces(hidden()), (Pieces{"1 0-23", "1 77-100", "1 0-23", "1 77-100"}));
}

TEST_F(Emission, HaloIsWorkedOutInDouble) {
  // With t_tolerance 0.01f / 8 (that of an edge 8 units long,
  // 0.00124999997 as a float) and a halo of 1, h = 100 * t_tolerance is
  // 0.124999997 in double; in float it would round to 0.125. The visible
  // piece between the hidden start at 0.3 and the hidden part from
  // 0.55 - 1e-11 then runs from 0.3 + h to 0.55 - 1e-11 - h, 5.6e-9 long (a
  // zero-length piece at x = 42.5 in float); with the float h it would be
  // empty and dropped.
  state.halo_gap = 1;
  HLR_Edge& e = line();
  e.t_tolerance = 0.01f / 8.0f;
  hide_start(e, 0.3, intervals);
  hide_interval(e, 0.55 - 1e-11, 0.625, intervals);
  EXPECT_EQ(pieces(visible()), (Pieces{"1 42.5-42.5", "1 75-100"}));
}

TEST_F(Emission, HiddenPiecesTakeTheEdgesHiddenColourExceptWithAHaloUnlessRetained) {
  line(0.5f, 1.0f);
  rendition.set_color(KT_RGB32::from_argb(0x7F0000FF), false);
  line(0.5f, 1.0f);
  const struct {
    std::int32_t halo;
    bool retain, double_precision;
    KT_RGB32 first, second;
  } cases[] = {
      {0, false, false, edge_hidden_color, edge_hidden_color},
      {0, true, false, edge_hidden_color, edge_hidden_color},
      {0, false, true, edge_hidden_color, edge_hidden_color},
      {1, false, false, hidden_line_color, hidden_line_color},
      {1, true, false, opaque_black, KT_RGB32::from_argb(0x7F0000FF)},
  };
  for (const auto& c : cases) {
    state.halo_gap = c.halo;
    state.retain_hidden_line_color = c.retain;
    state.use_double_precision = c.double_precision;
    hidden_rendition_.set_color(hidden_line_color, false);
    const auto& calls = hidden();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].color, c.first) << c.halo << c.retain << c.double_precision;
    EXPECT_EQ(calls[1].color, c.second) << c.halo << c.retain << c.double_precision;
  }
}

TEST_F(Emission, StoredEndPointsGoOutBitForBit) {
  // a.y + dy misses b.y here (1e8 + (0.3 - 1e8 in float) = 0): only the
  // stored points give 0.3 at the end, in float and in double.
  HLR_Edge& e = edge_d({0.1, 1e8, 2.0}, {7.0, 0.3, -1.0 / 3.0});
  hide_interval(e, 0.25, 0.5, intervals);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].float_points[0], e.a);
  EXPECT_EQ(shown[1].float_points[1].y, 0.3f);
  state.use_double_precision = true;
  hide_end(e, 0.875, intervals);
  const auto& pieces_d = hidden();
  ASSERT_EQ(pieces_d.size(), 2u);
  EXPECT_EQ(pieces_d[1].double_points[1], (KT_Point_D{7.0, 0.3, -1.0 / 3.0}));
}

}  // namespace
