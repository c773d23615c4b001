// The song menu through the engine on the virtual clock.

#include "rooms/menu/menu-room.h"
#include "engine/engine-fixture.h"
#include "matchers.h"

namespace orvo {
namespace {

Song menuSong(const std::string& name, int level, int notes = 30) {
  Song song;
  song.name = name;
  song.level = level;
  song.bpm = 120;
  for (int i = 0; i < notes; ++i)
    song.notes.push_back({static_cast<double>(i), 0.9, 60 + i % 7, 80, 0});
  return song;
}

class MenuTest : public EngineTest {
 protected:
  MenuTest() {
    EngineTestAccess::useSongs(*engine, {menuSong("Alpha", 1), menuSong("Bravo", 1),
                                         menuSong("Charlie", 2), menuSong("Delta", 4)});
    spoken();
  }
  // Holds the top key past the 1.2 s that opens the menu.
  void holdTop() {
    engine->noteEvent(keys.hear, 90);
    runtime.advance(1.3);
    engine->noteEvent(keys.hear, 0);
  }
  void tap(int pitch) {
    engine->noteEvent(pitch, 90);
    engine->noteEvent(pitch, 0);
  }
  std::vector<int> previewed() {
    std::vector<int> on;
    for (const auto& bytes : midiBackend.published)
      if (bytes[0] == 0x90) on.push_back(bytes[1]);
    midiBackend.published.clear();
    return on;
  }
};

TEST_F(MenuTest, HoldingTheTopKeyOpensItAndKeysPreviewThenStart) {
  holdTop();
  EXPECT_EQ(engine->currentMode(), Mode::menu);
  EXPECT_THAT(spokenOne(),
              StartsWith("Song menu. Five octaves, starting two octaves below middle C."));
  auto window = windowLines();
  EXPECT_THAT(window, Contains("menulevel 1 36 Alpha|38 Bravo"));
  EXPECT_THAT(window, Contains("menulevel 3 "));
  EXPECT_THAT(window, Contains(StartsWith("menulevel 0 24 Swing|26 The blues scale|")));
  midiBackend.published.clear();

  tap(38);
  EXPECT_THAT(spoken(), ElementsAre("Bravo. Easy."));
  const auto notes = previewed();
  EXPECT_EQ(notes.size(), 14u) << "seven seconds at two notes a second";
  EXPECT_THAT(midi.sounding(), IsEmpty());

  tap(50);  // a key with nothing on it
  EXPECT_THAT(spoken(), IsEmpty());
  tap(keys.notes);
  EXPECT_EQ(spokenOne(),
            "4 songs. Easy, 2. Moderately easy, 1. Moderate, 0. Hard, 1. Very hard, 0.");

  tap(38);
  EXPECT_EQ(engine->currentMode(), Mode::teach) << "the same key again starts its lesson";
  EXPECT_THAT(firstSpoken(), StartsWith("Bravo."));

  // The explanations are given twice, then only the name.
  holdTop();
  EXPECT_THAT(spokenOne(), StartsWith("Song menu. Five octaves"));
  holdTop();
  EXPECT_EQ(spokenOne(), "Song menu.");
  EXPECT_THAT(engine->helpText(), StartsWith("Song menu. Five octaves, starting two octaves"));
}

TEST_F(MenuTest, StepButtonsWalkTheLibraryAndTheStepReachedIsSaid) {
  engine->computerKey('m');
  spoken();
  // Nothing picked: from the current song (the first), back wraps to the last.
  tap(keys.back);
  EXPECT_THAT(spoken(), ElementsAre("Delta. Hard."));
  tap(keys.next);
  EXPECT_THAT(spoken(), ElementsAre("Alpha. Easy."));
  tap(keys.next);
  tap(keys.next);
  EXPECT_THAT(spoken(), Contains("Charlie. Moderately easy."));

  // A song left at its third unit.
  engine->lessons().chooseSong(3);
  spoken();
  press(keys.next);
  pressUnchecked(keys.next);
  engine->hear("song menu");
  spoken();
  tap(72);
  EXPECT_THAT(spoken(), ElementsAre("Delta. Hard. You are on step 3."));
  press(keys.hear);
  EXPECT_EQ(engine->currentMode(), Mode::teach);
  spoken();
}

TEST_F(MenuTest, JazzKeysAnnounceThenStartTheirLesson) {
  holdTop();
  spoken();
  tap(24);
  EXPECT_EQ(spokenOne(), "Jazz lesson 1. Swing.");
  EXPECT_EQ(afterPress(keys.back), "Jazz lesson 9. Jam session. The top key starts it.");
  EXPECT_EQ(afterPress(keys.next), "Jazz lesson 1. Swing. The top key starts it.");
  tap(30);  // between the jazz keys: nothing
  EXPECT_THAT(spoken(), IsEmpty());
  tap(24);
  EXPECT_THAT(firstSpoken(), StartsWith("Jazz lesson 1 of 9. Swing."));
  EXPECT_EQ(engine->currentMode(), Mode::teach);

  // The lesson remembered is where you are.
  pressUnchecked(keys.home);
  holdTop();
  spoken();
  tap(24);
  EXPECT_EQ(spokenOne(), "Jazz lesson 1. Swing. This is where you are.");
  press(keys.hear);
  EXPECT_THAT(firstSpoken(), StartsWith("Jazz lesson 1 of 9."));
}

TEST_F(MenuTest, AnEmptyLibraryAndACutOffPreviewLeaveNothingSounding) {
  holdTop();
  spoken();
  engine->noteEvent(36, 90);
  engine->noteEvent(36, 0);
  engine->noteEvent(40, 90);  // a chord: the last key wins, the first preview is cut off
  engine->noteEvent(43, 90);
  engine->noteEvent(40, 0);
  engine->noteEvent(43, 0);
  runtime.advance(10.0);
  spoken();
  EXPECT_THAT(midi.sounding(), IsEmpty());

  EngineTestAccess::useSongs(*engine, {});
  tap(36);
  EXPECT_THAT(spoken(), IsEmpty());
  EXPECT_THAT(afterPress(keys.next), StartsWith("No songs yet."));
  EXPECT_EQ(afterPress(keys.notes),
            "0 songs. Easy, 0. Moderately easy, 0. Moderate, 0. Hard, 0. Very hard, 0.");
  EXPECT_THAT(afterPress(keys.hear), StartsWith("There are no songs to learn."));
}

}  // namespace
}  // namespace orvo
