// The AI through the real binary, with the stand-in for the claude tool
// installed where the system looks for it ($HOME/.local/bin/claude): a spoken
// question, a command answered with "DO:", the warm-up, the one-off --ask and
// --chat, and the sentence when there is no model at all.

#include <sys/stat.h>

#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "e2e/orvo-process.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

namespace fs = std::filesystem;

// A home folder with the stand-in installed, and a data folder in it.
struct AiHome {
  TempFolder home;
  fs::path data = home / "data";
  fs::path log = home / "claude-log.jsonl";
  bool made = install();

  bool install() {
    const fs::path tool = home / ".local/bin/claude";
    if (!files::makeFolders(tool.parent_path()) || !files::makeFolders(data)) return false;
    std::error_code error;
    fs::copy_file(fs::path(ORVO_SOURCE_DIR) / "tests/voice/claude-stand-in.py", tool, error);
    ::chmod(tool.c_str(), 0755);
    nlohmann::json script = {{"replies",
                              {{{"match", "capital of france"}, {"reply", "Paris, of **course**."}},
                               {{"match", "letters"}, {"reply", "DO: large captions."}}}}};
    return !error && files::writeFileAtomically(home / "script.json", script.dump()) &&
           files::writeFileAtomically(data / "top-key.txt", "108\n");
  }
  std::map<std::string, std::string> env() const {
    return {{"HOME", home.path().string()},
            {"CLAUDE_STAND_IN_SCRIPT", (home / "script.json").string()},
            {"CLAUDE_STAND_IN_LOG", log.string()}};
  }
  std::vector<std::string> messages() const {
    std::vector<std::string> found;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
      auto entry = nlohmann::json::parse(line, nullptr, false);
      if (entry.contains("message")) found.push_back(entry["message"]);
    }
    return found;
  }
};

TEST(AiSession, SpokenQuestionsAndCommandsGoThroughTheToolAfterItsWarmUp) {
  AiHome ai;
  ASSERT_TRUE(ai.made);
  OrvoProcess orvo({.home = ai.data, .env = ai.env()});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  // The session is warmed 2 s after the start.
  std::this_thread::sleep_for(std::chrono::milliseconds(2600));
  EXPECT_TRUE(
      orvo.answers("~ear 1 Orvo what is the capital of france\n", "Paris, of course.", 15.0));
  EXPECT_TRUE(orvo.answers("~speak do the thing with the letters\n", "@access large 1", 15.0));
  EXPECT_TRUE(orvo.waitFor("Large captions on."));
  // Learned: the same words again are the rules' own now.
  EXPECT_TRUE(orvo.answers("~speak do the thing with the letters\n", "Large captions on."));
  EXPECT_EQ(orvo.closeWindow(), 0);

  auto messages = ai.messages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages[0], "[the app has just opened]\nReply with the single word ready.");
  EXPECT_THAT(messages[1], HasSubstr("\nwhat is the capital of france"));
  EXPECT_THAT(messages[1], StartsWith("[REAPER is not open, so there are no tracks to change"));
  EXPECT_EQ(messages.size(), 3u) << "the learned sentence never reached the tool";
}

TEST(AiSession, TheOneOffQuestionAndChatPrintTheirAnswers) {
  AiHome ai;
  ASSERT_TRUE(ai.made);
  {
    OrvoProcess ask({.home = ai.data,
                     .args = {"--ask", "what is the capital of france"},
                     .window = false,
                     .env = ai.env()});
    EXPECT_EQ(ask.waitExit(20), 0);
    EXPECT_THAT(ask.lines(), Contains("Paris, of course."));
  }
  OrvoProcess chat({.home = ai.data,
                    .args = {"--chat", "what is the capital of france", "and italy"},
                    .window = false,
                    .env = ai.env()});
  EXPECT_EQ(chat.waitExit(20), 0);
  const auto& lines = chat.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_THAT(lines[0], ::testing::MatchesRegex("[0-9]+\\.[0-9] s  what is the capital of france"));
  EXPECT_EQ(lines[1], "        -> Paris, of course.");
  EXPECT_EQ(lines[3], "        -> an answer");
}

TEST(AiSession, WithNoToolTheNoModelSentenceIsSaid) {
  TempFolder home;
  ASSERT_TRUE(files::writeFileAtomically(home / "top-key.txt", "108\n"));
  OrvoProcess orvo(
      {.home = home.path(), .env = {{"HOME", home.path().string()}, {"ORVO_AI", "local"}}});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  EXPECT_TRUE(orvo.answersWithPrefix("~speak zxcv qwerty\n",
                                     "I didn't recognise that one. Without an AI tool"));
  EXPECT_EQ(orvo.closeWindow(), 0);
}

}  // namespace
}  // namespace orvo::testing
