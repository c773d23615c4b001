// From exec to the greeting's window line, with a fresh data folder each time.

#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <cmath>
#include <thread>

#include "e2e/orvo-process.h"
#include "e2e/sound-server.h"
#include "temp-folder.h"

namespace {

void BM_ExecToWelcome(benchmark::State& state) {
  for (auto _ : state) {
    orvo::testing::TempFolder home;
    auto start = std::chrono::steady_clock::now();
    orvo::testing::OrvoProcess orvo({.home = home.path()});
    auto welcome = orvo.waitForPrefix("@welcome");
    auto took = std::chrono::steady_clock::now() - start;
    if (!welcome) state.SkipWithError("no welcome line");
    state.SetIterationTime(std::chrono::duration<double>(took).count());
    orvo.closeInput();
    orvo.waitExit();
  }
}
BENCHMARK(BM_ExecToWelcome)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

namespace {

// With speech-dispatcher running and its whole voice list (about 13,000 voices
// with espeak-ng): start-up must not wait for the list.
void BM_ExecToWelcomeWithTheSpeechService(benchmark::State& state) {
  orvo::testing::TempFolder folder;
  orvo::testing::SoundServer sound(folder.path());
  if (!sound.start()) return state.SkipWithError(sound.skipReason().c_str());
  pid_t warm = orvo::testing::spawn({"spd-say", "-w", "ready"}, sound.env());
  ::waitpid(warm, nullptr, 0);
  for (auto _ : state) {
    orvo::testing::TempFolder home;
    auto start = std::chrono::steady_clock::now();
    orvo::testing::OrvoProcess orvo({.home = home.path(), .args = {}, .env = sound.env()});
    auto welcome = orvo.waitForPrefix("@welcome", 30.0);
    auto took = std::chrono::steady_clock::now() - start;
    if (!welcome) state.SkipWithError("no welcome line");
    state.SetIterationTime(std::chrono::duration<double>(took).count());
    orvo.signal(SIGTERM);
    orvo.waitExit();
  }
}
BENCHMARK(BM_ExecToWelcomeWithTheSpeechService)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// speech-dispatcher killed, then a sentence asked for: the time until the
// recording is no longer silent (the recorder's own start-up, about 0.1 s, is
// counted against us).
void BM_DeadSpeechServiceToTheNextSentenceHeard(benchmark::State& state) {
  for (auto _ : state) {
    orvo::testing::TempFolder folder;
    orvo::testing::SoundServer sound(folder.path());
    if (!sound.start()) return state.SkipWithError(sound.skipReason().c_str());
    orvo::testing::OrvoProcess orvo({.home = folder / "data", .args = {}, .env = sound.env()});
    if (!orvo.waitFor("@start", 10.0)) return state.SkipWithError("speech never began");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    sound.record();
    auto recording = std::chrono::steady_clock::now();
    for (pid_t server : sound.speechServers()) ::kill(server, SIGKILL);
    auto killed = std::chrono::steady_clock::now();
    orvo.write("~speak what is C major\n");
    std::this_thread::sleep_for(std::chrono::seconds(5));
    auto samples = sound.stopRecording();
    // The first 20 ms frame above -45 dBFS after the kill.
    double offset = std::chrono::duration<double>(killed - recording).count() + 0.2;
    auto first = static_cast<std::size_t>(offset * 16000);
    double heardAt = -1;
    for (std::size_t at = first; at + 320 <= samples.size(); at += 320) {
      double energy = 0;
      for (std::size_t i = at; i < at + 320; ++i) energy += samples[i] * samples[i];
      if (10.0 * std::log10(energy / 320 + 1e-12) > -45.0) {
        heardAt = static_cast<double>(at) / 16000 - offset;
        break;
      }
    }
    if (heardAt < 0) return state.SkipWithError("the next sentence was never heard");
    state.SetIterationTime(heardAt);
    orvo.signal(SIGTERM);
    orvo.waitExit();
  }
}
BENCHMARK(BM_DeadSpeechServiceToTheNextSentenceHeard)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
