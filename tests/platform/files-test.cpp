#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
}  // namespace orvo::files
