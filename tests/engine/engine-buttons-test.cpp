#include "engine/command-sheet.h"
#include "engine/engine-fixture.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST_F(EngineTest, TheTopKeyActsOnReleaseAndAHoldOpensTheSongMenu) {
  engine->noteEvent(108, 90);
  runtime.advance(1.1);
  EXPECT_THAT(spoken(), IsEmpty());  // nothing on the press
  engine->noteEvent(108, 0);
  EXPECT_THAT(firstSpoken(), StartsWith("Hot Cross Buns. "));

  engine->noteEvent(108, 90);
  runtime.advance(1.2);
  EXPECT_THAT(spokenOne(), StartsWith("Song menu. Five octaves"));
  EXPECT_EQ(engine->currentMode(), Mode::menu);
  engine->noteEvent(108, 0);  // the release after a hold does nothing
  EXPECT_THAT(spoken(), IsEmpty());
  EXPECT_EQ(engine->currentMode(), Mode::menu);

  // A quick press and release, then a new press: the first press's hold check must not fire.
  engine->noteEvent(108, 90);
  runtime.advance(0.5);
  engine->noteEvent(108, 0);
  spoken();
  runtime.advance(0.5);
  engine->noteEvent(108, 90);
  runtime.advance(0.3);  // 1.3 s after the first press, 0.3 s into the second
  EXPECT_THAT(spoken(), IsEmpty());
  engine->noteEvent(108, 0);
  spoken();
}

TEST_F(EngineTest, OtherButtonsActOnPressAndNeverCountAsMusic) {
  engine->noteEvent(101, 80);  // talk
  EXPECT_EQ(engine->currentMode(), Mode::talk);
  spoken();
  engine->noteEvent(101, 0);
  EXPECT_THAT(spoken(), IsEmpty());
  EXPECT_EQ(engine->currentMode(), Mode::talk);
  engine->noteEvent(23, 80);  // home
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  spoken();

  // Held buttons are not notes of a chord.
  engine->noteEvent(21, 80);
  spoken();
  engine->noteEvent(96, 80);
  spoken();
  EXPECT_EQ(heldChord(), "Hold some keys down and ask again.");
}

TEST_F(EngineTest, TheFirstNoteAtHomeIsNoticedOnce) {
  engine->noteEvent(60, 70);
  EXPECT_EQ(spokenOne(), "I can hear your piano. Press your top key to start a lesson.");
  engine->noteEvent(60, 0);
  engine->noteEvent(62, 70);
  EXPECT_THAT(spoken(), IsEmpty());
}

TEST_F(EngineTest, PausedTheTopKeyActsOnPressLikeAnyButton) {
  EngineTestAccess::enterLesson(*engine, 4, 0, true);
  pressUnchecked(keys.pause);
  engine->noteEvent(108, 80);
  EXPECT_EQ(spokenOne(), "Paused. Press the sixth key, or Return, to carry on.");
  runtime.advance(2.0);
  EXPECT_THAT(spoken(), IsEmpty());  // no hold check was started
}

TEST_F(EngineTest, AKeyAboveTheTopIsTakenAsTheNewTopKey) {
  engine->noteEvent(110, 70);  // a keyboard reaching higher than 88 keys
  EXPECT_THAT(spokenOne(), StartsWith("Got it. Your top key is D, octave 8."));
  EXPECT_THAT(windowLines(), ElementsAre("buttons 110 108 107 105 103 101 100 98"));
  EXPECT_EQ(files::readFile(home / "top-key.txt"), "110\n");
  EXPECT_EQ(heldChord(), "Hold some keys down and ask again.");  // not played as music
  engine->noteEvent(110, 0);
  EXPECT_THAT(spoken(), IsEmpty());

  // The next run starts with that layout.
  restartEngine();
  EXPECT_FALSE(engine->awaitingTopKey());
  EXPECT_EQ(engine->buttonsLine(), "buttons 110 108 107 105 103 101 100 98");
}

TEST_F(EngineTest, LearningTheTopKeyOfASmallerKeyboard) {
  std::filesystem::remove(home / "top-key.txt");
  restartEngine();
  EXPECT_TRUE(engine->awaitingTopKey());
  engine->greet("Piano connected.", true);
  EXPECT_THAT(spoken(), ElementsAre("Hello. I'm Orvo, your piano teacher.",
                                    "Piano connected. I can see a piano. Press its highest key "
                                    "once, so I know its size."));
  engine->noteEvent(96, 70);
  EXPECT_EQ(spokenOne(),
            "Got it. Your top key is C, octave 7. Press it again to start a lesson. The eighth "
            "white key down from it is help. It tells you what every button does.");
  ButtonKeys learned = engine->buttonKeys();
  EXPECT_EQ(learned.topButtons(), (std::vector<int>{96, 95, 93, 91, 89, 88, 86, 84}));
  EXPECT_EQ(learned.keep, 9);
  EXPECT_EQ(learned.home, 11);

  // Too few white keys below it: the buttons stay, the player is still told.
  engine->askForTopKey();
  EXPECT_EQ(spokenOne(), "Press the highest key on your piano.");
  engine->noteEvent(5, 70);
  EXPECT_THAT(spokenOne(), StartsWith("Got it. Your top key is F, octave -1."));
  EXPECT_EQ(engine->buttonKeys().topButtons(), learned.topButtons());

  // A top key this low leaves the lowest two buttons out of the keyboard.
  ButtonKeys small;
  ASSERT_TRUE(small.setTopKey(30));
  EXPECT_LT(small.keep, 0);
  EXPECT_EQ(small.commandKeys().size(), 8u);
  EXPECT_FALSE(small.isCommandKey(small.keep));
}

TEST_F(EngineTest, TheCommandSheetIsWrittenAndTold) {
  engine->writeCommandSheet();
  runtime.runReady();  // the store writes on its own queue
  auto html = files::readFile(home / commandSheetFile).value_or("");
  EXPECT_THAT(html, HasSubstr("<html lang=\"en\">"));
  EXPECT_THAT(html, HasSubstr("<th scope=\"col\">In composition</th>"));
  EXPECT_THAT(html, HasSubstr("Play it back as a band. Twice quickly: type a name for it"));
  EXPECT_THAT(html, HasSubstr("<th scope=\"row\">Shift and K</th><td>Set the top key again</td>"));

  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  EXPECT_EQ(afterKey('/'),
            "The list of commands is in the file " + (home / commandSheetFile).string() + ".");
}

}  // namespace
}  // namespace orvo
