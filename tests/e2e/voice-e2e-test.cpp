// The natural voice through the real binary, with the stand-in server
// installed where the real one would be, heard through ORVO_VOICE_OUT.

#include <cmath>
#include <cstring>

#include "e2e/fifo-piano.h"
#include "e2e/orvo-process.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

void installStandIn(const std::filesystem::path& home) {
  const auto voice = home / "voice";
  std::filesystem::create_directories(voice / ".venv" / "bin");
  std::filesystem::copy_file(ORVO_KOKORO_STAND_IN, voice / ".venv" / "bin" / "python");
  files::writeFileAtomically(voice / "kokoro-v1.0.onnx", "");
}

// The program with the stand-in as its natural voice, heard in `heard`.
OrvoProcess withStandIn(const std::filesystem::path& home, const std::filesystem::path& heard,
                        const std::string& exitOn = "") {
  installStandIn(home);
  // A player who has heard the computer keys twice: the greeting is only its first two sentences.
  files::writeFileAtomically(home / "intros.json", R"({"computer keys": 2})");
  return OrvoProcess({.home = home,
                      .args = {},
                      .env = {{"ORVO_VOICE_OUT", heard.string()},
                              {"KOKORO_STAND_IN", ""},
                              {"KOKORO_STAND_IN_EXIT_ON", exitOn}}});
}

// The greeting is said in the natural voice once it is up; the tests begin
// once its last sentence has played (the stand-in plays 60 ms a character).
void waitForTheGreeting(OrvoProcess& orvo) {
  const std::string last = "No piano found yet. Plug it in and I will pick it up.";
  ASSERT_TRUE(orvo.waitFor("@say " + last, 20));
  ASSERT_TRUE(orvo.waitFor("@start", 10));
  Keyboard::wait(0.06 * static_cast<double>(last.size()) + 0.5);
}

TEST(VoiceSession, OnceReadyTheNaturalVoiceSpeaksAndIsHeardInItsFile) {
  TempFolder home;
  const auto heard = home / "voice-out.raw";
  OrvoProcess orvo = withStandIn(home.path(), heard);
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  ASSERT_TRUE(orvo.waitFor("@voice George (Kokoro)", 20))
      << files::readFile(home / "log.txt").value_or("no log");
  waitForTheGreeting(orvo);
  // Help, said in the natural voice.
  ASSERT_TRUE(orvo.answersWithPrefix("h", "@say Home."));
  ASSERT_TRUE(orvo.waitFor("@start", 10));
  EXPECT_TRUE(orvo.waitFor("@word Home.", 5));
  for (int i = 0;
       i < 100 && (!std::filesystem::exists(heard) || std::filesystem::file_size(heard) < 24000);
       ++i) {
    Keyboard::wait(0.05);
  }
  ASSERT_TRUE(std::filesystem::exists(heard));
  EXPECT_GE(std::filesystem::file_size(heard), 24000u) << "half a second of the voice at least";
  EXPECT_FALSE(std::filesystem::is_empty(home / "voice" / "cache"));
  EXPECT_EQ(orvo.closeWindow(), 0);

  // From the command line: timed, and said into nothing.
  OrvoProcess once({.home = home.path(),
                    .args = {"--speak", "Hello from the command line.", "--mute"},
                    .window = false});
  EXPECT_EQ(once.waitExit(30), 0);
  EXPECT_TRUE(once.waitForPrefix("Kokoro ready after ", 1));
  EXPECT_TRUE(once.waitForPrefix("voice began after ", 1));
  std::filesystem::remove(home / "voice" / "kokoro-v1.0.onnx");
  OrvoProcess missing({.home = home.path(), .args = {"--speak", "Anyone?"}, .window = false});
  EXPECT_EQ(missing.waitExit(30), 1);
  EXPECT_TRUE(missing.waitFor("Kokoro is not available", 1));
}

// The loudness of the samples in [from, to) of the raw file, by sample index.
double rmsOf(const std::filesystem::path& file, std::size_t from, std::size_t to) {
  const std::string bytes = files::readFile(file).value_or("");
  const std::size_t count = bytes.size() / 2;
  to = std::min(to, count);
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) {
    std::int16_t sample;
    std::memcpy(&sample, bytes.data() + 2 * i, 2);
    sum += static_cast<double>(sample) * sample;
  }
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

std::size_t samplesIn(const std::filesystem::path& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  return error ? 0 : static_cast<std::size_t>(size / 2);
}

TEST(VoiceSession, TalkingOverDucksTheVoiceAStopSilencesItAndVStepsToThePlatformVoice) {
  TempFolder home;
  const auto heard = home / "voice-out.raw";
  OrvoProcess orvo = withStandIn(home.path(), heard);
  ASSERT_TRUE(orvo.waitFor("@voice George (Kokoro)", 20));
  waitForTheGreeting(orvo);

  // The help is long; the stop said over it ends it within a block or two,
  // and only the stop's own answer follows.
  ASSERT_TRUE(orvo.answers("h", "@start", 10));
  for (int i = 0; i < 10; ++i) {
    orvo.write("~lvl 0.05\n");  // what the microphone hears of the voice itself
    Keyboard::wait(0.1);
  }
  const std::size_t beforeStop = samplesIn(heard);
  orvo.write("~ear 0 Orvo stop\n");
  const auto answer = orvo.waitForPrefix("@say ", 5);
  ASSERT_TRUE(answer);
  std::size_t settled = samplesIn(heard);
  for (int i = 0; i < 50; ++i) {
    Keyboard::wait(0.4);
    if (samplesIn(heard) == settled) break;
    settled = samplesIn(heard);
  }
  const std::size_t answerSamples = (answer->size() - 5) * 1440;  // 60 ms a character
  EXPECT_GE(settled - beforeStop, answerSamples) << *answer;
  EXPECT_LE(settled - beforeStop, answerSamples + 4800) << "the help went on after the stop";
  orvo.write("~lvl 0.01\n");  // heard in the quiet: the voice's own loudness is learned

  // Someone talking over the next sentence turns the voice down.
  ASSERT_TRUE(orvo.answersWithPrefix("h", "@say Home.", 5));
  ASSERT_TRUE(orvo.waitFor("@start", 10));
  for (int i = 0; i < 9; ++i) {
    orvo.write("~lvl 0.05\n");
    Keyboard::wait(0.1);
  }
  const std::size_t before = samplesIn(heard);
  orvo.write("~lvl 0.5\n");
  Keyboard::wait(0.1);
  orvo.write("~lvl 0.5\n");
  Keyboard::wait(0.3);
  const std::size_t after = samplesIn(heard);
  const double loud = rmsOf(heard, before - 4800, before);
  const double ducked = rmsOf(heard, after - 2400, after);
  EXPECT_GT(loud, 3000.0);
  EXPECT_LT(ducked, loud * 0.4) << "about 12 dB down";
  orvo.write("~ear 0 Orvo stop\n");
  Keyboard::wait(1.5);

  // The natural voices in turn, then the platform voice, kept for the next run.
  EXPECT_TRUE(orvo.answers("v", "@voice Emma (Kokoro)", 5));
  EXPECT_TRUE(orvo.answers("v", "@voice Heart (Kokoro)", 5));
  EXPECT_TRUE(orvo.answers("v", "@voice default", 5));
  EXPECT_EQ(orvo.closeWindow(), 0);
  EXPECT_EQ(files::readFile(home / "voice" / "voice-kokoro.txt").value_or(""), "mac\n");
}

TEST(VoiceSession, AServerThatEndsPartWayLeavesTheRestToThePlatformVoice) {
  TempFolder home;
  const auto heard = home / "voice-out.raw";
  OrvoProcess orvo = withStandIn(home.path(), heard, "Counting white keys");
  ASSERT_TRUE(orvo.waitFor("@voice George (Kokoro)", 20));
  waitForTheGreeting(orvo);
  ASSERT_TRUE(orvo.answers("h", "@start", 10));
  // No sound output here: the platform voice prints what it says.
  const auto rest = orvo.waitForPrefix("Counting white keys down from the top, with the", 30);
  ASSERT_TRUE(rest);
  EXPECT_THAT(*rest, ::testing::EndsWith("slash opens the full list on screen."));
  EXPECT_GE(samplesIn(heard), 5u * 1440) << "the first sentences were heard in the natural voice";
  EXPECT_EQ(orvo.closeWindow(), 0);
}

}  // namespace
}  // namespace orvo::testing
