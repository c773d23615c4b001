#include "compose/jazz-backing.h"

#include <cmath>
#include <map>

#include "lessons/jazz-feedback.h"
#include "lessons/jazz-tune.h"
#include "matchers.h"
#include "music-views.h"

namespace orvo {
namespace {

using namespace jazzband;

struct Heard {
  std::vector<RNote> notes;
  double lead = 0;
  double beat = 0;
  // The notes of a channel (and drum sound) in beats of the player's part.
  std::vector<double> beatsOf(int ch, int pitch = -1) const {
    std::vector<double> beats;
    for (const RNote& note : notes) {
      if (note.ch == ch && (pitch < 0 || note.pitch == pitch))
        beats.push_back(note.t / beat - lead);
    }
    return beats;
  }
};

Heard backing(const JazzLesson& lesson) {
  Heard heard;
  heard.notes = jazzBacking(lesson, heard.lead);
  heard.beat = 60.0 / lesson.bpm;
  return heard;
}

bool near(double a, double b) {
  return std::abs(a - b) < 1e-6;
}

// Checks the bars, the walk and the ride of a lesson's band.
void checkBand(const JazzLesson& lesson) {
  SCOPED_TRACE(lesson.title);
  const Heard band = backing(lesson);
  const int bars = jamBars(lesson);
  EXPECT_EQ(band.lead, kCountIn);
  for (std::size_t i = 1; i < band.notes.size(); ++i)
    ASSERT_LE(band.notes[i - 1].t, band.notes[i].t);
  for (const RNote& note : band.notes) {
    EXPECT_GT(note.end, note.t);
    EXPECT_GE(note.t, 0);
  }

  // Four bass notes a bar, the first the chord's root, the others chord
  // tones but the last, which leads to the next bar's root by a half step
  // (or a tone when the chord stays).
  std::map<int, std::vector<int>> walk;
  for (const RNote& note : band.notes) {
    if (note.ch != kBass) continue;
    const double at = note.t / band.beat - band.lead;
    EXPECT_TRUE(near(at, std::round(at))) << at;
    walk[static_cast<int>(std::floor(at / 4 + 1e-9))].push_back(note.pitch);
  }
  ASSERT_EQ(static_cast<int>(walk.size()), bars + 1);  // the last hit after the final chorus
  for (int bar = 0; bar < bars; ++bar) {
    const JazzChord& chord = lesson.bars[static_cast<std::size_t>(bar) % lesson.bars.size()];
    const JazzChord& next = lesson.bars[static_cast<std::size_t>(bar + 1) % lesson.bars.size()];
    const auto& notes = walk[bar];
    ASSERT_EQ(notes.size(), 4u) << "bar " << bar;
    EXPECT_EQ(notes[0] % 12, chord.root) << "bar " << bar;
    EXPECT_GE(notes[0], 36);
    EXPECT_LE(notes[0], 47);
    EXPECT_EQ(notes[1] % 12, chord.third());
    EXPECT_EQ(notes[2] % 12, (chord.root + 7) % 12);
    const int to = walk[bar + 1].front();
    if (next == chord) {
      EXPECT_EQ(notes[3] % 12, (chord.root + 9) % 12);
    } else {
      EXPECT_EQ(to - notes[3], 1) << "bar " << bar;
    }
  }
  EXPECT_EQ(walk[bars].front() % 12, lesson.bars.front().root);

  // The ride on every beat, and the skip two thirds of the way through
  // beats two and four: a 2:1 swing.
  const auto ride = band.beatsOf(kDrums, kRide);
  int onBeats = 0, skips = 0;
  for (double at : ride) {
    const double fraction = at - std::floor(at + 1e-9);
    if (near(fraction, 0) || near(fraction, 1)) {
      ++onBeats;
    } else {
      EXPECT_NEAR(fraction, 2.0 / 3.0, 1e-6);
      const int beatInBar = static_cast<int>(std::floor(at)) % 4;
      EXPECT_TRUE(beatInBar == 1 || beatInBar == 3) << at;
      ++skips;
    }
  }
  EXPECT_EQ(onBeats, bars * 4);
  EXPECT_EQ(skips, bars * 2);
  EXPECT_EQ(band.beatsOf(kDrums, kPedalHat).size(), static_cast<std::size_t>(bars * 2));
  // A bar of count-in before the player's part.
  const auto hats = band.beatsOf(kDrums, kClosedHat);
  ASSERT_EQ(hats.size(), 4u);
  EXPECT_TRUE(near(hats.front(), -kCountIn));
  // The band ends at the tempo it was asked for.
  const auto crash = band.beatsOf(kDrums, kCrash);
  ASSERT_EQ(crash.size(), 1u);
  EXPECT_TRUE(near(crash.front(), bars * 4.0));
  EXPECT_NEAR(band.notes.back().t, (band.lead + bars * 4.0) * 60.0 / lesson.bpm, 1e-6);
}

TEST(JazzBacking, BluesAndTwoFiveOneFollowTheirBars) {
  checkBand(lessonNo(1));
  checkBand(lessonNo(7));
  checkBand(lessonNo(9));
  EXPECT_EQ(jamBars(lessonNo(7)), 24);
  EXPECT_EQ(jamBars(lessonNo(9)), 36);
}

TEST(JazzBacking, CompsOnlyWhereTheLessonDoes) {
  for (const JazzLesson& lesson : jazzLessons()) {
    const Heard band = backing(lesson);
    const auto comp = band.beatsOf(kComp);
    if (!lesson.comp) {
      EXPECT_TRUE(comp.empty()) << lesson.title;
      continue;
    }
    // Three notes a hit, two hits a bar, each the chord's third, seventh and ninth.
    EXPECT_EQ(comp.size(), static_cast<std::size_t>(jamBars(lesson) * 6)) << lesson.title;
    for (const RNote& note : band.notes) {
      if (note.ch != kComp) continue;
      const double at = note.t / band.beat - band.lead;
      const int bar = static_cast<int>(std::floor(at / 4 + 1e-9));
      const JazzChord& chord = lesson.bars[static_cast<std::size_t>(bar) % lesson.bars.size()];
      const int pc = note.pitch % 12;
      EXPECT_TRUE(pc == chord.third() || pc == chord.seventh() || pc == (chord.root + 2) % 12)
          << lesson.title << " bar " << bar;
      EXPECT_GE(note.pitch, 52);
      EXPECT_LE(note.pitch, 80);
    }
  }
}

TEST(JazzBacking, CallsFillTheFirstTwoOfEveryFourBars) {
  for (int n : {4, 9}) {
    const JazzLesson& lesson = lessonNo(n);
    SCOPED_TRACE(lesson.title);
    const Heard band = backing(lesson);
    const auto calls = band.beatsOf(kCalls);
    ASSERT_FALSE(calls.empty());
    for (const RNote& note : band.notes) {
      if (note.ch != kCalls) continue;
      const double from = note.t / band.beat - band.lead;
      const double to = note.end / band.beat - band.lead;
      EXPECT_LT(std::fmod(from + 1e-9, 16.0), 8.0) << from;
      EXPECT_LE(to - 16.0 * std::floor(from / 16.0 + 1e-9), 8.0) << to;
    }
    // Every group of four bars has its phrase, in the lesson's order.
    const auto spans = callSpans(lesson);
    EXPECT_EQ(spans.size(), static_cast<std::size_t>(jamBars(lesson) / 4));
    std::size_t expected = 0;
    for (const CallSpan& span : spans) {
      expected += jazzTune(lesson.calls[static_cast<std::size_t>(span.phrase)], 0, 80).size();
      EXPECT_EQ(span.phrase,
                static_cast<int>(&span - spans.data()) % static_cast<int>(lesson.calls.size()));
    }
    EXPECT_EQ(calls.size(), expected);
  }
  EXPECT_TRUE(backing(lessonNo(1)).beatsOf(kCalls).empty());
}

TEST(JazzBacking, NothingToPlayIsNoBand) {
  JazzLesson empty;
  empty.bars.clear();
  double lead = -1;
  EXPECT_TRUE(jazzBacking(empty, lead).empty());
  JazzLesson still = lessonNo(1);
  still.bpm = 0;
  EXPECT_TRUE(jazzBacking(still, lead).empty());
}

}  // namespace
}  // namespace orvo
