// Hostile things in place of every file the engine reads: it still greets at
// once, quits when asked, and leaves each of them exactly as it found it.

#include <sys/stat.h>

#include <chrono>

#include "e2e/orvo-process.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

namespace fs = std::filesystem;

// Every file of the data folder the engine reads or appends to.
const char* const kFiles[] = {
    "profile.json",  "memory.json",      "intros.json",    "learned.json",       "progress.json",
    "top-key.txt",   "hands.txt",        "last-song.txt",  "voice.txt",          "band-level.txt",
    "daw-mode.txt",  "band-style-2.txt", "library.txt",    "voice-declined.txt", "log.txt",
    "voice-log.txt", "mistakes.txt",     "song-cache.txt",
};

// Files whose content may change: the logs grow, and the counts of sentences
// said and what was read of the song files (no data of the player's) are
// made afresh when garbled.
bool rewritten(const std::string& name) {
  return name == "log.txt" || name == "voice-log.txt" || name == "mistakes.txt" ||
         name == "intros.json" || name == "song-cache.txt";
}

struct Hostile {
  const char* kind;
  std::function<void(const fs::path&)> make;
};

// What the file is: its type and, for a regular file, its bytes.
std::string describe(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return "missing";
  if (S_ISFIFO(info.st_mode)) return "fifo";
  if (S_ISDIR(info.st_mode)) return "folder";
  if (S_ISLNK(info.st_mode)) return "link to " + fs::read_symlink(path).string();
  return "file of " + std::to_string(info.st_size) + " bytes, " +
         std::to_string(std::hash<std::string>{}(files::readFile(path).value_or("")));
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kGreetingWithin = 8.0;  // the sanitizers slow the start several times over
#else
constexpr double kGreetingWithin = 2.0;
#endif

TEST(DataFiles, HostileFilesNeitherStopTheStartNorAreChanged) {
  const std::vector<Hostile> hostile = {
      {"nested a million levels deep",
       [](const fs::path& path) {
         files::writeFileAtomically(path, "{\"pieces\":" + std::string(1'000'000, '[') + "}");
       }},
      {"one string of 9 MB",
       [](const fs::path& path) {
         files::writeFileAtomically(path, "{\"name\":\"" + std::string(9u << 20, 'x') + "\"}");
       }},
      {"a FIFO", [](const fs::path& path) { ::mkfifo(path.c_str(), 0600); }},
      {"a folder", [](const fs::path& path) { fs::create_directory(path); }},
      {"a link to itself", [](const fs::path& path) { fs::create_symlink(path, path); }},
  };
  for (const Hostile& each : hostile) {
    TempFolder home;
    std::map<std::string, std::string> before;
    for (const char* name : kFiles) {
      // One 9 MB file is enough to show a long one is never read whole.
      if (std::string(each.kind).find("9 MB") != std::string::npos &&
          std::string(name) != "memory.json" && std::string(name) != "profile.json")
        continue;
      each.make(home / name);
      before[name] = describe(home / name);
    }
    const auto start = std::chrono::steady_clock::now();
    OrvoProcess orvo({.home = home.path()});
    EXPECT_TRUE(orvo.waitForPrefix("@welcome", kGreetingWithin)) << each.kind;
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
              kGreetingWithin)
        << each.kind;
    orvo.write("q");
    EXPECT_EQ(orvo.waitExit(5.0), 0) << each.kind << ": the quit always ends";
    for (const auto& [name, was] : before) {
      if (rewritten(name) && was.rfind("file", 0) == 0) continue;
      EXPECT_EQ(describe(home / name), was) << name << " as " << each.kind;
    }
  }
}

}  // namespace
}  // namespace orvo::testing
