#include "lessons/song-reader.h"

#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

Song notesOf(int count) {
  Song song;
  song.bpm = 60;
  for (int i = 0; i < count; ++i) song.notes.push_back({static_cast<double>(i), 1, 60 + i % 7});
  return song;
}

std::vector<std::string> names(const std::vector<Song>& songs) {
  std::vector<std::string> found;
  for (const auto& song : songs) found.push_back(song.name);
  return found;
}

// Reading the folder again with what the last reading cached: the files opened.
struct Reading {
  std::vector<std::string> opened;
  std::vector<Song> songs;
  library::SongCache cache;
  bool changed = false;
};

Reading readFolder(const std::filesystem::path& folder, const library::SongCache& cache) {
  Reading reading;
  library::LibraryReader reader({folder}, folder / "no rules.txt", cache,
                                [&](const std::filesystem::path& path) -> std::optional<Song> {
                                  reading.opened.push_back(path.filename().string());
                                  if (path.stem() == "unreadable") return std::nullopt;
                                  if (path.stem() == "empty") return Song{};
                                  return notesOf(4);
                                });
  while (!reader.done()) library::addSongs(reading.songs, reader.next(2));
  reading.cache = reader.cache();
  reading.changed = reader.cacheChanged();
  return reading;
}

TEST(SongReader, AnUnchangedLibraryIsListedWithoutOpeningAFileAndAChangedFileIsReadAgain) {
  testing::TempFolder folder;
  for (const char* name : {"b tune.mid", "a tune.mid", "empty.mid", "unreadable.mid"})
    files::writeFileAtomically(folder / name, "x");

  auto first = readFolder(folder.path(), {});
  EXPECT_THAT(first.opened, ElementsAre("a tune.mid", "b tune.mid", "empty.mid", "unreadable.mid"));
  EXPECT_THAT(names(first.songs), ElementsAre("a tune", "b tune"));
  EXPECT_TRUE(first.songs[0].notes.empty() && first.songs[0].notesToRead());
  EXPECT_EQ(first.songs[0].file, folder / "a tune.mid");
  EXPECT_EQ(first.cache.size(), 3u);  // a file that could not be read is tried again next time
  EXPECT_TRUE(first.changed);

  // Through its text form, as the next start reads it.
  const auto kept = library::parseCache(library::cacheText(first.cache));
  EXPECT_EQ(kept, first.cache);
  auto next = readFolder(folder.path(), kept);
  EXPECT_THAT(next.opened, ElementsAre("unreadable.mid"));
  EXPECT_EQ(names(next.songs), names(first.songs));
  EXPECT_EQ(next.songs[1].level, first.songs[1].level);
  EXPECT_FALSE(next.changed);

  // A file rewritten, one gone and one new: only those change.
  files::writeFileAtomically(folder / "b tune.mid", "xy");
  std::filesystem::remove(folder / "a tune.mid");
  files::writeFileAtomically(folder / "c tune.mid", "x");
  auto after = readFolder(folder.path(), kept);
  EXPECT_THAT(after.opened, ElementsAre("b tune.mid", "c tune.mid", "unreadable.mid"));
  EXPECT_THAT(names(after.songs), ElementsAre("b tune", "c tune"));
  EXPECT_FALSE(after.cache.count((folder / "a tune.mid").string()));
  EXPECT_TRUE(after.changed);
}

TEST(SongReader, AGarbledCacheLineIsSkippedAndAPathWithSpacesKept) {
  const auto cache = library::parseCache(
      "12 34 1 2 /songs/my tune.mid\n"
      "12 34 1 9 /songs/level nine.mid\n"  // no such level
      "12 x 1 2 /songs/bad time.mid\n"
      "12 34 1 2\n"
      "\n"
      "99999999999999999999999 1 1 1 /songs/too big.mid\n"
      "5 6 0 1 /songs/no notes.mid");
  ASSERT_EQ(cache.size(), 2u);
  EXPECT_EQ(cache.at("/songs/my tune.mid"), (library::FileFacts{12, 34, true, 2}));
  EXPECT_FALSE(cache.at("/songs/no notes.mid").teachable);
  EXPECT_THAT(library::parseCache(std::string(1000, '\n')), IsEmpty());
}

TEST(SongReader, AListedSongGetsItsNotesFromItsFileAsItIsNow) {
  Song listed;
  listed.name = "My Tune";
  listed.level = 3;
  listed.fact = "Written on a Tuesday.";
  listed.file = "/songs/my tune.mid";
  auto whole = library::withNotes(
      listed, [](const std::filesystem::path&) { return std::optional<Song>(notesOf(5)); });
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->notes.size(), 5u);
  EXPECT_EQ(whole->name, "My Tune");
  EXPECT_EQ(whole->level, 3);  // the listing's, not graded again
  EXPECT_EQ(whole->fact, "Written on a Tuesday.");
  EXPECT_FALSE(whole->notesToRead());
  // Gone, or no notes any more.
  for (auto now : {std::optional<Song>(), std::optional<Song>(Song{})}) {
    EXPECT_FALSE(library::withNotes(listed, [&](const std::filesystem::path&) { return now; }));
  }
}

}  // namespace
}  // namespace orvo
