// The AI routes against a stand-in for the claude tool (tests/voice/
// claude-stand-in.py): the exact command line, prompt and framing, answers
// cleaned, the tool's bad output, a sign-in failure and the local route, a
// session that ends or never answers; and where the tool is looked for.

#include "voice/ai.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/files.h"
#include "platform/thread-runtime.h"
#include "temp-folder.h"
#include "voice/ai-prompts.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

const fs::path kStandIn = fs::path(ORVO_VOICE_TESTS) / "claude-stand-in.py";

std::string stored(const std::string& name) {
  return files::readFile(fs::path(ORVO_VOICE_TESTS) / "data" / name).value_or("missing " + name);
}

// The stand-in shaped by a script, logging into a folder of the test's own.
class StandIn {
 public:
  explicit StandIn(const nlohmann::json& script) {
    files::writeFileAtomically(folder / "script.json", script.dump());
    ::setenv("CLAUDE_STAND_IN_SCRIPT", (folder / "script.json").c_str(), 1);
    ::setenv("CLAUDE_STAND_IN_LOG", (folder / "log.jsonl").c_str(), 1);
  }
  ~StandIn() {
    ::unsetenv("CLAUDE_STAND_IN_SCRIPT");
    ::unsetenv("CLAUDE_STAND_IN_LOG");
  }
  std::vector<nlohmann::json> log(const char* field) const {
    std::vector<nlohmann::json> entries;
    std::ifstream in(folder / "log.jsonl");
    for (std::string line; std::getline(in, line);) {
      auto entry = nlohmann::json::parse(line, nullptr, false);
      if (entry.contains(field)) entries.push_back(entry[field]);
    }
    return entries;
  }
  testing::TempFolder folder;
};

struct LocalDouble final : LocalAI {
  bool on = false;
  std::vector<std::pair<std::string, std::string>> asked;
  std::string reply = "Hello from the device.";
  bool available() override { return on; }
  void prewarm() override {}
  std::string ask(const std::string& question, const std::string& instructions) override {
    asked.emplace_back(question, instructions);
    return reply;
  }
};

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session.setToolPath([] { return std::optional<fs::path>(kStandIn); });
    session.setPeople({"Orvo", "Ada", "", {"Clair de Lune", "Hot Cross Buns"}});
    session.setDataFolder(data.path());
  }
  testing::TempFolder data;
  ThreadRuntime runtime{3};
  LocalDouble local;
  std::vector<std::string> logged;
  std::mutex logMutex;
  AISession session{runtime, local, [this](const std::string& line) {
                      std::lock_guard guard(logMutex);
                      logged.push_back(line);
                    }};
};

TEST_F(SessionTest, TheCommandLinePromptAndFramingAreExactAndQuestionsGoWhole) {
  StandIn tool(nlohmann::json{{"default", "an answer"}});
  std::string question = "is \"this\" a \\ back\tslash\nquestion? ";
  question += std::string(2000, 'x');
  EXPECT_EQ(session.ask(question, "at home"), "an answer");
  EXPECT_EQ(session.ask("and then?", "in a lesson"), "an answer");
  session.shutDown();

  auto starts = tool.log("argv");
  ASSERT_EQ(starts.size(), 1u) << "one process answers both";
  EXPECT_EQ(starts[0],
            nlohmann::json::array({"-p", "--model", "haiku", "--input-format", "stream-json",
                                   "--output-format", "stream-json", "--verbose", "--system-prompt",
                                   stored("session-persona.txt") +
                                       "\nSongs in their library: Clair de Lune, Hot Cross Buns.",
                                   "--allowedTools", "WebSearch,WebFetch", "--disallowedTools",
                                   "Bash,Edit,Write,Read,Agent,NotebookEdit,Glob,Grep"}));
  auto folders = tool.log("cwd");
  EXPECT_EQ(fs::path(folders.at(0).get<std::string>()), fs::canonical(data / "ai"));
  EXPECT_EQ(fs::status(data / "ai").permissions(), fs::perms::owner_all) << "the player's alone";
  EXPECT_EQ(tool.log("path").at(0),
            "/usr/bin:/bin:/usr/sbin:/sbin:/opt/homebrew/bin:/usr/local/bin");
  EXPECT_THAT(tool.log("message"),
              ElementsAre("[at home]\n" + question, "[in a lesson]\nand then?"));
}

TEST_F(SessionTest, RepliesAreCleanedAndBadOutputIsLetGo) {
  StandIn tool(
      nlohmann::json{{"replies",
                      {{{"match", "bold"}, {"reply", "**E flat** is # the one."}},
                       {{"match", "sad"}, {"reply", "Sure thing.\nDO: play me something sad."}},
                       {{"match", "empty"}, {"reply", ""}},
                       {{"match", "twice"}, {"reply", "first"}, {"twice", true}},
                       {{"match", "bytes"}, {"reply", "caf\xC3\xA9"}}}},
                     {"noise", true},
                     {"huge", true}});
  EXPECT_EQ(session.ask("bold please", "s"), "E flat is  the one.");
  EXPECT_EQ(session.ask("something sad", "s"), "DO: play me something sad");
  EXPECT_EQ(session.ask("empty", "s"), ai::didNotFollow);
  EXPECT_EQ(session.ask("say it twice", "s"), "first");
  // The second result of that question is never taken as this one's answer.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(session.ask("some bytes", "s"), "caf\xC3\xA9");
  session.shutDown();
  std::lock_guard guard(logMutex);
  EXPECT_THAT(logged, ::testing::Contains(StartsWith("ai: not JSON: this is not json")));
  EXPECT_THAT(logged, ::testing::Contains(StartsWith("ai: dropped a line of 10485760 bytes")));
  EXPECT_THAT(logged, ::testing::Contains("ai: a result no question was waiting for"));
  EXPECT_THAT(logged, ::testing::Contains("ai: a result without its text"));
}

TEST_F(SessionTest, ASignInFailureTurnsToTheLocalModelWhenThereIsOne) {
  StandIn tool(nlohmann::json{{"signin", true}});
  EXPECT_EQ(session.ask("hello", "s"), "The AI is not signed in yet.");
  EXPECT_TRUE(session.signedOut());
  EXPECT_FALSE(session.ready()) << "no local model";
  EXPECT_EQ(session.askOnce("hello", "Right now: at home."), ai::unreachable);

  local.on = true;
  local.reply = "Of course.\nDO: play me something sad";
  EXPECT_TRUE(session.ready());
  EXPECT_TRUE(session.usingLocal());
  EXPECT_EQ(session.ask("something gloomy", "s"), "DO: play me something sad");
  ASSERT_EQ(local.asked.size(), 1u);
  EXPECT_EQ(local.asked[0].first, "They say: something gloomy\nYou reply:");
  EXPECT_EQ(local.asked[0].second, stored("local-persona.txt"));
  EXPECT_EQ(tool.log("message").size(), 1u) << "the tool is not asked again";
}

TEST_F(SessionTest, TheOneShotQuestionHasItsOwnCommandLine) {
  StandIn tool(nlohmann::json{{"default", "**Four** sharps."}});
  session.setPeople({"Orvo", "Ada", "a jazz pianist who lost her sight at forty", {}});
  EXPECT_EQ(session.askOnce("how many sharps in E major", "Right now: at home."), "Four sharps.");
  EXPECT_EQ(
      tool.log("argv").at(0),
      nlohmann::json::array(
          {"-p", "--model", "haiku", "--system-prompt",
           stored("one-shot-persona.txt") + "\n\nWhat you know right now:\nRight now: at home.",
           "--disallowedTools", "Bash,Edit,Write,Read,WebFetch,WebSearch,Agent"}));
  EXPECT_EQ(tool.log("message").at(0), "how many sharps in E major");
  StandIn signedOut(nlohmann::json{{"signin", true}});
  EXPECT_EQ(session.askOnce("hello", "x"), ai::notSignedIn());
}

TEST_F(SessionTest, ASessionThatEndsIsStartedAgainForTheNextQuestion) {
  StandIn tool(nlohmann::json{{"exit", "after-first"}});
  EXPECT_EQ(session.ask("one", "s"), "an answer");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(session.ask("two", "s"), "an answer");
  session.shutDown();
  EXPECT_EQ(tool.log("argv").size(), 2u);
}

TEST_F(SessionTest, ASessionThatEndsBeforeAnsweringAnswersTheQuestionAtOnce) {
  StandIn tool(nlohmann::json{{"exit", "now"}});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(session.ask("hello?", "s"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << "not the 75 s";
}

// On the virtual clock the 75 s run out at once; the process is real.
TEST(AISessionLimits, NoAnswerWithin75SecondsEndsTheSession) {
  StandIn tool(nlohmann::json{{"silent", true}});
  VirtualRuntime runtime(1);
  NoLocalAI local;
  std::atomic<int> started{0};
  AISession session(runtime, local, [&](const std::string& line) {
    if (line == "ai: the session started") ++started;
  });
  session.setToolPath([] { return std::optional<fs::path>(kStandIn); });
  testing::TempFolder data;
  session.setDataFolder(data.path());
  const double start = runtime.now();
  EXPECT_EQ(session.ask("hello?", "s"), "");
  EXPECT_GE(runtime.now() - start, 75.0);
  EXPECT_EQ(session.ask("again?", "s"), "");
  session.shutDown();
  EXPECT_EQ(started.load(), 2) << "a new session for the next question";
}

TEST(AIPath, TheToolIsLookedForInItsPlacesUnlessLocalIsAsked) {
  EXPECT_THAT(ai::paths("/home/ada"),
              ElementsAre("/opt/homebrew/bin/claude", "/home/ada/.local/bin/claude",
                          "/usr/local/bin/claude"));
  testing::TempFolder home;
  const char* oldHome = std::getenv("HOME");
  const std::string saved = oldHome ? oldHome : "";
  ::setenv("HOME", home.path().c_str(), 1);
  const fs::path tool = home / ".local/bin/claude";
  files::makeFolders(tool.parent_path());
  files::writeFileAtomically(tool, "#!/bin/sh\n");
  ::chmod(tool.c_str(), 0644);
  const bool elsewhere =
      fs::exists("/opt/homebrew/bin/claude") || fs::exists("/usr/local/bin/claude");
  if (!elsewhere) {
    EXPECT_FALSE(ai::path()) << "not executable";
  }
  ::chmod(tool.c_str(), 0755);
  if (!elsewhere) {
    EXPECT_EQ(ai::path(), tool);
  }
  ::setenv("ORVO_AI", "local", 1);
  EXPECT_FALSE(ai::path());
  ::unsetenv("ORVO_AI");
  ::setenv("HOME", saved.c_str(), 1);
}

// The tool reads its settings and hooks in its working folder: one that
// another user made, or could write into, would let them run commands as the player.
TEST(AIWorkFolder, OnlyAFolderOfThePlayersOwnThatNoOneElseCanWriteIsUsed) {
  testing::TempFolder data;
  ::chmod(data.path().c_str(), 0755);
  fs::create_directory(data / "ai");
  ::chmod((data / "ai").c_str(), 0777);
  ASSERT_EQ(ai::workFolder(data.path()), data / "ai") << "one of ours is made private";
  EXPECT_EQ(fs::status(data / "ai").permissions(), fs::perms::owner_all);

  testing::TempFolder elsewhere;
  fs::remove(data / "ai");
  fs::create_directory_symlink(elsewhere.path(), data / "ai");
  EXPECT_FALSE(ai::workFolder(data.path())) << "a link to somewhere else";
  fs::remove(data / "ai");
  files::writeFileAtomically(data / "ai", "");
  EXPECT_FALSE(ai::workFolder(data.path())) << "not a folder";
  fs::remove(data / "ai");
  if (::geteuid() == 0) {
    fs::create_directory(data / "ai");
    ASSERT_EQ(::chown((data / "ai").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ai::workFolder(data.path())) << "another user's folder";
  }
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = runtimeDir ? runtimeDir : "";
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_FALSE(ai::workFolder({})) << "no shared temporary folder is ever used";
  if (runtimeDir) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST(AIReply, ACommandLineIsTakenAloneAndTrimmed) {
  EXPECT_EQ(ai::cleanReply("Okay!\n  DO: make it epic!  \nEnjoy."), "DO: make it epic");
  EXPECT_EQ(ai::cleanReply("DO:"), "DO: ");
  EXPECT_EQ(ai::cleanReply("DO: play my album\nDO: surprise me"), "DO: play my album");
  EXPECT_EQ(ai::cleanReply("## Heading\n*Plain*"), "Heading\nPlain");
  EXPECT_EQ(ai::cleanReply("  "), "");
}

TEST(AIPrompts, EachPromptIsTheStoredOne) {
  EXPECT_EQ(ai::sessionPersona("Orvo", "Ada", ""), stored("session-persona.txt"));
  EXPECT_EQ(ai::oneShotPersona("Orvo", "Ada", "a jazz pianist who lost her sight at forty"),
            stored("one-shot-persona.txt"));
  EXPECT_EQ(ai::localPersona("Orvo", "Ada"), stored("local-persona.txt"));
  EXPECT_THAT(ai::oneShotPersona("Orvo", "Ada", ""),
              HasSubstr("for Ada.  Your words are spoken aloud."));
  EXPECT_EQ(ai::sessionCommandList().size(), 129u);
}

}  // namespace
}  // namespace orvo
