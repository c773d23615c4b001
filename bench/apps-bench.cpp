// Working in other apps: matching a sentence against a large menu (pure),
// reading a 500-item menu over AT-SPI, and a menu request from hearing it to
// the app's handler firing. The last two need a desktop: run them through
// tools/desktop-session (they are skipped without one).

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

#include "apps/command-match.h"
#include "apps/menu-fixtures.h"
#include "apps/tree-access.h"
#include "bench-figures.h"
#include "desks/app-desk.h"
#include "platform/access/atspi/atspi-tree.h"
#include "platform/thread-runtime.h"

extern char** environ;

namespace {

void BM_MatchCommandFiveHundredEntries(benchmark::State& state) {
  auto entries = orvo::testing::menuEntries("audacity-menus.txt");
  for (const auto& more : orvo::testing::menuEntries("geany-menus.txt")) entries.push_back(more);
  entries.resize(std::min<std::size_t>(entries.size(), 500));
  if (entries.size() < 500) return state.SkipWithError("the menu fixtures hold fewer than 500");
  const std::vector<std::string> sentences = {"new audio track",
                                              "open the mixer",
                                              "select all",
                                              "zoom in",
                                              "please export as mp3",
                                              "show the track menu",
                                              "whats the capital of france",
                                              "noise reduction",
                                              "normalize",
                                              "add a label at the selection"};
  std::vector<double> micros;
  std::size_t i = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    auto found = orvo::matchCommand(sentences[i++ % sentences.size()], entries, {"Audacity"}, true);
    micros.push_back(orvo::bench::microsSince(start));
    benchmark::DoNotOptimize(found);
  }
  state.counters["entries"] = static_cast<double>(entries.size());
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_MatchCommandFiveHundredEntries);

// The fixture app with a 500-item effects menu, on the desktop we run in.
struct BigStudio {
  orvo::ThreadRuntime runtime{5};
  orvo::AtspiTree tree{runtime};
  orvo::TreeAccess access{tree};
  orvo::testing::TempFolder folder;
  pid_t pid = -1;
  std::optional<orvo::RunningApp> app;

  BigStudio() {
    if (!std::getenv("DISPLAY")) return;
    std::string script = std::string(ORVO_SOURCE_DIR) + "/tests/apps/fixtures/tiny-studio.py";
    std::string log = (folder / "fired.txt").string();
    char* argv[] = {const_cast<char*>("/usr/bin/python3"), script.data(), log.data(),
                    const_cast<char*>("500"), nullptr};
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) return;
    for (int i = 0; i < 200 && !app; ++i) {
      if (access.trusted()) {
        auto front = access.frontApp();
        if (front && front->name == "Tiny Studio") app = front;
      }
      if (!app) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  ~BigStudio() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  }
  // How many times the app has logged the line (it appends to one file).
  int fired(const std::string& line) {
    std::string text = orvo::files::readFile(folder / "fired.txt").value_or("");
    int count = 0;
    for (std::size_t at = text.find("fired: " + line); at != std::string::npos;
         at = text.find("fired: " + line, at + 1))
      ++count;
    return count;
  }
};

void BM_AtspiMenusFiveHundredItems(benchmark::State& state) {
  BigStudio studio;
  if (!studio.app) return state.SkipWithError("no desktop (run through tools/desktop-session)");
  std::size_t items = 0;
  for (auto _ : state) {
    auto menus = studio.access.menus(*studio.app);
    items = menus ? menus->entries.size() : 0;
  }
  state.counters["items"] = static_cast<double>(items);
}
BENCHMARK(BM_AtspiMenusFiveHundredItems)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_HearToTheAppsHandler(benchmark::State& state) {
  BigStudio studio;
  if (!studio.app) return state.SkipWithError("no desktop (run through tools/desktop-session)");
  orvo::testing::EngineWorld world({}, &studio.access);
  world.engine.appDesk().refreshApps();
  int presses = 0;
  for (auto _ : state) {
    ++presses;
    world.engine.hear("in tiny studio, new audio track");
    world.runtime.runReady();
    // Until the app has run its handler.
    for (int i = 0; i < 4000 && studio.fired("New Audio Track") < presses; ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
  }
  state.counters["presses"] = presses;
}
BENCHMARK(BM_HearToTheAppsHandler)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
