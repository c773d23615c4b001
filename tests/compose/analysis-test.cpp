// The analysis of a take: key, beat, chords, the spoken summary and the remarks.

#include <cmath>
#include <ctime>
#include <set>

#include "compose/analysis.h"
#include "compose/beat.h"
#include "compose/chords.h"
#include "compose/insights.h"
#include "compose/key-finding.h"
#include "compose/when-text.h"
#include "lessons/music-words.h"
#include "lessons/tune.h"
#include "matchers.h"

namespace orvo {
namespace {

struct Block {
  int root;
  std::string quality;
};

// Block chords of 2 s, the root in the bass, one after another.
std::vector<RNote> progression(const std::vector<Block>& blocks, double each = 2.0) {
  std::vector<RNote> notes;
  double t = 0;
  for (const Block& block : blocks) {
    const ChordShape* shape = nullptr;
    for (const ChordShape& candidate : chordShapes()) {
      if (candidate.quality == block.quality) shape = &candidate;
    }
    EXPECT_NE(shape, nullptr) << block.quality;
    notes.push_back({t, t + each - 0.05, 36 + block.root, 80});
    for (int interval : shape->intervals) {
      notes.push_back({t, t + each - 0.05, 60 + block.root + interval, 70});
    }
    t += each;
  }
  return notes;
}

// Evenly spaced single notes of a scale, for a beat.
std::vector<RNote> steady(double period, int count, double from = 0) {
  static const int scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
  std::vector<RNote> notes;
  for (int i = 0; i < count; ++i) {
    double t = from + i * period;
    notes.push_back({t, t + period * 0.8, scale[i % 8], 70});
  }
  return notes;
}

TEST(Analysis, EmptyTinyAndDegenerateTakesGiveSafeAnswers) {
  Analysis empty = analyse({});
  EXPECT_EQ(empty.tonic, 0);
  EXPECT_FALSE(empty.minor);
  EXPECT_FALSE(empty.beat);
  EXPECT_THAT(empty.chords, IsEmpty());
  EXPECT_EQ(empty.summary(0), "Key of C major. I could not pick out chords. 0 seconds, 0 notes.");

  // Four intervals are not enough for a beat; five are.
  EXPECT_FALSE(detectBeatRaw(steady(0.5, 5)));
  EXPECT_TRUE(detectBeatRaw(steady(0.5, 6)));
  // Every onset together: one merged onset, no beat, no division by zero.
  std::vector<RNote> together;
  for (int i = 0; i < 40; ++i) together.push_back({1.0 + i * 0.001, 2.0, 40 + i, 60});
  Analysis chord = analyse(together);
  EXPECT_FALSE(chord.beat);
  EXPECT_THAT(chord.summary(40), Not(HasSubstr("nan")));
  // One pitch class in many octaves: no chord anywhere.
  std::vector<RNote> octaves;
  for (int i = 0; i < 30; ++i) octaves.push_back({i * 0.5, i * 0.5 + 0.4, 36 + 12 * (i % 5), 60});
  EXPECT_THAT(analyse(octaves).chords, IsEmpty());
  // Notes of no length and a held note's -1 end.
  std::vector<RNote> odd = {{0, 0, 60}, {0.5, -1, 64}, {1, 1, 67}};
  EXPECT_THAT(analyse(odd).summary(3), Not(HasSubstr("nan")));

  // 20,000 notes: it finishes, and every number in the sentence is a number.
  std::vector<RNote> big;
  unsigned seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  double t = 0;
  for (int i = 0; i < 20000; ++i) {
    t += 0.05 + (next() % 400) / 1000.0;
    big.push_back({t, t + (next() % 3000) / 1000.0, 30 + static_cast<int>(next() % 70), 70});
  }
  std::string text = analyse(big).summary(big.size());
  EXPECT_THAT(text, Not(HasSubstr("nan")));
  EXPECT_THAT(text, HasSubstr("20000 notes."));
}

TEST(Analysis, TheBeatIsDoubledBelowHalfASecondAndRefusedWhenTheHalvesDisagree) {
  // 150 beats a minute: 0.4 s, doubled to 0.8 s; 37.5 rounds away from zero to 38.
  Analysis fast = analyse(steady(0.4, 32));
  ASSERT_TRUE(fast.beat);
  EXPECT_NEAR(*fast.beat, 0.8, 1e-9);
  EXPECT_THAT(fast.summary(32), HasSubstr("About 76 beats per minute. "));
  // Every candidate is 0.33 + 0.005 i: a 0.995 s beat is found, 1.0 s is out of range.
  auto slowest = detectBeatRaw(steady(0.995, 12));
  ASSERT_TRUE(slowest);
  EXPECT_NEAR(*slowest, 0.995, 1e-9);
  // Halves at 0.5 s and at 0.62 s (a ratio of 1.24): each alone is steady, together not.
  auto first = steady(0.5, 16);
  auto second = steady(0.62, 16, 8.0);
  std::vector<RNote> both = first;
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_TRUE(steadyBeat(first));
  EXPECT_TRUE(steadyBeat(second));
  EXPECT_TRUE(detectBeatRaw(both)) << "the whole take alone would have a beat";
  EXPECT_FALSE(steadyBeat(both));
  // Halves at related tempi (double time) are one beat.
  auto doubled = steady(0.25, 24, 8.0);
  std::vector<RNote> related = first;
  related.insert(related.end(), doubled.begin(), doubled.end());
  EXPECT_TRUE(steadyBeat(related));
}

TEST(Analysis, EveryRootAndQualityIsNamedAsPlayed) {
  int checked = 0;
  for (int root = 0; root < 12; ++root) {
    for (const ChordShape& shape : chordShapes()) {
      Analysis analysis = analyse(progression({{root, shape.quality}}));
      ASSERT_THAT(analysis.chords, SizeIs(1)) << root << " " << shape.quality;
      const Chord& chord = analysis.chords[0];
      EXPECT_EQ(chord.root, root) << shape.quality;
      EXPECT_EQ(chord.quality, shape.quality) << root;
      EXPECT_EQ(chord.tones, shape.intervals);
      EXPECT_EQ(analysis.name(chord),
                Analysis::names(analysis.tonic, analysis.minor)[static_cast<std::size_t>(root)] +
                    " " + shape.quality);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 108);
}

// A melody played with one hand, slightly detached as a player would.
std::vector<RNote> oneHand(const std::vector<SNote>& melody, double bpm) {
  std::vector<RNote> notes;
  const double perBeat = 60.0 / bpm;
  for (const SNote& note : melody) {
    if (note.hand != 0) continue;
    const double t = note.beat * perBeat;
    notes.push_back({.t = t, .end = t + note.dur * perBeat * 0.9, .pitch = note.pitch, .vel = 80});
  }
  return notes;
}

TEST(Analysis, AOneLineMelodyIsNeverGivenChordsItDoesNotSpell) {
  std::vector<std::pair<std::string, std::vector<RNote>>> melodies = {
      {"Ode to Joy", oneHand(tune("E4 E4 F4 G4 G4 F4 E4 D4 C4 C4 D4 E4 E4/1.5 D4/.5 D4/2 E4 E4 F4 "
                                  "G4 G4 F4 E4 D4 C4 C4 D4 E4 D4/1.5 C4/.5 C4/2",
                                  0),
                             120)}};
  for (const Song& song : builtInSongs()) melodies.push_back({song.name, oneHand(song.notes, song.bpm)});
  int lines = 0;
  for (const auto& [name, melody] : melodies) {
    if (melody.size() < 8) continue;
    const Analysis analysis = analyse(melody);
    const std::string said = analysis.summary(melody.size());
    // Each chord named is spelled: three of its tones among the notes under it.
    for (const Chord& chord : analysis.spelled) {
      std::set<int> heard;
      for (const RNote& note : melody) {
        if (note.t < chord.end && note.end > chord.start) heard.insert(note.pitch % 12);
      }
      int spelled = 0;
      for (int tone : chord.tones) spelled += heard.count((chord.root + tone) % 12) ? 1 : 0;
      EXPECT_GE(spelled, 3) << name << ": " << analysis.name(chord);
    }
    if (analysis.spelled.empty()) {
      ++lines;
      EXPECT_THAT(said, HasSubstr("A melody")) << name;
      EXPECT_THAT(said, Not(HasSubstr("Chords:"))) << name;
    }
  }
  EXPECT_GE(lines, 5);
  // Ode to Joy dwells on E and D: the third and the second of C major. The
  // band still has chords to put under it.
  const Analysis ode = analyse(melodies[0].second);
  EXPECT_THAT(ode.summary(melodies[0].second.size()),
              HasSubstr("A melody that stays in the key, mostly on the third and the second."));
  EXPECT_FALSE(ode.chords.empty());
}

TEST(Analysis, KeyNamesSpellFlatKeysWithFlats) {
  Analysis a;
  a.tonic = 6;
  EXPECT_EQ(a.keyName(), "F sharp major");
  a.tonic = 3;
  a.minor = true;
  EXPECT_EQ(a.keyName(), "D sharp minor");
  a.tonic = 10;
  EXPECT_EQ(a.keyName(), "B flat minor");
  a.minor = false;
  a.tonic = 3;
  EXPECT_EQ(a.keyName(), "E flat major");
}

TEST(Analysis, ChordsLoopsAndTheSummary) {
  auto take = progression({{0, "major"},
                           {7, "major"},
                           {9, "minor"},
                           {5, "major"},
                           {0, "major"},
                           {7, "major"},
                           {9, "minor"},
                           {5, "major"}});
  Analysis analysis = analyse(take);
  EXPECT_EQ(analysis.keyName(), "C major");
  EXPECT_THAT(analysis.summary(take.size()),
              HasSubstr("Chords: C major, G major, A minor, F major. That loop of 4 chords plays 2 "
                        "times. 16 seconds, 32 notes."));
  Random random(1);
  auto remarks = insights(analysis, {}, random, 0);
  ASSERT_FALSE(remarks.empty());
  EXPECT_EQ(remarks[0], knownLoops()[0].sentence);

  // Three chords never loop; thirteen different ones are counted past twelve.
  Analysis three = analyse(progression({{0, "major"}, {5, "major"}, {0, "major"}}));
  EXPECT_FALSE(three.loop());
  EXPECT_THAT(three.summary(12), HasSubstr("Chords: C major, F major, C major. "));
  std::vector<Block> many;
  for (int i = 0; i < 13; ++i) many.push_back({(i * 7) % 12, i % 2 ? "minor" : "major"});
  Analysis long_ = analyse(progression(many));
  ASSERT_THAT(long_.chords, SizeIs(13));
  EXPECT_THAT(long_.summary(52), HasSubstr(", and 1 more. "));

  // A window with one pitch class lengthens the chord before it.
  auto held = progression({{0, "major"}});
  held.push_back({2.0, 4.0, 67, 60});
  held.push_back({2.0, 4.0, 79, 60});
  Analysis lengthened = analyse(held);
  ASSERT_THAT(lengthened.chords, SizeIs(1));
  EXPECT_DOUBLE_EQ(lengthened.chords[0].end, 4.0);
}

TEST(Analysis, TheRelativeKeyIsChosenByTheFirstChordOnlyWhenTheScoresAreClose) {
  // A minor's chords over C major's notes: the first chord is A minor.
  Analysis minor = analyse(progression({{9, "minor"}, {2, "minor"}, {4, "minor"}, {9, "minor"}}));
  EXPECT_EQ(minor.keyName(), "A minor");
  // C major opening a piece whose notes score as A minor switches back up.
  auto scores = keyScores(progression({{0, "major"}, {9, "minor"}, {4, "minor"}, {9, "minor"}}));
  Analysis major = analyse(progression({{0, "major"}, {9, "minor"}, {4, "minor"}, {9, "minor"}}));
  EXPECT_GT(scores[12 + 9], scores[0]) << "the notes alone point to A minor";
  EXPECT_EQ(major.keyName(), "C major");
  // A clear C major piece that happens to open on A minor stays in C major:
  // the relative key scores too far below.
  Analysis stays = analyse(progression({{9, "minor"},
                                        {0, "major"},
                                        {5, "major"},
                                        {7, "seventh"},
                                        {0, "major"},
                                        {5, "major"},
                                        {7, "seventh"},
                                        {0, "major"}}));
  EXPECT_EQ(stays.keyName(), "C major");
}

TEST(Insights, EachKnownLoopColourAndEndingIsReached) {
  Random random(3);
  const std::vector<std::vector<Block>> loops = {
      {{0, "major"}, {7, "major"}, {9, "minor"}, {5, "major"}},
      {{9, "minor"}, {5, "major"}, {0, "major"}, {7, "major"}, {0, "major"}},
      {{0, "major"}, {9, "minor"}, {5, "major"}, {7, "major"}},
      {{0, "major"}, {5, "major"}, {9, "minor"}, {7, "major"}},
      {{0, "major"}, {2, "minor"}, {7, "seventh"}, {0, "major"}},
      {{0, "major"}, {5, "major"}, {7, "major"}, {0, "major"}},
      {{9, "minor"}, {5, "major"}, {0, "major"}, {7, "major"}, {9, "minor"}},
      {{9, "minor"}, {7, "major"}, {5, "major"}, {4, "major"}},
      {{9, "minor"}, {7, "major"}, {5, "major"}, {7, "major"}, {9, "minor"}},
      {{9, "minor"}, {2, "minor"}, {4, "major"}, {9, "minor"}},
  };
  for (std::size_t i = 0; i < loops.size(); ++i) {
    Analysis analysis = analyse(progression(loops[i]));
    auto remarks = insights(analysis, {}, random, 0);
    ASSERT_FALSE(remarks.empty()) << "loop " << i + 1 << " in " << analysis.keyName();
    EXPECT_EQ(remarks[0], knownLoops()[i].sentence)
        << "loop " << i + 1 << " in " << analysis.keyName();
  }

  auto remarksOf = [&](const std::vector<Block>& blocks) {
    return insights(analyse(progression(blocks)), {}, random, 0);
  };
  EXPECT_THAT(remarksOf({{0, "major"}, {5, "minor"}, {0, "major"}, {7, "major"}, {0, "major"}}),
              Contains("The F minor chord is borrowed from the minor key. That is where the "
                       "bittersweet colour comes from."));
  EXPECT_THAT(remarksOf({{0, "major"}, {10, "major"}, {5, "major"}, {0, "major"}}),
              Contains("The A sharp major chord is from outside the key. It gives a warm, "
                       "rock-like lift."));
  EXPECT_THAT(remarksOf({{0, "major"}, {8, "major"}, {7, "major"}, {0, "major"}}),
              Contains("The G sharp major chord is borrowed from the minor key, a dramatic, "
                       "film-score colour."));
  EXPECT_THAT(remarksOf({{9, "minor"}, {2, "major"}, {9, "minor"}, {2, "major"}, {9, "minor"}}),
              Contains("The D major chord is brighter than a minor key normally allows. That is "
                       "the Dorian sound: minor, but hopeful."));
  EXPECT_THAT(remarksOf({{9, "minor"}, {2, "minor"}, {4, "seventh"}, {9, "minor"}}),
              Contains("The E seventh chord pulls strongly back home. That is the harmonic minor "
                       "at work."));
  EXPECT_THAT(remarksOf({{9, "minor"},
                         {5, "major"},
                         {2, "minor"},
                         {4, "seventh"},
                         {9, "minor"},
                         {2, "minor"},
                         {4, "seventh"},
                         {9, "major"}}),
              Contains("It ends on a major chord in a minor key, an old trick called a Picardy "
                       "third."));
  // Endings.
  EXPECT_THAT(remarksOf({{0, "major"}, {5, "major"}, {0, "major"}, {7, "major"}}),
              Contains("It stops on the five chord, which leaves a question hanging. End on C to "
                       "answer it."));
  EXPECT_THAT(remarksOf({{0, "major"}, {7, "major"}, {0, "major"}, {2, "minor"}}),
              Contains("It ends away from home, on D minor, so it feels open. End on C if you want "
                       "it to close."));
  std::set<std::string> homes;
  for (int i = 0; i < 20; ++i) {
    for (auto& remark : remarksOf({{0, "major"}, {5, "major"}, {7, "major"}, {0, "major"}})) {
      if (remark.find("home") != std::string::npos) homes.insert(remark);
    }
  }
  EXPECT_THAT(homes, ElementsAre("It comes to rest on the home chord.",
                                 "It ends at home, so it feels finished."));
  // A root path of one chord: no remarks at all.
  EXPECT_THAT(remarksOf({{0, "major"}, {0, "major"}}), IsEmpty());
}

TEST(Insights, EarlierPiecesWithTheSameOpeningOrKeyAreNamed) {
  Random random(5);
  // Local noon of a fixed day, and pieces saved before it.
  std::tm day{};
  day.tm_year = 2026 - 1900;
  day.tm_mon = 2;
  day.tm_mday = 20;  // a Friday
  day.tm_hour = 12;
  day.tm_isdst = -1;
  const double now = static_cast<double>(std::mktime(&day));
  Analysis analysis =
      analyse(progression({{0, "major"}, {7, "major"}, {9, "minor"}, {5, "major"}}));
  ASSERT_THAT(rootPath(analysis), ElementsAre(0, 7, 9, 5));
  std::vector<SavedPiece> earlier = {{now - 6 * 86400, "C major", {0, 7, 9, 5, 0}, 30},
                                     {now - 2 * 86400, "G major", {0, 7, 9}, 20},
                                     {now - 3600, "D major", {0, 5, 7, 0}, 10}};
  auto remarks = insights(analysis, earlier, random, now);
  EXPECT_THAT(remarks, Contains("It opens with the same chord movement as the piece you saved on "
                                "Saturday."));
  EXPECT_THAT(remarks, Not(Contains("Same key as your last piece.")));
  earlier.push_back({now - 60, "C major", {}, 5});
  remarks = insights(analysis, earlier, random, now);
  EXPECT_THAT(remarks, Contains("Same key as your last piece."));
  EXPECT_LE(remarks.size(), 4u);

  EXPECT_EQ(whenText(now - 3600, now), "earlier today");
  EXPECT_EQ(whenText(now - 86400, now), "yesterday");
  EXPECT_EQ(whenText(now - 3 * 86400, now), "on Tuesday");
  EXPECT_EQ(whenText(now - 6 * 86400, now), "on Saturday");
  EXPECT_EQ(whenText(now - 7 * 86400, now), "on the thirteenth of March");
  EXPECT_EQ(whenText(now - 19 * 86400, now), "on the first of March");
  EXPECT_EQ(whenText(now + 86400, now), "earlier today");
  EXPECT_EQ(whenText(std::nan(""), now), "some time ago");
}

}  // namespace
}  // namespace orvo
