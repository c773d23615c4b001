// Composition mode on the virtual clock: the compose key, takes and their
// resume window, the notes key, restarting, and describing what was played.

#include <set>

#include "compose/band.h"
#include "engine/compose-fixture.h"
#include "matchers.h"
#include "rooms/compose/compose-room.h"

namespace orvo {
namespace {

const std::string kComposeIntro =
    " Just play. Then the top key plays it back as a band. The next key down tells you what you "
    "wrote. The next plays a variation. The next saves it.";

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
  EXPECT_THAT(afterPress(keys.compose), AnyOf("New composition.", "Fresh start.", "New idea. Go."));
  // Twice quickly: out of composition.
  runtime.advance(0.5);
  EXPECT_EQ(afterPress(keys.compose), "Composition mode off.");
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  EXPECT_THAT(windowLines(), Contains("mode idle"));

  runtime.advance(2.0);
  EXPECT_THAT(afterPress(keys.compose), EndsWith(kComposeIntro));
  restartEngine();
  EXPECT_THAT(afterPress(keys.compose), AnyOf("Composition mode.", "Composition. I'm listening.",
                                              "Composition. Play me something."));
}

TEST_F(ComposeTest, TheTopKeyActsOnPressAndButtonsNeverEnterTheTake) {
  pressUnchecked(keys.compose);
  phrase(2);
  engine->noteEvent(keys.help, 90);  // a button: help, not music
  engine->noteEvent(keys.help, 0);
  spoken();
  EXPECT_EQ(take().size(), 2u);
  // Two notes are not a take: every take key says so, the top key once no
  // second press (naming) came.
  engine->noteEvent(keys.hear, 90);
  runtime.advance(0.6);
  EXPECT_EQ(spokenOne(), "Play something first.");
  engine->noteEvent(keys.hear, 0);
  for (int key : {keys.notes, keys.next, keys.back}) {
    runtime.advance(1.0);
    EXPECT_EQ(afterPress(key), "Play something first.") << key;
  }
}

TEST_F(ComposeTest, TheNotesKeyDescribesTheTakeAndPlayingOnContinuesIt) {
  pressUnchecked(keys.compose);
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
  EXPECT_THAT(afterPress(keys.notes), HasSubstr(" 16 notes."));

  // A quick second press asks the AI, which is not there.
  runtime.advance(0.3);
  EXPECT_EQ(afterPress(keys.notes), "I could not reach the AI just now.");

  // After the window a note starts a new take.
  runtime.advance(30.0);
  phrase(3);
  EXPECT_THAT(afterPress(keys.notes), HasSubstr(" 3 notes."));
}

TEST_F(ComposeTest, RestartClearsTheTakeAndThePedalLengthensIt) {
  pressUnchecked(keys.compose);
  phrase(8);
  engine->restartTake();
  EXPECT_THAT(spokenOne(), AnyOf("Again.", "From the top.", "Clean slate."));
  EXPECT_EQ(afterPress(keys.notes), "Play something first.");

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
  EXPECT_THAT(afterPress(keys.notes), HasSubstr(" 6 seconds, 6 notes."));
  // Outside composition, restarting only says where it would.
  pressUnchecked(keys.home);
  engine->restartTake();
  EXPECT_EQ(spokenOne(), "There is no take to start again here. Press c for composition mode.");
}

TEST_F(ComposeTest, AskingWhatWasPlayedDescribesTheLastStretch) {
  phrase(3);
  spoken();
  EXPECT_EQ(afterHearing("what did i just play"), "Play something first, then ask me.");
  runtime.advance(20.0);
  phrase(8);
  EXPECT_THAT(afterHearing("what did i just play"),
              AllOf(StartsWith("Key of "), HasSubstr(" 8 notes.")));
  // The chord held now, from the history's held keys.
  for (int pitch : {60, 64, 67}) engine->noteEvent(pitch, 80);
  EXPECT_EQ(heldChord(), "C major. The notes are C, E, G.");
}

TEST_F(ComposeTest, TheTopKeyPlaysTheTakeWithTheBandOnTheStylesChannels) {
  int silenced = 0;
  engine->compose().setLiveBandSilencer([&] { ++silenced; });
  pressUnchecked(keys.compose);
  phrase(12);
  press(keys.next);  // a variation is no band: the live band plays on
  runtime.runReady();
  for (int i = 0; i < 100; ++i) runtime.advance(0.1);
  EXPECT_EQ(silenced, 0);
  sent(midiBackend);
  engine->noteEvent(keys.hear, 90);
  runtime.runReady();
  EXPECT_EQ(silenced, 1) << "the live band falls silent at the press itself";
  for (int i = 0; i < 200; ++i) runtime.advance(0.1);
  EXPECT_THAT(spoken(), Contains(AnyOf("Here it is with the band.", "With the band.",
                                       "Here comes the band.")));
  std::vector<int> piano;
  std::set<int> channels;
  std::map<int, int> open;
  for (auto [status, key, velocity] : sent(midiBackend)) {
    const int channel = status & 15;
    const bool on = (status & 0xF0) == 0x90 && velocity > 0;
    if ((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90)
      open[channel * 128 + key] += on ? 1 : -1;
    if (!on) continue;
    channels.insert(channel);
    if (channel == 0) piano.push_back(key);
  }
  EXPECT_EQ(piano, (std::vector<int>{60, 64, 67, 72, 67, 64, 60, 62, 65, 69, 67, 60}));
  channels.erase(0);
  for (int channel : channels) EXPECT_THAT(bandChannels("classic"), Contains(channel));
  EXPECT_FALSE(channels.empty());
  for (auto [slot, count] : open) EXPECT_EQ(count, 0) << "every note-on has its note-off";
  EXPECT_FALSE(midi.pianoHere.load()) << "the piano leaves the band's mix when it ends";
  EXPECT_GE(silenced, 1) << "the live band falls silent before the take's band plays";
}

TEST_F(ComposeTest, ByVoiceTheTakeComesBackWithTheBandOrVaried) {
  pressUnchecked(keys.compose);
  phrase(8);
  engine->hear("play it back with the band");
  EXPECT_THAT(spoken(), Contains(AnyOf("Here it is with the band.", "With the band.",
                                       "Here comes the band.")));
  engine->hear("play a variation");
  EXPECT_THAT(spoken(), Contains("Backwards."));
  // At home, what was just played.
  pressUnchecked(keys.home);
  runtime.advance(30.0);
  phrase(8);
  engine->hear("play it back with the band");
  EXPECT_THAT(spoken(), Contains(AnyOf("Here it is with the band.", "With the band.",
                                       "Here comes the band.")));
}

TEST_F(ComposeTest, TheNextKeyVariesThenStartsTheRoundWhoseEchoesFollow) {
  pressUnchecked(keys.compose);
  phrase(16);
  std::vector<std::string> words;
  for (int i = 0; i < 5; ++i) {
    press(keys.next);
    runtime.runReady();
    auto said = spoken();
    ASSERT_FALSE(said.empty());
    words.push_back(said.front());
    for (int s = 0; s < 300 && i < 4; ++s) runtime.advance(0.1);  // the variation plays out
    spoken();
  }
  EXPECT_EQ(words[0], "Backwards.");
  EXPECT_EQ(words[1], "Upside down.");
  EXPECT_EQ(words[2], "In minor.");
  EXPECT_THAT(words[3], StartsWith("Round. Play it again, and I will follow "));
  EXPECT_THAT(words[3], EndsWith(" seconds behind you, one octave up. Any button key stops it."));
  EXPECT_EQ(words[4], "Backwards.");

  // The fourth press again: the round, then echoes an octave up, on time.
  runtime.advance(60.0);
  engine->restartTake();
  spoken();
  phrase(16);
  for (int i = 0; i < 3; ++i) press(keys.next);
  runtime.runReady();
  spoken();
  runtime.advance(60.0);
  press(keys.next);
  runtime.runReady();
  ASSERT_THAT(spoken(), Contains(StartsWith("Round.")));
  sent(midiBackend);
  engine->noteEvent(62, 90);
  runtime.advance(1.9);
  EXPECT_TRUE(sent(midiBackend).empty()) << "no echo before two seconds";
  runtime.advance(8.0);
  auto echoes = sent(midiBackend);
  ASSERT_THAT(echoes, Contains(std::array<int, 3>{0x90, 74, 90}));
  // A button ends the round: a new note is not echoed, the held one is still let go.
  pressUnchecked(keys.help);
  engine->noteEvent(64, 90);
  engine->noteEvent(62, 0);
  runtime.advance(9.0);
  echoes = sent(midiBackend);
  EXPECT_THAT(echoes, Contains(std::array<int, 3>{0x80, 74, 0}));
  EXPECT_THAT(echoes, Not(Contains(std::array<int, 3>{0x90, 76, 90})));
}

TEST_F(ComposeTest, TheBandStyleGoesRoundAndOutlivesTheRun) {
  std::vector<std::string> said;
  for (int i = 0; i < 2; ++i) {
    engine->appCommand("bandstyle");
    said.push_back(spokenOne());
  }
  EXPECT_THAT(said, ElementsAre("Full band: with high strings, horn and pad.",
                                "Simple band: bass, strings and cello, in the newer sound."));
  EXPECT_THAT(windowLines(), IsSupersetOf({"bandstyle full", "bandstyle simple"}));
  runtime.runReady();
  EXPECT_EQ(files::readFile(home / "band-style-2.txt"), "simple\n");
  restartEngine();
  {
    std::lock_guard guard(engine->lock);
    EXPECT_EQ(engine->compose().bandStyle(), "simple");
  }
  EXPECT_EQ(afterCommand("bandstyle"),
            "Classic band: bass, strings and cello, the way it first was.");
}

}  // namespace
}  // namespace orvo
