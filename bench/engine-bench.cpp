// The cost of one button press at home: the dispatcher, the home menu and the
// activity it starts (speech itself excluded).

#include <benchmark/benchmark.h>

#include "bench-figures.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "platform/file-store.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "rooms/lesson/lesson-room.h"
#include "temp-folder.h"

namespace {

void BM_HomeMenuKey(benchmark::State& state) {
  orvo::testing::TempFolder home;
  orvo::VirtualRuntime runtime;
  orvo::Window window(runtime.serial("lorimel.ui"), true, [](std::string_view) {});
  orvo::Log log(home / "log.txt");
  orvo::bench::SilentSpeaker speaker;
  orvo::NoMusicPlayer player;
  orvo::NoStudioHost studio;
  orvo::FileStore store{home.path(), runtime, runtime.serial("orvo.store")};
  orvo::LoopbackMidiBackend backend;
  orvo::MidiIO midi(
      backend, runtime, [](const std::string&) {}, false);
  orvo::Sounds sounds({runtime, store, [](const std::string&) {}, {}});
  orvo::Engine engine(orvo::EngineParts{runtime, window, log, speaker, player, studio, midi, sounds,
                                        store, home.path()});
  orvo::ButtonKeys keys;
  for (auto _ : state) {
    engine.command(keys.next);
    runtime.runReady();
  }
}
BENCHMARK(BM_HomeMenuKey);

}  // namespace
