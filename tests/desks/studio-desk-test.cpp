// Studio changes from the engine: run as activities against the pretend
// REAPER, spoken when done, failures noted, and a plan that gives way to a
// newer activity.

#include "desks/studio-desk.h"
#include "engine/engine-fixture.h"
#include "matchers.h"
#include "studio/reaper-adapter.h"
#include "studio/reaper-link.h"
#include "studio/reaper-scripts.h"
#include "studio/temp-reaper.h"

namespace orvo {
namespace {

struct EngineStudioTest : EngineTest {
  testing::PretendReaper reaper{"{ tracks = { { name = 'Kick' }, { name = 'Snare' } } }"};
  ReaperAdapter adapter;
  EngineStudioTest() {
    daw = &adapter;
    spoken();
    restartEngine();
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

// Spoken studio requests against the pretend project, heard as the player
// would say them.
struct StudioAssistantTest : EngineTest {
  testing::PretendReaper reaper{std::string(reaperscripts::pretendProject)};
  ReaperAdapter adapter;
  StudioAssistantTest() {
    daw = &adapter;
    pretendReaper = true;
    spoken();
    restartEngine();
    spoken();
  }
  std::vector<std::string> heard(const std::string& sentence) {
    outcome = engine->hear(sentence);
    return spoken();
  }
  std::string answer(const std::string& sentence) {
    auto said = heard(sentence);
    EXPECT_EQ(said.size(), 1u) << sentence << ": " << ::testing::PrintToString(said);
    return said.empty() ? "" : said.back();
  }
  int trackCount() {
    return std::stoi(reaper.eval("local n = 0 while mock_track(n + 1) do n = n + 1 end return n"));
  }
  std::string outcome;
};

TEST_F(StudioAssistantTest, ANewProjectIsAskedOfTheStudioItself) {
  EXPECT_GT(trackCount(), 0);
  EXPECT_EQ(answer("start a new project"),
            "A new project in REAPER. If the old one had changes, REAPER is asking whether to "
            "save them.");
  EXPECT_EQ(trackCount(), 0);
}

TEST_F(StudioAssistantTest, TheAssistantsEdgeCasesFromSentenceToProject) {
  // Nothing that is not a plug-in is added, and nothing is claimed.
  EXPECT_THAT(answer("add a flanger made of cheese to the bass"),
              HasSubstr("flanger made of cheese"));
  EXPECT_EQ(reaper.eval("return #mock_track(4).fx"), "2");
  EXPECT_TRUE(engine->studioDesk().daw().history.empty());

  // Two matches ask which; the answer is read with the question.
  EXPECT_EQ(answer("mute the vocal"), "I found Lead Vocals and Vocal Double. Which one?");
  answer("the lead one");
  EXPECT_EQ(reaper.eval("return mock_track(1).mute"), "1");
  EXPECT_EQ(reaper.eval("return mock_track(2).mute"), "0");

  // A delete asks first, in every way of working: no keeps the track, yes deletes it.
  EXPECT_EQ(answer("delete the kick sample track"),
            "Delete Kick Sample, which has 1 recorded item and 1 plug-in? Say yes or no.");
  EXPECT_EQ(answer("no"), "Okay, I'll leave it.");
  EXPECT_EQ(trackCount(), 6);
  answer("delete the kick sample track");
  answer("yes");
  EXPECT_EQ(trackCount(), 5);
  EXPECT_EQ(reaper.eval("return mock_track(3).name"), "Bass");

  // Out of range: answered at once, and the volume stays.
  EXPECT_EQ(answer("set the bass volume to minus 100 decibels"),
            "Volume has to be between minus 90 and plus 12 decibels.");
  EXPECT_EQ(reaper.eval("return math.floor(mock_db(3) * 10 + 0.5)"), "-45");

  // A compressor added, then "a little" on its threshold: 0.03 down.
  answer("add a compressor to the lead vocals");
  std::string before = reaper.eval("return mock_track(1).fx[1].params[1].norm");
  answer("lower the threshold a little");
  EXPECT_NEAR(
      std::stod(before) - std::stod(reaper.eval("return mock_track(1).fx[1].params[1].norm")), 0.03,
      1e-6);

  // Preparing the vocal is explained and asked about; asked again once done, nothing more is added.
  EXPECT_THAT(answer("help me prepare my lead vocal for mixing"), EndsWith(" Shall I go ahead?"));
  EXPECT_THAT(answer("yes"), EndsWith("Say undo to step back, or ask what I changed."));
  std::string plugins = reaper.eval("return #mock_track(1).fx");
  EXPECT_THAT(
      answer("help me prepare my lead vocal for mixing"),
      EndsWith("I would not add more. Ask me for its settings if you want to adjust them."));
  EXPECT_EQ(reaper.eval("return #mock_track(1).fx"), plugins);

  // The last five changes, most recent last.
  ASSERT_GE(engine->studioDesk().daw().history.size(), 6u);
  std::string changes = answer("what did you change");
  EXPECT_THAT(changes, StartsWith("Most recent last: "));
  EXPECT_THAT(changes, EndsWith(engine->studioDesk().daw().history.back().what +
                                ". Say undo to take back the last one."));
  EXPECT_THAT(changes, ::testing::Not(HasSubstr("muted")));  // the first change is past the five

  // "stop" stops everything, the studio's transport with it.
  EXPECT_EQ(answer("play"), "Playing.");
  EXPECT_EQ(reaper.eval("return reaper.GetPlayState()"), "1");
  heard("stop");
  EXPECT_EQ(reaper.eval("return reaper.GetPlayState()"), "0");
  EXPECT_EQ(outcome, "stopped");

  // Not studio requests: they go on to their own families.
  EXPECT_THAT(answer("what time is it"), StartsWith("It is "));
  heard("play me something sad");
  EXPECT_NE(outcome, "studio said");
  EXPECT_NE(logText().find("daw say: what did you change"), std::string::npos);
  EXPECT_NE(logText().find("daw confirm: delete the kick sample track"), std::string::npos);
  EXPECT_NE(logText().find("daw plan: help me prepare"), std::string::npos);
  EXPECT_NE(logText().find("daw question: mute the vocal"), std::string::npos);
  EXPECT_NE(logText().find("daw op: add a compressor"), std::string::npos);
}

TEST_F(StudioAssistantTest, AChangeTheStudioDoesNotShowIsNeverClaimed) {
  reaper.studio = std::make_unique<LuaStudio>(
      reaper.resources(), "{ tracks = { { name = 'Kick' } }, ignore = { volume = true } }");
  std::string said = answer("set the kick volume to minus 10");
  EXPECT_THAT(said, HasSubstr("cannot confirm"));
  EXPECT_TRUE(engine->studioDesk().daw().history.empty());
  EXPECT_NE(files::readFile(home / "mistakes.txt").value_or("").find("a studio action failed"),
            std::string::npos);
}

TEST_F(StudioAssistantTest, TheThreeWaysOfWorkingAndTheirFile) {
  // Assisted (the default): ordinary changes at once, plans asked about.
  answer("mute the bass");
  EXPECT_EQ(reaper.eval("return mock_track(4).mute"), "1");
  EXPECT_THAT(answer("help me prepare my lead vocal for mixing"), EndsWith(" Shall I go ahead?"));
  answer("no");

  // Guided asks before every change, and the choice outlives a restart.
  answer("guided mode");
  EXPECT_EQ(files::readFile(home / "daw-mode.txt").value_or(""), "guided\n");
  restartEngine();
  spoken();
  EXPECT_EQ(answer("unmute the bass"), "I am about to change the project. Shall I go ahead?");
  EXPECT_EQ(reaper.eval("return mock_track(4).mute"), "1");
  answer("yes");
  EXPECT_EQ(reaper.eval("return mock_track(4).mute"), "0");
  // A track deleted between the question and the yes is not taken for the
  // one now in its place.
  EXPECT_EQ(answer("mute the bass"), "I am about to change the project. Shall I go ahead?");
  reaper.eval("reaper.DeleteTrack(reaper.GetTrack(0, 3))");
  EXPECT_THAT(answer("yes"), StartsWith("I could not find a track called Bass."));
  EXPECT_EQ(reaper.eval("return mock_track(4).name .. mock_track(4).mute"), "Piano0");
  reaper.studio =
      std::make_unique<LuaStudio>(reaper.resources(), std::string(reaperscripts::pretendProject));

  // Autonomous runs a plan at once but still asks before deleting.
  answer("autonomous mode");
  EXPECT_THAT(answer("help me prepare my lead vocal for mixing"),
              EndsWith("Say undo to step back, or ask what I changed."));
  EXPECT_THAT(answer("delete the drum room track"), EndsWith("? Say yes or no."));
  answer("no");
  EXPECT_EQ(trackCount(), 7);  // the plan's reverb bus, and the drum room kept

  // A garbled file is assisted.
  runtime.runReady();
  files::writeFileAtomically(home / "daw-mode.txt", "\xff\xfe autonomous?\n");
  restartEngine();
  spoken();
  EXPECT_EQ(engine->studioDesk().mode(), DawMode::assisted);
}

TEST_F(StudioAssistantTest, AQuestionTakesOnlyAnAnswerThatNamesOneOfItsChoices) {
  auto masterMuted = [&] { return reaper.eval("return mock_track(0).mute"); };
  // A whole request of its own drops the question and is heard as itself.
  EXPECT_EQ(answer("mute the vocal"), "I found Lead Vocals and Vocal Double. Which one?");
  answer("add a limiter to the master");
  EXPECT_EQ(masterMuted(), "0");
  EXPECT_EQ(reaper.eval("return #mock_track(0).fx"), "1");
  EXPECT_THAT(answer("mute the guitar"), StartsWith("I could not find a track called Guitar."));
  EXPECT_EQ(answer("delete the master"), "The master track cannot be deleted.");
  EXPECT_EQ(masterMuted(), "0");
  // Neither a studio request nor one of the choices: heard by the others.
  answer("mute the vocal");
  EXPECT_THAT(answer("what time is it"), StartsWith("It is "));
  EXPECT_EQ(reaper.eval("return mock_track(1).mute .. mock_track(2).mute"), "00");
  // A question that takes any answer takes a new name.
  EXPECT_EQ(answer("rename the bass"), "What should I call it?");
  answer("low end");
  EXPECT_EQ(reaper.eval("return mock_track(4).name"), "Low End");
}

TEST_F(StudioAssistantTest, AStudioThatDoesNotAnswerAndAQuestionThatTimesOut) {
  // A "Which one?" left unanswered past its time: the next sentence is heard alone.
  answer("mute the vocal");
  runtime.advance(30);
  spoken();
  heard("the lead one");
  EXPECT_EQ(reaper.eval("return mock_track(1).mute"), "0");

  reaper.pumping(false);
  EXPECT_EQ(answer("how many tracks"),
            "REAPER is open but not answering me. Quit REAPER and open it again so it loads the "
            "link.");
  EXPECT_THAT(answer("what time is it"), StartsWith("It is "));
  EXPECT_EQ(outcome, "said");
}

TEST_F(EngineTest, StopWithReaperRunningButNoLinkAnswersOnceAndSaysHowToSetItUp) {
  // A process called reaper with no bridge: the stop is shared with the
  // studio, which hands nothing back, and a studio sentence says what to do.
  bool linkInstalled = false;
  ReaperHooks hooks{
      .installed = [] { return true; },
      .configured = [] { return true; },
      .bridgeInstalled = [&] { return linkInstalled; },
      .installBridge = [] { return false; },
      .running = [] { return true; },
      .launch = [] { return true; },
      .send = [](const std::vector<std::string>&, double) { return std::optional<std::string>(); }};
  reaperControl = &hooks;
  reaperRunning = [] { return true; };
  restartEngine();
  engine->studioDesk().checkStudios();
  spoken();
  EXPECT_EQ(engine->hear("stop"), "stopped");
  auto said = spoken();
  ASSERT_EQ(said.size(), 1u) << ::testing::PrintToString(said);
  EXPECT_NE(logText().find("studio: left alone, answered already: stop"), std::string::npos);
  EXPECT_EQ(afterHearing("how many tracks"),
            "REAPER is open, but my link to it isn't set up yet. Press r, or say REAPER control, "
            "and I'll set it up.");
  linkInstalled = true;
  EXPECT_EQ(afterHearing("mute the bass"),
            "REAPER is open but not answering me. Quit REAPER and open it again so it loads the "
            "link.");
  world.closeEngine();
}

TEST_F(EngineTest, TheStudioCheckFollowsReaperAndLogicPro) {
  ReaperHooks linked;
  linked.bridgeInstalled = [] { return true; };
  reaperControl = &linked;
  bool reaperUp = false;
  int looks = 0;
  reaperRunning = [&] {
    ++looks;
    return reaperUp;
  };
  restartEngine();
  spoken();
  windowLines();
  const std::string openFirst = "Open REAPER first, then ask me again.";
  EXPECT_EQ(afterHearing("undo"), openFirst);

  // The first look tells the window either way, and lets the built-in sound play.
  midi.studioSoundsPiano = true;
  engine->studioDesk().startChecks();
  runtime.runReady();
  EXPECT_EQ(looks, 1);
  EXPECT_THAT(windowLines(), ::testing::Contains("daw 0"));
  EXPECT_FALSE(midi.studioSoundsPiano);

  // Logic Pro alone: its notes are its own, and studio sentences are left to
  // the others (no "open a studio first" while one is open).
  studio.runs = true;
  runtime.advance(5.0);
  EXPECT_EQ(looks, 2);
  EXPECT_THAT(windowLines(), ::testing::Contains("daw 1"));
  EXPECT_TRUE(midi.studioSoundsPiano);
  EXPECT_TRUE(engine->studioDesk().inUse());
  engine->hear("undo");
  EXPECT_THAT(spoken(), ::testing::Not(::testing::Contains(openFirst)));

  // REAPER runs but the link has no answer: a studio sentence says so.
  studio.runs = false;
  reaperUp = true;
  runtime.advance(5.0);
  EXPECT_THAT(windowLines(), ::testing::Contains("daw 0"));
  EXPECT_EQ(afterHearing("how many tracks"),
            "REAPER is open but not answering me. Quit REAPER and open it again so it loads the "
            "link.");
  // Unchanged, the window hears nothing more.
  runtime.advance(5.0);
  EXPECT_EQ(looks, 4);
  EXPECT_THAT(windowLines(), ::testing::Not(::testing::Contains(::testing::StartsWith("daw "))));
  world.closeEngine();  // before the looks it counts with are gone
}

}  // namespace
}  // namespace orvo
