// REAPER control through the engine: opened against the pretend REAPER (the
// real bridge on the mock API) or a scripted one, stepped with the keys.

#include "rooms/reaper/reaper-room.h"
#include "engine/engine-fixture.h"
#include "matchers.h"
#include "studio/temp-reaper.h"

namespace orvo {
namespace {

const char* kKeys =
    " The third and fourth keys step through the list. The top key chooses. The second key goes "
    "back.";

class ReaperTest : public EngineTest {
 protected:
  testing::PretendReaper studioBench{"{ tracks = { { name = 'Kick' }, { name = 'Snare' } } }"};
  ReaperHooks hooks = pretendReaperHooks();
  bool up = true;
  int launches = 0;

  ReaperTest() {
    hooks.running = [this] { return up; };
    hooks.launch = [this] {
      ++launches;
      up = true;
      return true;
    };
    reaperControl = &hooks;
    restartEngine();
    spoken();
  }
  // The engine again, with the hooks as they are now.
  void reopen() {
    restartEngine();
    spoken();
  }
  void open() {
    engine->computerKey('r');
    spoken();
  }
};

TEST_F(ReaperTest, OpensWithTheProjectAndStepsThroughTheScreens) {
  engine->computerKey('r');
  auto opened = spokenOne();
  EXPECT_EQ(engine->currentMode(), Mode::reaper);
  EXPECT_THAT(opened, StartsWith("REAPER control. This is "));
  EXPECT_THAT(opened, HasSubstr(" with 2 tracks"));
  EXPECT_THAT(opened, EndsWith(kKeys));
  EXPECT_EQ(launches, 0);

  EXPECT_EQ(afterPress(keys.back), "Find any action by typing.");
  EXPECT_EQ(afterPress(keys.next), "Top of the list. Transport.");
  EXPECT_EQ(afterPress(keys.notes), "REAPER control. The second lowest white key goes home.");
  EXPECT_EQ(engine->currentMode(), Mode::reaper);

  // Every screen once, from the root.
  const std::vector<std::string> entered = {
      "Transport. Play or stop.", "Tracks. Kick.", "New track. Audio track.",
      "Markers. Add a marker here.", "Project. About this project."};
  for (const auto& text : entered) {
    EXPECT_EQ(afterPress(keys.hear), text);
    EXPECT_EQ(afterPress(keys.notes), "Back to REAPER control.");
    pressUnchecked(keys.next);
  }

  // A typed prompt: the bridge's reason for a bad tempo, then a good one.
  press(keys.back);
  press(keys.back);
  press(keys.back);
  press(keys.back);
  pressUnchecked(keys.back);
  pressUnchecked(keys.hear);                     // Transport
  for (int i = 0; i < 3; ++i) press(keys.back);  // Set the tempo by typing
  EXPECT_EQ(spoken().back(), "Set the tempo by typing.");
  EXPECT_EQ(afterPress(keys.hear), "Type the tempo in beats per minute.");
  EXPECT_THAT(afterCommand("fast"), HasSubstr("tempo"));
  pressUnchecked(keys.hear);
  engine->appCommand("ear 0 some words");  // the listener's line is not the answer
  engine->appCommand("   ");
  EXPECT_EQ(spoken().back(), "Nothing typed.");
  pressUnchecked(keys.hear);
  EXPECT_EQ(afterCommand("400000"), "A tempo of 400000.0 is not possible.");
  pressUnchecked(keys.hear);
  EXPECT_EQ(afterCommand("96"), "Tempo 96.");
  EXPECT_THAT(studioBench.eval("return reaper.Master_GetTempo()"), StartsWith("96"));

  // Home always leaves, and the stack is gone.
  press(keys.home);
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  EXPECT_TRUE(engine->reaper().screens().empty());
  engine->appCommand("97");  // no prompt waits now
  EXPECT_THAT(studioBench.eval("return reaper.Master_GetTempo()"), StartsWith("96"));
}

TEST_F(ReaperTest, TracksDeletedAndAFiveItemMenuWraps) {
  for (int i = 0; i < 3; ++i) {
    studioBench.eval("reaper.InsertTrackAtIndex(reaper.CountTracks(0), true) return 1");
  }
  open();
  press(keys.next);
  press(keys.hear);
  EXPECT_EQ(spoken().back(), "Tracks. Kick.");
  EXPECT_EQ(afterPress(keys.back), "Track 5.");
  EXPECT_EQ(afterPress(keys.next), "Top of the list. Kick.");
  press(keys.next);
  press(keys.hear);
  EXPECT_EQ(spoken().back(), "Snare. Arm or disarm for recording.");
  press(keys.back);  // Delete this track
  press(keys.hear);
  EXPECT_EQ(spoken().back(), "Done.");
  // Back on the tracks, which were read again.
  EXPECT_EQ(engine->reaper().screens().back().items.size(), 4u);

  // Stopping everything leaves too.
  engine->stopEverything();
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  EXPECT_TRUE(engine->reaper().screens().empty());
}

TEST_F(ReaperTest, EveryWayOpeningCanFail) {
  hooks.installed = [] { return false; };
  reopen();
  EXPECT_EQ(afterKey('r'), "I cannot find REAPER on this computer.");
  EXPECT_EQ(engine->currentMode(), Mode::idle);

  // Each state of a first run says what to do next.
  hooks.installed = [] { return true; };
  hooks.bridgeInstalled = [] { return false; };
  hooks.configured = [] { return false; };
  reopen();
  EXPECT_EQ(afterKey('r'),
            "REAPER has not been started on this computer yet, so it has no settings for my link. "
            "Start REAPER once and quit it, then press r again.");
  hooks.configured = [] { return true; };
  hooks.installBridge = [] { return false; };
  reopen();
  EXPECT_EQ(afterKey('r'),
            "I could not put my link into REAPER's settings folder. Check that the folder can be "
            "written, then press r again.");
  hooks.installBridge = [] { return true; };
  reopen();
  EXPECT_EQ(afterKey('r'),
            "My link to REAPER is set up. REAPER reads it when it starts, so quit REAPER and open "
            "it again, then press r.");

  // Not running: started, then answering.
  hooks = pretendReaperHooks();
  hooks.running = [this] { return up; };
  hooks.launch = [this] {
    ++launches;
    return true;
  };
  up = false;
  reopen();
  engine->computerKey('r');
  auto said = spoken();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[0], "Opening REAPER.");
  EXPECT_THAT(said[1], StartsWith("REAPER control. "));
  EXPECT_EQ(launches, 1);

  // A bridge that never answers: after the pings, the sentence; in the menu, no answer.
  pressUnchecked(keys.hear);
  studioBench.pumping(false);
  EXPECT_EQ(afterPress(keys.hear), "REAPER did not answer.");
  pressUnchecked(keys.home);
  up = true;
  EXPECT_EQ(afterKey('r'),
            "REAPER is not answering. If it was already open before today, quit it and open it "
            "again so it loads the link.");
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  EXPECT_THAT(spoken(), IsEmpty());
}

}  // namespace
}  // namespace orvo
