// The generated band: its invariants over many random takes, the bass and the
// meter on known progressions, expression, clashes, tracks and the style.

#include <set>

#include "compose/analysis.h"
#include "compose/band.h"
#include "lessons/music-words.h"
#include "matchers.h"

namespace orvo {
namespace {

// Block chords (root in the bass) of `beats` beats each, one melody note a beat.
std::vector<RNote> chordsTake(const std::vector<std::pair<int, std::string>>& chords, int beats,
                              double beat) {
  std::vector<RNote> notes;
  double t = 0;
  for (auto& [root, quality] : chords) {
    const double length = beats * beat;
    notes.push_back({t, t + length - 0.02, 36 + root, 80});
    for (const ChordShape& shape : chordShapes()) {
      if (shape.quality != quality) continue;
      for (int interval : shape.intervals)
        notes.push_back({t, t + length - 0.02, 60 + root + interval, 60});
    }
    for (int b = 0; b < beats; ++b) {
      notes.push_back({t + b * beat, t + (b + 0.9) * beat, 84 + root % 5, 70});
    }
    t += length;
  }
  return notes;
}

std::vector<RNote> randomTake(Random& random) {
  std::vector<RNote> notes;
  const int count = 1 + random.below(80);
  const bool steady = random.below(2) == 0;
  double t = random.below(3) * 0.5;
  for (int i = 0; i < count; ++i) {
    const int pitch = random.below(10) == 0 ? (random.below(2) ? 0 : 127) : 30 + random.below(60);
    const double length = 0.05 + random.below(3000) / 1000.0;
    notes.push_back({t, t + length, pitch, 1 + random.below(127)});
    if (random.below(4) == 0)
      notes.push_back({t, t + length, pitch + 4 <= 127 ? pitch + 4 : pitch - 3, 60});
    t += steady ? 0.5 : random.below(2000) / 1000.0 + (random.below(20) == 0 ? 60.0 : 0.0);
  }
  return notes;
}

TEST(Band, EveryBandKeepsItsInvariantsInEveryStyle) {
  Random takes(99);
  int withDrums = 0, checked = 0;
  for (int round = 0; round < 300; ++round) {
    const std::vector<RNote> take = randomTake(takes);
    const Analysis analysis = analyse(take);
    for (const std::string style : {"classic", "simple", "full"}) {
      Random first(static_cast<std::uint64_t>(round)), second(static_cast<std::uint64_t>(round));
      const auto band = bandFull(take, analysis, style, first);
      const auto again = bandFull(take, analysis, style, second);
      ASSERT_EQ(band.size(), again.size());
      const auto channels = bandChannels(style);
      for (std::size_t i = 0; i < band.size(); ++i) {
        const RNote& note = band[i];
        EXPECT_EQ(note.t, again[i].t);
        EXPECT_EQ(note.vel, again[i].vel) << "the same seed, the same band";
        EXPECT_NE(note.ch, 0);
        EXPECT_THAT(channels, ::testing::Contains(note.ch)) << style;
        EXPECT_GE(note.t, 0.0);
        if (note.cc >= 0) {
          EXPECT_EQ(note.cc, 11);
          EXPECT_GE(note.vel, 38);
          EXPECT_LE(note.vel, 127);
          continue;
        }
        EXPECT_GT(note.end, note.t);
        EXPECT_GE(note.pitch, 0);
        EXPECT_LE(note.pitch, 127);
        EXPECT_GE(note.vel, 1);
        EXPECT_LE(note.vel, 127);
        if (note.ch == 9) {
          EXPECT_TRUE(analysis.beat) << "drums only with a beat";
          ++withDrums;
        }
      }
      if (analysis.chords.empty()) {
        EXPECT_THAT(band, IsEmpty()) << "no chords, no harmony";
      }
      ++checked;
    }
  }
  EXPECT_EQ(checked, 900);
  EXPECT_GT(withDrums, 0);
}

TEST(Band, TheBassPlaysRootsAndFifthsInFourAndOnlyRootsInAWaltz) {
  Random random(1);
  const auto take = chordsTake({{0, "major"}, {7, "major"}, {9, "minor"}, {5, "major"}}, 4, 0.5);
  const Analysis analysis = analyse(take);
  ASSERT_TRUE(analysis.beat);
  ASSERT_EQ(analysis.chords.size(), 4u);
  const auto band = bandParts(take, analysis, "simple", random);
  std::vector<RNote> bass;
  for (const RNote& note : band) {
    if (note.ch == 1) bass.push_back(note);
  }
  ASSERT_FALSE(bass.empty());
  for (const RNote& note : bass) {
    EXPECT_GE(note.pitch, 28);
    EXPECT_LE(note.pitch, 40);
  }
  // C is played as 36 (28 + 8), its fifth G as 31; G as 31, its fifth D as 38.
  for (std::size_t c = 0; c < analysis.chords.size(); ++c) {
    const Chord& chord = analysis.chords[c];
    const int root = 28 + ((chord.root - 28) % 12 + 12) % 12;
    const double beat = (chord.end - chord.start) / 4;
    auto at = [&](double t) {
      for (const RNote& note : bass) {
        if (std::fabs(note.t - t) < 0.03) return note.pitch;
      }
      return -1;
    };
    EXPECT_EQ(at(chord.start), root) << c;
    const int u = ((chord.root - 28) % 12 + 12) % 12;
    EXPECT_EQ(at(chord.start + 2 * beat), u <= 5 ? u + 35 : u + 23) << c;
  }

  // Three beats a chord: a waltz, roots only, kick on one and side stick after.
  const auto waltz = chordsTake({{0, "major"}, {7, "major"}, {0, "major"}, {5, "major"}}, 3, 0.6);
  const Analysis three = analyse(waltz);
  ASSERT_TRUE(three.beat);
  const auto waltzBand = bandParts(waltz, three, "simple", random);
  std::set<int> drumKeys;
  for (const RNote& note : waltzBand) {
    if (note.ch == 9) drumKeys.insert(note.pitch);
  }
  for (const Chord& chord : three.chords) {
    const double beat = (chord.end - chord.start) / 3;
    for (const RNote& note : waltzBand) {
      if (note.ch != 1) continue;
      if (std::fabs(note.t - chord.start) < 0.03) {
        EXPECT_EQ(note.pitch, 28 + ((chord.root - 28) % 12 + 12) % 12) << "the root on one";
      }
      EXPECT_GT(std::fabs(note.t - (chord.start + beat)), 0.03)
          << "nothing on two: no 4-beat fifth";
    }
  }
  EXPECT_TRUE(drumKeys.count(36) && drumKeys.count(37) && drumKeys.count(42));
  EXPECT_FALSE(drumKeys.count(38)) << "no snare backbeat in a waltz";
}

TEST(Band, ExpressionStaysInRangeAndMovesInStepsOfTwoOrMore) {
  Random random(4);
  const auto take = chordsTake({{0, "major"}, {5, "major"}, {7, "seventh"}, {0, "major"}}, 4, 0.5);
  const auto band = bandFull(take, analyse(take), "full", random);
  std::map<int, std::vector<int>> values;
  for (const RNote& note : band) {
    if (note.cc == 11) values[note.ch].push_back(note.vel);
  }
  EXPECT_THAT(values.size(), 5u) << "strings, cello, high strings, horn and pad";
  for (auto& [channel, sent] : values) {
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent.back(), 127) << "put back at the end";
    for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
      EXPECT_GE(sent[i], 38);
      EXPECT_LE(sent[i], 127);
      EXPECT_GE(std::abs(sent[i + 1] - sent[i]), 2) << channel;
    }
  }
  // The classic band has no expression and no drums.
  Random again(4);
  for (const RNote& note : bandFull(take, analyse(take), "classic", again)) {
    EXPECT_LT(note.cc, 0);
    EXPECT_NE(note.ch, 9);
  }
}

TEST(Band, ClashesAreCutAndTracksComeInTheirOrder) {
  // A strings note on E against the player's F for half a second in its middle.
  const std::vector<RNote> band = {{0, 2, 64, 50, 2, -1}, {0, 2, 36, 60, 9, -1}};
  const std::vector<RNote> player = {{0.8, 1.3, 65, 70}};
  const auto settled = settle(band, player);
  ASSERT_EQ(settled.size(), 3u);
  EXPECT_DOUBLE_EQ(settled[0].end, 0.8);
  EXPECT_DOUBLE_EQ(settled[1].t, 1.3);
  EXPECT_DOUBLE_EQ(settled[1].end, 2.0);
  EXPECT_EQ(settled[2].ch, 9) << "drums pass unchanged";
  // Overlapping less than 0.3 s is left alone.
  EXPECT_EQ(settle(band, {{0.8, 1.05, 65, 70}}).size(), 2u);

  std::vector<RNote> records = {
      {0, 1, 40, 60, 3, -1}, {0, 1, 31, 60, 1, -1}, {0, 0, 0, 90, 2, 11}, {0, 1, 60, 50, 8, -1}};
  std::vector<std::string> names;
  for (auto& [name, notes] : bandTracks(records)) names.push_back(name);
  EXPECT_THAT(names, ElementsAre("Bass", "Cello", "Warm pad"));
}

// A broken file's hours of nothing are not accompanied: the band stops a
// few seconds after the piano and comes back a few seconds before it.
TEST(Band, TheBandPlaysOnlyWhereThePianoDoes) {
  const std::vector<RNote> piano = {{0, 2, 60}, {1, 3, 64}, {20000, 20001, 72}};
  std::vector<RNote> band = {
      {0, 8, 36, 70, 1},          // held past the piano's end and the pad: cut at 7
      {6, 30, 43, 70, 1},         // starts inside the pad
      {8, 12, 40, 70, 1},         // starts after it: left out
      {9000, 9004, 38, 70, 1},    // in the hours between: left out
      {19997, 20010, 41, 70, 1},  // comes in before the last note
      {5, 5, 11, 90, 2, 11},      // a controller inside the pad is kept as it is
      {500, 500, 11, 90, 2, 11},  // and left out in the gap
  };
  const auto kept = bandWherePianoPlays(band, piano, 4.0);
  std::vector<std::pair<double, double>> spans;
  for (const RNote& note : kept) spans.push_back({note.t, note.end});
  EXPECT_THAT(spans, ElementsAre(std::pair{0.0, 7.0}, std::pair{6.0, 7.0},
                                 std::pair{19997.0, 20005.0}, std::pair{5.0, 5.0}));
  EXPECT_THAT(bandWherePianoPlays(band, {}, 4.0), IsEmpty());
}

TEST(BandStyle, TheFileReadsStrictlyAndTogglingGoesRound) {
  EXPECT_EQ(bandStyleFrom(""), "classic");
  EXPECT_EQ(bandStyleFrom("\n"), "classic");
  EXPECT_EQ(bandStyleFrom("FULL"), "classic");
  EXPECT_EQ(bandStyleFrom(std::string("\x00\xff\x01", 3)), "classic");
  EXPECT_EQ(bandStyleFrom("  full \n"), "full");
  EXPECT_EQ(bandStyleFrom("simple"), "simple");
  std::string style = "classic";
  std::vector<std::string> said;
  for (int i = 0; i < 3; ++i) {
    style = nextBandStyle(style);
    said.push_back(bandStyleSentence(style));
  }
  EXPECT_EQ(style, "classic");
  EXPECT_THAT(said, ElementsAre("Full band: with high strings, horn and pad.",
                                "Simple band: bass, strings and cello, in the newer sound.",
                                "Classic band: bass, strings and cello, the way it first was."));
  EXPECT_EQ(nextBandStyle("junk"), "classic");
}

}  // namespace
}  // namespace orvo
