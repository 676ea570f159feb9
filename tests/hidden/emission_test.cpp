// The pieces handed downstream, recorded by the host's recording renderer:
// which form each piece takes, where it starts and ends, its colour, and
// the halo's shortening, with numbers worked by hand.
#include <gtest/gtest.h>

#include <vector>

#include "emission.h"
#include "hidden_fixture.h"
#include "intervals.h"
#include "recording_renderer.h"
#include "renderer_state.h"
#include "store.h"

namespace {

using hidden_test::same_bits;

constexpr KT_RGB32 hidden_line_color = KT_RGB32::from_argb(0xFF112233);
constexpr KT_RGB32 edge_hidden_color = KT_RGB32::from_argb(0x80A0B0C0);

class Emission : public ::testing::Test {
 protected:
  Emission() {
    state_.extent = empty_extent;
    hidden_rendition_.set_color(hidden_line_color, false);
  }
  ~Emission() override {
    for (HLR_Edge* e = state_.edge_list.head; e != nullptr;) {
      HLR_Edge* next = e->link;
      free_intervals(*e);
      delete e;
      e = next;
    }
  }

  HLR_Edge& edge(KT_Point p, KT_Point q, float t0 = 0.0f, float t1 = 1.0f,
                 KT_RGB32 hidden_color = edge_hidden_color) {
    make_edge(state_.edge_list, edge_rendition_, hidden_color, p, q, t0, t1);
    return *state_.edge_list.tail;
  }
  HLR_Edge& edge_d(KT_Point_D p, KT_Point_D q) {
    const KT_Point pf{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    const KT_Point qf{static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z)};
    make_edge(state_.edge_list, edge_rendition_, edge_hidden_color, pf, qf, 0.0f, 1.0f, p, q);
    return *state_.edge_list.tail;
  }

  const std::vector<KT_Recorded_Call>& visible() {
    recorder_.forget_calls();
    emit_visible_lines(state_, recorder_);
    return recorder_.calls();
  }
  const std::vector<KT_Recorded_Call>& hidden() {
    recorder_.forget_calls();
    emit_hidden_lines(state_, recorder_, hidden_rendition_);
    return recorder_.calls();
  }

  // A recorded two-point polyline of the given form, float points.
  static void expect_piece(const KT_Recorded_Call& call, int form, float x0, float x1) {
    EXPECT_EQ(call.kind, KT_Recorded_Call::Kind::polyline);
    EXPECT_EQ(call.form, form);
    ASSERT_EQ(call.count, 2);
    ASSERT_EQ(call.float_points.size(), 2u);
    EXPECT_EQ(call.float_points[0].x, x0);
    EXPECT_EQ(call.float_points[1].x, x1);
  }

  HLR_Renderer_State state_{};
  KT_Rendition edge_rendition_ = KT_Rendition::create();
  KT_Rendition hidden_rendition_ = KT_Rendition::create();
  KT_Recording_Renderer recorder_;
};

TEST_F(Emission, UnhiddenEdgeIsOneVisiblePieceAndNoHiddenOne) {
  const HLR_Edge& e = edge({0.0f, 1.0f, 2.0f}, {10.0f, 3.0f, 4.0f});
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 1u);
  expect_piece(shown[0], 1, 0.0f, 10.0f);
  EXPECT_TRUE(same_bits(shown[0].float_points[0], e.a));
  EXPECT_TRUE(same_bits(shown[0].float_points[1], e.b));
  EXPECT_EQ(shown[0].color, edge_rendition_.color());
  EXPECT_TRUE(hidden().empty());
}

TEST_F(Emission, FullyHiddenEdgeIsOneHiddenPieceInEveryRegime) {
  HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  hide_start(e, 1.0);
  ASSERT_EQ(e.t_min, 1.0);
  EXPECT_TRUE(visible().empty());
  for (std::int32_t halo : {0, 2}) {
    state_.halo_gap = halo;
    const auto& pieces = hidden();
    ASSERT_EQ(pieces.size(), 1u) << "halo " << halo;
    expect_piece(pieces[0], 1, 0.0f, 100.0f);
  }
  state_.use_double_precision = true;
  EXPECT_TRUE(visible().empty());
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].form, 5);
  EXPECT_EQ(pieces[0].double_points[0].x, 0.0);
  EXPECT_EQ(pieces[0].double_points[1].x, 100.0);
}

TEST_F(Emission, OneHiddenIntervalGivesTwoVisiblePiecesAndAnInnerHiddenOne) {
  HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {100.0f, 50.0f, 0.0f});
  hide_interval(e, 0.25, 0.75);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  expect_piece(shown[0], 1, 0.0f, 25.0f);
  expect_piece(shown[1], 1, 75.0f, 100.0f);
  EXPECT_EQ(shown[1].float_points[1].y, 50.0f);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 1u);
  expect_piece(pieces[0], 2, 25.0f, 75.0f);
  EXPECT_EQ(pieces[0].float_points[0].y, 12.5f);
  EXPECT_EQ(pieces[0].float_points[1].y, 37.5f);
}

TEST_F(Emission, HiddenStartAndEndStretchesGoThroughFormOne) {
  HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  hide_start(e, 0.125);
  hide_end(e, 0.875);
  hide_interval(e, 0.5, 0.625);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 3u);
  expect_piece(pieces[0], 1, 0.0f, 12.5f);
  expect_piece(pieces[1], 2, 50.0f, 62.5f);
  expect_piece(pieces[2], 1, 87.5f, 100.0f);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  expect_piece(shown[0], 1, 12.5f, 50.0f);
  expect_piece(shown[1], 1, 62.5f, 87.5f);
}

TEST_F(Emission, ClippedStartGivesAFormOneHiddenPieceFromA) {
  // Captured from t = 0.25, no face hides it: the hidden output still has
  // the clipped stretch from a, and nothing inside.
  edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f}, 0.25f, 1.0f);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 1u);
  expect_piece(pieces[0], 1, 0.0f, 25.0f);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 1u);
  expect_piece(shown[0], 1, 25.0f, 100.0f);
}

TEST_F(Emission, HaloOfTwoOnAHundredUnitEdgeOpensAGapAroundTheHiddenPart) {
  // t_tolerance = 0.01f / 100 rounded to float, h = 2 * 100 * that =
  // 0.0199999995: the visible piece ends at t = 0.48 (x = 48), the hidden
  // one runs from 0.52 to 0.58, the next visible one starts at 0.62.
  state_.halo_gap = 2;
  HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  hide_interval(e, 0.5, 0.6);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  expect_piece(shown[0], 1, 0.0f, 48.0f);
  expect_piece(shown[1], 1, 62.0f, 100.0f);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 1u);
  expect_piece(pieces[0], 2, 52.0f, 58.0f);
}

TEST_F(Emission, HaloDropsPiecesShorterThanTwiceTheHalo) {
  // h = 0.02: the visible piece between hidden parts ending at 0.4 and
  // starting at 0.43 is 0.03 < 2h long and disappears; the hidden part
  // [0.8, 0.83] does too, while the visible pieces around it stay.
  state_.halo_gap = 2;
  HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  hide_interval(e, 0.25, 0.4);
  hide_interval(e, 0.43, 0.5);
  hide_interval(e, 0.8, 0.83);
  ASSERT_EQ(e.intervals->next_interval->next_interval, e.intervals_tail);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 3u);
  expect_piece(shown[0], 1, 0.0f, 23.0f);
  expect_piece(shown[1], 1, 52.0f, 78.0f);
  expect_piece(shown[2], 1, 85.0f, 100.0f);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 2u);
  expect_piece(pieces[0], 2, 27.0f, 38.0f);
  expect_piece(pieces[1], 2, 45.0f, 48.0f);
}

TEST_F(Emission, HaloShortensAtHiddenEndsButNotAtClippedOnes) {
  state_.halo_gap = 2;
  // Clipped to [0.25, 0.75], nothing hidden: the visible piece is the
  // whole captured range; the hidden stretches at the ends are shortened.
  edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f}, 0.25f, 0.75f);
  // Captured whole, hidden at both ends: the visible piece is shortened.
  HLR_Edge& trimmed = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  hide_start(trimmed, 0.25);
  hide_end(trimmed, 0.75);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  expect_piece(shown[0], 1, 25.0f, 75.0f);
  expect_piece(shown[1], 1, 27.0f, 73.0f);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 4u);
  expect_piece(pieces[0], 1, 0.0f, 23.0f);
  expect_piece(pieces[1], 1, 77.0f, 100.0f);
  expect_piece(pieces[2], 1, 0.0f, 23.0f);
  expect_piece(pieces[3], 1, 77.0f, 100.0f);
}

TEST_F(Emission, HaloLeavesOutEndStretchesItWouldShortenToNothing) {
  state_.halo_gap = 2;
  HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  hide_start(e, 0.01);  // t_min - h < 0
  hide_end(e, 0.99);    // t_max + h > 1
  EXPECT_TRUE(hidden().empty());
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 1u);
  expect_piece(shown[0], 1, 3.0f, 97.0f);
}

TEST_F(Emission, HaloIsWorkedOutInDouble) {
  // With t_tolerance 0.001 and a halo of 1, h = 100 * 0.001 is the double
  // 0.1; in float it would be 1.5e-9 larger. The visible piece between the
  // hidden start at 0.3 and the hidden part from 0.5 + 1e-9 then runs from
  // 0.3 + h = 0.4 to 0.4 + 1e-9 (a zero-length piece at x = 40 in float);
  // with the float h it would be dropped.
  state_.halo_gap = 1;
  HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  e.t_tolerance = 0.001;
  hide_start(e, 0.3);
  hide_interval(e, 0.5 + 1e-9, 0.625);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  expect_piece(shown[0], 1, 40.0f, 40.0f);
  expect_piece(shown[1], 1, 72.5f, 100.0f);
}

TEST_F(Emission, NegativeHaloLengthensThePieces) {
  state_.halo_gap = -1;
  HLR_Edge& e = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  hide_interval(e, 0.5, 0.6);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  expect_piece(shown[0], 1, 0.0f, 51.0f);
  expect_piece(shown[1], 1, 59.0f, 100.0f);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 1u);
  expect_piece(pieces[0], 2, 49.0f, 61.0f);
}

TEST_F(Emission, WithoutHaloHiddenPiecesTakeEachEdgesHiddenColor) {
  const KT_RGB32 other = KT_RGB32::from_argb(0xFF00FF00);
  edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f}, 0.5f, 1.0f);
  edge({0.0f, 5.0f, 0.0f}, {100.0f, 5.0f, 0.0f}, 0.5f, 1.0f, other);
  for (bool retain : {false, true}) {
    state_.retain_hidden_line_color = retain;
    const auto& pieces = hidden();
    ASSERT_EQ(pieces.size(), 2u);
    // The alpha is the edge's own too: set_color does not keep it.
    EXPECT_EQ(pieces[0].color, edge_hidden_color);
    EXPECT_EQ(pieces[1].color, other);
  }
}

TEST_F(Emission, WithHaloHiddenPiecesKeepTheLineColorUnlessRetained) {
  state_.halo_gap = 1;
  edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f}, 0.5f, 1.0f);
  const auto& kept = hidden();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].color, hidden_line_color);

  const KT_RGB32 own = KT_RGB32::from_argb(0x7F0000FF);
  edge_rendition_.set_color(own, false);
  edge({0.0f, 5.0f, 0.0f}, {100.0f, 5.0f, 0.0f}, 0.5f, 1.0f);
  state_.retain_hidden_line_color = true;
  const auto& retained = hidden();
  ASSERT_EQ(retained.size(), 2u);
  // The first edge's rendition was copied before the change.
  EXPECT_EQ(retained[0].color, KT_RGB32::from_argb(0xFF000000));
  EXPECT_EQ(retained[1].color, own);
}

TEST_F(Emission, DoublePrecisionTakesHiddenColorIgnoresHaloAndUsesFormFive) {
  state_.use_double_precision = true;
  state_.halo_gap = 2;
  HLR_Edge& e = edge_d({0.0, 0.0, 0.0}, {100.0, 0.0, 0.0});
  hide_interval(e, 0.5, 0.625);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  for (const auto& call : shown) {
    EXPECT_EQ(call.form, 5);
    ASSERT_EQ(call.double_points.size(), 2u);
  }
  EXPECT_EQ(shown[0].double_points[1].x, 50.0);
  EXPECT_EQ(shown[1].double_points[0].x, 62.5);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].form, 5);
  EXPECT_EQ(pieces[0].double_points[0].x, 50.0);
  EXPECT_EQ(pieces[0].double_points[1].x, 62.5);
  EXPECT_EQ(pieces[0].color, edge_hidden_color);
}

TEST_F(Emission, StoredEndPointsGoOutBitForBit) {
  // a.y + dy misses b.y here (1e8 + (0.3 - 1e8 in float) = 0): only the
  // stored points give 0.3 at the end.
  HLR_Edge& e = edge_d({0.1, 1e8, 2.0}, {7.0, 0.3, -1.0 / 3.0});
  hide_interval(e, 0.25, 0.5);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(same_bits(shown[0].float_points[0], e.a));
  EXPECT_TRUE(same_bits(shown[1].float_points[1], e.b));
  EXPECT_EQ(shown[1].float_points[1].y, 0.3f);

  state_.use_double_precision = true;
  const auto& shown_d = visible();
  ASSERT_EQ(shown_d.size(), 2u);
  EXPECT_TRUE(same_bits(shown_d[0].double_points[0], KT_Point_D{0.1, 1e8, 2.0}));
  EXPECT_TRUE(same_bits(shown_d[1].double_points[1], KT_Point_D{7.0, 0.3, -1.0 / 3.0}));

  hide_start(e, 0.125);
  hide_end(e, 0.875);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_TRUE(same_bits(pieces[0].double_points[0], KT_Point_D{0.1, 1e8, 2.0}));
  EXPECT_TRUE(same_bits(pieces[2].double_points[1], KT_Point_D{7.0, 0.3, -1.0 / 3.0}));
}

TEST_F(Emission, DoublePrecisionForAFloatEdgeUsesItsPointsWidened) {
  // Captured from float points: a_d and b_d are zero, and the output lies
  // on the edge, not at the origin.
  state_.use_double_precision = true;
  HLR_Edge& e = edge({1.5f, -2.25f, 0.125f}, {9.0f, 3.0f, 1.0f});
  hide_interval(e, 0.5, 0.75);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(same_bits(shown[0].double_points[0], KT_Point_D{1.5, -2.25, 0.125}));
  EXPECT_TRUE(same_bits(shown[0].double_points[1], KT_Point_D{5.25, 0.375, 0.5625}));
  EXPECT_TRUE(same_bits(shown[1].double_points[0], KT_Point_D{7.125, 1.6875, 0.78125}));
  EXPECT_TRUE(same_bits(shown[1].double_points[1], KT_Point_D{9.0, 3.0, 1.0}));

  HLR_Edge& whole = edge({4.0f, 4.0f, 4.0f}, {8.0f, 6.0f, 2.0f});
  hide_start(whole, 1.0);
  const auto& pieces = hidden();
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_TRUE(same_bits(pieces[1].double_points[0], KT_Point_D{4.0, 4.0, 4.0}));
  EXPECT_TRUE(same_bits(pieces[1].double_points[1], KT_Point_D{8.0, 6.0, 2.0}));
}

TEST_F(Emission, EdgesGoOutInCaptureOrderWithAscendingPieces) {
  HLR_Edge& first = edge({0.0f, 0.0f, 0.0f}, {100.0f, 0.0f, 0.0f});
  edge({0.0f, 9.0f, 0.0f}, {100.0f, 9.0f, 0.0f});
  hide_interval(first, 0.25, 0.5);
  hide_interval(first, 0.625, 0.75);
  const auto& shown = visible();
  ASSERT_EQ(shown.size(), 4u);
  expect_piece(shown[0], 1, 0.0f, 25.0f);
  expect_piece(shown[1], 1, 50.0f, 62.5f);
  expect_piece(shown[2], 1, 75.0f, 100.0f);
  expect_piece(shown[3], 1, 0.0f, 100.0f);
  EXPECT_EQ(shown[3].float_points[0].y, 9.0f);
}

}  // namespace
