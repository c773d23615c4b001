#include "lessons/jazz-feedback.h"
#include "matchers.h"
#include "music-views.h"

namespace orvo {
namespace {

// Long-short pairs on every beat of `bars` bars, the short one at `skip`.
std::vector<JamNote> pairs(int bars, double skip, int pitch = 60) {
  std::vector<JamNote> notes;
  for (int beat = 0; beat < bars * 4; ++beat) {
    notes.push_back({static_cast<double>(beat), pitch, skip});
    notes.push_back({beat + skip, pitch + 3, 1 - skip});
  }
  return notes;
}

std::vector<JamNote> onBeats(const std::vector<int>& pitches) {
  std::vector<JamNote> notes;
  for (std::size_t i = 0; i < pitches.size(); ++i)
    notes.push_back({static_cast<double>(i), pitches[i], 1});
  return notes;
}

TEST(JazzFeedback, HardlyHeardWhateverTheGoal) {
  for (const JazzLesson& lesson : jazzLessons()) {
    EXPECT_EQ(jazzFeedback(lesson, {}),
              "I hardly heard you. Jump in, there are no wrong notes here.");
    EXPECT_EQ(jazzFeedback(lesson, onBeats({60, 63, 65})),
              "I hardly heard you. Jump in, there are no wrong notes here.");
  }
}

TEST(JazzFeedback, SwingIsHowLateTheShortNoteComes) {
  const JazzLesson& swing = lessonNo(1);
  EXPECT_EQ(jazzFeedback(swing, onBeats({60, 63, 65, 67, 65, 63, 60, 60})),
            "I heard mostly notes on the beat. Add the short note that skips in before each beat.");
  EXPECT_EQ(jazzFeedback(swing, pairs(4, 0.5)),
            "Your short notes land halfway between beats, which is straight, not swung. Wait "
            "longer, then skip in late.");
  EXPECT_EQ(jazzFeedback(swing, pairs(4, 0.67)),
            "That swings. Your short notes sit late in the beat, where they belong.");
  EXPECT_EQ(
      jazzFeedback(swing, pairs(4, 0.88)),
      "Your short notes are very late, almost on the next beat. Relax them a little earlier.");
  // The same pairs played a little behind the band's beat still swing.
  auto behind = pairs(4, 0.67);
  for (auto& note : behind) note.beat += 0.05;
  EXPECT_THAT(jazzFeedback(swing, behind), StartsWith("That swings."));
}

TEST(JazzFeedback, ScaleCountsTheNotesOutsideIt) {
  const JazzLesson& blues = lessonNo(2);
  EXPECT_EQ(jazzFeedback(blues, onBeats({60, 63, 65, 66, 67, 70, 72, 70})),
            "Every note was in the scale.");
  EXPECT_EQ(jazzFeedback(blues, onBeats({60, 63, 65, 66, 67, 70, 72, 70, 67, 64})),
            "90 percent in the scale. That is plenty.");
  EXPECT_EQ(jazzFeedback(blues, onBeats({60, 64, 64, 62, 67, 64, 69, 72, 71, 70})),
            "40 percent in the scale. The stray one was mostly E.");
  EXPECT_EQ(jazzFeedback(blues, onBeats({61, 61, 61, 60})),
            "25 percent in the scale. The stray one was mostly D flat.");
}

TEST(JazzFeedback, SpaceIsTheSilenceBetweenPhrases) {
  const JazzLesson& less = lessonNo(3);  // 24 bars: 96 beats
  // Eighth notes from start to end.
  std::vector<JamNote> busy;
  for (int i = 0; i < 192; ++i) busy.push_back({i * 0.5, i % 2 ? 63 : 60, 0.5});
  EXPECT_EQ(jazzFeedback(less, busy),
            "You played almost non stop. Next time, stop for a whole bar and let the band play. "
            "Every note was in the scale.");
  // Two bars of phrase, two bars of rest: half the jam is silent.
  std::vector<JamNote> breathing;
  for (int phrase = 0; phrase < 6; ++phrase)
    for (int i = 0; i < 8; ++i) breathing.push_back({phrase * 16.0 + i, 60 + (i % 2) * 5, 1});
  EXPECT_EQ(jazzFeedback(less, breathing),
            "6 phrases with room between them. That breathing is exactly right. Every note was "
            "in the scale.");
  // Four notes in a whole jam; a held note counts for two beats at most.
  EXPECT_THAT(jazzFeedback(less, {{0, 60, 90}, {30, 63, 1}, {60, 65, 1}, {90, 60, 1}}),
              StartsWith("Plenty of space, maybe too much. Say a little more."));
}

TEST(JazzFeedback, TargetsAreThirdsAndSeventhsAtTheChanges) {
  const JazzLesson& third = lessonNo(6);  // two choruses of the blues
  // The third of each bar's chord, on the bar's first beat.
  std::vector<JamNote> landing;
  for (int bar = 0; bar < 24; ++bar) {
    const JazzChord& chord = third.bars[static_cast<std::size_t>(bar % 12)];
    landing.push_back({bar * 4.0 - 0.2, 60 + chord.third(), 1});
    landing.push_back({bar * 4.0 + 2, 67, 1});
  }
  EXPECT_EQ(jazzFeedback(third, landing),
            "You landed on the third or seventh at 14 of 14 chord changes. That is what makes "
            "it sound like jazz.");
  // Too early, too late or in the left hand do not count.
  std::vector<JamNote> missing;
  for (int bar = 0; bar < 24; ++bar) {
    const JazzChord& chord = third.bars[static_cast<std::size_t>(bar % 12)];
    missing.push_back({bar * 4.0 - 0.5, 60 + chord.third(), 1});
    missing.push_back({bar * 4.0 + 1.5, 60 + chord.third(), 1});
    missing.push_back({bar * 4.0, 36 + chord.third(), 1});
  }
  EXPECT_EQ(jazzFeedback(third, missing),
            "You did not catch a chord change yet. Listen for the bass moving, and land on E or "
            "the next chord's third right then.");
  std::vector<JamNote> some(landing.begin(), landing.begin() + 8);  // bars 0 to 3: one change
  for (int bar : {4, 8}) some.push_back({bar * 4.0 + 0.5, 69 + (bar == 8 ? 2 : 0), 1});
  EXPECT_EQ(jazzFeedback(third, some),
            "You caught 3 of 14 chord changes. Aim at the third just as the bass moves.");
  // The two five one lands on F, B and E; its seventh counts too.
  const JazzLesson& twoFive = lessonNo(8);
  std::vector<JamNote> sevenths;
  for (int bar = 0; bar < 24; ++bar) {
    const JazzChord& chord = twoFive.bars[static_cast<std::size_t>(bar % 4)];
    sevenths.push_back({bar * 4.0, 72 + chord.seventh(), 1});
    sevenths.push_back({bar * 4.0 + 1, 64, 1});
  }
  EXPECT_THAT(jazzFeedback(twoFive, sevenths),
              StartsWith("You landed on the third or seventh at 18 of 18"));
}

TEST(JazzFeedback, CallsAreAnsweredInTheGap) {
  const JazzLesson& calls = lessonNo(4);
  const auto spans = callSpans(calls);
  ASSERT_EQ(spans.size(), 6u);
  std::vector<JamNote> every;
  for (const CallSpan& span : spans)
    for (int i = 0; i < 4; ++i) every.push_back({span.start + 8 + i, 60, 1});
  EXPECT_EQ(jazzFeedback(calls, every), "You answered every call. That is a real conversation.");

  std::vector<JamNote> two(every.begin(), every.begin() + 8);
  EXPECT_EQ(jazzFeedback(calls, two), "You answered 2 of 6 calls. Do not think, just reply.");

  std::vector<JamNote> over = every;
  for (const CallSpan& span : spans) over.push_back({span.start + 1, 65, 0.5});
  for (const CallSpan& span : spans) over.push_back({span.start + 1.5, 67, 0.5});
  EXPECT_EQ(jazzFeedback(calls, over),
            "You played while I was talking. Wait for my phrase to end, then answer.");
  // One slip over a phrase is not talking over it.
  std::vector<JamNote> slip = every;
  slip.push_back({spans[0].start + 1, 65, 0.5});
  EXPECT_EQ(jazzFeedback(calls, slip), "You answered every call. That is a real conversation.");
}

TEST(JazzFeedback, ShellsAreThirdAndSeventhInTheLeftHand) {
  const JazzLesson& blues = lessonNo(5);
  std::vector<JamNote> shells;
  for (int bar = 0; bar < 24; ++bar) {
    const JazzChord& chord = blues.bars[static_cast<std::size_t>(bar % 12)];
    shells.push_back({bar * 4.0 + 0.1, 48 + chord.third(), 3.8});
    shells.push_back({bar * 4.0 + 0.1, 48 + chord.seventh(), 3.8});
  }
  EXPECT_EQ(jazzFeedback(blues, shells),
            "24 of 24 bars had the right shell. You are holding down the harmony like a real "
            "rhythm section.");
  // The C seven shell held through the F bars is wrong there, and the right
  // shell an octave up is the right hand.
  std::vector<JamNote> wrong;
  for (int bar = 0; bar < 24; ++bar) {
    wrong.push_back({bar * 4.0, 52, 3.9});
    wrong.push_back({bar * 4.0, 58, 3.9});
  }
  EXPECT_EQ(jazzFeedback(blues, wrong),
            "14 of 24 bars had the right shell. You are holding down the harmony like a real "
            "rhythm section.");
  for (auto& note : shells) note.pitch += 24;
  EXPECT_EQ(jazzFeedback(blues, shells),
            "0 of 24 bars had the right shell. Listen for the bass to tell you when the chord "
            "changes.");
  // One shell held down for the whole jam, pedal and all, is held across every bar.
  EXPECT_THAT(jazzFeedback(blues, {{0, 52, 200}, {0, 58, 200}, {0, 40, 200}, {0, 36, 200}}),
              StartsWith("14 of 24 bars"));
  const JazzLesson& twoFive = lessonNo(7);
  EXPECT_THAT(jazzFeedback(twoFive, wrong), StartsWith("0 of 24 bars"));
}

TEST(JazzFeedback, FreeJamIsFeelAndLanding) {
  const JazzLesson& session = lessonNo(9);
  const std::string said = jazzFeedback(session, pairs(36, 0.67, 64));
  EXPECT_THAT(said, StartsWith("That swings. Your short notes sit late in the beat, where they "
                               "belong. You "));
  EXPECT_THAT(said, HasSubstr("chord changes"));
}

// A flood of notes, or notes far outside the jam, still gets one of the sentences.
TEST(JazzFeedback, FloodsAndStrayTimes) {
  std::vector<JamNote> flood;
  for (int i = 0; i < 2000; ++i) flood.push_back({i * 0.07, 21 + i % 88, 0.05});
  flood.push_back({-1e6, 60, 1e9});
  flood.push_back({1e6, 127, -5});
  for (const JazzLesson& lesson : jazzLessons()) {
    const std::string said = jazzFeedback(lesson, flood);
    EXPECT_THAT(said, ::testing::EndsWith(".")) << lesson.title;
  }
}

}  // namespace
}  // namespace orvo
