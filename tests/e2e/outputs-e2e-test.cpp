// The sound outputs by name: the real binary against a PulseAudio server of
// the test's own with null sinks that carry the names a person knows, each
// recorded from its monitor.

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <thread>

#include "e2e/lesson-heard.h"
#include "e2e/orvo-process.h"
#include "e2e/sound-server.h"
#include "matchers.h"
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
  EXPECT_TRUE(orvo.answers("~say what outputs are there\n",
                           "There are 2 outputs: Null Output and USB Audio Headphones."));
  orvo.write("~say put your voice on the bluetooth speaker\n");
  EXPECT_TRUE(
      orvo.waitFor("I can't find an output called the bluetooth speaker. I have Null "
                   "Output and USB Audio Headphones."));
  // Unsure: the likeliest is offered, and a yes takes it.
  EXPECT_TRUE(orvo.answers("~say put your voice on the usb speakers\n",
                           "Did you mean USB Audio Headphones?"));
  EXPECT_TRUE(orvo.answers("~say yes\n", "I'll speak on USB Audio Headphones from now on."));
  EXPECT_THAT(files::readFile(home / "data/outputs.json").value_or(""),
              ::testing::HasSubstr("\"voice\": \"phones\""));
  EXPECT_TRUE(shown("@outputs USB Audio Headphones||Null Output|USB Audio Headphones"));
  // The window's own lines: an output by its whole name, and the usual one.
  EXPECT_TRUE(
      orvo.answers("~output music Null Output\n", "The music plays on Null Output from now on."));
  EXPECT_TRUE(orvo.answers("~output voice\n", "I'll speak on the usual output from now on."));
  EXPECT_TRUE(shown("@outputs |Null Output|Null Output|USB Audio Headphones"));
  EXPECT_TRUE(orvo.answers("~output together\n",
                           "My voice and the music are together again, on the usual output."));
  sound.stop();
  EXPECT_TRUE(orvo.answers(
      "~say which outputs do you have\n",
      "I can't reach the sound server, so I can't tell which outputs there are.", 5.0));
  EXPECT_EQ(orvo.closeWindow(), 0);
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

TEST(OutputsSession, TheVoiceGoesToItsOutputStaysThereNextRunAndComesBackWhenAsked) {
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
    EXPECT_EQ(orvo.closeWindow(), 0);
  }
  OrvoProcess again({.home = home / "data", .args = {}, .env = sound.env()});
  ASSERT_TRUE(again.waitFor("@start", 15.0));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  auto [phones, elsewhere] = heardWhere(again, sound, "~speak what is C major\n");
  EXPECT_GT(phones, 0.5) << "the choice outlived the run";
  EXPECT_LT(elsewhere, 0.1);
  // Together again: the usual output (speech-dispatcher's) has the voice.
  std::tie(phones, elsewhere) =
      heardWhere(again, sound, "~say voice and music together again\n", 5.0);
  EXPECT_GT(elsewhere, 0.5);
  EXPECT_EQ(again.closeWindow(), 0);
}

// Sentences printed (text mode): only the music is heard, on the output chosen
// for it, and again there after it was unplugged and plugged in.
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
  ASSERT_TRUE(orvo.answers("~say play the music on my headphones\n",
                           "The music plays on USB Audio Headphones from now on.", 10.0));
  logSays(home / "data/log.txt", "band sound restarted");  // its stream opened again
  ASSERT_TRUE(recordALessonDemonstration(piano, orvo, sound));
  EXPECT_GT(SoundServer::secondsHeard(sound.stopRecording("phones")), 0.5);
  EXPECT_LT(SoundServer::secondsHeard(sound.stopRecording("rec")), 0.1);
  // Unplugged, the music goes on where the server puts it; plugged in again,
  // it goes back.
  sound.removeSink("phones");
  ASSERT_TRUE(recordALessonDemonstration(piano, orvo, sound));
  EXPECT_GT(SoundServer::secondsHeard(sound.stopRecording("rec")), 0.5);
  sound.plugIn("phones", "USB Audio Headphones");
  EXPECT_TRUE(logSays(home / "data/log.txt", "the music's output phones is back"));
  // The stream is opened again there on the sound's own queue, which a slow
  // build can take longer over than any fixed wait.
  EXPECT_TRUE(logSays(home / "data/log.txt", "band sound restarted: the music's output came back"));
  ASSERT_TRUE(recordALessonDemonstration(piano, orvo, sound));
  EXPECT_GT(SoundServer::secondsHeard(sound.stopRecording("phones")), 0.5);
  EXPECT_LT(SoundServer::secondsHeard(sound.stopRecording("rec")), 0.1);
  EXPECT_EQ(orvo.closeWindow(), 0);
}

// The share of a recording's energy (80 Hz to 4 kHz, in quarter-second Hann
// frames) that lies within 1.5 % of the first four harmonics of the keys
// given: near 1 for those notes alone, small for speech.
double noteShare(const std::vector<float>& samples, const std::set<int>& keys) {
  constexpr std::size_t kFrame = SoundServer::rate / 4;
  constexpr double kStep = 4.0;  // Hz between bins
  std::vector<double> power(1001, 0.0);
  for (std::size_t at = 0; at + kFrame <= samples.size(); at += kFrame) {
    for (std::size_t bin = 20; bin < power.size(); ++bin) {
      double re = 0, im = 0;
      const double w = 2 * M_PI * bin * kStep / SoundServer::rate;
      for (std::size_t i = 0; i < kFrame; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * M_PI * i / kFrame);
        re += samples[at + i] * hann * std::cos(w * i);
        im -= samples[at + i] * hann * std::sin(w * i);
      }
      power[bin] += re * re + im * im;
    }
  }
  double near = 0, all = 0;
  for (std::size_t bin = 20; bin < power.size(); ++bin) {
    const double f = bin * kStep;
    all += power[bin];
    const bool onANote = std::any_of(keys.begin(), keys.end(), [&](int key) {
      const double f0 = 440.0 * std::pow(2.0, (key - 69) / 12.0);
      for (int h = 1; h <= 4; ++h) {
        if (std::abs(f - h * f0) <= 0.015 * h * f0 + kStep / 2) return true;
      }
      return false;
    });
    if (onANote) near += power[bin];
  }
  return all > 0 ? near / all : 0;
}

// The voice on A and the music on B: a lesson's demonstration with a sentence
// said over it (a timer's reminder, which never cuts the lesson off) is heard
// as speech on A and as the notes sent on B. Then A is unplugged mid-sentence
// and the rest is heard on B, the music's output; and after the sound server
// restarts the voice is on A again and the music on B.
TEST(OutputsSession, SpeechOnlyOnItsOutputAndTheNotesOnlyOnTheirs) {
  TempFolder home;
  SoundServer sound(home.path());
  sound.addSink("phones", "USB Audio Headphones");
  sound.addSink("speakers", "Living Room Speakers");
  if (!sound.start()) GTEST_SKIP() << sound.skipReason();
  files::makeFolders(home / "data");
  files::writeFileAtomically(home / "data/top-key.txt", "108\n");
  files::writeFileAtomically(home / "data/intros.json", R"({"howlesson": 5})");  // heard before
  files::writeFileAtomically(home / "data/outputs.json",
                             R"({"voice": "phones", "music": "speakers"})");
  auto piano = home / "piano";
  ASSERT_EQ(::mkfifo(piano.c_str(), 0600), 0);
  auto env = sound.env();
  env["ORVO_MIDI_IN"] = piano.string();
  OrvoProcess orvo({.home = home / "data", .args = {}, .env = env});
  ASSERT_TRUE(orvo.waitFor("@start", 15.0));
  std::this_thread::sleep_for(std::chrono::seconds(5));  // the greeting ends
  const int keys = ::open(piano.c_str(), O_WRONLY);
  ASSERT_GE(keys, 0);
  // The lesson begins with its demonstration; the top key plays it again, and
  // a reminder set just before comes while it plays (a timer never cuts off).
  ASSERT_EQ(::write(keys, "\x90\x6c\x60\x80\x6c\x00", 6), 6);
  ASSERT_TRUE(orvo.waitForPrefix("@out ", 20.0)) << "the lesson never began";
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const std::size_t before = orvo.lines().size();
  orvo.write("~timer 1 listen to the bass\n");
  sound.record();
  ASSERT_EQ(::write(keys, "\x90\x6c\x60\x80\x6c\x00", 6), 6);
  ASSERT_TRUE(orvo.waitForPrefix("@out ", 15.0)) << "the demonstration never began";
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const auto phones = sound.stopRecording("phones");
  const auto speakers = sound.stopRecording("speakers");
  orvo.waitForLine([](const std::string&) { return false; }, 0.3);  // every line so far read
  std::set<int> sent = {79, 84};                                    // the timer's chime
  long reminderAt = -1, lastNoteAt = -1;
  for (std::size_t i = before; i < orvo.lines().size(); ++i) {
    const std::string& line = orvo.lines()[i];
    if (line.find("reminder: listen to the bass.") != std::string::npos) reminderAt = long(i);
    if (line.rfind("@out ", 0) == 0 && line.compare(line.size() - 2, 2, " 0") != 0) {
      sent.insert(std::atoi(line.c_str() + 5));
      lastNoteAt = long(i);
    }
  }
  ASSERT_GE(reminderAt, 0);
  EXPECT_LT(reminderAt, lastNoteAt) << "the sentence came while the demonstration played";
  EXPECT_GT(SoundServer::secondsHeard(phones), 1.0);
  EXPECT_GT(SoundServer::secondsHeard(speakers), 1.0);
  EXPECT_LT(noteShare(phones, sent), 0.4) << "speech, not the notes, on the headphones";
  EXPECT_GT(noteShare(speakers, sent), 0.75) << "the notes sent, and no speech, on the speakers";

  // The headphones unplugged mid-sentence: the rest, and why, on the music's output.
  sound.record();
  orvo.write(
      "~speak A rather long sentence, so that the headphones can go away while it is being "
      "said, and the rest of it is still heard.\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  sound.removeSink("phones");
  EXPECT_TRUE(
      orvo.waitFor("@say The output I was speaking on is gone, so I'll speak here until it comes "
                   "back.",
                   15.0));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_GT(SoundServer::secondsHeard(sound.stopRecording("speakers")), 1.5);
  EXPECT_LT(SoundServer::secondsHeard(sound.stopRecording("rec")), 0.1)
      << files::readFile(home / "data/log.txt").value_or("");

  // The sound server restarts, the headphones with it: the voice is on them again.
  sound.stop();
  ASSERT_TRUE(sound.start());
  std::this_thread::sleep_for(std::chrono::seconds(3));
  sound.record();
  orvo.write("~speak what is C major\n");
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_GT(SoundServer::secondsHeard(sound.stopRecording("phones")), 0.5);
  EXPECT_LT(SoundServer::secondsHeard(sound.stopRecording("speakers")), 0.1);
  // ... and the music on the speakers again.
  sound.record();
  ASSERT_EQ(::write(keys, "\x90\x6c\x60\x80\x6c\x00", 6), 6);
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_GT(SoundServer::secondsHeard(sound.stopRecording("speakers")), 0.5);
  EXPECT_LT(SoundServer::secondsHeard(sound.stopRecording("rec")), 0.1);
  ::close(keys);
  EXPECT_EQ(orvo.closeWindow(), 0);
}

}  // namespace
}  // namespace orvo::testing
