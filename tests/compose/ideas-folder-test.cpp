// The ideas folder and the names of pieces.

#include "compose/ideas-folder.h"

#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "compose/piece-names.h"
#include "matchers.h"
#include "platform/files.h"
#include "platform/utf8.h"
#include "temp-folder.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

void touch(const fs::path& file, std::time_t when) {
  timeval times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimes(file.c_str(), times), 0);
}

TEST(IdeasFolder, TheNewestPieceIsTheLatestMidiFileAndNothingElse) {
  testing::TempFolder home;
  IdeasFolder ideas(home.path());
  EXPECT_FALSE(ideas.newest());
  EXPECT_TRUE(ideas.oldestFirst().empty());
  const std::vector<std::uint8_t> bytes = {'M', 'T', 'h', 'd'};
  ASSERT_EQ(ideas.write("old", bytes), "old");
  ASSERT_EQ(ideas.write("new", bytes), "new");
  touch(home / "old.mid", 1000);
  touch(home / "new.mid", 2000);
  // Later, but none of them a piece: a temporary, a folder, another kind of file.
  ASSERT_TRUE(files::writeFileAtomically(home / "later.mid.tmp.1.2", "x"));
  ASSERT_TRUE(files::makeFolders(home / "x.mid"));
  ASSERT_TRUE(files::writeFileAtomically(home / "notes.txt", "x"));
  for (const char* name : {"later.mid.tmp.1.2", "x.mid", "notes.txt"}) touch(home / name, 3000);
  EXPECT_EQ(ideas.newest(), home / "new.mid");
  EXPECT_EQ(ideas.oldestFirst(), (std::vector<fs::path>{home / "old.mid", home / "new.mid"}));

  // A taken name gets a number; a rename keeps the piece whole.
  EXPECT_EQ(ideas.write("new", bytes), "new 2");
  EXPECT_EQ(ideas.rename(home / "new 2.mid", "old"), "old 2");
  EXPECT_EQ(files::readFile(home / "old 2.mid"), "MThd");
  // A folder that is gone is made again; one that cannot be, fails.
  IdeasFolder missing(home / "gone" / "ideas");
  EXPECT_EQ(missing.write("piece", bytes), "piece");
  IdeasFolder blocked(home / "notes.txt" / "ideas");
  EXPECT_FALSE(blocked.write("piece", bytes));
  EXPECT_FALSE(blocked.newest());
}

TEST(IdeasFolder, TemporariesOfRunsThatDiedAreCleared) {
  testing::TempFolder home;
  // A process id that is surely not running, and ours.
  const std::string dead = "a.mid.tmp.999999999.0";
  const std::string mine = "b.mid.tmp." + std::to_string(::getpid()) + ".0";
  ASSERT_TRUE(files::writeFileAtomically(home / dead, "x"));
  ASSERT_TRUE(files::writeFileAtomically(home / mine, "x"));
  IdeasFolder(home.path()).removeStaleTemporaries();
  EXPECT_FALSE(fs::exists(home / dead));
  EXPECT_TRUE(fs::exists(home / mine));
}

TEST(PieceNames, NamesAreCleanedTrimmedAndCutWhole) {
  EXPECT_EQ(cleanPieceName("  Blues/for:Ann\\ "), "Blues for Ann");
  EXPECT_EQ(cleanPieceName("Two\nlines\r"), "Two lines");
  EXPECT_EQ(cleanPieceName("   "), "");
  EXPECT_EQ(cleanPieceName("/:\\"), "");
  EXPECT_EQ(cleanPieceName("..hidden"), "hidden");
  EXPECT_EQ(cleanPieceName("Caf\xC3\xA9 \xFF\xFEnoir"), "Caf\xC3\xA9 noir");
  EXPECT_EQ(cleanPieceName("tab\there"), "tab here");
  std::string longName;
  for (int i = 0; i < 150; ++i) longName += "\xE2\x82\xAC";  // 450 bytes of euro signs
  const std::string cut = cleanPieceName(longName);
  EXPECT_LE(cut.size(), maxPieceNameBytes);
  EXPECT_EQ(cut.size() % 3, 0u);
  EXPECT_EQ(repairUtf8(cut), cut);
}

TEST(PieceNames, AnUnnamedIdeaIsNamedForItsTimeAndKey) {
  const char* zone = std::getenv("TZ");
  const std::string saved = zone ? zone : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(ideaStem(1773511331.0, "E flat major"), "idea 2026-03-14 18.02.11 E flat major");
  if (zone) {
    ::setenv("TZ", saved.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

}  // namespace
}  // namespace orvo
