// Ear training, the metronome and the timers, through the engine, on the
// virtual clock.

#include "engine/engine-fixture.h"
#include "matchers.h"
#include "rooms/practice/ear-training.h"
#include "rooms/practice/metronome.h"
#include "rooms/practice/practice-timers.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PracticeTest : public EngineTest {
 protected:
  PracticeTest() { spoken(); }

  // Messages on one channel published since the last call for it (after
  // what is due now has run).
  std::vector<Bytes> sent(int channel) {
    runtime.advance(0.0);
    std::vector<Bytes> out;
    std::erase_if(midiBackend.published, [&](const Bytes& bytes) {
      if ((bytes[0] & 0x0F) != channel) return false;
      out.push_back(bytes);
      return true;
    });
    return out;
  }
  // The note the round asks, as it was sounded (a note-on at 84 on channel 1).
  std::optional<int> asked() {
    std::optional<int> note;
    for (const auto& bytes : sent(0)) {
      if (bytes[0] == 0x90 && bytes[2] == 84) note = bytes[1];
    }
    return note;
  }
  void play(int pitch) {
    engine->noteEvent(pitch, 80);
    engine->noteEvent(pitch, 0);
    runtime.runReady();
  }
  int knocks() {
    int count = 0;
    for (const auto& bytes : sent(9)) count += bytes[0] == 0x99;
    return count;
  }
};

TEST_F(PracticeTest, ARoundAsksFiveNotesFromItsPoolsNeverTheSameTwiceAndCounts) {
  // Each round played the same way: the first note found at once, the rest
  // after `misses` wrong notes each; `octave` plays the wrong ones an octave up.
  auto round = [&](int firstTries, bool octave) {
    engine->appCommand("ear");
    auto intro = spoken();
    EXPECT_FALSE(intro.empty());
    if (!intro.empty()) {
      EXPECT_THAT(intro[0], HasSubstr("Ear training. I play a note, you find it"));
    }
    std::vector<int> notes;
    std::vector<std::string> said;
    for (int n = 0; n < 5; ++n) {
      auto note = asked();
      EXPECT_TRUE(note) << "note " << n + 1;
      if (!note) return said;
      notes.push_back(*note);
      if (n >= firstTries) {
        // Wrong notes of another pitch class, below a high target and above a low one.
        for (int miss = 0; miss < 3; ++miss)
          play(octave ? *note + 12 : *note + (*note > 60 ? -13 : 13));
        EXPECT_EQ(knocks(), 3);
        auto clue = spoken();
        EXPECT_THAT(clue, ElementsAre(octave       ? "Right note, wrong octave."
                                      : *note > 60 ? "Higher."
                                                   : "Lower."));
      }
      play(*note);
      for (auto& each : spoken()) said.push_back(each);
    }
    EXPECT_FALSE(asked()) << "a sixth note";
    EXPECT_FALSE(engine->ear().running());
    for (std::size_t i = 0; i < notes.size(); ++i) {
      if (i < 2) {
        EXPECT_THAT((std::vector<int>{60, 62, 64, 65, 67, 69, 71, 72}), Contains(notes[i]));
      }
      EXPECT_GE(notes[i], 55);
      EXPECT_LE(notes[i], 76);
      if (i > 0) {
        EXPECT_NE(notes[i], notes[i - 1]) << "asked twice in a row";
      }
    }
    return said;
  };
  auto sharp = round(4, true);
  ASSERT_EQ(sharp.size(), 5u);
  EXPECT_THAT(sharp[0], ::testing::EndsWith(" Next."));
  EXPECT_THAT(sharp[4], ::testing::StartsWith("Yes. "));  // found after misses
  EXPECT_THAT(sharp[4],
              ::testing::EndsWith(" That is five. 4 on the first try. Your ear is sharp."));
  auto again = round(3, false);
  ASSERT_EQ(again.size(), 5u);
  EXPECT_THAT(again[4], ::testing::EndsWith("3 on the first try. Say ear training to go again."));
  // Once the round is over, notes at home are the jam's and the remarks' again.
  play(60);
  EXPECT_EQ(knocks(), 0);
}

TEST_F(PracticeTest, DuringARoundTheTopKeyRepeatsNotesBetweenAreTakenAndHomeEndsIt) {
  engine->appCommand("ear");
  spoken();
  auto first = asked();
  ASSERT_TRUE(first);
  press(keys.hear);
  EXPECT_EQ(asked(), first);
  // The help key explains the round.
  EXPECT_THAT(afterPress(keys.help), HasSubstr("The top key, or space, plays the note again"));
  // A note (or a chord) played while "Next." is said is taken, not judged.
  speaker.whileSaying = [&] {
    engine->noteEvent(*first, 90);
    engine->noteEvent(30, 90);
  };
  play(*first);
  speaker.whileSaying = nullptr;
  spoken();
  EXPECT_EQ(knocks(), 0);
  auto second = asked();
  ASSERT_TRUE(second);
  // A button key is a button, never an answer.
  engine->noteEvent(keys.notes, 80);
  spoken();
  EXPECT_EQ(knocks(), 0);
  EXPECT_TRUE(engine->ear().running());
  // Home ends the round: the next note is nobody's answer.
  pressUnchecked(keys.home);
  EXPECT_FALSE(engine->ear().running());
  play(*second == 60 ? 61 : 60);
  EXPECT_EQ(knocks(), 0);
  // And a lesson leaves no round behind.
  engine->appCommand("ear");
  spoken();
  EngineTestAccess::enterLesson(*engine, 4, 0, true);
  EXPECT_FALSE(engine->ear().running());
  runtime.advance(1.0);
  EXPECT_THAT(midi.sounding(), IsEmpty());
}

TEST_F(PracticeTest, TheMetronomeClicksOnAbsoluteBeatsAndANewTempoCutsTheOld) {
  EXPECT_EQ(afterCommand("metronome 120"), "Metronome at 120.");
  std::vector<Bytes> clicks = sent(9);
  std::vector<double> at(clicks.size(), runtime.now());
  const double start = runtime.now();
  // Every 10 ms for 4.2 s: each click where it is due, to the step.
  for (int step = 0; step < 420; ++step) {
    runtime.advance(0.01);
    for (auto& bytes : sent(9)) {
      clicks.push_back(bytes);
      at.push_back(runtime.now());
    }
  }
  std::vector<int> beats;
  for (std::size_t i = 0; i < clicks.size(); ++i) {
    if (clicks[i][0] != 0x99) continue;
    beats.push_back(clicks[i][1]);
    const double due = start + 0.5 * static_cast<double>(beats.size() - 1);
    EXPECT_NEAR(at[i], due, 0.0101) << "beat " << beats.size() - 1;
  }
  EXPECT_THAT(beats, ElementsAre(76, 77, 77, 77, 76, 77, 77, 77, 76));
  EXPECT_EQ(clicks[1], (Bytes{0x89, 76, 0}));  // each click let go before the next
  auto window = windowLines();
  EXPECT_THAT(window, Contains("beat 0"));
  EXPECT_THAT(window, Contains("beat 3"));

  // A new tempo: the sounding click is let go, and the new beat starts now.
  EXPECT_EQ(afterCommand("metronome 60"), "Metronome at 60.");
  EXPECT_THAT(sent(9), ElementsAre(Bytes{0x89, 76, 0}, Bytes{0x99, 76, 84}));
  runtime.advance(0.6);
  EXPECT_THAT(sent(9), IsEmpty()) << "the old tempo's beats are gone";
  runtime.advance(0.41);
  EXPECT_THAT(sent(9), ElementsAre(Bytes{0x89, 76, 0}, Bytes{0x99, 77, 62}));

  // The same tempo again does not restart the beat; bad tempos start nothing.
  EXPECT_EQ(afterCommand("metronome 60"), "The metronome is already at 60.");
  for (const char* bad : {"metronome 10", "metronome 301", "metronome abc", "metronome -5"}) {
    EXPECT_THAT(afterCommand(bad), HasSubstr("metronome")) << bad;
  }
  EXPECT_EQ(engine->metronome().bpm(), 60);
  EXPECT_THAT(sent(9), IsEmpty());

  // Spoken: faster, then stop; home stops it too.
  EXPECT_EQ(afterHearing("metronome faster"), "Metronome at 70.");
  EXPECT_EQ(afterHearing("stop the metronome"), "Metronome off.");
  runtime.advance(2.0);
  sent(9);
  EXPECT_THAT(midi.sounding(), IsEmpty());
  EXPECT_EQ(afterHearing("metronome at 100"), "Metronome at 100.");
  pressUnchecked(keys.home);
  EXPECT_FALSE(engine->metronome().running());
  runtime.advance(2.0);
  for (const auto& bytes : sent(9)) EXPECT_NE(bytes[0], 0x99);
  EXPECT_THAT(midi.sounding(), IsEmpty());
}

TEST_F(PracticeTest, TimersChimeAndSayTheirTimeAndSurviveGoingHome) {
  EXPECT_EQ(afterCommand("timer 90"), "Timer set for 1 minute.");
  EXPECT_EQ(afterHearing("set a timer for 30 seconds"), "Timer set for 30 seconds.");
  EXPECT_EQ(afterHearing("remind me in 2 minutes to stretch my hands"),
            "Okay. I'll remind you in 2 minutes.");
  EXPECT_EQ(engine->timers().armed(), 3);
  pressUnchecked(keys.home);  // going home leaves them running
  windowLines();

  runtime.advance(29.9);
  EXPECT_THAT(spoken(), IsEmpty());
  runtime.advance(0.2);
  EXPECT_THAT(spoken(), ElementsAre("Time. 30 seconds are up."));
  EXPECT_THAT(windowLines(), Contains("flash good"));
  std::vector<int> chime;
  for (const auto& bytes : sent(4)) {
    if ((bytes[0] & 0xF0) == 0x90) chime.push_back(bytes[1]);
  }
  runtime.advance(1.0);
  for (const auto& bytes : sent(4)) {
    if ((bytes[0] & 0xF0) == 0x90) chime.push_back(bytes[1]);
  }
  EXPECT_THAT(chime, ElementsAre(79, 84, 79, 84));
  runtime.advance(60.0);
  EXPECT_THAT(spoken(), ElementsAre("Time. 1 minute are up."));
  runtime.advance(30.0);
  EXPECT_THAT(spoken(), ElementsAre("A reminder: stretch my hands."));
  EXPECT_EQ(engine->timers().armed(), 0);

  // Out of range, or not a number: one sentence, nothing armed.
  for (const char* bad : {"timer 0", "timer -3", "timer 90000", "timer soon"}) {
    EXPECT_THAT(afterCommand(bad), HasSubstr("timer")) << bad;
  }
  EXPECT_EQ(afterHearing("set a timer"), "For how many minutes?");
  EXPECT_EQ(engine->timers().armed(), 0);

  // A label of 2,000 characters is cut at a word.
  std::string label;
  while (label.size() < 2000) label += "practise scales ";
  engine->appCommand("timer 5 " + label);
  spoken();
  runtime.advance(5.1);
  auto said = spokenOne();
  EXPECT_LT(said.size(), 240u);
  EXPECT_THAT(said, ::testing::EndsWith("scales."));
  // Quitting cancels what is left.
  engine->appCommand("timer 5");
  spoken();
  engine->timers().cancelAll();
  runtime.advance(10.0);
  EXPECT_THAT(spoken(), IsEmpty());
}

TEST(PracticeTimers, AmountsAndSentences) {
  EXPECT_EQ(PracticeTimers::amount(1), "1 second");
  EXPECT_EQ(PracticeTimers::amount(59), "59 seconds");
  EXPECT_EQ(PracticeTimers::amount(119), "1 minute");
  EXPECT_EQ(PracticeTimers::amount(120), "2 minutes");
  EXPECT_EQ(PracticeTimers::upSentence(300, "", "Ada"), "Time. 5 minutes are up.");
  EXPECT_EQ(PracticeTimers::upSentence(300, "tea", "Ada"), "Ada, a reminder: tea.");
}

}  // namespace
}  // namespace orvo
