#include "lessons/jazz-tune.h"

#include <cmath>

#include "lessons/lesson.h"
#include "matchers.h"
#include "music-views.h"

namespace orvo {
namespace {

bool wholeBars(double beats) {
  return std::abs(beats / 4.0 - std::round(beats / 4.0)) < 0.02;
}

// Every study and every call reads without an error, fills whole bars (a
// study) or fits in the two bars before the answer (a call), and stays in a
// playable range for its hand.
TEST(JazzTune, EveryStudyAndCallReads) {
  for (const JazzLesson& lesson : jazzLessons()) {
    for (const std::string* study : {&lesson.right, &lesson.left}) {
      if (study->empty()) continue;
      const TuneRead read = readJazzTune(*study, 0, 80);
      EXPECT_THAT(read.errors, IsEmpty()) << lesson.title;
      EXPECT_FALSE(read.notes.empty()) << lesson.title;
      EXPECT_TRUE(wholeBars(read.beats)) << lesson.title << " lasts " << read.beats;
      for (const SNote& note : read.notes) {
        EXPECT_GE(note.pitch, 48) << lesson.title;
        EXPECT_LE(note.pitch, 84) << lesson.title;
      }
    }
    for (const std::string& call : lesson.calls) {
      const TuneRead read = readJazzTune(call, 0, 80);
      EXPECT_THAT(read.errors, IsEmpty()) << call;
      EXPECT_GE(read.notes.size(), 3u) << call;
      EXPECT_GT(read.beats, 2.0) << call;
      EXPECT_LE(read.beats, 7.0) << call;  // the answer's gap begins at beat 8
    }
  }
}

TEST(JazzTune, CountsDurationsRestsAndChords) {
  // Swung pairs: long then short, two bars.
  const TuneRead swing = readJazzTune(lessonNo(1).right, 0, 84);
  ASSERT_EQ(swing.notes.size(), 10u);
  EXPECT_NEAR(swing.notes[1].beat, 0.67, 1e-9);
  EXPECT_NEAR(swing.notes[1].dur, 0.33, 1e-9);
  EXPECT_NEAR(swing.notes[2].beat, 1.0, 1e-9);
  EXPECT_NEAR(swing.beats, 8.0, 1e-9);

  // Rests take time and make no note.
  const TuneRead space = readJazzTune(lessonNo(3).right, 0, 84);
  EXPECT_EQ(space.notes.size(), 11u);
  EXPECT_NEAR(space.beats, 12.0, 1e-9);
  EXPECT_NEAR(space.notes[3].beat, 4.0, 1e-9);  // after "F4/2 r/1"

  // Shells: two notes struck together for a whole bar, twelve bars.
  const TuneRead shells = readJazzTune(lessonNo(5).left, 1, 72);
  ASSERT_EQ(shells.notes.size(), 24u);
  EXPECT_NEAR(shells.beats, 48.0, 1e-9);
  EXPECT_EQ(shells.notes[0].pitch, 52);  // E3
  EXPECT_EQ(shells.notes[1].pitch, 58);  // B flat 3
  EXPECT_EQ(shells.notes[0].beat, shells.notes[1].beat);
  EXPECT_EQ(shells.notes[1].dur, 4.0);
  EXPECT_EQ(shells.notes[8].pitch, 51);  // bar 5: E flat 3 and A3 for F seven
  EXPECT_EQ(shells.notes[8].beat, 16.0);
  EXPECT_EQ(shells.notes[1].hand, 1);
  EXPECT_EQ(shells.notes[1].vel, 72);

  // The two five one twice, the one held for two bars.
  const TuneRead twoFive = readJazzTune(lessonNo(7).left, 1, 72);
  EXPECT_EQ(twoFive.notes.size(), 12u);
  EXPECT_NEAR(twoFive.beats, 32.0, 1e-9);
}

TEST(JazzTune, StudyIsASongForTheLessonFlow) {
  const Song swing = jazzStudy(lessonNo(1));
  EXPECT_EQ(swing.name, "Jazz Swing");
  EXPECT_EQ(swing.bpm, 88);
  for (const SNote& note : swing.notes) EXPECT_EQ(note.hand, 0);
  const Lesson taught(swing);
  EXPECT_FALSE(taught.units.empty());
  EXPECT_FALSE(taught.bothHands());

  const Song shells = jazzStudy(lessonNo(5));
  for (const SNote& note : shells.notes) EXPECT_EQ(note.hand, 1);
  EXPECT_FALSE(Lesson(shells).units.empty());
  EXPECT_FALSE(Lesson(jazzStudy(lessonNo(7))).units.empty());
}

// Malformed tokens are reported by position and take no time; the good ones
// around them are kept.
TEST(JazzTune, MalformedTokensAreReported) {
  const TuneRead read =
      readJazzTune("C4 H4 D4/x E4/0 F4/-1 G4+ +A4 r/abc B4/1e9 C5/nan E3++G3 C4/ D4/.5", 0, 80);
  EXPECT_THAT(read.errors,
              ElementsAre("token 2: \"H4\" is not a note",
                          "token 3: \"D4/x\" has no length that can be played",
                          "token 4: \"E4/0\" has no length that can be played",
                          "token 5: \"F4/-1\" has no length that can be played",
                          "token 6: \"G4+\" is not a note", "token 7: \"+A4\" is not a note",
                          "token 8: \"r/abc\" has no length that can be played",
                          "token 9: \"B4/1e9\" has no length that can be played",
                          "token 10: \"C5/nan\" has no length that can be played",
                          "token 11: \"E3++G3\" is not a note",
                          "token 12: \"C4/\" has no length that can be played"));
  ASSERT_EQ(read.notes.size(), 2u);
  EXPECT_EQ(read.notes[1].pitch, 62);
  EXPECT_NEAR(read.notes[1].beat, 1.0, 1e-9);
  EXPECT_NEAR(read.beats, 1.5, 1e-9);

  for (const char* garbage :
       {"", "   ", "+", "/", "r", "r+C4", "C99", "128", "\xff\xfe", "C4/4/4"}) {
    const TuneRead odd = readJazzTune(garbage, 0, 80);
    for (const SNote& note : odd.notes) {
      EXPECT_GE(note.pitch, 0);
      EXPECT_LE(note.pitch, 127);
    }
  }
  EXPECT_THAT(jazzTune("C4/4/4", 0, 80), IsEmpty());
}

}  // namespace
}  // namespace orvo
