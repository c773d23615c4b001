// From exec to the greeting's window line, with a fresh data folder each time.

#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "bench-figures.h"
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

// Seconds until the log says the song files have all been read (an earlier
// build, which read them before greeting, says nothing: then 0).
// Only what the log gained after `from` bytes counts.
double secondsUntilListed(const std::filesystem::path& log, std::size_t from, double limit) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream file(log);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (text.size() > from && text.find("song files read:", from) != std::string::npos)
      return waited;
    if (waited > limit) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

struct LibraryStart {
  double welcome = 0;  // seconds from exec to the greeting's window line
  double listed = 0;   // seconds from exec until every song is listed
  double residentMB = 0;
  double peakMB = 0;
};

// One start of `binary` over a data folder holding a song library.
std::optional<LibraryStart> startWithLibrary(const std::string& binary,
                                             const std::filesystem::path& home) {
  LibraryStart measured;
  std::error_code error;
  const auto logged = std::filesystem::file_size(home / "log.txt", error);
  const auto start = std::chrono::steady_clock::now();
  orvo::testing::OrvoProcess orvo({.home = home, .binary = binary});
  if (!orvo.waitForPrefix("@welcome", 120.0)) return std::nullopt;
  measured.welcome =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const bool reads = binary == ORVO_BINARY && !std::filesystem::is_empty(home / "songs");
  measured.listed =
      reads ? measured.welcome + secondsUntilListed(home / "log.txt", error ? 0 : logged, 120.0)
            : measured.welcome;
  measured.residentMB = orvo::bench::residentMB(orvo.pid());
  measured.peakMB = orvo::bench::residentMB(orvo.pid(), "VmHWM:");
  orvo.closeInput();
  orvo.waitExit(30.0);
  return measured;
}

// A library of `count` song files, copies of real ones under different names,
// in the data folder's "songs": exec to the greeting, until every song is
// listed, and the memory then, on the first start and on the next one over the
// same folder. With ORVO_BENCH_BEFORE naming an earlier build's binary, that
// one too, in the same run.
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
  if (count > 0 && real.empty())
    return state.SkipWithError("no MIDI files to copy (make test-deps)");
  std::vector<std::pair<std::string, std::string>> builds = {{"", ORVO_BINARY}};
  if (const char* before = std::getenv("ORVO_BENCH_BEFORE")) builds.push_back({"before_", before});
  for (auto _ : state) {
    for (const auto& [prefix, binary] : builds) {
      orvo::testing::TempFolder home;
      std::filesystem::create_directories(home / "songs");
      for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "tune %05zu.mid", i);
        std::filesystem::copy_file(real[i % real.size()], home / "songs" / name, error);
      }
      for (const char* run : {"first_", "next_"}) {
        auto measured = startWithLibrary(binary, home.path());
        if (!measured) return state.SkipWithError("no welcome line");
        if (prefix.empty() && std::string(run) == "first_")
          state.SetIterationTime(measured->welcome);
        state.counters[prefix + run + "welcome_ms"] = measured->welcome * 1000;
        state.counters[prefix + run + "listed_ms"] = measured->listed * 1000;
        state.counters[prefix + run + "rss_mb"] = measured->residentMB;
        state.counters[prefix + run + "peak_mb"] = measured->peakMB;
      }
    }
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
