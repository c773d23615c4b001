#include "platform/file-store.h"

#include <sys/stat.h>

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

// Writes wait for the store's queue; a file another program changed since the
// store last saw it is merged, and one it left alone is simply replaced.
TEST(FileStore, WritesLaterInOrderAndMergesWhatChangedBehindItsBack) {
  testing::TempFolder home;
  VirtualRuntime runtime;
  FileStore store(home.path(), runtime, runtime.serial("orvo.store"));
  auto merge = [](const std::string& ours, const std::string& theirs) {
    return ours + "+" + theirs;
  };
  EXPECT_FALSE(store.read("notes.txt"));
  store.write("notes.txt", "a", merge);
  store.write("notes.txt", "b", merge);
  EXPECT_FALSE(files::readFile(home / "notes.txt"));  // nothing on the caller's thread
  runtime.runReady();
  EXPECT_EQ(files::readFile(home / "notes.txt"), "b");  // its own earlier write is no change

  files::writeFileAtomically(home / "notes.txt", "other");
  store.write("notes.txt", "c", merge);
  runtime.runReady();
  EXPECT_EQ(files::readFile(home / "notes.txt"), "c+other");

  // The second write was asked for before the first merged, so it is merged too
  // rather than writing over what the other copy changed.
  files::writeFileAtomically(home / "notes.txt", "more");
  store.write("notes.txt", "c1", merge);
  store.write("notes.txt", "c2", merge);
  runtime.runReady();
  EXPECT_EQ(files::readFile(home / "notes.txt"), "c2+c1+more");

  files::writeFileAtomically(home / "notes.txt", "other again");
  store.write("notes.txt", "d");  // without a merge, ours wins
  runtime.runReady();
  EXPECT_EQ(files::readFile(home / "notes.txt"), "d");

  // A folder that cannot be written leaves the old file whole, and the store carries on.
  FileStore nowhere(home / "missing" / "folder", runtime, runtime.serial("orvo.store"));
  nowhere.write("notes.txt", "e");
  runtime.runReady();
  EXPECT_TRUE(store.flush(1.0));
  EXPECT_FALSE(files::readFile(home / "missing" / "folder" / "notes.txt"));
}

// A file that is there but cannot be read (a folder, a FIFO, far too long) is
// never written over: the player's memory is not replaced by an empty one.
// Whoever asked for a write hears whether it was kept.
TEST(FileStore, AFileThatCannotBeReadIsNeverWrittenOverAndWritesSayHowTheyWent) {
  testing::TempFolder home;
  VirtualRuntime runtime;
  FileStore store(home.path(), runtime, runtime.serial("orvo.store"));
  ASSERT_EQ(::mkfifo((home / "memory.json").c_str(), 0600), 0);
  files::makeFolders(home / "profile.json");
  std::vector<std::optional<std::string>> heard;
  auto kept = [&](const std::optional<std::string>& problem) { heard.push_back(problem); };
  for (const char* name : {"memory.json", "profile.json", "missing.json"}) {
    EXPECT_FALSE(store.read(name)) << name;
    store.write(name, "{}", nullptr, kept);
  }
  runtime.runReady();
  EXPECT_TRUE(store.unreadable("memory.json"));
  EXPECT_FALSE(store.unreadable("missing.json"));
  EXPECT_TRUE(std::filesystem::is_fifo(home / "memory.json"));
  EXPECT_TRUE(std::filesystem::is_directory(home / "profile.json"));
  EXPECT_EQ(files::readFile(home / "missing.json"), "{}");
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0], "the file that is there could not be read");
  EXPECT_EQ(heard[1], "the file that is there could not be read");
  EXPECT_EQ(heard[2], std::nullopt);

  FileStore nowhere(home / "missing" / "folder", runtime, runtime.serial("orvo.store"));
  nowhere.write("notes.txt", "e", nullptr, kept);
  runtime.runReady();
  EXPECT_TRUE(heard.back().has_value()) << "a write that failed is never reported kept";
}

}  // namespace
}  // namespace orvo
