// Pieces made up in a mood, and pieces re-dressed: what the analysis hears in
// them, and that every note is playable.

#include <set>

#include "compose/analysis.h"
#include "compose/invent.h"
#include "compose/moods.h"
#include "compose/take.h"
#include "matchers.h"

namespace orvo {
namespace {

std::vector<int> withoutRepeats(const std::vector<int>& steps) {
  std::vector<int> out;
  for (int step : steps) {
    if (out.empty() || out.back() != step) out.push_back(step);
  }
  return out;
}

void expectPlayable(const std::vector<RNote>& notes, const std::string& what) {
  ASSERT_FALSE(notes.empty()) << what;
  for (const RNote& note : notes) {
    if (note.cc >= 0) continue;
    EXPECT_GE(note.pitch, 21) << what;
    EXPECT_LE(note.pitch, 108) << what;
    EXPECT_GE(note.vel, 1) << what;
    EXPECT_LE(note.vel, 127) << what;
    EXPECT_GE(note.t, 0) << what;
    EXPECT_GT(note.end, note.t) << what << ": a note left sounding or of no length";
  }
}

TEST(Invent, EveryMoodIsHeardInItsModeWithItsChordsInOrder) {
  for (const Mood& mood : moods()) {
    std::vector<int> wanted;
    for (const MoodChord& chord : mood.chords) wanted.push_back(chord.step);
    wanted = withoutRepeats(wanted);
    int heard = 0;
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
      Random random(seed);
      const int tonic = static_cast<int>(seed * 5 % 12);
      const std::vector<RNote> piece = invent(tonic, mood, random);
      const std::string what = mood.name + " seed " + std::to_string(seed);
      expectPlayable(piece, what);
      for (const RNote& note : piece) EXPECT_EQ(note.ch, 0) << what;
      const Analysis analysis = analyse(piece);
      EXPECT_EQ(analysis.minor, mood.minor) << what << ": " << analysis.keyName();
      std::vector<int> roots;
      for (const Chord& chord : analysis.chords)
        roots.push_back(((chord.root - analysis.tonic) % 12 + 12) % 12);
      if (withoutRepeats(roots) == wanted) {
        ++heard;
      } else {
        ADD_FAILURE() << what << " in " << analysis.keyName() << ": " << analysis.summary(0);
      }
    }
    EXPECT_GE(heard, 8) << mood.name;
    // One chord per mood.seconds.
    Random random(3);
    double end = 0;
    for (const RNote& note : invent(0, mood, random)) end = std::max(end, note.end);
    EXPECT_NEAR(end, mood.seconds * static_cast<double>(mood.chords.size()), 0.1) << mood.name;
  }
}

TEST(Invent, TheSameSeedMakesTheSamePiece) {
  const Mood& sad = moods().front();
  Random a(42), b(42);
  auto first = invent(2, sad, a);
  auto second = invent(2, sad, b);
  ASSERT_EQ(first.size(), second.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].pitch, second[i].pitch);
    EXPECT_DOUBLE_EQ(first[i].t, second[i].t);
  }
}

TEST(Invent, EachRestyleDressesThePieceOnItsOwnInstruments) {
  Random random(5);
  const std::vector<RNote> piece = invent(7, *moodNamed("happy"), random);
  const Analysis analysis = analyse(piece);
  const std::map<std::string, int> channel = {{"lullaby", 4}, {"8-bit", 10}, {"epic", 11}};
  for (const std::string& style : restyleNames()) {
    const std::vector<RNote> dressed = restyled(piece, analysis, style, random);
    expectPlayable(dressed, style);
    std::set<int> channels;
    for (const RNote& note : dressed) channels.insert(note.ch);
    EXPECT_TRUE(channels.count(channel.at(style))) << style;
    for (std::size_t i = 1; i < dressed.size(); ++i) EXPECT_LE(dressed[i - 1].t, dressed[i].t);
    EXPECT_THAT(restyleSentence(style), ::testing::StartsWith("Your piece, as a "));
  }
  double plain = 0, lullaby = 0;
  for (const RNote& note : piece) plain = std::max(plain, note.end);
  for (const RNote& note : restyled(piece, analysis, "lullaby", random))
    lullaby = std::max(lullaby, note.end);
  EXPECT_GT(lullaby, plain * 1.2) << "a lullaby is slower";
  EXPECT_TRUE(restyled(piece, analysis, "polka", random).empty());
}

TEST(Moods, AMoodIsFoundByItsWordsInTableOrder) {
  auto named = [](std::vector<std::string> words) {
    auto mood = moodIn(words, nullptr);
    return mood ? mood->name : "none";
  };
  EXPECT_EQ(named({"something", "rainy"}), "sad");
  EXPECT_EQ(named({"happy", "and", "sad"}), "sad");
  EXPECT_EQ(named({"starry", "night"}), "dreamy");
  EXPECT_EQ(named({"something", "gloomy"}), "none");
  static const std::vector<std::string> gloomy = {"gloomy"};
  auto extra = [](const std::string& mood) -> const std::vector<std::string>& {
    static const std::vector<std::string> none;
    return mood == "sad" ? gloomy : none;
  };
  auto found = moodIn({"something", "gloomy"}, extra);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "sad");
}

}  // namespace
}  // namespace orvo
