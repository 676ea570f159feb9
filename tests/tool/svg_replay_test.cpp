// Drawing recorded calls: the drawing area spans the clip rectangles of the
// calls that draw, and each call reaches the SVG renderer in its own form
// with its recorded colour, pattern and clip rectangle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "counted.h"
#include "tool/drawing/svg_replay.h"

namespace {

using namespace hlr_tool;
using Kind = KT_Recorded_Call::Kind;

KT_Recorded_Call polyline_call(int form, KT_Int_Rectangle clip, std::uint32_t argb = 0xFF000000u,
                               int pattern = 0) {
  KT_Recorded_Call call;
  call.kind = Kind::polyline;
  call.position = KT_Actions::polyline + form - 1;
  call.form = form;
  call.color = KT_RGB32::from_argb(argb);
  call.line_pattern = pattern;
  call.clip_rectangle = clip;
  return call;
}

TEST(Svg_Replay, DrawingAreaSpansTheClipRectanglesOfDrawingCalls) {
  std::vector<KT_Recorded_Call> calls;
  EXPECT_EQ(drawing_area_of(calls), (KT_Int_Rectangle{0, 1000, 0, 1000}));
  calls.push_back(polyline_call(1, {10, 100, 20, 80}));
  KT_Recorded_Call marker;
  marker.kind = Kind::marker;
  marker.clip_rectangle = {-50, 50, 0, 200};
  calls.push_back(marker);
  // Neither a face nor an empty clip rectangle counts.
  KT_Recorded_Call face;
  face.kind = Kind::face;
  face.clip_rectangle = {-5000, 5000, -5000, 5000};
  calls.push_back(face);
  calls.push_back(polyline_call(2, {500, 400, 0, 10}));
  EXPECT_EQ(drawing_area_of(calls), (KT_Int_Rectangle{-50, 100, 0, 200}));
}

TEST(Svg_Replay, EveryFormIsReplayedWithItsRendition) {
  const std::int64_t live_before = KT_Counted::live_objects();
  std::vector<KT_Recorded_Call> calls;
  // Form 1 is clipped to its rectangle, form 2 is not; form 3 integers,
  // form 5 doubles; the hidden piece (pattern 1) goes to the hidden layer.
  calls.push_back(polyline_call(1, {0, 100, 0, 100}, 0xFF112233u));
  calls.back().float_points = {{-10, 10, 1}, {50, 10, 1}};
  calls.push_back(polyline_call(2, {0, 100, 0, 100}, 0xFF112233u));
  calls.back().float_points = {{50, 10, 1}, {150, 10, 1}};
  calls.push_back(polyline_call(3, {0, 100, 0, 100}, 0xFF000000u, 1));
  calls.back().integer_points = {{10, 90, 0}, {10, 120, 0}};
  calls.push_back(polyline_call(5, {0, 100, 0, 100}, 0xFF000000u, 4));
  calls.back().double_points = {{20.5, 20.5, 0}, {30.5, 30.5, 0}};
  KT_Recorded_Call marker;
  marker.kind = Kind::marker;
  marker.color = KT_RGB32::from_argb(0xFFFF0000u);
  marker.clip_rectangle = {0, 100, 0, 100};
  marker.float_points = {{5, 5, 0}, {150, 5, 0}};  // the second outside its clip rectangle
  calls.push_back(marker);

  // In order: each layer, then what it holds. The clipped form-1 piece and
  // the unclipped form-2 piece join.
  const std::string svg = svg_of_calls(calls);
  std::size_t at = 0;
  for (const char* fragment :
       {"<g id=\"hidden\"", "<polyline points=\"10,10 10,0\"/>", "<g id=\"visible\"",
        "<g stroke=\"#112233\">\n<polyline points=\"0,90 50,90 150,90\"/>",
        "<g id=\"intersections\"", "<polyline points=\"20.5,79.5 30.5,69.5\"/>",
        "<g id=\"markers\"",
        "<g fill=\"#FF0000\">\n<circle cx=\"5\" cy=\"95\" r=\"1.5\"/>\n</g>"}) {
    at = svg.find(fragment, at);
    ASSERT_NE(at, std::string::npos) << fragment << "\n" << svg;
  }
  EXPECT_EQ(KT_Counted::live_objects(), live_before);
}

}  // namespace
