// The listener through the real binary: recognised speech arrives as typed
// "~ear" lines from the window, and the listening trace over a script.

#include <sstream>
#include <thread>

#include "matchers.h"
#include "orvo-process.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

// The voice log, once it holds `text` (it is written as decisions are made).
std::string voiceLogOnceItHas(const TempFolder& home, const std::string& text) {
  std::string log;
  for (int i = 0; i < 100; ++i) {
    log = files::readFile(home / "voice-log.txt").value_or("");
    if (log.find(text) != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return log;
}

TEST(ListeningSession, ItsOwnGreetingIsIgnoredItsNameIsHeardAndTalkWithoutItIsLeftAlone) {
  TempFolder home;
  // The computer keys heard twice before: the greeting ends with whether a piano was found.
  files::writeFileAtomically(home / "intros.json", R"({"computer keys": 2})");
  OrvoProcess orvo({.home = home.path()});
  const std::string rest = "No piano found yet. Plug it in and I will pick it up.";
  ASSERT_TRUE(orvo.waitFor(rest));
  // The greeting, heard back by the microphone once it has been said.
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  orvo.write("~ear 0 No piano found yet\n~ear 1 " + rest + "\n");
  EXPECT_THAT(voiceLogOnceItHas(home, "ignored my own voice"), HasSubstr("ignored my own voice"));

  ASSERT_TRUE(orvo.answers("~ear 0 Orvo new\n~ear 1 Orvo new composition\n", "@earreset"));
  EXPECT_THAT(voiceLogOnceItHas(home, "acting on: new composition"),
              HasSubstr("acting on: new composition"));
  ASSERT_TRUE(orvo.waitFor("@mode compose"));
  ASSERT_TRUE(orvo.waitForPrefix("Composition"));

  // Talk without the name: nothing is said (a follow-up remark is let go).
  std::size_t before = orvo.lines().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  orvo.write("~ear 1 we were talking about the weather\n~ear 1 pizza\n");
  EXPECT_THAT(voiceLogOnceItHas(home, "let a remark go by"), HasSubstr("let a remark go by"));
  ASSERT_TRUE(orvo.answersWithPrefix("~name\n", "@name "));
  for (std::size_t i = before; i < orvo.lines().size(); ++i) {
    EXPECT_EQ(orvo.lines()[i][0], '@') << "said: " << orvo.lines()[i];
  }
  // Lines the window may send that carry nothing are not a request either.
  ASSERT_TRUE(orvo.answersWithPrefix(
      "~ear\n~ear 1\n~ear 1 \xf0\x9f\x98\x80\n~lvl nan\n~lvl\n~lvl -4\n~lvl loud\n~name\n",
      "@name "));
  EXPECT_EQ(orvo.closeWindow(), 0);
}

void pause() {
  // Its answer is over, and a loaded machine has finished with it.
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
}

TEST(ListeningSession, RequestsByVoiceActAndACorrectionOutlivesTheRun) {
  TempFolder home;
  {
    OrvoProcess orvo({.home = home.path()});
    ASSERT_TRUE(orvo.waitFor("No piano found yet. Plug it in and I will pick it up."));
    pause();
    // The bare name, then the request without it.
    ASSERT_TRUE(orvo.answers("~ear 1 Orvo\n", "@earreset"));
    pause();
    ASSERT_TRUE(orvo.answersWithPrefix("~ear 1 what time is it\n", "It is "));
    pause();
    // Misunderstood, corrected.
    ASSERT_TRUE(orvo.answersWithPrefix("~ear 1 Orvo play the green thing\n",
                                       "I didn't recognise that one."));
    pause();
    ASSERT_TRUE(orvo.answers("~ear 1 Orvo that's wrong\n", "Sorry about that. What did you want?"));
    pause();
    orvo.write("~ear 1 which songs\n");
    ASSERT_TRUE(orvo.waitForPart("Easy: "));
    EXPECT_EQ(orvo.closeWindow(), 0);
  }
  EXPECT_THAT(files::readFile(home / "learned.json").value_or(""),
              HasSubstr("\"play the green thing\": \"which songs\""));
  OrvoProcess again({.home = home.path()});
  ASSERT_TRUE(again.waitForPrefix("@welcome"));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  pause();
  again.write("~ear 1 Orvo play the green thing\n");
  EXPECT_TRUE(again.waitForPart("Easy: "));
  EXPECT_EQ(again.closeWindow(), 0);
}

// What the window's recogniser made of spoken commands (Festival's voice, then
// espeak-ng's), replayed with their times: each utterance is acted on once at
// most, the clear ones as the request that was said, and nothing is said to
// the player before their request has been acted on.
TEST(ListeningTrace, RecordedRecognitionsAreActedOnOnceEachAndNeverTalkedOver) {
  TempFolder home;
  const std::string script = std::string(ORVO_TEST_DATA) + "/recognised-commands.script";
  OrvoProcess trace({.home = home.path(), .args = {"--ears", script}, .window = false});
  ASSERT_EQ(trace.waitExit(60), 0);

  struct Utterance {
    double from = -1, to = -1;
    bool named = false;
    std::vector<std::string> acted;
    double actedAt = -1, firstSaid = -1;
  };
  std::vector<Utterance> utterances(1);
  std::istringstream lines(files::readFile(script).value_or(""));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    double at = 0;
    std::string verb, final, first;
    fields >> at >> verb >> final >> first;
    Utterance& now = utterances.back();
    if (now.from < 0) now.from = at;
    if (final == "1") {
      now.to = at;
      now.named = first == "orvo";
      utterances.emplace_back();
    }
  }
  utterances.pop_back();
  // Each line of the trace goes to the utterance under way at its time.
  auto during = [&](double at) -> Utterance* {
    for (auto& each : utterances) {
      if (at >= each.from && at <= each.to + 1.5) return &each;  // the wait after a final
    }
    return nullptr;
  };
  for (const std::string& out : trace.lines()) {
    const double at = std::atof(out.c_str());
    Utterance* to = during(at);
    if (!to) continue;
    if (auto found = out.find("log: acting on: "); found != std::string::npos) {
      to->acted.push_back(out.substr(found + 16));
      if (to->actedAt < 0) to->actedAt = at;
    } else if (out.find(" say: ") != std::string::npos && to->firstSaid < 0) {
      to->firstSaid = at;
    }
  }
  const std::vector<std::string> festival = {"new composition",
                                             "stop",
                                             "what time is it",
                                             "play me something sad",
                                             "teach me hot cross buns",
                                             "band louder",
                                             "band quieter",
                                             "song menu",
                                             "ear training",
                                             "metronome at blind hundred",
                                             "set the timer for 5 minutes",
                                             "what can you do",
                                             "go home",
                                             "pause"};
  std::vector<std::string> clear;
  for (const Utterance& each : utterances) {
    EXPECT_LE(each.acted.size(), 1u) << "at " << each.from << ": one utterance, one request";
    if (!each.named) {
      EXPECT_TRUE(each.acted.empty()) << "at " << each.from << ": not addressed";
    }
    if (each.firstSaid >= 0) {
      EXPECT_GE(each.firstSaid, each.actedAt) << "at " << each.from << ": said over the player";
      EXPECT_GE(each.actedAt, 0) << "at " << each.from;
    }
    if (each.to < 100 && !each.acted.empty()) clear.push_back(each.acted.front());
  }
  EXPECT_EQ(clear, festival);
}

TEST(ListeningTrace, TheEdgeCasesScriptGivesTheStoredTrace) {
  TempFolder home;
  const std::string data = ORVO_TEST_DATA;
  OrvoProcess trace({.home = home.path(),
                     .args = {"--ears", data + "/ears-edge-cases.script", "--as-jarvis"},
                     .window = false});
  EXPECT_EQ(trace.waitExit(30), 0);
  std::string expected = files::readFile(data + "/ears-edge-cases.expected").value_or("");
  std::istringstream wanted(expected);
  std::string line;
  std::size_t at = 0;
  while (std::getline(wanted, line)) {
    ASSERT_LT(at, trace.lines().size()) << "missing from " << line;
    EXPECT_EQ(trace.lines()[at], line);
    ++at;
  }
  EXPECT_EQ(at, trace.lines().size());
  // A trace never touches the data folder it was started with.
  EXPECT_FALSE(std::filesystem::exists(home / "voice-log.txt"));

  OrvoProcess missing({.home = home.path(), .args = {"--ears", "/nonexistent"}, .window = false});
  EXPECT_EQ(missing.waitExit(), 1);
  EXPECT_TRUE(missing.waitForPrefix("cannot read /nonexistent", 1));
}

}  // namespace
}  // namespace orvo::testing
