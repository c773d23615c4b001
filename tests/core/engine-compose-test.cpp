// Composition mode on the virtual clock: the compose key, takes and their
// resume window, the notes key, restarting, and describing what was played.

#include <gmock/gmock.h>

#include "core/compose-room.h"
#include "core/engine-fixture.h"

namespace orvo {
namespace {

using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::string kComposeIntro =
    " Just play. Then the top key plays it back as a band. The next key down tells you what you "
    "wrote. The next plays a variation. The next saves it.";

class ComposeTest : public EngineTest {
 protected:
  // A C major phrase, one note every `step` seconds, each held for most of it.
  void phrase(int count, double step = 0.5) {
    static const int notes[] = {60, 64, 67, 72, 67, 64, 60, 62, 65, 69, 67, 60};
    for (int i = 0; i < count; ++i) {
      int pitch = notes[i % 12];
      engine->noteEvent(pitch, 80);
      runtime.advance(step * 0.8);
      engine->noteEvent(pitch, 0);
      runtime.advance(step * 0.2);
    }
  }
  std::vector<RNote> take() {
    std::lock_guard guard(engine->lock);
    auto& room = engine->compose();
    return room.history().notes(room.takeStart(), engine->now());
  }
};

TEST_F(ComposeTest, TheComposeKeyOpensCompositionWithItsIntroOnlyTwiceAcrossRuns) {
  press(keys.compose);
  EXPECT_EQ(engine->currentMode(), Mode::compose);
  auto shown = windowLines();
  EXPECT_THAT(shown, Contains("mode compose"));
  EXPECT_THAT(shown, Contains("now A new piece"));
  EXPECT_THAT(spokenOne(), AllOf(AnyOf(StartsWith("Composition mode."),
                                       StartsWith("Composition. I'm listening."),
                                       StartsWith("Composition. Play me something.")),
                                 EndsWith(kComposeIntro)));
  // Again in composition mode, later than 1.2 s: a new piece.
  runtime.advance(2.0);
  press(keys.compose);
  EXPECT_THAT(spokenOne(), AnyOf("New composition.", "Fresh start.", "New idea. Go."));
  // Twice quickly: out of composition.
  runtime.advance(0.5);
  press(keys.compose);
  EXPECT_EQ(spokenOne(), "Composition mode off.");
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  EXPECT_THAT(windowLines(), Contains("mode idle"));

  runtime.advance(2.0);
  press(keys.compose);
  EXPECT_THAT(spokenOne(), EndsWith(kComposeIntro));
  restartEngine();
  press(keys.compose);
  EXPECT_THAT(spokenOne(), AnyOf("Composition mode.", "Composition. I'm listening.",
                                 "Composition. Play me something."));
}

TEST_F(ComposeTest, TheTopKeyActsOnPressAndButtonsNeverEnterTheTake) {
  press(keys.compose);
  spoken();
  phrase(2);
  engine->noteEvent(keys.help, 90);  // a button: help, not music
  engine->noteEvent(keys.help, 0);
  spoken();
  EXPECT_EQ(take().size(), 2u);
  // Two notes are not a take: every take key says so, the top key on its press.
  engine->noteEvent(keys.hear, 90);
  EXPECT_EQ(spokenOne(), "Play something first.");
  engine->noteEvent(keys.hear, 0);
  for (int key : {keys.notes, keys.next, keys.back}) {
    runtime.advance(1.0);
    press(key);
    EXPECT_EQ(spokenOne(), "Play something first.") << key;
  }
}

TEST_F(ComposeTest, TheNotesKeyDescribesTheTakeAndPlayingOnContinuesIt) {
  press(keys.compose);
  spoken();
  phrase(12);
  press(keys.notes);
  std::string first = spokenOne();
  EXPECT_THAT(first, StartsWith("Key of C major. "));
  EXPECT_THAT(first, HasSubstr(" 12 notes."));
  {
    std::lock_guard guard(engine->lock);
    EXPECT_EQ(engine->compose().lastSummary(), first);
  }

  // Within 25 s the next note continues the take, 1.2 s after its last note.
  runtime.advance(10.0);
  const double lastOnset = take().back().t;
  phrase(4);
  auto continued = take();
  ASSERT_EQ(continued.size(), 16u);
  EXPECT_NEAR(continued[12].t - lastOnset, 1.2, 1e-9);
  for (std::size_t i = 1; i < continued.size(); ++i) EXPECT_LT(continued[i - 1].t, continued[i].t);
  press(keys.notes);
  EXPECT_THAT(spokenOne(), HasSubstr(" 16 notes."));

  // A quick second press asks the AI, which is not there.
  runtime.advance(0.3);
  press(keys.notes);
  EXPECT_EQ(spokenOne(), "I could not reach the AI just now.");

  // After the window a note starts a new take.
  runtime.advance(30.0);
  phrase(3);
  press(keys.notes);
  EXPECT_THAT(spokenOne(), HasSubstr(" 3 notes."));
}

TEST_F(ComposeTest, RestartClearsTheTakeAndThePedalLengthensIt) {
  press(keys.compose);
  spoken();
  phrase(8);
  engine->restartTake();
  EXPECT_THAT(spokenOne(), AnyOf("Again.", "From the top.", "Clean slate."));
  press(keys.notes);
  EXPECT_EQ(spokenOne(), "Play something first.");

  // Released under the pedal, the last notes sound until the pedal comes up.
  runtime.advance(40.0);
  phrase(6);
  auto dry = take();
  engine->restartTake();
  spoken();
  runtime.advance(1.0);
  engine->pedal(true);
  phrase(6);
  runtime.advance(3.0);
  engine->pedal(false);
  auto pedalled = take();
  ASSERT_EQ(pedalled.size(), dry.size());
  EXPECT_GT(pedalled.back().end, dry.back().end + 2.9);
  press(keys.notes);
  EXPECT_THAT(spokenOne(), HasSubstr(" 6 seconds, 6 notes."));
  // Outside composition, restarting does nothing.
  press(keys.home);
  spoken();
  engine->restartTake();
  EXPECT_THAT(spoken(), IsEmpty());
}

TEST_F(ComposeTest, AskingWhatWasPlayedDescribesTheLastStretch) {
  phrase(3);
  spoken();
  engine->hear("what did i just play");
  EXPECT_EQ(spokenOne(), "Play something first, then ask me.");
  runtime.advance(20.0);
  phrase(8);
  engine->hear("what did i just play");
  EXPECT_THAT(spokenOne(), AllOf(StartsWith("Key of "), HasSubstr(" 8 notes.")));
  // The chord held now, from the history's held keys.
  for (int pitch : {60, 64, 67}) engine->noteEvent(pitch, 80);
  EXPECT_EQ(engine->heldChord(), "C major. The notes are C, E, G.");
}

}  // namespace
}  // namespace orvo
