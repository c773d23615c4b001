// Carrying out studio changes against the pretend REAPER: limits answered
// before anything is sent, every change looked for in a fresh snapshot, the
// history, and plans that stop at their first failing step.

#include "studio/daw.h"

#include "matchers.h"
#include "studio/reaper-adapter.h"
#include "studio/reaper-link.h"
#include "studio/temp-reaper.h"

namespace orvo {
namespace {

using testing::PretendReaper;

// REAPER's adapter, counting what crosses the link.
class CountingAdapter final : public DawAdapter {
 public:
  std::string name() override { return reaper.name(); }
  std::optional<DawState> state() override {
    ++requests;
    return reaper.state();
  }
  std::optional<std::string> send(const std::vector<std::string>& args, double timeout) override {
    ++requests;
    sent.push_back(args.empty() ? "" : args[0]);
    return reaper.send(args, timeout);
  }
  std::string spokenFx(const std::string& fx) override { return reaper.spokenFx(fx); }
  ReaperAdapter reaper;
  int requests = 0;
  std::vector<std::string> sent;
};

const char* kSession = R"lua({
  tracks = {
    { name = "Lead Vocals", db = -6, items = 2, selected = true, fx = { "VST: ReaComp (Cockos)" } },
    { name = "Kick", items = 1, solo = true },
    { name = "Reverb Bus", fx = { "VST: ReaVerbate (Cockos)", "VST: ReaDelay (Cockos)" } },
  },
})lua";

struct DawTest : ::testing::Test {
  explicit DawTest(const char* project = kSession) : reaper(project) {}
  PretendReaper reaper;
  CountingAdapter adapter;
  std::time_t clock = 1'800'000'000;
  Daw daw{adapter, [this] { return clock++; }};
  std::string said(const DawOp& op) { return daw.perform(op).said; }
  std::vector<std::string> history() {
    std::vector<std::string> out;
    for (const DawChange& change : daw.history) out.push_back(change.what);
    return out;
  }
};

TEST_F(DawTest, LimitsAreAnsweredBeforeAnythingIsSent) {
  EXPECT_EQ(said(dawop::VolumeTo{1, -100}),
            "Volume has to be between minus 90 and plus 12 decibels.");
  EXPECT_EQ(said(dawop::VolumeTo{1, 12.5}),
            "Volume has to be between minus 90 and plus 12 decibels.");
  EXPECT_EQ(said(dawop::Tempo{401}), "Tempo has to be between 20 and 400.");
  EXPECT_EQ(said(dawop::Delete{0}), "The master track cannot be deleted.");
  EXPECT_EQ(said(dawop::Send{2, 2, -10}), "A track cannot send to itself.");
  EXPECT_EQ(adapter.requests, 0);
  EXPECT_EQ(daw.lastSaid, "A track cannot send to itself.");

  // Checks against the project send nothing but the snapshot.
  EXPECT_EQ(said(dawop::VolumeTo{9, -3}), "There is no track 9. The project has 3.");
  EXPECT_EQ(said(dawop::FxBypass{1, 4}), "Lead Vocals has no plug-in number 5.");
  EXPECT_EQ(said(dawop::AllOff{"mute"}), "No track had mute on.");
  EXPECT_EQ(said(dawop::Send{3, 3, 0}), "A track cannot send to itself.");
  EXPECT_EQ(adapter.sent, std::vector<std::string>{});
  EXPECT_TRUE(daw.history.empty());
}

TEST_F(DawTest, TrackChangesAreConfirmedAndKeptInTheHistory) {
  DawResult volume = daw.perform(dawop::VolumeTo{2, -10});
  EXPECT_TRUE(volume.ok);
  EXPECT_EQ(volume.said, "Kick is at minus 10 decibels. It was 0 decibels.");
  EXPECT_EQ(said(dawop::PanTo{2, -30}), "Kick is panned 30 percent left.");
  EXPECT_EQ(said(dawop::Flag{1, "mute", true}), "Lead Vocals is muted.");
  EXPECT_EQ(said(dawop::Flag{3, "arm", true}), "Reverb Bus is armed for recording.");
  EXPECT_EQ(said(dawop::AllOff{"solo"}), "Solo is off on every track. It was on for Kick.");
  EXPECT_EQ(said(dawop::Rename{3, "Space"}), "Track 3 is now called Space. It was Reverb Bus.");
  EXPECT_EQ(
      said(dawop::Duplicate{1, "Double"}),
      "Lead Vocals is duplicated. The copy is track 2, called Double, with the same 1 plug-in.");
  EXPECT_EQ(said(dawop::MoveBelow{2, 4}), "Double is now track 4, just below Space.");
  EXPECT_EQ(said(dawop::Send{1, 3, -15}), "Lead Vocals now sends to Space at minus 15 decibels.");
  EXPECT_EQ(said(dawop::Send{1, 3, -15}), "Lead Vocals already sends to Space.");
  EXPECT_EQ(
      said(dawop::NewTrack{true, "Keys", "ReaSynth"}),
      "New instrument track, number 5, called Keys, with ReaSynth, VST. It is armed and selected.");
  EXPECT_EQ(said(dawop::NewTrack{false, "Ghost", "NoSuchSynth"}),
            "I made track 6, but NoSuchSynth did not load on it.");
  EXPECT_EQ(said(dawop::Select{2}), "Kick, track 2, at minus 10 decibels.");
  EXPECT_EQ(daw.lastTrack, 2);
  EXPECT_EQ(said(dawop::Delete{6}), "Ghost is deleted. Say undo to bring it back.");
  EXPECT_EQ(said(dawop::Tempo{96}), "Tempo is 96. It was 120.");
  EXPECT_EQ(history(), (std::vector<std::string>{
                           "volume of Kick from 0 decibels to minus 10 decibels",
                           "pan of Kick to 30 percent left",
                           "muted Lead Vocals",
                           "armed for recording Reverb Bus",
                           "clear every solo",
                           "renamed Reverb Bus to Space",
                           "duplicated Lead Vocals as Double",
                           "moved Double below Space",
                           "send from Lead Vocals to Space",
                           "new track Keys",
                           "new track Ghost",
                           "deleted Ghost",
                           "tempo from 120 to 96",
                       }));
  EXPECT_EQ(daw.history.front().at, 1'800'000'000);
  EXPECT_EQ(daw.lastChange, daw.history.back().at);

  // Undo takes back the newest change and its history entry.
  EXPECT_EQ(said(dawop::Undo{}), "Undone: set a tempo.");
  EXPECT_EQ(daw.history.back().what, "deleted Ghost");
  EXPECT_EQ(said(dawop::Redo{}), "Redone: set a tempo.");
}

TEST_F(DawTest, PlugInsParametersAndPresets) {
  EXPECT_EQ(said(dawop::FxAdd{2, "flanger made of cheese"}),
            "I could not find a plug-in called flanger made of cheese.");
  EXPECT_TRUE(daw.history.empty());
  EXPECT_EQ(said(dawop::FxAdd{2, "ReaComp"}), "ReaComp, VST is now on Kick, which has 1 plug-in.");
  EXPECT_EQ(daw.lastFx, (std::pair<int, int>{2, 0}));

  // Threshold is at the top: a nudge up is refused, a little down moves 0.03.
  EXPECT_EQ(said(dawop::ParamNudge{2, 0, 0, 0.03}),
            "Thresh is already as high as it goes, at 0.0 dB.");
  EXPECT_EQ(said(dawop::ParamNudge{2, 0, 0, -0.03}),
            "Thresh on ReaComp, VST is now -1.8 dB. It was 0.0 dB.");
  EXPECT_EQ(reaper.eval("return string.format('%.2f', mock_track(2).fx[1].params[1].norm)"),
            "0.97");
  EXPECT_DOUBLE_EQ(daw.lastNudge, -0.03);
  EXPECT_EQ(daw.lastParam, 0);
  EXPECT_EQ(said(dawop::ParamTo{2, 0, 2, 125}),
            "Attack on ReaComp, VST is now 125.0 ms. It was 45.0 ms.");
  EXPECT_EQ(said(dawop::ParamTo{2, 0, 2, 900}),
            "Attack cannot go there. It goes from 0.0 to 500.0.");
  EXPECT_EQ(said(dawop::ParamTo{2, 0, 7, 1}), "That plug-in has no such setting.");

  EXPECT_EQ(said(dawop::Preset{2, 0, ""}),
            "ReaComp, VST is not on a named preset. It has 3 to choose from.");
  EXPECT_EQ(said(dawop::Preset{2, 0, "vocal"}),
            "ReaComp, VST is now on the preset Vocal. Say undo to go back.");
  EXPECT_EQ(said(dawop::Preset{2, 0, "next"}),
            "ReaComp, VST is now on the preset Gentle. Say undo to go back.");
  EXPECT_EQ(said(dawop::Preset{2, 0, ""}), "ReaComp, VST is on the preset Gentle.");
  EXPECT_EQ(said(dawop::Preset{2, 0, "Shiny"}),
            "I could not find a preset called Shiny on ReaComp, VST.");
  EXPECT_EQ(said(dawop::Preset{3, 1, "next"}), "ReaDelay, VST has no presets that REAPER can see.");

  EXPECT_EQ(said(dawop::FxBypass{3, 1}), "ReaDelay, VST on Reverb Bus is bypassed.");
  EXPECT_EQ(said(dawop::FxBypass{3, 1}), "ReaDelay, VST on Reverb Bus is switched on.");
  EXPECT_EQ(said(dawop::FxRemove{3, 0}),
            "ReaVerbate, VST is removed from Reverb Bus. Say undo to bring it back.");
  EXPECT_EQ(history(), (std::vector<std::string>{
                           "added ReaComp to Kick",
                           "change Thresh on ReaComp, VST from 0.0 dB to -1.8 dB",
                           "change Attack on ReaComp, VST from 45.0 ms to 125.0 ms",
                           "preset Vocal on ReaComp, VST",
                           "preset Gentle on ReaComp, VST",
                           "bypassed ReaDelay, VST on Reverb Bus",
                           "switched on ReaDelay, VST on Reverb Bus",
                           "removed ReaVerbate, VST from Reverb Bus",
                       }));
}

TEST_F(DawTest, TheTransportAndNothingToUndo) {
  EXPECT_EQ(said(dawop::Undo{}), "Nothing to undo.");
  EXPECT_EQ(said(dawop::Redo{}), "Nothing to redo.");
  EXPECT_EQ(said(dawop::Transport{"play"}), "Playing.");
  EXPECT_EQ(said(dawop::Transport{"play"}), "Playing.");  // not toggled off again
  EXPECT_EQ(said(dawop::Transport{"stop"}), "Stopped.");
  EXPECT_EQ(said(dawop::Transport{"record"}), "Recording.");
  EXPECT_EQ(said(dawop::Transport{"start"}), "At the start.");
  EXPECT_TRUE(daw.history.empty());
}

struct StubbornStudio : DawTest {
  StubbornStudio()
      : DawTest(R"lua({ ignore = { volume = true, rename = true }, recordFails = true,
                     tracks = { { name = "Kick" }, { name = "Snare" } } })lua") {}
};

TEST_F(StubbornStudio, ChangesTheProjectDoesNotShowAreNeverClaimed) {
  DawResult result = daw.perform(dawop::VolumeTo{1, -10});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.said,
            "I asked REAPER to set the volume of Kick, but I cannot confirm that it happened.");
  EXPECT_EQ(said(dawop::Rename{2, "Clap"}),
            "I asked REAPER to rename Snare, but I cannot confirm that it happened.");
  EXPECT_EQ(said(dawop::Transport{"record"}), "Recording did not start.");
  EXPECT_TRUE(daw.history.empty());

  // A REAPER that never answers: nothing is changed, on the link's own time limit.
  reaper.pumping(false);
  const double before = reaper.clock();
  EXPECT_EQ(said(dawop::Tempo{90}), "REAPER is not answering, so I have not changed anything.");
  EXPECT_NEAR(reaper.clock() - before, 3.0, 0.05);
}

TEST_F(DawTest, APlanStopsAtItsFirstFailingStepAndKeepsWhatWasDone) {
  auto add = [](std::string fx) {
    return [fx](const DawState&) -> std::optional<DawOp> { return dawop::FxAdd{1, fx}; };
  };
  // The second step sees the project the first left: the EQ is its last plug-in.
  auto bypassLast = [](const DawState& state) -> std::optional<DawOp> {
    return dawop::FxBypass{1, static_cast<int>(state.track(1)->fx.size()) - 1};
  };
  DawResult done =
      daw.runPlan({{"add an EQ", add("ReaEQ")}, {"bypass it", bypassLast}}, [] { return true; });
  EXPECT_TRUE(done.ok);
  EXPECT_EQ(done.said,
            "ReaEQ, VST is now on Lead Vocals, which has 2 plug-ins. ReaEQ, VST on Lead Vocals is "
            "bypassed. "
            "Say undo to step back, or ask what I changed.");

  DawResult stopped = daw.runPlan({{"add a gate", add("ReaGate")},
                                   {"add a flanger", add("flanger")},
                                   {"add a limiter", add("ReaLimit")}},
                                  [] { return true; });
  EXPECT_FALSE(stopped.ok);
  EXPECT_EQ(
      stopped.said,
      "ReaGate, VST is now on Lead Vocals, which has 3 plug-ins. I could not find a plug-in called "
      "flanger. I stopped there. Say undo to step back, or ask what I changed.");
  EXPECT_EQ(reaper.eval("return #mock_track(1).fx"), "3");  // the gate stays
  EXPECT_EQ(daw.history.size(), 3u);

  auto nothing = [](const DawState&) -> std::optional<DawOp> { return std::nullopt; };
  EXPECT_EQ(
      daw.runPlan({{"reverb bus", nothing}}, [] { return true; }).said,
      "I could not work out the reverb bus step, so I stopped there. Say undo to step back, or ask "
      "what I changed.");
  // A plan whose engine has stopped runs no more steps.
  int asked = 0;
  daw.runPlan({{"add a limiter", add("ReaLimit")}}, [&] { return ++asked > 1; });
  EXPECT_EQ(reaper.eval("return #mock_track(1).fx"), "3");
}

TEST_F(DawTest, TheLastTrackIsForgottenOnceAnotherTakesItsPlace) {
  ASSERT_TRUE(daw.perform(dawop::Flag{2, "mute", true}).ok);
  EXPECT_EQ(daw.lastTrack, 2);
  // Renamed by our own change: still the track spoken about.
  ASSERT_TRUE(daw.perform(dawop::Rename{2, "Kick In"}).ok);
  daw.look();
  EXPECT_EQ(daw.lastTrack, 2);
  // Deleted in the studio itself: Reverb Bus is now track 2, and not the one meant.
  reaper.eval("reaper.DeleteTrack(reaper.GetTrack(0, 1))");
  daw.look();
  EXPECT_FALSE(daw.lastTrack);
}

}  // namespace
}  // namespace orvo
