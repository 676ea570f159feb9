#include "renderer_fixture.h"

namespace {

using Stages = Renderer_Test;

const KT_Point square[4] = {{10, 10, 1}, {90, 10, 1}, {10, 90, 1}, {90, 90, 1}};
const KT_Point line[2] = {{0, 50, 5}, {100, 50, 5}};

void send_picture(HLR_Renderer& renderer, const KT_Rendition& rendition) {
  renderer.actions.call(KT_Actions::face<1>(KT_Actions::triangle_strip), rendition, 4, square,
                        nullptr, nullptr);
  renderer.actions.call(KT_Actions::polyline_form<1>(), rendition, 2, line);
}

TEST_F(Stages, BeforeEstablishPrimitivesPassToNextUnchanged) {
  const KT_Rendition rendition = KT_Rendition::create();
  renderer_->begin_picture();
  send_picture(*renderer_, rendition);
  ASSERT_EQ(recorder_->calls().size(), 2u);
  EXPECT_EQ(recorder_->calls()[0].kind, KT_Recorded_Call::Kind::face);
  EXPECT_EQ(recorder_->calls()[0].count, 4);
  EXPECT_EQ(recorder_->calls()[1].kind, KT_Recorded_Call::Kind::polyline);
  EXPECT_EQ(renderer_->face_list.count, 0u);
  EXPECT_EQ(renderer_->edge_list.count, 0u);
}

TEST_F(Stages, EstablishInstallsTheRendererAtTheListedPositions) {
  EXPECT_EQ(renderer_->establish(), 0);
  std::vector<int> installed;
  for (int position = 0; position < action_count; ++position) {
    const action_entry& entry = renderer_->actions[position];
    if (entry.function != standard_action(position)) {
      installed.push_back(position);
      EXPECT_EQ(entry.receiver, renderer_) << position;
      EXPECT_EQ(entry.word, 0) << position;
      EXPECT_EQ(entry.flag, 1) << position;
    } else {
      EXPECT_EQ(entry.receiver, renderer_) << position;
    }
  }
  std::vector<int> expected;
  for (int p = 0; p <= 14; ++p) expected.push_back(p);
  for (int p = 20; p <= 34; ++p) expected.push_back(p);
  for (int p : {51, 75, 90, 91, 100, 104, 105}) expected.push_back(p);
  EXPECT_EQ(installed, expected);
}

TEST_F(Stages, IgnoredPairFollowsTheColourSystem) {
  for (int kind : {0, 1, 2}) {
    auto* recorder = new KT_Recording_Renderer;
    recorder->add_reference();
    const KT_Renderer_Data* next = recorder;
    KT_Renderer_Data* renderer = KD_Renderer(&next);
    renderer->add_reference();
    renderer->own_renderer_options.set_color_system({kind, 8});
    renderer->establish();
    const bool palette = kind == 1;
    EXPECT_EQ(renderer->actions[86].function != standard_action(86), palette) << kind;
    EXPECT_EQ(renderer->actions[87].function != standard_action(87), palette) << kind;
    EXPECT_EQ(renderer->actions[90].function != standard_action(90), !palette) << kind;
    EXPECT_EQ(renderer->actions[91].function != standard_action(91), !palette) << kind;
    // An ignored action reaches nobody; a standard one passes on.
    renderer->actions.call(KT_Actions::plain(palette ? 86 : 90));
    renderer->actions.call(KT_Actions::plain(palette ? 90 : 86));
    ASSERT_EQ(recorder->calls().size(), 1u);
    EXPECT_EQ(recorder->calls()[0].position, palette ? 90 : 86);
    renderer->drop_reference();
    recorder->drop_reference();
  }
}

TEST_F(Stages, PositionedItemIsAbsorbed) {
  renderer_->establish();
  const KT_Rendition rendition = KT_Rendition::create();
  const KT_Point where{1, 2, 3};
  renderer_->actions.call(KT_Actions::positioned_item_action, rendition, &where, nullptr);
  renderer_->actions.call(KT_Actions::plain(KT_Actions::flush_hint));
  EXPECT_TRUE(recorder_->calls().empty());
}

TEST_F(Stages, ClearActionDropsThePictureAndReachesNext) {
  renderer_->establish();
  renderer_->begin_picture();
  const KT_Rendition rendition = KT_Rendition::create();
  send_picture(*renderer_, rendition);
  ASSERT_EQ(renderer_->face_list.count, 2u);
  ASSERT_EQ(renderer_->edge_list.count, 1u);
  EXPECT_EQ(renderer_->actions.call(KT_Actions::clear_action_action, 7), 7);
  EXPECT_EQ(renderer_->face_list.head, nullptr);
  EXPECT_EQ(renderer_->edge_list.count, 0u);
  EXPECT_EQ(renderer_->extent.x_min, 1e28f);
  EXPECT_EQ(renderer_->extent.x_max, 0.0f);
  ASSERT_EQ(recorder_->calls().size(), 1u);
  EXPECT_EQ(recorder_->calls()[0].kind, KT_Recorded_Call::Kind::clear);
  EXPECT_EQ(recorder_->calls()[0].argument, 7);
  EXPECT_EQ(renderer_->actions.call(KT_Actions::forwarded_action_action, -3), -3);
  EXPECT_EQ(recorder_->calls().back().kind, KT_Recorded_Call::Kind::forward);
}

TEST_F(Stages, EndPictureEmptiesTheStoreAndMayRepeat) {
  const std::int64_t live_empty = KT_Counted::live_objects();
  renderer_->establish();
  renderer_->begin_picture();
  {
    const KT_Rendition rendition = KT_Rendition::create();
    send_picture(*renderer_, rendition);
  }
  renderer_->update();
  EXPECT_NE(renderer_->face_index, nullptr);
  renderer_->end_picture();
  renderer_->end_picture();
  EXPECT_EQ(renderer_->face_index, nullptr);
  EXPECT_EQ(renderer_->face_list.count, 0u);
  // The recorder keeps copies of what it saw, not references.
  EXPECT_EQ(KT_Counted::live_objects(), live_empty);
}

}  // namespace
