// The data folder's documents: defaults when missing or corrupt, unknown
// fields kept, and the log's line format.

#include <regex>

#include "app/log.h"
#include "matchers.h"
#include "platform/files.h"
#include "player/greeting.h"
#include "player/memory.h"
#include "player/profile.h"
#include "temp-folder.h"

namespace orvo {
namespace {

TEST(StoredFiles, MissingOrCorruptDocumentsGiveDefaults) {
  testing::TempFolder home;
  for (const char* content : {"", "{broken", "[1,2]", "{\"user\": 5, \"assistant\": \"  \"}"}) {
    files::writeFileAtomically(home / "profile.json", content);
    Profile profile = Profile::load(home / "profile.json");
    EXPECT_EQ(profile.userName, "") << content;
    EXPECT_EQ(profile.assistantName, "Orvo") << content;
    files::writeFileAtomically(home / "memory.json", content);
    Memory memory = Memory::load(home / "memory.json");
    EXPECT_TRUE(memory.dropped.empty());
    EXPECT_EQ(memory.partsLearned, 0);
  }
  EXPECT_EQ(Profile::load(home / "absent.json").assistantName, "Orvo");
}

TEST(StoredFiles, MemoryRoundTripsAndKeepsFieldsItDoesNotKnow) {
  testing::TempFolder home;
  files::writeFileAtomically(home / "memory.json",
                             R"({"dropped":["A","B"],"jazzLesson":4,"partsLearned":7,
                                 "pieces":[{"name":"Rain"}],"mood":"calm"})");
  Memory memory = Memory::load(home / "memory.json");
  EXPECT_EQ(memory.jazzLesson, 4);
  EXPECT_FALSE(memory.drop("A"));
  EXPECT_TRUE(memory.drop("C"));
  memory.jazzLesson.reset();
  ASSERT_TRUE(memory.save(home / "memory.json"));
  Memory back = Memory::load(home / "memory.json");
  EXPECT_EQ(back.dropped, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_FALSE(back.jazzLesson);
  EXPECT_EQ(back.partsLearned, 7);
  EXPECT_EQ(back.pieces[0]["name"], "Rain");
  EXPECT_EQ(back.extra["mood"], "calm");
}

TEST(StoredFiles, SetupFieldsKeepWhatIsNotGiven) {
  Profile profile;
  EXPECT_FALSE(profile.withSetup(""));
  Profile named = *profile.withSetup("Ada");
  EXPECT_EQ(named.userName, "Ada");
  EXPECT_EQ(named.assistantName, "Orvo");
  Profile renamed = *named.withSetup(" | Luna | no");
  EXPECT_EQ(renamed.userName, "Ada");
  EXPECT_EQ(renamed.assistantName, "Luna");
  EXPECT_FALSE(renamed.neuralVoice);
}

TEST(StoredFiles, GreetingWelcomesBackAndMentionsTheLastSong) {
  Profile profile;
  Memory memory;
  Greeting first = buildGreeting(profile, memory, "Piano connected.");
  EXPECT_EQ(first.whole(), "Hello. I'm Orvo, your piano teacher. Piano connected.");
  profile.userName = "Ada";
  memory.lastOpened = "2026-12-01 10:00:00";
  memory.lastSong = "Ode to Joy";
  Greeting again = buildGreeting(profile, memory, "Piano connected.");
  EXPECT_EQ(again.hello, "Welcome back, Ada.");
  EXPECT_EQ(again.rest, "Piano connected. Last time we worked on Ode to Joy.");
}

TEST(StoredFiles, LogLinesHaveLocalTimeTwoSpacesAndTheText) {
  testing::TempFolder home;
  Log log(home / "log.txt");
  log.logLine("started, keyboards: none, voice: default");
  log.logLine("stopped: Q pressed");
  std::string text = files::readFile(home / "log.txt").value_or("");
  std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}  started, keyboards: none, voice: default
\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}  stopped: Q pressed
)");
  EXPECT_TRUE(std::regex_match(text, line)) << text;
}

}  // namespace
}  // namespace orvo
