// A whole session over standard input and output, as the app window runs it.

#include "e2e/orvo-process.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

class Session : public ::testing::Test {
 protected:
  TempFolder home;
  std::string log() { return files::readFile(home / "log.txt").value_or(""); }
};

TEST_F(Session, StartsUpTakesKeysAndLinesAndQuitsWhenTheWindowCloses) {
  OrvoProcess orvo({.home = home.path()});
  ASSERT_TRUE(orvo.waitFor("@kbd "));
  ASSERT_TRUE(orvo.waitFor("@voice default"));
  ASSERT_TRUE(orvo.waitFor("@buttons 108 107 105 103 101 100 98 96"));
  ASSERT_TRUE(orvo.waitFor("@live 0"));
  ASSERT_TRUE(orvo.waitFor("@hands both"));
  ASSERT_TRUE(orvo.waitFor("@name |Orvo"));
  ASSERT_TRUE(orvo.waitFor(
      "@welcome Hello. I'm Orvo, your piano teacher. No piano found yet. Plug it in and I will "
      "pick it up."));
  ASSERT_TRUE(orvo.waitFor("Hello. I'm Orvo, your piano teacher."));
  ASSERT_TRUE(orvo.waitFor("No piano found yet. Plug it in and I will pick it up."));
  // A newcomer without a piano hears the computer's keys.
  ASSERT_TRUE(orvo.waitFor(
      "Until then, the computer keyboard works: h for help, 1 for a lesson, and q to quit."));
  EXPECT_THAT(log(), HasSubstr("started, keyboards: none, voice: default"));

  // The keys reach the engine (each key's answer is the engine's own tests'),
  // and a typed line sets the name the next run greets.
  ASSERT_TRUE(orvo.answers("t", "@mode talk"));
  ASSERT_TRUE(orvo.answers("~setup Anna\n", "@name Anna|Orvo"));

  EXPECT_EQ(orvo.closeWindow(), 0);
  EXPECT_THAT(log(), HasSubstr("stopped: the app window closed"));

  // The next run remembers the player.
  OrvoProcess again({.home = home.path()});
  ASSERT_TRUE(again.waitForPrefix("@welcome Welcome back, Anna."));
  EXPECT_EQ(again.closeWindow(), 0);
}

TEST_F(Session, WithoutTheWindowTheEndOfInputLeavesTheEngineRunning) {
  OrvoProcess orvo({.home = home.path(), .window = false});
  ASSERT_TRUE(orvo.waitFor("Hello. I'm Orvo, your piano teacher."));
  orvo.closeInput();
  EXPECT_FALSE(orvo.waitExit(0.5));  // still running: the piano and voice still work
  EXPECT_THAT(log(), HasSubstr("computer keyboard input ended (read 0, errno 0)"));
  for (const auto& line : orvo.lines()) EXPECT_NE(line[0], '@') << line;  // no window lines
  orvo.signal(SIGINT);
  EXPECT_EQ(orvo.waitExit(), 0);
  EXPECT_THAT(log(), HasSubstr("stopped: interrupted"));
}

TEST_F(Session, ADigitKeyOpensASongAndTheNextRunRemembersIt) {
  OrvoProcess orvo({.home = home.path()});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  ASSERT_TRUE(orvo.answers("3", "@mode teach"));
  ASSERT_TRUE(orvo.waitForPrefix("Twinkle Twinkle Little Star. 6 short parts."));
  orvo.write("l");
  ASSERT_TRUE(orvo.waitForPart("Easy: Hot Cross Buns, Mary Had a Little Lamb"));
  EXPECT_EQ(orvo.closeWindow(), 0);
  EXPECT_EQ(files::readFile(home / "last-song.txt"), "Twinkle Twinkle Little Star");

  OrvoProcess again({.home = home.path()});
  ASSERT_TRUE(
      again.waitForPrefix("@welcome Welcome back. No piano found yet. Plug it in and I "
                          "will pick it up. Last time we worked on Twinkle Twinkle Little "
                          "Star."));
  // The top button at home opens that song.
  ASSERT_TRUE(again.answersWithPrefix(" ", "Twinkle Twinkle Little Star. "));
  EXPECT_EQ(again.closeWindow(), 0);

  OrvoProcess list({.home = home.path(), .args = {"--library"}});
  EXPECT_EQ(list.waitExit(), 0);
  EXPECT_EQ(list.lines().size(), 10u);
}

TEST_F(Session, QSaysGoodbyeBeforeQuitting) {
  OrvoProcess orvo({.home = home.path()});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  orvo.write("q");
  EXPECT_TRUE(orvo.waitForLine([](const std::string& line) {
    return line == "Goodbye, friend." || line == "See you soon." || line == "Until next time.";
  }));
  EXPECT_EQ(orvo.waitExit(), 0);
  EXPECT_THAT(log(), HasSubstr("stopped: Q pressed"));
}

TEST_F(Session, OneOffRunsNeverTouchTheLockFile) {
  OrvoProcess missing({.home = home.path(), .args = {"--drop"}});
  EXPECT_EQ(missing.waitExit(), 2);
  EXPECT_THAT(
      missing.lines(),
      ::testing::ElementsAre("That check was not given what it needs, so nothing was started."));
  OrvoProcess modifierAlone({.home = home.path(), .args = {"--text", "--mute"}});
  EXPECT_EQ(modifierAlone.waitExit(), 2);

  OrvoProcess drop({.home = home.path(), .args = {"--drop", "Ode to Joy"}});
  EXPECT_EQ(drop.waitExit(), 0);
  EXPECT_THAT(files::readFile(home / "memory.json").value_or(""), HasSubstr("Ode to Joy"));
  EXPECT_FALSE(std::filesystem::exists(home / ".running"));
  EXPECT_FALSE(std::filesystem::exists(home / "log.txt"));
}

}  // namespace
}  // namespace orvo::testing
