#include "lessons/song-library.h"

#include "lessons/lesson.h"
#include "lessons/plain-words.h"
#include "lessons/tune.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

std::vector<SNote> evenNotes(int count, int hand = 0, int pitch = 60) {
  std::vector<SNote> notes;
  for (int i = 0; i < count; ++i)
    notes.push_back({static_cast<double>(i), 1, pitch + (i % 5), 80, hand});
  return notes;
}

Song songOf(std::vector<SNote> notes, int level = 1) {
  Song song;
  song.name = "Test";
  song.bpm = 100;
  song.level = level;
  song.notes = std::move(notes);
  return song;
}

// How many of the hand's steps begin within each part's bounds.
std::vector<std::size_t> partSizes(const Lesson& lesson, int hand) {
  std::vector<std::size_t> sizes(static_cast<std::size_t>(lesson.partCount()), 0);
  for (const auto& step : lesson.steps[static_cast<std::size_t>(hand)]) {
    std::size_t part = 0;
    while (part + 1 < sizes.size() && step.beat >= lesson.bounds[part + 1]) ++part;
    ++sizes[part];
  }
  return sizes;
}

TEST(SongLibrary, StepsGroupChordsFromTheirFirstOnset) {
  auto steps = makeSteps({{0, 1, 60}, {0.03, 1, 64}}, 0.04);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_THAT(steps[0].pitches, ElementsAre(60, 64));
  EXPECT_EQ(makeSteps({{0, 1, 60}, {0.05, 1, 64}}, 0.04).size(), 2u);
  // A creeping arpeggio: 0.03 after the second note but 0.06 after the first.
  auto creeping = makeSteps({{0, 1, 60}, {0.03, 1, 64}, {0.06, 1, 67}}, 0.04);
  ASSERT_EQ(creeping.size(), 2u);
  EXPECT_THAT(creeping[1].pitches, ElementsAre(67));
  // Unsorted input and doubled pitches.
  auto chord = makeSteps({{1, 1, 67}, {1, 1, 60}, {1.01, 1, 60}, {0, 1, 50}}, 0.04);
  ASSERT_EQ(chord.size(), 2u);
  EXPECT_THAT(chord[1].pitches, ElementsAre(60, 67));
}

TEST(SongLibrary, LessonsAreCutIntoPartsAndUnits) {
  Lesson easy(songOf(evenNotes(20)));
  EXPECT_THAT(partSizes(easy, 0), ElementsAre(8, 8, 4));
  EXPECT_EQ(easy.bounds[0], -1.0);
  EXPECT_THAT(easy.units, ElementsAre(Unit{0, 0, 0}, Unit{0, 1, 1}, Unit{0, 0, 1}, Unit{0, 2, 2},
                                      Unit{0, 1, 2}, Unit{0, 0, 2}));
  Lesson harder(songOf(evenNotes(20), 3));
  EXPECT_THAT(partSizes(harder, 0), ElementsAre(6, 6, 6, 2));

  // A phrase break: a long gap after more than three steps starts a new part.
  auto notes = evenNotes(5);
  for (auto note : evenNotes(5)) {
    note.beat += 10;
    notes.push_back(note);
  }
  EXPECT_THAT(partSizes(Lesson(songOf(notes)), 0), ElementsAre(5, 5));

  // Two hands: each part right, left, both, then joined to the one before.
  auto both = evenNotes(16);
  for (auto note : evenNotes(16, 1, 48)) both.push_back(note);
  Lesson twoHands(songOf(both));
  EXPECT_THAT(twoHands.units,
              ElementsAre(Unit{0, 0, 0}, Unit{1, 0, 0}, Unit{2, 0, 0}, Unit{0, 1, 1}, Unit{1, 1, 1},
                          Unit{2, 1, 1}, Unit{2, 0, 1}));
  Lesson leftOnly(songOf(both), "left");
  EXPECT_THAT(leftOnly.units, ElementsAre(Unit{1, 0, 0}, Unit{1, 1, 1}, Unit{1, 0, 1}));
  EXPECT_EQ(twoHands.intro({2, 0, 1}), "Now all of it, both hands.");
  EXPECT_EQ(easy.intro({0, 0, 1}), "Parts 1 and 2 together.");
  // A part's steps run up to and including the first step of the next part.
  EXPECT_EQ(easy.stepsIn({0, 0, 0}).size(), 9u);
  EXPECT_EQ(easy.stepsIn({0, 2, 2}).size(), 4u);
  EXPECT_EQ(twoHands.intro({1, 1, 1}), "Part 2, left hand.");
  EXPECT_EQ(easy.intro({0, 0, 2}), "Now all of it, right hand.");

  // A lesson with no notes still has one part.
  EXPECT_EQ(Lesson(songOf({})).partCount(), 1);
}

TEST(SongLibrary, NotesAreSpokenWithTheSongsSpelling) {
  Lesson flats(songOf({{0, 1, 63}, {1, 1, 70}, {2, 1, 61}}));
  EXPECT_EQ(flats.names, flatNames());
  Lesson sharps(songOf({{0, 1, 61}, {1, 1, 70}}));
  EXPECT_EQ(sharps.names, sharpNames());

  Lesson lesson(
      songOf({{0, 1, 64}, {1, 1, 65}, {2, 1, 72}, {3, 1, 60}, {3, 1, 64}, {3, 1, 67}, {4, 1, 55}}));
  EXPECT_EQ(lesson.describe(lesson.steps[0]),
            "Start on E, octave 4, F, up to C, C major chord: C, E, G, down to G.");
  EXPECT_EQ(lesson.describe(makeSteps({{0, 1, 48}, {0, 1, 52}, {0, 1, 55}}, 0.04)),
            "Start with C major chord: C, E, G, lowest note in octave 3.");

  // The same tune in part 3 as in part 1 is recognised.
  std::vector<SNote> shaped;
  for (std::size_t i = 0; i < 32; ++i) {
    bool rising = (i / 8) % 2 == 0;
    int pitch = rising ? 60 + static_cast<int>(i % 8) : 70;
    shaped.push_back({static_cast<double>(i), 1, pitch, 80, 0});
  }
  Lesson three(songOf(shaped));
  EXPECT_THAT(three.sameAs({0, 2, 2}), Optional(0));
  EXPECT_FALSE(three.sameAs({0, 1, 1}));
  EXPECT_FALSE(three.sameAs({0, 3, 3}));  // the last part has no next note to end on
  EXPECT_FALSE(three.sameAs({0, 0, 1}));
}

TEST(SongLibrary, TitlesRulesAndLevels) {
  EXPECT_EQ(library::cleanTitle("Clair de Lune (Official Audio) 2"), "Clair de Lune");
  EXPECT_EQ(library::cleanTitle("Nocturne (early"), "Nocturne");
  EXPECT_EQ(library::cleanTitle("Gymnopedie (Sheet Music) 1 3"), "Gymnopedie");
  EXPECT_EQ(library::cleanTitle("- Gymnopedie 3 -"), "Gymnopedie 3");
  EXPECT_EQ(library::cleanTitle("7"), "7");

  testing::TempFolder home;
  files::writeFileAtomically(home / "library.txt",
                             "# my rules\n\nmoonlight | 4 | Moonlight Sonata, first movement | "
                             "Written in 1801.\nbroken\nnocturne|x|Night\n  Gym || 2 \n");
  auto rules = library::rules(home / "library.txt");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].match, "moonlight");
  EXPECT_EQ(rules[0].fact, "Written in 1801.");
  EXPECT_EQ(rules[1].match, "gym");
  EXPECT_EQ(rules[1].level, 2);
  EXPECT_TRUE(library::rules(home / "none.txt").empty());

  EXPECT_EQ(library::guessLevel(songOf({})), 1);
  EXPECT_EQ(library::guessLevel(songOf(evenNotes(20))), 1);  // 100 bpm: under 2 notes a second
  Song fast = songOf(evenNotes(40));
  fast.bpm = 400;
  EXPECT_EQ(library::guessLevel(fast), 3);
}

TEST(SongLibrary, LoadingFoldersAndFindingSongsByName) {
  testing::TempFolder home;
  auto songs = home / "songs";
  files::makeFolders(songs / "4 hard");
  for (const char* name : {"Moonlight Sonata Adagio.mid", "4 hard/Etude.MIDI", ".hidden.mid",
                           "Twinkle Twinkle Little Star.mid", "notes.txt", "broken.mid"}) {
    files::writeFileAtomically(songs / name, "x");
  }
  files::writeFileAtomically(home / "library.txt", "etude | 9 | Etude in C | Practice slowly.\n");
  std::vector<std::string> loaded;
  auto library = library::load({songs, home / "missing folder"}, home / "library.txt",
                               [&](const std::filesystem::path& path) -> std::optional<Song> {
                                 loaded.push_back(path.filename().string());
                                 if (path.filename() == "broken.mid") return std::nullopt;
                                 return songOf(evenNotes(4));
                               });
  EXPECT_THAT(loaded, ElementsAre("Etude.MIDI", "Moonlight Sonata Adagio.mid",
                                  "Twinkle Twinkle Little Star.mid", "broken.mid"));
  ASSERT_EQ(library.size(), 12u);  // ten built in, the etude and the sonata; the twinkle was taken
  EXPECT_EQ(library.back().name, "Etude in C");
  EXPECT_EQ(library.back().level, 4);  // the rule's 9 is out of range: its folder says 4
  EXPECT_EQ(library.back().fact, "Practice slowly.");

  auto find = [&](const std::string& words) -> std::optional<std::string> {
    auto index = library::findByName(library, plainWords(words));
    if (!index) return std::nullopt;
    return library[static_cast<std::size_t>(*index)].name;
  };
  EXPECT_THAT(find("play twinkle twinkle"), Optional(std::string("Twinkle Twinkle Little Star")));
  EXPECT_THAT(find("teach me ode to joy"), Optional(std::string("Ode to Joy")));
  EXPECT_THAT(find("can you play fur elise"), Optional(std::string("Fur Elise, opening only")));
  EXPECT_THAT(find("the moonlight sonata"), Optional(std::string("Moonlight Sonata Adagio")));
  EXPECT_FALSE(find("moonlight"));  // one short word of a three-word title
  EXPECT_FALSE(find("play something"));
}

TEST(SongLibrary, TheBuiltInSongs) {
  auto songs = builtInSongs();
  ASSERT_EQ(songs.size(), 10u);
  EXPECT_EQ(songs[0].name, "Hot Cross Buns");
  EXPECT_EQ(songs[7].name, "Happy Birthday");
  EXPECT_DOUBLE_EQ(songs[7].notes[1].beat, 0.75);
  const Song& elise = songs[9];
  EXPECT_EQ(elise.level, 2);
  EXPECT_EQ(elise.bpm, 60);
  auto has = [&](double beat, int pitch, int hand) {
    return std::any_of(elise.notes.begin(), elise.notes.end(), [&](const SNote& n) {
      return n.beat == beat && n.pitch == pitch && n.hand == hand;
    });
  };
  EXPECT_TRUE(has(32, 69, 0) && has(38, 71, 0) && has(44, 69, 0) && has(42, 72, 0));
  for (double beat : {8.0, 20.0, 32.0, 44.0}) EXPECT_TRUE(has(beat, 45, 1)) << beat;
  for (double beat : {14.0, 38.0}) EXPECT_TRUE(has(beat, 40, 1)) << beat;
  // A chord symbol adds three notes; a rest and an unreadable name add none.
  EXPECT_EQ(tune("C r X9 E4/.5 G4", 1).size(), 5u);
  EXPECT_DOUBLE_EQ(tune("C r X9 E4/.5 G4", 1).back().beat, 3.5);
}

}  // namespace
}  // namespace orvo
