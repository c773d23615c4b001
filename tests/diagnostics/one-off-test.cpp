#include "diagnostics/one-off.h"

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/files.h"
#include "player/memory.h"
#include "temp-folder.h"

namespace orvo::oneoff {
namespace {

TEST(OneOff, ArgumentsMustAllBePresentAndNotBeOptions) {
  std::vector<std::string> args = {"--text", "--drop", "Fur Elise"};
  EXPECT_THAT(*present(args, "--drop", 1), ElementsAre("Fur Elise"));
  EXPECT_FALSE(present({"--drop"}, "--drop", 1));
  EXPECT_FALSE(present({"--drop", "--text"}, "--drop", 1));
  EXPECT_FALSE(present({"--reband", "in.mid"}, "--reband", 2));
  EXPECT_TRUE(present({"--library"}, "--library", 0));
  EXPECT_FALSE(present({"--text"}, "--drop", 1));

  EXPECT_TRUE(isCheck({"--drop"}));
  EXPECT_TRUE(isCheck({"--text", "--mute"}));
  EXPECT_FALSE(isCheck({"--text"}));
  EXPECT_FALSE(isCheck({}));
}

TEST(OneOff, DropAddsTheTitleOnceAndKeepsTheRestOfTheMemory) {
  testing::TempFolder home;
  Memory memory;
  memory.lastSong = "Ode to Joy";
  memory.extra["futureField"] = 3;
  ASSERT_TRUE(memory.save(home / "memory.json"));

  std::vector<std::string> printed;
  auto print = [&](const std::string& line) { printed.push_back(line); };
  EXPECT_EQ(runWithoutEngine({"--drop", "Fur Elise"}, home.path(), print), 0);
  EXPECT_EQ(runWithoutEngine({"--drop", "Fur Elise"}, home.path(), print), 0);
  EXPECT_THAT(printed, ElementsAre("dropped: Fur Elise", "already dropped: Fur Elise"));

  Memory back = Memory::load(home / "memory.json");
  EXPECT_THAT(back.dropped, ElementsAre("Fur Elise"));
  EXPECT_EQ(back.lastSong, "Ode to Joy");
  EXPECT_EQ(back.extra["futureField"], 3);
  EXPECT_FALSE(std::filesystem::exists(home / ".running"));

  // Without its title nothing runs, and options of later subsystems say so.
  EXPECT_FALSE(runWithoutEngine({"--drop"}, home.path(), print));
  EXPECT_EQ(runWithoutEngine({"--selftest"}, home.path(), print), 2);
  EXPECT_EQ(printed.back(), "not yet: --selftest");
  // With no model to ask, the question gets the sentence that says so.
  ::setenv("ORVO_AI", "local", 1);
  EXPECT_EQ(runWithoutEngine({"--ask", "why"}, home.path(), print), 0);
  EXPECT_EQ(printed.back(), "I could not reach the AI just now.");
  ::unsetenv("ORVO_AI");
  printed.clear();
  EXPECT_EQ(runWithoutEngine({"--library"}, home.path(), print), 0);
  EXPECT_EQ(printed.size(), 10u);
  EXPECT_THAT(printed[0], ::testing::StartsWith(
                              "Hot Cross Buns (level 1): 17 steps, biggest chord 4, 3 parts"));
  printed.clear();
  VirtualRuntime runtime(1, 0.0);
  EXPECT_EQ(runWithEngine({"--route", "what is c major"}, runtime, print), 0);
  EXPECT_THAT(printed, ::testing::ElementsAre("> what is c major", "  heard: what is c major",
                                              "  family: theory", "  op: theory",
                                              "C major is C, D, E, F, G, A, B.", "  = said"));
  EXPECT_FALSE(runWithEngine({"--route"}, runtime, print));
}

TEST(OneOff, SoundCheckRendersToAWaveFileOrSaysThereIsNoBank) {
  testing::TempFolder home;
  std::vector<std::string> printed;
  auto print = [&](const std::string& line) { printed.push_back(line); };
  EXPECT_EQ(soundCheck((home / "none.wav").string(), std::nullopt, print), 1);
  EXPECT_THAT(printed, ElementsAre("no sound bank"));
  EXPECT_FALSE(std::filesystem::exists(home / "none.wav"));

  const std::string bank = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (!std::filesystem::exists(bank)) GTEST_SKIP() << "the TimGM6mb bank is not installed";
  printed.clear();
  EXPECT_EQ(soundCheck((home / "check.wav").string(), bank, print), 0);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_THAT(printed[0], ::testing::MatchesRegex(
                              "peak [0-9]+\\.[0-9]{2}, clipped [0-9]+\\.[0-9]{2}% of the time"));
  EXPECT_THAT(printed[1], ::testing::MatchesRegex("chime -[0-9.]+ dB, knock -[0-9.]+ dB, speech "
                                                  "-[0-9.]+ dB \\(RMS\\); band peak -[0-9.]+ "
                                                  "dBFS, clipped 0.00% of the time"));
  auto wav = files::readFile(home / "check.wav").value_or("");
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_GT(wav.size(), 44u + 44100u * 4 * 10);  // about eleven seconds of stereo sound
}

}  // namespace
}  // namespace orvo::oneoff
