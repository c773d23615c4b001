#include "lessons/menu-layout.h"
#include "matchers.h"

namespace orvo {
namespace {

Song songAt(int level, std::string name = "Song") {
  Song song;
  song.name = std::move(name);
  song.level = level;
  song.bpm = 60;
  song.notes = {{0, 1, 60, 80, 0}};
  return song;
}

// The buttons of an 88-key piano, and a 49-key one whose buttons reach down into level 5.
const std::vector<int> kGrand = {108, 107, 105, 103, 101, 100, 98, 96, 21, 23};
const std::vector<int> kSmall = {96, 95, 93, 91, 89, 88, 86, 84};

TEST(MenuLayout, LevelsOwnOctavesWhiteKeysFirstAndButtonsHoldNothing) {
  std::vector<Song> songs;
  for (int i = 0; i < 15; ++i) songs.push_back(songAt(1));
  songs.push_back(songAt(2));
  std::vector<int> keys;
  for (int i = 0; i < 16; ++i) {
    if (auto key = menuKey(songs, i, kGrand)) keys.push_back(*key);
  }
  EXPECT_THAT(keys, ElementsAre(36, 38, 40, 41, 43, 45, 47, 37, 39, 42, 44, 46, 48));
  EXPECT_FALSE(menuKey(songs, 12, kGrand)) << "the thirteenth easy song has no key";
  for (int i = 0; i < 12; ++i)
    EXPECT_THAT(menuSong(songs, keys[static_cast<std::size_t>(i)], kGrand), Optional(i));
  EXPECT_THAT(menuSong(songs, 48, kGrand), Optional(15));
  EXPECT_FALSE(menuSong(songs, 50, kGrand)) << "a key with nothing on it";
  EXPECT_FALSE(menuSong(songs, 35, kGrand));
  EXPECT_FALSE(menuSong(songs, 96, kGrand));

  // Button keys are never a song's key, even inside a level's octave.
  EXPECT_THAT(menuKeys(5, kSmall), ElementsAre(85, 87, 90, 92, 94));
  std::vector<Song> hard = {songAt(5), songAt(5)};
  EXPECT_THAT(menuKey(hard, 0, kSmall), Optional(85));
  EXPECT_FALSE(menuSong(hard, 84, kSmall));
  EXPECT_THAT(menuKeys(0, kGrand), IsEmpty());
  EXPECT_FALSE(menuKey({songAt(9)}, 0, kGrand)) << "a level outside 1 to 5 has no key";
  EXPECT_FALSE(menuKey(songs, 99, kGrand));
}

TEST(MenuLayout, JazzKeysAreTheOctaveBelow) {
  EXPECT_THAT(menuJazzLesson(24), Optional(0));
  EXPECT_THAT(menuJazzLesson(35), Optional(6));
  EXPECT_THAT(menuJazzLesson(27), Optional(8));
  EXPECT_FALSE(menuJazzLesson(30));
  EXPECT_FALSE(menuJazzLesson(36));
}

TEST(MenuLayout, APreviewIsTheFirstSevenSecondsEndingByEight) {
  Song song = songAt(1);
  song.bpm = 120;  // half a second a beat
  song.notes.clear();
  for (int beat = 0; beat < 40; ++beat)
    song.notes.push_back({beat + 2.0, 1, 60 + beat % 5, 200, 0});
  song.notes.push_back({10, 0.01, 72, 0, 0});  // very short and silent
  song.notes.push_back({13.5, 8, 48, 70, 1});  // held far past the end
  const auto notes = previewNotes(song);
  ASSERT_FALSE(notes.empty());
  for (const auto& note : notes) {
    EXPECT_LT(note.on, 7.0);
    EXPECT_LE(note.off, 8.0);
    EXPECT_GE(note.off - note.on, 0.08 - 1e-9);
    EXPECT_GE(note.vel, 1);
    EXPECT_LE(note.vel, 127);
  }
  EXPECT_EQ(notes.front().on, 0.0) << "timed from the first onset";
  EXPECT_EQ(notes.front().vel, 127);
  EXPECT_EQ(notes.size(), 14u + 2u);
  EXPECT_NEAR(notes[14].off - notes[14].on, 0.08, 1e-9);
  EXPECT_EQ(notes.back().off, 8.0);
  EXPECT_THAT(previewNotes(Song{}), IsEmpty());
}

TEST(MenuLayout, TheSummaryNamesEveryLevel) {
  EXPECT_EQ(menuSummary({songAt(1), songAt(1), songAt(2), songAt(5)}),
            "4 songs. Easy, 2. Moderately easy, 1. Moderate, 0. Hard, 0. Very hard, 1.");
  EXPECT_EQ(menuSummary({}),
            "0 songs. Easy, 0. Moderately easy, 0. Moderate, 0. Hard, 0. Very hard, 0.");
}

}  // namespace
}  // namespace orvo
