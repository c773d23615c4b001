#include "platform/files.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "matchers.h"
#include "temp-folder.h"

namespace orvo::files {
namespace {

TEST(Files, AtomicWriteReplacesWholeAndLeavesNoTemporaryFile) {
  testing::TempFolder home;
  auto file = home / "progress.json";
  ASSERT_TRUE(writeFileAtomically(file, "old"));
  ASSERT_TRUE(writeFileAtomically(file, std::string(100000, 'x')));
  EXPECT_EQ(readFile(file)->size(), 100000u);
  int entries = 0;
  for (auto& entry : std::filesystem::directory_iterator(home.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(Files, AFailedWriteKeepsTheOldFile) {
  testing::TempFolder home;
  EXPECT_FALSE(writeFileAtomically(home / "missing" / "file.txt", "x"));
  EXPECT_FALSE(std::filesystem::exists(home / "missing"));
  EXPECT_FALSE(readFile(home / "nothing.txt"));

  // The target is a folder: the rename fails and nothing is left behind.
  ASSERT_TRUE(makeFolders(home / "taken"));
  ASSERT_TRUE(writeFileAtomically(home / "taken" / "inside", "keep"));
  EXPECT_FALSE(writeFileAtomically(home / "taken", "x"));
  EXPECT_EQ(readFile(home / "taken" / "inside"), "keep");
  int entries = 0;
  for (auto& entry : std::filesystem::directory_iterator(home.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(Files, TrimAndAppend) {
  EXPECT_EQ(trim("  12345\n"), "12345");
  EXPECT_EQ(trim("\r\n\t "), "");
  testing::TempFolder home;
  EXPECT_TRUE(appendToFile(home / "log.txt", "a\n"));
  EXPECT_TRUE(appendToFile(home / "log.txt", "b\n"));
  EXPECT_EQ(readFile(home / "log.txt"), "a\nb\n");
}

// What stands in a data file's place may be hostile: nothing is waited on,
// followed for ever or read without end, and nothing there is changed.
TEST(Files, OnlyRegularFilesAreReadOrAppendedTo) {
  testing::TempFolder home;
  ASSERT_EQ(::mkfifo((home / "fifo").c_str(), 0600), 0);
  makeFolders(home / "folder");
  std::filesystem::create_symlink(home / "loop", home / "loop");
  writeFileAtomically(home / "long", std::string(1000, 'x'));
  const auto start = std::chrono::steady_clock::now();
  for (const char* name : {"fifo", "folder", "loop"}) {
    EXPECT_FALSE(readFile(home / name)) << name;
    EXPECT_FALSE(appendToFile(home / name, "line\n")) << name;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "never waited";
  EXPECT_FALSE(readFile(home / "long", 999));
  EXPECT_EQ(readFile(home / "long", 1000)->size(), 1000u);
  EXPECT_TRUE(std::filesystem::is_fifo(home / "fifo"));
}

// The player's files are theirs alone whatever the umask; a file another
// program runs is readable by all and writable by the player only.
TEST(Files, ThePlayersFilesAndFolderArePrivate) {
  testing::TempFolder home;
  const mode_t old = ::umask(0);
  writeFileAtomically(home / "memory.json", "{}");
  appendToFile(home / "log.txt", "line\n");
  writeFileAtomically(home / "bridge.lua", "--", 0644);
  ::mkdir((home / "data").c_str(), 0777);
  EXPECT_TRUE(makePrivateFolder(home / "data"));
  EXPECT_TRUE(makePrivateFolder(home / "new"));
  ::umask(old);
  auto mode = [&](const char* name) { return std::filesystem::status(home / name).permissions(); };
  using std::filesystem::perms;
  EXPECT_EQ(mode("memory.json"), perms::owner_read | perms::owner_write);
  EXPECT_EQ(mode("log.txt"), perms::owner_read | perms::owner_write);
  EXPECT_EQ(mode("bridge.lua"),
            perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
  EXPECT_EQ(mode("data"), perms::owner_all);
  EXPECT_EQ(mode("new"), perms::owner_all);
  EXPECT_FALSE(makePrivateFolder(home / "memory.json")) << "not a folder";
}

// A kill mid-write leaves a temporary: those of a program no longer running
// go at the next start, those of a running one stay.
TEST(Files, StaleTemporariesOfDeadWritersAreRemoved) {
  testing::TempFolder home;
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child), alive = std::to_string(::getppid());
  writeFileAtomically(home / ("memory.json.tmp." + dead + ".3"), "half");
  writeFileAtomically(home / ("memory.json.tmp." + alive + ".1"), "being written");
  writeFileAtomically(home / "memory.json", "{}");
  EXPECT_EQ(removeStaleTemporaries(home.path()), 1);
  EXPECT_FALSE(std::filesystem::exists(home / ("memory.json.tmp." + dead + ".3")));
  EXPECT_TRUE(std::filesystem::exists(home / ("memory.json.tmp." + alive + ".1")));
  EXPECT_TRUE(std::filesystem::exists(home / "memory.json"));
}

// A one-off copy's read, change and write of the memory must not fall inside
// the running copy's: the second taker waits for the first, across processes.
TEST(Files, AFolderLockHeldByAnotherProcessIsWaitedFor) {
  testing::TempFolder home;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FolderLock mine(home.path());
    char byte = mine.held() ? 'y' : 'n';
    (void)!::write(ready[1], &byte, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    writeFileAtomically(home / "memory.json", "theirs");
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'y');
  {
    FolderLock ours(home.path());
    EXPECT_TRUE(ours.held());
    EXPECT_EQ(readFile(home / "memory.json"), "theirs");
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_FALSE(FolderLock(home / "missing").held());
}

// Two writers of the same name at once each get a file of their own, and a
// move never lands on a file that is there.
TEST(Files, NewFilesNeverReplaceOneAnotherEvenFromTwoWritersAtOnce) {
  testing::TempFolder home;
  std::vector<std::string> first, second;
  auto writer = [&](std::vector<std::string>& names, char fill) {
    for (int i = 0; i < 40; ++i) {
      auto path = writeNewFile(home.path(), "idea", ".mid", std::string(1000, fill));
      ASSERT_TRUE(path);
      names.push_back(path->filename().string());
    }
  };
  std::thread a([&] { writer(first, 'a'); });
  std::thread b([&] { writer(second, 'b'); });
  a.join();
  b.join();
  std::set<std::string> all(first.begin(), first.end());
  all.insert(second.begin(), second.end());
  EXPECT_EQ(all.size(), 80u);
  EXPECT_TRUE(all.count("idea.mid"));
  EXPECT_TRUE(all.count("idea 80.mid"));
  for (const auto& name : first) EXPECT_EQ(readFile(home / name), std::string(1000, 'a'));
  for (const auto& name : second) EXPECT_EQ(readFile(home / name), std::string(1000, 'b'));
  int temporaries = 0;
  for (auto& entry : std::filesystem::directory_iterator(home.path()))
    temporaries += isTemporaryName(entry.path().filename().string()) ? 1 : 0;
  EXPECT_EQ(temporaries, 0);

  auto moved = moveToNewName(home / "idea 5.mid", home.path(), "idea", ".mid");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->filename(), "idea 81.mid");
  EXPECT_FALSE(std::filesystem::exists(home / "idea 5.mid"));
  EXPECT_EQ(readFile(home / "idea.mid")->size(), 1000u);
  // Its own name already: it stays.
  EXPECT_EQ(moveToNewName(home / "idea.mid", home.path(), "idea", ".mid"), home / "idea.mid");
  EXPECT_FALSE(writeNewFile(home / "missing", "x", ".mid", "y"));
  EXPECT_FALSE(moveToNewName(home / "missing.mid", home.path(), "y", ".mid"));

  EXPECT_TRUE(isTemporaryName("x.mid.tmp.123.4"));
  EXPECT_FALSE(isTemporaryName("Tmp.mid"));
  EXPECT_FALSE(isTemporaryName("my.tmp.piece.mid"));
}

}  // namespace
}  // namespace orvo::files
