#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

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

}  // namespace
}  // namespace orvo::files
