// The music's stream against a sound server of the test's own: a steady tone
// rendered through it is recorded from its output's monitor.

#include <cmath>
#include <cstdlib>
#include <thread>

#include "e2e/sound-server.h"
#include "matchers.h"
#include "platform/audio/audio-output.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

// Times a steady tone fell silent for 2.5 ms or more between its first and
// last sound: each is a moment the output found nothing to play.
int dropoutsIn(const std::vector<float>& samples) {
  constexpr std::size_t kStretch = SoundServer::rate / 400;
  std::vector<bool> loud;
  for (std::size_t at = 0; at + kStretch <= samples.size(); at += kStretch) {
    double energy = 0;
    for (std::size_t i = at; i < at + kStretch; ++i) energy += samples[i] * samples[i];
    loud.push_back(std::sqrt(energy / kStretch) > 0.01);
  }
  const auto first = std::find(loud.begin(), loud.end(), true);
  const auto last = std::find(loud.rbegin(), loud.rend(), true).base();
  int dropouts = 0;
  for (auto at = first; at < last; ++at) dropouts += !*at && *(at - 1);
  return dropouts;
}

TEST(PulseAudioOutput, ASteadyToneIsHeardWithoutAGapAndAGoneServerEndsIt) {
  TempFolder home;
  SoundServer sound(home.path());
  sound.addSink("speakers", "Living Room Speakers");
  if (!sound.start()) GTEST_SKIP() << sound.skipReason();
  for (const auto& [name, value] : sound.env()) ::setenv(name.c_str(), value.c_str(), 1);
  double phase = 0;  // the output's thread alone renders
  auto output = openPulseAudioOutput(
      [&phase](float* left, float* right, int frames) {
        for (int i = 0; i < frames; ++i) {
          left[i] = right[i] = 0.3f * static_cast<float>(std::sin(phase));
          phase += 2 * M_PI * 440.0 / 44100.0;
        }
      },
      44100, "speakers");
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(openPulseAudioOutput([](float*, float*, int) {}, 44100, "headphones"), nullptr)
      << "an output that is not there";
  sound.record();
  std::this_thread::sleep_for(std::chrono::seconds(4));
  const auto heard = sound.stopRecording("speakers");
  // The recorder keeps the last second or two to itself when stopped.
  EXPECT_GT(SoundServer::secondsHeard(heard), 1.5);
  // A queue of one block (FluidSynth's own driver) dropped out 27 to 101
  // times here. Ours may still meet a stall of the machine's: each one
  // queues more, and eight take it to the most it ever queues.
  EXPECT_LE(dropoutsIn(heard), 8) << "the music kept dropping out";
  EXPECT_TRUE(output->running());
  sound.stop();
  bool ended = false;
  for (int i = 0; i < 30 && !ended; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ended = !output->running();
  }
  EXPECT_TRUE(ended) << "the server went away and the stream never said so";
  output.reset();  // its thread ends
}

}  // namespace
}  // namespace orvo::testing
