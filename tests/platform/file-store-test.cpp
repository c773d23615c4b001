#include "platform/file-store.h"

#include <gmock/gmock.h>

#include "platform/files.h"
#include "platform/virtual-runtime.h"
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

}  // namespace
}  // namespace orvo
