// The stages: the actions establish installs for each colour system, and
// end_picture. Calls before establish, the absorbed and ignored actions of
// colour system 1, and clear in the middle of a picture are pinned by the
// golden traces colour_system and clear_mid_picture.
#include "renderer_fixture.h"

namespace {

using Stages = Renderer_Test;

TEST_F(Stages, EstablishInstallsTheRendererAtTheListedPositionsForEachColourSystem) {
  for (int kind : {0, 1, 2}) {
    SCOPED_TRACE(kind);
    renderer_->set_standard_actions(false);
    renderer_->own_renderer_options.set_color_system({kind, 8});
    EXPECT_EQ(renderer_->establish(), 0);
    std::vector<int> installed;
    for (int position = 0; position < action_count; ++position) {
      const action_entry& entry = renderer_->actions[position];
      EXPECT_EQ(entry.receiver, renderer_) << position;
      if (entry.function == standard_action(position)) continue;
      installed.push_back(position);
      EXPECT_EQ(entry.word, 0) << position;
      EXPECT_EQ(entry.flag, 1) << position;
    }
    std::vector<int> expected;
    for (int p = 0; p <= 14; ++p) expected.push_back(p);
    for (int p = 20; p <= 34; ++p) expected.push_back(p);
    // The ignored pair: palette_begin/end in colour system 1, else
    // direct_color_begin/end.
    for (int p : {51, 75, kind == 1 ? 86 : 90, kind == 1 ? 87 : 91, 100, 104, 105}) {
      expected.push_back(p);
    }
    EXPECT_EQ(installed, expected);
  }
}

TEST_F(Stages, EndPictureEmptiesTheStoreAndMayRepeat) {
  const std::int64_t live_empty = KT_Counted::live_objects();
  renderer_->establish();
  renderer_->begin_picture();
  {
    const KT_Rendition rendition = KT_Rendition::create();
    const KT_Point square[4] = {{10, 10, 1}, {90, 10, 1}, {10, 90, 1}, {90, 90, 1}};
    renderer_->actions.call(KT_Actions::face<1>(KT_Actions::triangle_strip), rendition, 4, square,
                            nullptr, nullptr);
    renderer_->actions.call(KT_Actions::polyline_form<1>(), rendition, 2, square);
    renderer_->actions.call(KT_Actions::marker_action, rendition, 1, square);
  }
  renderer_->update();
  renderer_->end_picture();
  renderer_->end_picture();
  EXPECT_EQ(renderer_->face_index, nullptr);
  EXPECT_EQ(renderer_->face_list.count, 0u);
  EXPECT_EQ(renderer_->edge_list.count, 0u);
  EXPECT_EQ(renderer_->extent.x_min, 1e28f);
  // The recorder keeps copies of what it saw, not references.
  EXPECT_EQ(KT_Counted::live_objects(), live_empty);
}

}  // namespace
