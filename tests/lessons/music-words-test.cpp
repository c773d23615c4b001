#include "lessons/music-words.h"

#include <cstdlib>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "matchers.h"
#include "platform/files.h"

namespace orvo::music {
namespace {

TEST(MusicWords, ParseNoteNameReadsWrittenNotes) {
  EXPECT_THAT(parseNoteName("C4"), Optional(60));
  EXPECT_THAT(parseNoteName("c#4"), Optional(61));
  EXPECT_THAT(parseNoteName("Bb3"), Optional(58));
  EXPECT_THAT(parseNoteName("EB4"), Optional(63));
  EXPECT_THAT(parseNoteName("bb2"), Optional(46));
  EXPECT_THAT(parseNoteName("G9"), Optional(127));
  EXPECT_THAT(parseNoteName("C-1"), Optional(0));
  EXPECT_THAT(parseNoteName("72"), Optional(72));
  EXPECT_THAT(parseNoteName("  61 "), Optional(61));
  EXPECT_THAT(parseNoteName("+61"), Optional(61));
  for (const char* bad : {"G#9", "200", "-3", "Cb-1", "E", "F#", "Bb", "H4", "", "   ", "C+4",
                          "C4x", "4C", "#4", "C 4", "99999999999"}) {
    EXPECT_FALSE(parseNoteName(bad)) << bad;
  }
}

// A note named in speech: its pitch class and how many words it took.
TEST(MusicWords, SpokenNotesTakeTheirAccidentalWord) {
  auto spoken = [](const std::vector<std::string>& words, std::size_t at) {
    auto note = music::spokenNote(words, at);
    return note ? std::optional(std::pair{note->first.pitchClass(), note->second}) : std::nullopt;
  };
  const std::vector<std::string> words = {"b", "flat", "and", "b"};
  EXPECT_THAT(spoken(words, 0), Optional(std::pair{10, 2}));
  EXPECT_THAT(spoken(words, 3), Optional(std::pair{11, 1}));
  EXPECT_FALSE(spoken(words, 2));
  EXPECT_FALSE(spoken(words, 4));
  EXPECT_THAT(spoken({"c", "flat"}, 0), Optional(std::pair{11, 2}));
  EXPECT_THAT(spoken({"b", "sharp"}, 0), Optional(std::pair{0, 2}));
}

TEST(MusicWords, KeyLabelsAreCompact) {
  EXPECT_EQ(keyLabel(61), "C#4");
  EXPECT_EQ(keyLabel(60), "C4");
  EXPECT_EQ(keyLabel(0), "C-1");
  EXPECT_EQ(keyLabel(127), "G9");
  EXPECT_EQ(keyLabel(70), "A#4");
}

TEST(MusicWords, ChordNamesTryEachListedNoteAsTheRoot) {
  EXPECT_THAT(chordName({60, 64, 67}, sharpNames()), Optional(Eq("C major")));
  EXPECT_THAT(chordName({64, 67, 72}, sharpNames()), Optional(Eq("C major")));  // inversion
  EXPECT_THAT(chordName({60, 65, 67}, sharpNames()), Optional(Eq("C sus four")));
  EXPECT_THAT(chordName({62, 67, 69}, sharpNames()), Optional(Eq("D sus four")));
  EXPECT_THAT(chordName({63, 67, 70}, flatNames()), Optional(Eq("E flat major")));
  EXPECT_THAT(chordName({63, 67, 70}, sharpNames()), Optional(Eq("D sharp major")));
  EXPECT_THAT(chordName({57, 60, 64}, flatNames()), Optional(Eq("A minor")));
  EXPECT_THAT(chordName({55, 59, 62, 65}, flatNames()), Optional(Eq("G seventh")));
  EXPECT_THAT(chordName({60, 64, 67, 71}, flatNames()), Optional(Eq("C major seventh")));
  EXPECT_THAT(chordName({62, 65, 69, 72}, flatNames()), Optional(Eq("D minor seventh")));
  EXPECT_THAT(chordName({59, 62, 65}, flatNames()), Optional(Eq("B diminished")));
  EXPECT_THAT(chordName({64, 60, 68}, flatNames()),
              Optional(Eq("E augmented")));  // first listed wins
  EXPECT_THAT(chordName({48, 60, 64, 67, 72}, flatNames()), Optional(Eq("C major")));  // doublings
  EXPECT_FALSE(chordName({60, 63, 66, 69}, sharpNames()));  // diminished seventh: not recognised
  // C, E, G, A: no listed note before A is a root, and from A it is a minor seventh.
  EXPECT_THAT(chordName({60, 64, 67, 69}, sharpNames()), Optional(Eq("A minor seventh")));
  EXPECT_FALSE(chordName({60, 62, 64}, sharpNames()));
  EXPECT_FALSE(chordName({60, 67}, sharpNames()));
  EXPECT_FALSE(chordName({60}, sharpNames()));
  EXPECT_FALSE(chordName({}, sharpNames()));
}

TEST(MusicWords, ChordTextSaysTheNotesToo) {
  EXPECT_EQ(chordText({60, 64, 67}, flatNames()), "C major chord: C, E, G");
  EXPECT_EQ(chordText({60, 62}, flatNames()), "C, D together");
  EXPECT_EQ(chordText({60, 66}, sharpNames()), "C, F sharp together");
}

TEST(MusicWords, KeysChooseTheirSpellingAndSignature) {
  EXPECT_EQ(&names(5, false), &flatNames());   // F major
  EXPECT_EQ(&names(7, false), &sharpNames());  // G major
  EXPECT_EQ(&names(6, false), &flatNames());   // G flat major
  EXPECT_EQ(&names(2, true), &flatNames());    // D minor
  EXPECT_EQ(&names(9, true), &sharpNames());   // A minor
  EXPECT_EQ(&names(6, true), &sharpNames());   // F sharp minor
  EXPECT_EQ(keySignature(0, false), 0);
  EXPECT_EQ(keySignature(3, false), -3);
  EXPECT_EQ(keySignature(6, false), 6);
  EXPECT_EQ(keySignature(1, false), -5);
  EXPECT_EQ(keySignature(4, true), 1);   // E minor: as G major
  EXPECT_EQ(keySignature(9, true), 0);   // A minor: as C major
  EXPECT_EQ(keySignature(0, true), -3);  // C minor: as E flat major
}

TEST(MusicWords, TablesAreComplete) {
  EXPECT_EQ(numberWords().size(), 42u);
  EXPECT_EQ(numberWords().at("for"), 4);
  EXPECT_EQ(numberWords().at("half"), 30);
  EXPECT_EQ(numberWords().at("an"), 1);
  EXPECT_EQ(chordShapes().size(), 9u);
  EXPECT_EQ(chordShapes().front().quality, "major");
  EXPECT_EQ(intervals().size(), 21u);
  // A longer phrase is always tried before a shorter one it ends with.
  for (std::size_t i = 0; i < intervals().size(); ++i) {
    for (std::size_t j = i + 1; j < intervals().size(); ++j) {
      const auto& later = intervals()[j].phrase;
      const auto& earlier = intervals()[i].phrase;
      EXPECT_FALSE(later.size() > earlier.size() &&
                   later.compare(later.size() - earlier.size(), earlier.size(), earlier) == 0)
          << later << " comes after " << earlier;
    }
  }
}

}  // namespace
}  // namespace orvo::music

namespace orvo {
namespace {

// "F#" as tonal writes it, read as a spelled note; "E#" and "Bbb" included.
Spelled fromTonal(const std::string& name) {
  static const std::string letters = "CDEFGAB";
  Spelled note{static_cast<int>(letters.find(name[0])), 0};
  for (std::size_t i = 1; i < name.size(); ++i) note.accidental += name[i] == '#' ? 1 : -1;
  return note;
}

// Every chord quality, scale, key signature and interval on every spelled
// root, against @tonaljs/tonal (installed at test time by tools/tonal-peer).
TEST(MusicWords, SpellingsAgreeWithTonalOnEveryRoot) {
  const char* file = std::getenv("ORVO_TONAL_SPELLINGS");
  if (!file || !std::filesystem::exists(file)) {
    GTEST_SKIP() << "@tonaljs/tonal could not be installed (tools/tonal-peer): no Node.js or "
                    "no npm registry here";
  }
  auto all = nlohmann::json::parse(files::readFile(file).value_or("[]"), nullptr, false);
  ASSERT_TRUE(all.is_array());
  const std::map<std::string, std::string> qualities = {
      {"M", "major"},          {"m", "minor"},
      {"dim", "diminished"},   {"aug", "augmented"},
      {"7", "seventh"},        {"maj7", "major seventh"},
      {"m7", "minor seventh"}, {"dim7", "diminished seventh"},
      {"sus4", "sus four"},    {"sus2", "sus two"}};
  const std::map<std::string, std::pair<int, int>> steps = {
      {"2m", {1, 2}}, {"2M", {2, 2}},  {"3m", {3, 3}},  {"3M", {4, 3}},
      {"4P", {5, 4}}, {"4A", {6, 4}},  {"5P", {7, 5}},  {"6m", {8, 6}},
      {"6M", {9, 6}}, {"7m", {10, 7}}, {"7M", {11, 7}}, {"8P", {12, 8}}};
  int checked = 0;
  for (const auto& entry : all) {
    Spelled root = fromTonal(entry["root"]);
    std::string what = entry["what"];
    std::vector<Spelled> expected;
    for (const auto& note : entry["notes"]) expected.push_back(fromTonal(note));
    std::vector<Spelled> ours;
    std::string kind = what.substr(0, what.find(' ')), type = what.substr(what.find(' ') + 1);
    if (kind == "chord") {
      const ChordShape* chord = chordByQuality(qualities.at(type));
      ASSERT_NE(chord, nullptr) << type;
      ours = music::spell(root, chord->intervals, chord->degrees);
    } else if (kind == "scale") {
      ours = type == "major"   ? music::spell(root, music::majorScale(), music::majorDegrees())
             : type == "minor" ? music::spell(root, music::minorScale(), music::minorDegrees())
                               : music::spell(root, music::bluesScale(), music::bluesDegrees());
    } else if (kind == "key") {
      EXPECT_EQ(std::to_string(music::keySignature(root, type == "minor")),
                entry["notes"][0].get<std::string>())
          << root.name() << " " << type;
      ++checked;
      continue;
    } else {
      auto [semitones, degree] = steps.at(type);
      ours = {kind == "up" ? music::above(root, semitones, degree)
                           : music::below(root, semitones, degree)};
    }
    EXPECT_EQ(music::spelledList(ours), music::spelledList(expected)) << root.name() << " " << what;
    ++checked;
  }
  EXPECT_GE(checked, 600);
}

TEST(MusicWords, HeldNotesAreSpelledFromTheirRoot) {
  auto held = [](std::vector<int> pitches) {
    auto chord = music::spellChord(pitches);
    return chord ? chord->name + ": " + music::spelledList(chord->notes) : std::string("none");
  };
  EXPECT_EQ(held({62, 66, 69}), "D major: D, F sharp, A");
  EXPECT_EQ(held({60, 63, 66}), "C diminished: C, E flat, G flat");
  EXPECT_EQ(held({61, 65, 68}), "D flat major: D flat, F, A flat");       // not C sharp, E sharp
  EXPECT_EQ(held({61, 64, 68}), "C sharp minor: C sharp, E, G sharp");    // not F flat
  EXPECT_EQ(held({66, 70, 73}), "G flat major: G flat, B flat, D flat");  // even: flats
  EXPECT_EQ(held({64, 67, 71, 74}), "E minor seventh: E, G, B, D");
  EXPECT_EQ(held({56, 60, 63, 66}), "A flat seventh: A flat, C, E flat, G flat");
  EXPECT_EQ(held({60, 62}), "none");
  EXPECT_EQ(music::parseSpelled("F sharp"), (Spelled{3, 1}));
  EXPECT_EQ(music::parseSpelled("B double flat"), (Spelled{6, -2}));
  EXPECT_FALSE(music::parseSpelled("H"));
  EXPECT_FALSE(music::parseSpelled("C sharpish"));
  EXPECT_EQ(music::chordText({62, 66, 69}, sharpNames()), "D major chord: D, F sharp, A");
  EXPECT_EQ(music::chordText({63, 66, 69}, flatNames()),
            "E flat diminished chord: E flat, G flat, B double flat");
}

}  // namespace
}  // namespace orvo
