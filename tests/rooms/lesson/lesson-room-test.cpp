// Whole units driven through the piano on the virtual clock.

#include "engine/engine-fixture.h"
#include "matchers.h"
#include "player/json-file.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Song songOf(const std::string& name, std::vector<std::pair<double, std::vector<int>>> steps,
            double bpm = 100) {
  Song song;
  song.name = name;
  song.bpm = bpm;
  for (auto& [beat, pitches] : steps) {
    for (int pitch : pitches) song.notes.push_back({beat, 0.9, pitch, 80, 0});
  }
  return song;
}

class LessonTest : public EngineTest {
 protected:
  void open(Song song) {
    EngineTestAccess::useSongs(*engine, {std::move(song)});
    engine->lessons().chooseSong(0);
    heard = spoken();  // the opening, the demonstration, "Your turn"
    ASSERT_TRUE(EngineTestAccess::waiting(*engine));
    midiBackend.published.clear();
    windowLines();
  }
  int count(std::uint8_t status, int note = -1) {
    int n = 0;
    for (const auto& bytes : midiBackend.published) {
      if (bytes[0] == status && (note < 0 || bytes[1] == note)) ++n;
    }
    return n;
  }
  int flashes(const std::string& which) {
    int n = 0;
    for (const auto& line : windowLines()) n += line == "flash " + which;
    return n;
  }
  std::vector<std::string> heard;
};

// Part 1 is four notes, a pause, then part 2; a unit also ends on the next part's first note.
Song twoParts() {
  return songOf(
      "Two Parts",
      {{0, {60}}, {1, {62}}, {2, {64}}, {3, {65}}, {8, {67}}, {9, {69}}, {10, {71}}, {11, {72}}});
}

TEST_F(LessonTest, ACleanPassGetsAVerdictAChimeAndTheNextPart) {
  open(twoParts());
  EXPECT_THAT(heard.front(), StartsWith("Two Parts. 2 short parts. How this works."));
  EXPECT_THAT(heard.front(), HasSubstr("Part 1, right hand. Listen."));
  EXPECT_THAT(heard.back(), AnyOf(StartsWith("Your turn. Start on C, octave 4"),
                                  StartsWith("Now you. Start on C, octave 4"),
                                  StartsWith("Over to you. Start on C, octave 4"),
                                  StartsWith("Have a go. Start on C, octave 4")));
  ASSERT_EQ(EngineTestAccess::stepCount(*engine), 5u);
  for (int pitch : {60, 62, 64, 65, 67}) key(pitch);
  auto said = spoken();
  ASSERT_FALSE(said.empty());
  EXPECT_THAT(said.front(), AnyOf(StartsWith("That's correct. Part 2, right hand."),
                                  StartsWith("Yes, that's right. Part 2, right hand."),
                                  StartsWith("That's it, well done. Part 2, right hand."),
                                  StartsWith("Spot on. Part 2, right hand.")));
  EXPECT_EQ(count(0x94, 84), 1);  // the chime, on the music box
  EXPECT_EQ(count(0x99), 0);      // no knock
  auto stored = jsonfile::readObject(home / "progress.json");
  ASSERT_TRUE(stored);
  EXPECT_EQ((*stored)["Two Parts"], 1);
}

TEST_F(LessonTest, ChordsNeedMostOfTheirNotesAndForgiveLateOrEarlyOnes) {
  // A four-note chord, then two melody notes a quarter beat apart (0.15 s at 100 bpm).
  open(songOf("Chords", {{0, {48, 52, 55, 60}}, {1, {62}}, {1.25, {64}}, {2, {65}}, {3, {67}}}));
  engine->noteEvent(48, 90);
  engine->noteEvent(52, 90);
  engine->noteEvent(55, 90);  // three of four: the chord is done
  runtime.advance(0.2);
  engine->noteEvent(60, 90);  // the fourth, late: not a mistake
  runtime.advance(0.4);
  engine->noteEvent(64, 90);  // the next-but-one note, early: remembered
  runtime.advance(0.1);
  engine->noteEvent(62, 90);  // completes this step and, with the early note, the next
  runtime.advance(0.3);
  EXPECT_EQ(count(0x99), 0);
  EXPECT_EQ(flashes("wrong"), 0);
  key(65);
  key(67);
  EXPECT_EQ(flashes("good"), 1);  // all clean
}

TEST_F(LessonTest, WrongNotesKnockOnceASmudgeAndTheNoteIsTold) {
  open(songOf("One Note", {{0, {64}}, {1, {65}}, {2, {67}}, {3, {69}}}));
  engine->noteEvent(60, 90);
  runtime.advance(0.05);
  engine->noteEvent(61, 90);  // 0.05 s later: the same smudge
  runtime.advance(0.3);
  EXPECT_EQ(count(0x99), 1);
  EXPECT_THAT(spoken(), IsEmpty());
  engine->noteEvent(72, 90);  // the second miss here: the note is told
  runtime.advance(0.3);
  EXPECT_EQ(count(0x99), 2);
  auto said = spoken();
  EXPECT_THAT(said, Contains("Lower. E."));
  EXPECT_EQ(count(0x94, 64), 1);   // and sounded on the player's piano
  for (int miss : {62, 63, 62}) {  // misses three, four and five
    engine->noteEvent(miss, 90);
    runtime.advance(0.3);
  }
  EXPECT_THAT(spoken(), ElementsAre("Higher. E."));
  engine->noteEvent(76, 90);  // the same pitch class, an octave off
  runtime.advance(0.3);
  engine->noteEvent(75, 90);
  runtime.advance(0.3);
  engine->noteEvent(76, 90);  // miss eight
  runtime.advance(0.3);
  EXPECT_THAT(spoken(), ElementsAre("An octave lower. E."));
}

TEST_F(LessonTest, SevenQuietSecondsBringTheNextNote) {
  open(songOf("Idle", {{0, {60}}, {1, {62}}, {2, {64}}}));
  runtime.advance(6.9);
  EXPECT_THAT(spoken(), IsEmpty());
  runtime.advance(0.2);
  EXPECT_THAT(spoken(), ElementsAre("Next is C."));
  key(60);  // playing (at 7.1 s) moves the deadline on, to 14.1 s
  runtime.advance(6.3);
  EXPECT_THAT(spoken(), IsEmpty());
  runtime.advance(0.3);
  EXPECT_THAT(spoken(), ElementsAre("Next is D."));
  // One hint a silence: no nagging until the player plays again, right or wrong.
  runtime.advance(30.0);
  EXPECT_THAT(spoken(), IsEmpty());
  key(50);
  spoken();
  runtime.advance(7.1);
  EXPECT_THAT(spoken(), ElementsAre("Next is D."));
  // Help being read is no silence: the hint waits seven seconds after it.
  key(52);
  runtime.advance(5.0);
  engine->help();
  spoken();
  runtime.advance(6.9);
  EXPECT_THAT(spoken(), IsEmpty());
  runtime.advance(0.3);
  EXPECT_THAT(spoken(), ElementsAre("Next is D."));
}

TEST_F(LessonTest, AStepMissedTwiceIsDrilledUntilFixed) {
  open(songOf("Drill", {{0, {60}}, {1, {62}}, {2, {64}}, {3, {65}}, {4, {67}}, {5, {69}}}));
  key(60);
  key(50);
  key(51);  // two misses at the second step
  spoken();
  for (int pitch : {62, 64, 65, 67, 69}) key(pitch);
  auto said = spoken();
  ASSERT_FALSE(said.empty());
  EXPECT_THAT(said.front(),
              AnyOf("Just this spot, slowly. Listen.", "One spot to fix. Slowly. Listen.",
                    "Only these few notes. Listen."));
  EXPECT_THAT(said.back(), StartsWith("Your turn. Start on C, octave 4"));
  EXPECT_EQ(EngineTestAccess::stepCount(*engine), 3u);  // the missed step and its neighbours
  for (int pitch : {60, 62, 64}) key(pitch);
  EXPECT_THAT(spoken(), ElementsAre("Right. Once more to be sure."));
  for (int pitch : {60, 62, 64}) key(pitch);
  said = spoken();
  ASSERT_FALSE(said.empty());
  EXPECT_THAT(said.front(), StartsWith("Fixed. "));
}

TEST_F(LessonTest, AMostlyWrongPassIsPlayedAgain) {
  open(songOf("Again", {{0, {60}}, {1, {62}}, {2, {64}}}));
  for (int miss : {50, 51, 52, 53}) key(miss);
  spoken();
  for (int pitch : {60, 62, 64}) key(pitch);
  auto said = spoken();
  ASSERT_FALSE(said.empty());
  EXPECT_THAT(said.front(), StartsWith("That was mostly wrong notes. Here it is again. Part 1"));
}

TEST_F(LessonTest, TheEndOfASongGoesHomeAndStartsItAfresh) {
  open(songOf("Short Song", {{0, {60}}, {1, {62}}, {2, {64}}}));
  key(60);
  key(62);
  engine->noteEvent(64, 90);
  runtime.runReady();  // the verdict follows the note off the MIDI thread
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  runtime.advance(0.6);
  EXPECT_THAT(spoken(), ElementsAre(AnyOf(StartsWith("Spot on. "), StartsWith("That's correct. "),
                                          StartsWith("Yes, that's right. "),
                                          StartsWith("That's it, well done. "))));
  auto stored = jsonfile::readObject(home / "progress.json");
  ASSERT_TRUE(stored);
  EXPECT_EQ((*stored)["Short Song"], 0);
}

TEST_F(LessonTest, TheLessonKeysRepeatSayTheNotesAndMoveOn) {
  open(twoParts());
  key(60);
  press(keys.notes);
  EXPECT_THAT(spoken(), ElementsAre("Next. Start on D, octave 4, E, F, G."));
  EXPECT_TRUE(EngineTestAccess::waiting(*engine));  // listening again after speaking
  press(keys.next);
  EXPECT_THAT(firstSpoken(), StartsWith("Part 2, right hand."));
  EXPECT_EQ(engine->lessons().currentUnit(), 1);
  pressUnchecked(keys.back);
  press(keys.back);  // before the first unit: the previous song (the only one, again)
  EXPECT_THAT(firstSpoken(), StartsWith("Two Parts."));
  press(keys.hear);  // the part again, a little slower
  EXPECT_THAT(firstSpoken(), "Listen.");
}

TEST_F(LessonTest, TheLeftHandIsAccompaniedAtThePlayersPace) {
  Song song = songOf("Duet", {{0, {72}}, {1, {74}}, {2, {76}}, {3, {77}}});
  for (double beat : {0.0, 1.0, 2.0, 3.0}) song.notes.push_back({beat, 0.9, 48, 80, 1});
  files::writeFileAtomically(home / "progress.json", R"({"Duet": 1})");
  restartEngine();
  open(song);  // unit 2: part 1, left hand
  EXPECT_THAT(
      heard.front(),
      HasSubstr("Part 1, left hand. I will play the right hand softly along with you. Listen."));
  key(48, 0.1, 0.0);  // the first step: the right hand's first note answers at once
  runtime.advance(0.05);
  EXPECT_EQ(count(0x90, 72), 1);
  key(48, 0.1, 0.1);  // at the player's pace, the next right-hand note follows
  runtime.advance(0.05);
  EXPECT_EQ(count(0x90, 74), 1);
  press(keys.home);  // leaving stops what has not sounded yet
  runtime.advance(5.0);
  EXPECT_EQ(count(0x90, 76), 0);
  EXPECT_TRUE(midi.sounding().empty());  // and every note that began has ended
}

TEST_F(LessonTest, AResumedSongWarmsUpFromMemoryFirst) {
  files::writeFileAtomically(home / "progress.json", R"({"Two Parts": 2})");
  restartEngine();
  open(twoParts());
  EXPECT_THAT(heard.front(),
              AnyOf(StartsWith("Two Parts. Warm up first, from memory. Part 2, right hand."),
                    StartsWith("Two Parts. First, from memory. Part 2, right hand.")));
  for (int pitch : {67, 69, 71, 72}) key(pitch);
  auto said = spoken();
  ASSERT_FALSE(said.empty());
  EXPECT_THAT(said.front(),
              AnyOf(StartsWith("Still there. Carrying on. Now all of it, right hand."),
                    StartsWith("Good. On we go. Now all of it, right hand.")));
}

TEST_F(LessonTest, TempoAndHandsAreTheirOwnRequests) {
  EXPECT_EQ(afterKey('-'), "A bit slower.");
  EXPECT_EQ(afterKey('='), "A bit faster.");
  EXPECT_EQ(afterCommand("hands left"),
            "Lessons will teach the left hand only, from now on. Say both hands to change back.");
  EXPECT_EQ(files::readFile(home / "hands.txt"), "left\n");
  EXPECT_THAT(windowLines(), Contains("hands left"));
  EXPECT_EQ(afterCommand("hands both"), "Lessons will teach both hands again.");
}

}  // namespace
}  // namespace orvo
