// Running picture scripts against a small stand-in renderer: each statement
// reaches the renderer the way the host would deliver it, renditions are
// the host's copy-on-write handles, and every reference is dropped at the
// end.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "counted.h"
#include "recording_renderer.h"
#include "tool/common/errors.h"
#include "tool/script/picture_script.h"
#include "tool/script/script_runner.h"

namespace {

using namespace hlr_tool;

// A renderer just big enough to show what the runner does. Before
// `establish` its entries pass every call on unchanged. `establish`
// reports the colour system it sees (forward KIND) and from then on keeps
// every form-1 polyline with a counted reference on its rendition, sending
// them on at `update`, followed by an empty polyline in the rendition the
// host hands out for the renderer. `begin_picture` forwards its option
// "Halo Gap" from both tables. With a fault set it fails at `update`, or
// keeps a reference on its own rendition past its life (a leak the runner
// must notice; the test releases it afterwards).
enum class Fault { none, fail, leak };
Fault fault = Fault::none;
KT_Rendition leaked_rendition;

class Stand_In_Renderer : public KT_Renderer_Data {
 public:
  explicit Stand_In_Renderer(const KT_Renderer_Data* next) : KT_Renderer_Data(next) {
    set_standard_actions(false);
    for (KT_Option_Table* table : {&option_table, &current_option_table}) {
      table->add(KT_Option(L"Halo Gap", KT_Option_Enum::scope_renderer, 0));
    }
  }

  int establish() override {
    if (fault == Fault::leak) leaked_rendition = renderer_rendition;
    forward(renderer_options().color_system().kind);
    actions.install(KT_Actions::polyline_form<1>(), this, &keep_polyline, 0, 1);
    return 0;
  }

  void begin_picture() override {
    forward(current_option_table.find(L"Halo Gap")->integer_value());
    forward(option_table.find(L"Halo Gap")->integer_value());
  }

  void update() override {
    if (fault == Fault::fail) throw std::runtime_error("no room for the picture");
    for (const Kept_Polyline& kept : kept_) {
      next->actions.call(KT_Actions::polyline_form<1>(), kept.rendition,
                         static_cast<int>(kept.points.size()), kept.points.data());
    }
    const KT_Rendition own(this);
    next->actions.call(KT_Actions::polyline_form<1>(), own, 0,
                       static_cast<const KT_Point*>(nullptr));
  }

  void end_picture() override { kept_.clear(); }

 private:
  struct Kept_Polyline {
    KT_Rendition rendition;
    std::vector<KT_Point> points;
  };

  static void keep_polyline(KT_Renderer_Data* receiver, const KT_Rendition& rendition, int count,
                            const KT_Point* points) {
    auto* self = static_cast<Stand_In_Renderer*>(receiver);
    self->kept_.push_back({rendition, std::vector<KT_Point>(points, points + count)});
  }

  void forward(int argument) { next->actions.call(KT_Actions::forwarded_action_action, argument); }

  std::vector<Kept_Polyline> kept_;
};

KT_Renderer_Data* make_stand_in(const KT_Renderer_Data* const* next) {
  return new Stand_In_Renderer(*next);
}

// A renderer that registers no options at all.
KT_Renderer_Data* make_bare(const KT_Renderer_Data* const* next) {
  auto* renderer = new KT_Renderer_Data(*next);
  renderer->set_standard_actions(false);
  return renderer;
}

class ScriptRunning : public ::testing::Test {
 protected:
  void SetUp() override { live_before_ = KT_Counted::live_objects(); }
  void TearDown() override { EXPECT_EQ(KT_Counted::live_objects(), live_before_); }

  static std::vector<KT_Recorded_Call> run(const std::string& text,
                                           KD_Renderer_Function create = &make_stand_in) {
    return run_picture_script(parse_picture_script(text, "t.pic"), create);
  }
  static std::string trace_of(const std::string& text) {
    std::ostringstream out;
    write_trace(out, run(text));
    return out.str();
  }

  std::int64_t live_before_ = 0;
};

TEST_F(ScriptRunning, ChangingARenditionLeavesWhatWasCapturedAndOtherRenditionsAlone) {
  const std::vector<KT_Recorded_Call> calls =
      run("rendition r color FF111111 clip 0 10 0 10\n"
          "establish\n"
          "polyline f r 0 0 0 1 1 1\n"
          "rendition r color FF222222 pattern 2 clip 5 6 7 8\n"
          "polyline f r 2 2 2 3 3 3\n"
          "rendition default color FF333333 pattern 1\n"
          "rendition s\n"
          "rendition default color FF444444 pattern 0\n"
          "polyline f s 4 4 4 5 5 5\n"
          "update\n");
  std::vector<std::string> lines;
  for (const KT_Recorded_Call& call : calls) lines.push_back(trace_line(call));
  const std::vector<std::string> expected = {
      "forward 0",
      "polyline 1 color=FF111111 pattern=0 2 0 0 0 1 1 1",
      "polyline 1 color=FF222222 pattern=2 2 2 2 2 3 3 3",
      "polyline 1 color=FF333333 pattern=1 2 4 4 4 5 5 5",  // s began as default was then
      "polyline 1 color=FF444444 pattern=0 0",              // what the host hands out at update
  };
  EXPECT_EQ(lines, expected);
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[1].clip_rectangle, (KT_Int_Rectangle{0, 10, 0, 10}));
  EXPECT_EQ(calls[2].clip_rectangle, (KT_Int_Rectangle{5, 6, 7, 8}));
  EXPECT_EQ(calls[3].clip_rectangle, (KT_Int_Rectangle{0, 1000, 0, 1000}));
}

// Options go to the current table only; the colour system reaches the
// renderer's own options from the next establish on.
TEST_F(ScriptRunning, OptionsGoToTheCurrentTableAndColourSystemToTheOwnOptions) {
  EXPECT_EQ(trace_of("color_system 1\noption \"Halo Gap\" -3\nestablish\nbegin_picture\n"
                     "color_system 2\nestablish\n"),
            "forward 1\nforward -3\nforward 0\nforward 2\n");
}

// A renderer that keeps host objects alive, fails in a stage or lacks an
// option ends the run with status 1 and a message naming the script (and
// the statement); everything is released either way.
TEST_F(ScriptRunning, RendererFaultsAreFailuresOfTheRun) {
  const struct {
    Fault fault;
    KD_Renderer_Function create;
    const char* script;
    const char* message;
  } cases[] = {
      // The renderer's own rendition: its data and its line style.
      {Fault::leak, &make_stand_in, "establish\n",
       "t.pic: 2 host objects are still alive after the renderer was released"},
      {Fault::fail, &make_stand_in,
       "rendition r color FF010203\nestablish\npolyline f r 0 0 0 1 1 1\nupdate\n",
       "t.pic:4: the renderer failed: no room for the picture"},
      {Fault::none, &make_bare, "establish\noption \"Halo Gap\" 1\n",
       "t.pic:2: the renderer module has no option \"Halo Gap\""},
  };
  for (const auto& c : cases) {
    fault = c.fault;
    try {
      run(c.script, c.create);
      ADD_FAILURE() << c.message;
    } catch (const Tool_Error& error) {
      EXPECT_STREQ(error.what(), c.message);
      EXPECT_EQ(error.exit_status(), 1);
    }
    fault = Fault::none;
    leaked_rendition.reset();
  }
}

}  // namespace
