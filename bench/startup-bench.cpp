// From exec to the greeting's window line, with a fresh data folder each time.

#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

// speech-dispatcher killed once the greeting is over, then a sentence asked
// for: the time from the kill until the recording is no longer silent (placed
// by counting back from the moment the recording was stopped, so to within
// the recorder's buffering, a few tens of milliseconds).
void BM_DeadSpeechServiceToTheNextSentenceHeard(benchmark::State& state) {
  for (auto _ : state) {
    orvo::testing::TempFolder folder;
    orvo::testing::SoundServer sound(folder.path());
    if (!sound.start()) return state.SkipWithError(sound.skipReason().c_str());
    orvo::testing::OrvoProcess orvo({.home = folder / "data", .args = {}, .env = sound.env()});
    if (!orvo.waitFor("@start", 10.0)) return state.SkipWithError("speech never began");
    // The greeting is over (a killed service's module may finish what it was saying).
    std::this_thread::sleep_for(std::chrono::seconds(7));
    sound.record();
    for (pid_t server : sound.speechServers()) ::kill(server, SIGKILL);
    auto killed = std::chrono::steady_clock::now();
    orvo.write("~speak what is C major\n");
    std::this_thread::sleep_for(std::chrono::seconds(5));
    auto stopping = std::chrono::steady_clock::now();
    auto samples = sound.stopRecording();
    // The recording ends when it is stopped: count back from there to the kill.
    double before = std::chrono::duration<double>(stopping - killed).count();
    double offset = static_cast<double>(samples.size()) / orvo::testing::SoundServer::rate - before;
    if (offset < 0) return state.SkipWithError("the recording missed the kill");
    auto heard = orvo::testing::SoundServer::firstHeard(samples, offset);
    if (!heard) {
      std::string why =
          "the next sentence was never heard (" + std::to_string(samples.size()) + " samples, " +
          std::to_string(orvo::testing::SoundServer::secondsHeard(samples)) + " s loud)";
      return state.SkipWithError(why.c_str());
    }
    state.SetIterationTime(*heard);
    orvo.signal(SIGTERM);
    orvo.waitExit();
  }
}
BENCHMARK(BM_DeadSpeechServiceToTheNextSentenceHeard)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

namespace {

// Resident memory of a process, in megabytes; 0 when it cannot be read.
double residentMB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

// A library of `count` song files, copies of real ones under different names,
// in the data folder's "songs": exec to the greeting, and the memory then,
// on the first start and on the next one over the same folder.
void BM_ExecToWelcomeWithSongs(benchmark::State& state) {
  std::vector<std::filesystem::path> real;
  std::error_code error;
  for (const char* folder : {"/usr/share/planetblupi/music", "/usr/share/games/openttd/gm"}) {
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
      if (it->path().extension() == ".mid") real.push_back(it->path());
    }
  }
  const auto count = static_cast<std::size_t>(state.range(0));
  if (count > 0 && real.empty()) return state.SkipWithError("no MIDI files to copy (make test-deps)");
  for (auto _ : state) {
    orvo::testing::TempFolder home;
    std::filesystem::create_directories(home / "songs");
    for (std::size_t i = 0; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "tune %05zu.mid", i);
      std::filesystem::copy_file(real[i % real.size()], home / "songs" / name, error);
    }
    double seconds[2] = {0, 0};
    double memory = 0;
    for (int run = 0; run < 2; ++run) {
      const auto start = std::chrono::steady_clock::now();
      orvo::testing::OrvoProcess orvo({.home = home.path()});
      if (!orvo.waitForPrefix("@welcome", 120.0)) return state.SkipWithError("no welcome line");
      seconds[run] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (run == 0) memory = residentMB(orvo.pid());
      orvo.closeInput();
      orvo.waitExit(30.0);
    }
    state.SetIterationTime(seconds[0]);
    state.counters["first_start_ms"] = seconds[0] * 1000;
    state.counters["next_start_ms"] = seconds[1] * 1000;
    state.counters["rss_mb"] = memory;
  }
}
BENCHMARK(BM_ExecToWelcomeWithSongs)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
