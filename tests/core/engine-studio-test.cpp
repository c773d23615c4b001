// Studio changes from the engine: run as activities against the pretend
// REAPER, spoken when done, failures noted, and a plan that gives way to a
// newer activity.

#include "core/studio-desk.h"
#include "engine-fixture.h"
#include "studio/pretend-reaper.h"
#include "studio/reaper-adapter.h"

namespace orvo {
namespace {

struct EngineStudioTest : EngineTest {
  testing::PretendReaper reaper{"{ tracks = { { name = 'Kick' }, { name = 'Snare' } } }"};
  ReaperAdapter adapter;
  EngineStudioTest() {
    daw = &adapter;
    spoken();
    engine = makeEngine();
    spoken();
  }
  std::string mistakes() { return files::readFile(home / "mistakes.txt").value_or(""); }
  static PlanStep add(const std::string& fx) {
    return {"add " + fx, [fx](const DawState&) -> std::optional<DawOp> {
              return dawop::FxAdd{1, fx};
            }};
  }
};

TEST_F(EngineStudioTest, ChangesAndPlansAreSpokenAndFailuresNoted) {
  engine->studioDesk().perform(dawop::VolumeTo{2, -12});
  EXPECT_EQ(spokenOne(), "Snare is at minus 12 decibels. It was 0 decibels.");
  EXPECT_EQ(mistakes(), "");
  EXPECT_EQ(engine->studioDesk().daw().history.size(), 1u);

  engine->studioDesk().perform(dawop::VolumeTo{2, -100});
  EXPECT_EQ(spokenOne(), "Volume has to be between minus 90 and plus 12 decibels.");
  EXPECT_NE(mistakes().find("a studio action failed"), std::string::npos);

  engine->runPlan({add("ReaEQ"), add("ReaComp")});
  EXPECT_EQ(
      spokenOne(),
      "ReaEQ, VST is now on Kick, which has 1 plug-in. ReaComp, VST is now on Kick, which has 2 "
      "plug-ins. Say undo to step back, or ask what I changed.");

  // A newer activity (a press, another request) stops the plan before its next step.
  PlanStep interrupting = add("ReaGate");
  auto inner = interrupting.op;
  interrupting.op = [this, inner](const DawState& state) {
    engine->run([](int) {});
    return inner(state);
  };
  engine->runPlan({interrupting, add("ReaLimit")});
  spoken();
  EXPECT_EQ(reaper.eval("return #mock_track(1).fx"), "3");
}

}  // namespace
}  // namespace orvo
