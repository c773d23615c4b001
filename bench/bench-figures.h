#pragma once
// What several benchmarks share: percentiles of timings as counters, and a
// speech output that says nothing.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "core/engine.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/virtual-runtime.h"
#include "sound/speech-output.h"
#include "temp-folder.h"

namespace orvo::bench {

// Microseconds since `start`.
inline double microsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
      .count();
}

// The median and the 99th percentile of timings in microseconds.
inline void reportMicros(benchmark::State& state, std::vector<double>& micros) {
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["p50_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

struct SilentSpeaker final : SpeechOutput {
  void say(const std::string& text, SpeechTicket) override {
    benchmark::DoNotOptimize(text.data());
  }
  void stop() override {}
  void silenceNow() override {}
  std::string voiceName() override { return ""; }
  std::string nextVoice() override { return ""; }
  float volume() override { return 1.0f; }
  void setVolume(float) override {}
};

// An engine on the virtual clock that says nothing, in a fresh data folder
// whose top key is known.
struct EngineWorld {
  testing::TempFolder home;
  VirtualRuntime runtime;
  Window window{runtime.serial("lorimel.ui"), true, [](std::string_view) {}};
  Log log{home / "log.txt"};
  SilentSpeaker speaker;
  NoMusicPlayer player;
  NoStudioHost studio;
  FileStore store{home.path(), runtime, runtime.serial("orvo.store")};
  LoopbackMidiBackend backend;
  MidiIO midi{backend, runtime, [](const std::string&) {}, false};
  Sounds sounds{{runtime, store, [](const std::string&) {}, {}}};
  bool topKey = files::writeFileAtomically(home / "top-key.txt", "108\n");
  Engine engine{
      EngineParts{runtime, window, log, speaker, player, studio, midi, sounds, store, home.path()}};
};

}  // namespace orvo::bench
