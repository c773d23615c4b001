// The cost of one button press at home: the dispatcher, the home menu and the
// activity it starts (speech itself excluded).

#include <benchmark/benchmark.h>

#include "core/engine.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/virtual-runtime.h"
#include "temp-folder.h"

namespace {

struct SilentSpeaker final : orvo::SpeechOutput {
  void say(const std::string& text) override { benchmark::DoNotOptimize(text.data()); }
  void stop() override {}
  void silenceNow() override {}
  std::string voiceName() override { return ""; }
  std::string nextVoice() override { return ""; }
};

void BM_HomeMenuKey(benchmark::State& state) {
  orvo::testing::TempFolder home;
  orvo::VirtualRuntime runtime;
  orvo::Window window(runtime.serial("lorimel.ui"), true, [](std::string_view) {});
  orvo::Log log(home / "log.txt");
  SilentSpeaker speaker;
  orvo::Opt opt;
  orvo::NoMusicPlayer player;
  orvo::LoopbackMidiBackend backend;
  orvo::MidiIO midi(
      backend, runtime, opt, [](const std::string&) {}, false);
  orvo::Sounds sounds({runtime, opt, [](const std::string&) {}, home.path(), std::nullopt});
  orvo::Engine engine(
      orvo::EngineParts{runtime, window, log, speaker, opt, player, midi, sounds, home.path()});
  orvo::ButtonKeys keys;
  for (auto _ : state) {
    engine.command(keys.next);
    runtime.runReady();
  }
}
BENCHMARK(BM_HomeMenuKey);

}  // namespace
