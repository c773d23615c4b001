// The sound outputs by name: the real binary against a PulseAudio server of
// the test's own with null sinks that carry the names a person knows, each
// recorded from its monitor.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "e2e/lesson-heard.h"
#include "e2e/orvo-process.h"
#include "e2e/sound-server.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

TEST(OutputsSession, TheOutputsAreNamedAsAPersonKnowsThemTheWindowSetsThemAndAGoneServerIsSaid) {
  TempFolder home;
  SoundServer sound(home.path());
  sound.addSink("phones", "USB Audio Headphones");
  if (!sound.start()) GTEST_SKIP() << sound.skipReason();
  OrvoProcess orvo({.home = home / "data", .env = sound.env()});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome", 10.0));
  // A window line, whether it came before or after the sentence it goes with.
  auto shown = [&orvo](const std::string& line) {
    return std::count(orvo.lines().begin(), orvo.lines().end(), line) > 0 ||
           orvo.waitFor(line, 5.0).has_value();
  };
  // Nothing chosen yet, and the outputs there are.
  EXPECT_TRUE(shown("@outputs ||Null Output|USB Audio Headphones"));
  orvo.write("~say what outputs are there\n");
  EXPECT_TRUE(orvo.waitFor("There are 2 outputs: Null Output and USB Audio Headphones."));
  orvo.write("~say put your voice on the bluetooth speaker\n");
  EXPECT_TRUE(
      orvo.waitFor("I can't find an output called the bluetooth speaker. I have Null "
                   "Output and USB Audio Headphones."));
  // Unsure: the likeliest is offered, and a yes takes it.
  orvo.write("~say put your voice on the usb speakers\n");
  EXPECT_TRUE(orvo.waitFor("Did you mean USB Audio Headphones?"));
  orvo.write("~say yes\n");
  EXPECT_TRUE(orvo.waitFor("I'll speak on USB Audio Headphones from now on."));
  EXPECT_THAT(files::readFile(home / "data/outputs.json").value_or(""),
              ::testing::HasSubstr("\"voice\": \"phones\""));
  EXPECT_TRUE(shown("@outputs USB Audio Headphones||Null Output|USB Audio Headphones"));
  // The window's own lines: an output by its whole name, and the usual one.
  orvo.write("~output music Null Output\n");
  EXPECT_TRUE(orvo.waitFor("The music plays on Null Output from now on."));
  orvo.write("~output voice\n");
  EXPECT_TRUE(orvo.waitFor("I'll speak on the usual output from now on."));
  EXPECT_TRUE(shown("@outputs |Null Output|Null Output|USB Audio Headphones"));
  orvo.write("~output together\n");
  EXPECT_TRUE(orvo.waitFor("My voice and the music are together again, on the usual output."));
  sound.stop();
  orvo.write("~say which outputs do you have\n");
  EXPECT_TRUE(orvo.waitFor(
      "I can't reach the sound server, so I can't tell which outputs there are.", 5.0));
  orvo.closeInput();
  EXPECT_EQ(orvo.waitExit(), 0);
}

// Seconds of sound on the headphones and on the other output after a request.
// What was being said when it came (the greeting) is cut off by it: the other
// output is counted from 0.5 s after the request.
std::pair<double, double> heardWhere(OrvoProcess& orvo, SoundServer& sound,
                                     const std::string& request, double seconds = 4.0) {
  sound.record();  // from 0.2 s before the request
  orvo.write(request);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double phones = SoundServer::secondsHeard(sound.stopRecording("phones"));
  auto rec = sound.stopRecording("rec");
  rec.erase(rec.begin(), rec.begin() + std::min(rec.size(), SoundServer::rate * 7 / 10));
  return {phones, SoundServer::secondsHeard(rec)};
}

TEST(OutputsSession, TheVoiceGoesToItsOutputStaysThereNextRunAndGoesOnWhenItIsUnplugged) {
  TempFolder home;
  SoundServer sound(home.path());
  sound.addSink("phones", "USB Audio Headphones");
  if (!sound.start()) GTEST_SKIP() << sound.skipReason();
  {
    OrvoProcess orvo({.home = home / "data", .args = {}, .env = sound.env()});
    ASSERT_TRUE(orvo.waitFor("@start", 15.0));
    std::this_thread::sleep_for(std::chrono::seconds(4));  // the greeting ends
    // The confirmation is heard where the voice now goes, and only there.
    auto [phones, elsewhere] = heardWhere(orvo, sound, "~say speak in my headphones\n");
    EXPECT_GT(phones, 0.5);
    EXPECT_LT(elsewhere, 0.1);
    EXPECT_TRUE(orvo.waitFor("@say I'll speak on USB Audio Headphones from now on.", 1.0));
    orvo.closeInput();
    EXPECT_EQ(orvo.waitExit(), 0);
  }
  OrvoProcess again({.home = home / "data", .args = {}, .env = sound.env()});
  ASSERT_TRUE(again.waitFor("@start", 15.0));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  auto [phones, elsewhere] = heardWhere(again, sound, "~speak what is C major\n");
  EXPECT_GT(phones, 0.5) << "the choice outlived the run";
  EXPECT_LT(elsewhere, 0.1);
  // The headphones unplugged mid-sentence: the rest is heard, and why.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  sound.record();
  again.write(
      "~speak A rather long sentence, so that the headphones can go away while it "
      "is being said, and the rest of it is still heard.\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  sound.removeSink("phones");
  EXPECT_TRUE(
      again.waitFor("@say The output I was speaking on is gone, so I'll speak here until "
                    "it comes back.",
                    15.0));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_GT(SoundServer::secondsHeard(sound.stopRecording("rec")), 1.5)
      << "the rest of the sentence and the news, on the usual output";
  // Together again: the usual output (speech-dispatcher's) has the voice.
  std::tie(phones, elsewhere) =
      heardWhere(again, sound, "~say voice and music together again\n", 5.0);
  EXPECT_GT(elsewhere, 0.5);
  again.closeInput();
  EXPECT_EQ(again.waitExit(), 0);
}

// Sentences printed (text mode): only the music is heard, on the output chosen for it.
TEST(OutputsSession, TheMusicGoesToTheOutputChosenForIt) {
  TempFolder home;
  SoundServer sound(home.path());
  sound.addSink("phones", "USB Audio Headphones");
  if (!sound.start()) GTEST_SKIP() << sound.skipReason();
  files::makeFolders(home / "data");
  files::writeFileAtomically(home / "data/top-key.txt", "108\n");
  auto piano = home / "piano";
  ASSERT_EQ(::mkfifo(piano.c_str(), 0600), 0);
  auto env = sound.env();
  env["ORVO_MIDI_IN"] = piano.string();
  OrvoProcess orvo({.home = home / "data", .env = env});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome", 10.0));
  orvo.write("~say play the music on my headphones\n");
  ASSERT_TRUE(orvo.waitFor("The music plays on USB Audio Headphones from now on.", 10.0));
  logSays(home / "data/log.txt", "band sound restarted");  // its stream opened again
  ASSERT_TRUE(recordALessonDemonstration(piano, orvo, sound));
  EXPECT_GT(SoundServer::secondsHeard(sound.stopRecording("phones")), 0.5);
  EXPECT_LT(SoundServer::secondsHeard(sound.stopRecording("rec")), 0.1);
  orvo.closeInput();
  EXPECT_EQ(orvo.waitExit(), 0);
}

}  // namespace
}  // namespace orvo::testing
