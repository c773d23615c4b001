// Understanding studio requests against the fixed pretend project: one
// table per group of families, each row a sentence and what it becomes,
// with sentences an earlier family must win.

#include "studio/daw-understand.h"

#include <sstream>

#include "matchers.h"
#include "studio/reaper-adapter.h"
#include "studio/reaper-link.h"
#include "studio/reaper-scripts.h"
#include "studio/temp-reaper.h"

namespace orvo {
namespace {

// The routing trace's fixed project.
const std::string kProject(reaperscripts::pretendProject);

// What understanding made of a sentence, in one line a table can hold.
std::string shown(const std::optional<DawAsk>& ask) {
  if (!ask) return "not studio";
  std::ostringstream out;
  switch (ask->kind) {
    case DawAsk::Kind::say:
      return "say: " + ask->text;
    case DawAsk::Kind::question:
      return "ask: " + ask->text;
    case DawAsk::Kind::plan: {
      out << "plan:";
      for (const PlanStep& step : ask->steps) out << " [" << step.what << "]";
      return out.str();
    }
    case DawAsk::Kind::op:
      break;
  }
  std::visit(
      [&](const auto& op) {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, dawop::Select>) out << "select " << op.track;
        if constexpr (std::is_same_v<T, dawop::FxAdd>) out << "fxAdd " << op.track << " " << op.fx;
        if constexpr (std::is_same_v<T, dawop::FxRemove>)
          out << "fxRemove " << op.track << " " << op.fx;
        if constexpr (std::is_same_v<T, dawop::FxBypass>)
          out << "fxBypass " << op.track << " " << op.fx;
        if constexpr (std::is_same_v<T, dawop::ParamNudge>) {
          out << "paramNudge " << op.track << " " << op.fx << " " << op.param << " " << op.by;
        }
        if constexpr (std::is_same_v<T, dawop::ParamTo>) {
          out << "paramTo " << op.track << " " << op.fx << " " << op.param << " " << op.value;
        }
        if constexpr (std::is_same_v<T, dawop::Preset>)
          out << "preset " << op.track << " " << op.fx << " " << op.choice;
        if constexpr (std::is_same_v<T, dawop::VolumeTo>)
          out << "volumeTo " << op.track << " " << op.db;
        if constexpr (std::is_same_v<T, dawop::PanTo>) out << "panTo " << op.track << " " << op.pan;
        if constexpr (std::is_same_v<T, dawop::Flag>)
          out << "flag " << op.track << " " << op.key << " " << op.on;
        if constexpr (std::is_same_v<T, dawop::AllOff>) out << "allOff " << op.key;
        if constexpr (std::is_same_v<T, dawop::Rename>)
          out << "rename " << op.track << " " << op.name;
        if constexpr (std::is_same_v<T, dawop::Duplicate>)
          out << "duplicate " << op.track << " " << op.name;
        if constexpr (std::is_same_v<T, dawop::NewTrack>) {
          out << "newTrack " << (op.instrument ? "instrument " : "audio ") << op.name << " / "
              << op.fx;
        }
        if constexpr (std::is_same_v<T, dawop::Delete>) out << "delete " << op.track;
        if constexpr (std::is_same_v<T, dawop::MoveBelow>)
          out << "moveBelow " << op.track << " " << op.below;
        if constexpr (std::is_same_v<T, dawop::Send>)
          out << "send " << op.from << " " << op.to << " " << op.db;
        if constexpr (std::is_same_v<T, dawop::Transport>) out << "transport " << op.command;
        if constexpr (std::is_same_v<T, dawop::Tempo>) out << "tempo " << op.bpm;
        if constexpr (std::is_same_v<T, dawop::Undo>) out << "undo";
        if constexpr (std::is_same_v<T, dawop::Redo>) out << "redo";
      },
      ask->op);
  if (ask->confirm) out << " (confirm: " << *ask->confirm << ")";
  return out.str();
}

struct Row {
  const char* sentence;
  const char* expected;
};

struct UnderstandTest : ::testing::Test {
  testing::PretendReaper reaper{kProject};
  ReaperAdapter adapter;
  // Each sentence is understood by an assistant with no memory of the others.
  std::string understood(const std::string& sentence) {
    Daw daw(adapter);
    auto state = adapter.state();
    EXPECT_TRUE(state.has_value());
    return shown(understand(daw, Heard(sentence), *state));
  }
  void check(const std::vector<Row>& rows) {
    for (const Row& row : rows) EXPECT_EQ(understood(row.sentence), row.expected) << row.sentence;
  }
};

TEST_F(UnderstandTest, QuestionsAboutTheProject) {
  check({
      {"what did you change", "say: I have not changed anything in this project yet."},
      {"undo that", "undo"},
      {"redo", "redo"},
      {"how many tracks are there",
       "say: 6 tracks: Lead Vocals, Vocal Double, Kick Sample, Bass, Piano, Drum Room."},
      {"which tracks are muted", "say: No track is muted."},
      {"which tracks have a compressor", "say: Bass has a compressor."},
      {"which tracks have a limiter", "say: No track has a limiter."},
      {"list the tracks",
       "say: 1, Lead Vocals. 2, Vocal Double. 3, Kick Sample. 4, Bass. 5, Piano. 6, Drum Room."},
      {"what track am i on", "say: Lead Vocals, track 1, at minus 3 decibels."},
      {"is anything wrong before exporting",
       "say: Here is what I can see: ReaEQ, VST on Bass is bypassed; Piano has nothing recorded. I "
       "have not "
       "measured the sound itself."},
      {"what plugins are on the bass", "say: Bass has ReaComp, VST; and ReaEQ, VST, bypassed."},
      {"what are the settings of the compressor on the bass",
       "say: ReaComp, VST: Thresh 0.0 dB, Ratio 2.9:1, Attack 45.0 ms, Release 200 ms."},
      {"tell me about the vocal double",
       "say: Vocal Double, track 2, at minus 9 decibels. Panned 30 percent left. No plug-ins. 4 "
       "recorded "
       "items."},
      {"what is the tempo", "say: The tempo is 120."},
      {"how loud is it",
       "say: Nothing is playing, so there is no level to read. Say play, then ask again."},
      {"what about the drum room track",
       "say: Drum Room, track 6, at minus 12 decibels. Panned centre. No plug-ins. 3 recorded "
       "items."},
      {"what time is it", "not studio"},
      {"", "not studio"},
      {"um", "not studio"},
  });
  EXPECT_EQ(understood("what can i do").substr(0, 30), "say:  I can find and describe ");
  EXPECT_EQ(understood(std::string(2000, 'x')), "not studio");
}

TEST_F(UnderstandTest, ChangesToTracks) {
  check({
      {"mute the vocal", "ask: I found Lead Vocals and Vocal Double. Which one?"},
      {"mute the vocal the lead one", "flag 1 mute 1"},
      {"solo the kick", "flag 3 solo 1"},
      {"unsolo everything", "allOff solo"},  // before the switch on one track
      {"disarm all", "allOff arm"},
      {"record enable the piano", "flag 5 arm 1"},
      {"set the kick volume to minus 10", "volumeTo 3 -10"},
      {"set the bass volume to minus 100 decibels", "volumeTo 4 -100"},
      {"turn the bass down a little", "volumeTo 4 -6"},
      {"pan the piano 40 percent left", "panTo 5 -40"},
      {"centre the vocal double pan", "panTo 2 0"},
      {"next track", "select 2"},
      {"previous track", "say: That is the first track."},
      {"rename the piano to keys", "rename 5 Keys"},
      {"rename the piano", "ask: What should I call it?"},
      {"duplicate the bass as bass two", "duplicate 4 Bass Two"},
      {"new piano track called keys", "newTrack instrument Keys / ReaSynth"},
      {"add a track called guitar", "newTrack audio Guitar / "},
      {"delete the kick sample track",
       "delete 3 (confirm: Delete Kick Sample, which has 1 recorded item and 1 plug-in? Say yes or "
       "no.)"},
      {"move the piano below the bass", "moveBelow 5 4"},
      {"send the bass to the drum room", "send 4 6 -12"},
      {"tempo 96", "tempo 96"},
      {"set the tempo to 500", "tempo 500"},
      {"stop recording", "transport stop"},
      {"play", "transport play"},
      {"mute the guitar",
       "ask: I could not find a track called Guitar. The project has Lead Vocals, Vocal "
       "Double, Kick Sample, Bass, Piano and Drum Room."},
  });
}

TEST_F(UnderstandTest, PlugInsAndTheirSettings) {
  check({
      {"add a compressor to the lead vocals", "fxAdd 1 ReaComp"},
      {"add a flanger made of cheese to the bass", "fxAdd 4 flanger made of cheese"},
      {"remove the eq from the kick sample", "fxRemove 3 0"},
      {"bypass the compressor on the bass", "fxBypass 4 0"},
      {"switch on the eq on the bass", "fxBypass 4 1"},
      {"bypass the eq on the bass", "say: ReaEQ, VST on Bass is already bypassed."},
      {"next preset on the bass compressor", "preset 4 0 next"},
      {"load the preset heavy on the bass compressor", "preset 4 0 Heavy"},
      {"set the ratio on the bass compressor to 4", "paramTo 4 0 1 4"},
      {"lower the threshold a little on the bass", "paramNudge 4 0 0 -0.03"},
      {"raise the attack a lot on the bass", "paramNudge 4 0 2 0.12"},
      {"cut the mud on the kick sample", "paramNudge 3 0 3 -0.06"},
  });
}

TEST_F(UnderstandTest, PlansAndModes) {
  check({
      {"help me prepare my lead vocal for mixing",
       "plan: [add an EQ, left flat for you to shape] [add a compressor after it, at its default "
       "setting] "
       "[make a reverb bus] [send the vocal to the reverb bus, quietly, at minus 15 decibels]"},
      {"give the drum room a little reverb",
       "plan: [make a reverb bus] [send Drum Room to the reverb bus]"},
      {"can you help me master this song", "plan: [put a limiter last on the master]"},
  });
  Daw daw(adapter);
  auto state = adapter.state();
  auto mode = understand(daw, Heard("switch to guided mode"), *state);
  ASSERT_TRUE(mode && mode->mode);
  EXPECT_EQ(*mode->mode, "guided");
  EXPECT_EQ(mode->text,
            "Guided mode. I will explain every change and wait for a yes before I make it.");

  // The plan run, the same request adds nothing more.
  auto plan = understand(daw, Heard("help me prepare my lead vocal for mixing"), *state);
  ASSERT_TRUE(plan && plan->kind == DawAsk::Kind::plan);
  EXPECT_TRUE(daw.runPlan(plan->steps, [] { return true; }).ok);
  auto again = understand(daw, Heard("help me prepare my lead vocal for mixing"), *adapter.state());
  EXPECT_EQ(shown(again),
            "say: Lead Vocals, which already has an EQ, a compressor and a send to the reverb bus. "
            "I would not "
            "add more. Ask me for its settings if you want to adjust them.");

  // "lower the threshold a little" after adding a compressor works on that compressor.
  auto add = understand(daw, Heard("add a compressor to the vocal double"), *adapter.state());
  ASSERT_TRUE(add && add->kind == DawAsk::Kind::op);
  EXPECT_TRUE(daw.perform(add->op).ok);
  auto lower = understand(daw, Heard("lower the threshold a little"), *adapter.state());
  EXPECT_EQ(shown(lower), "paramNudge 2 0 0 -0.03");

  // Once nudged, only a sentence made of the repeating words nudges again;
  // a question that merely holds "it" or "that" never changes the mix.
  ASSERT_TRUE(lower && daw.perform(lower->op).ok);
  for (const char* question : {"is it playing", "is that too loud", "play it", "what is that"}) {
    EXPECT_THAT(shown(understand(daw, Heard(question), *adapter.state())),
                ::testing::Not(::testing::StartsWith("paramNudge")))
        << question;
  }
  for (auto [again, by] : std::vector<std::pair<const char*, const char*>>{
           {"a bit more", "-0.03"}, {"again please", "-0.03"}, {"a little less", "0.03"},
           {"do that again", "-0.03"}}) {
    EXPECT_EQ(shown(understand(daw, Heard(again), *adapter.state())),
              std::string("paramNudge 2 0 0 ") + by)
        << again;
  }
}

}  // namespace
}  // namespace orvo
