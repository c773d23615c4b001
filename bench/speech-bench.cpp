// Speech: from asking espeak-ng for a sentence to its first rendered samples
// (compared with the espeak-ng command writing a WAV file, in the same run),
// and from stop() to the return of a say() that was blocked on a sentence.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/child-process.h"
#include "platform/file-store.h"
#include "platform/speech/espeak/espeak-renderer.h"
#include "platform/thread-runtime.h"
#include "sound/speaker.h"
#include "temp-folder.h"

namespace {

const char* kSentence = "Back home.";

void BM_EspeakLibraryFirstSamples(benchmark::State& state) {
  orvo::espeak::render("warm up", 175);
  for (auto _ : state) {
    double first = 0;
    auto speech = orvo::espeak::render(kSentence, 175, &first);
    if (!speech) state.SkipWithError("espeak-ng cannot render");
    state.SetIterationTime(first);
  }
}
BENCHMARK(BM_EspeakLibraryFirstSamples)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EspeakLibraryWholeSentence(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(orvo::espeak::render(kSentence, 175));
}
BENCHMARK(BM_EspeakLibraryWholeSentence)->Unit(benchmark::kMillisecond);

void BM_EspeakCommandToWav(benchmark::State& state) {
  orvo::testing::TempFolder folder;
  std::string wav = (folder / "out.wav").string();
  for (auto _ : state) {
    auto child = orvo::ChildProcess::start({"espeak-ng", "-w", wav, kSentence});
    if (!child || child->wait(10) != 0) state.SkipWithError("espeak-ng command failed");
  }
}
BENCHMARK(BM_EspeakCommandToWav)->Unit(benchmark::kMillisecond)->UseRealTime();

// A synthesiser that starts every sentence and never finishes it.
struct EndlessSynth final : orvo::SpeechSynth {
  Delegate* delegate = nullptr;
  std::atomic<int> started{0};
  void setDelegate(Delegate* d) override { delegate = d; }
  bool connect() override { return true; }
  bool connected() override { return true; }
  std::vector<orvo::SynthVoice> voices() override { return {}; }
  bool speak(const orvo::SynthUtterance& utterance) override {
    delegate->synthDidStart(utterance.id);
    ++started;
    return true;
  }
  void stopSpeaking() override {}
};

void BM_StopReleasesSay(benchmark::State& state) {
  orvo::ThreadRuntime runtime(1);
  std::thread mainLoop([&] { runtime.runMainLoop(); });
  orvo::Opt opt;
  EndlessSynth synth;
  orvo::NoSpeechTool tool;
  orvo::testing::TempFolder folder;
  orvo::FileStore store(folder.path(), runtime, runtime.serial("orvo.store"));
  orvo::Speaker speaker({.runtime = runtime,
                         .opt = opt,
                         .synth = synth,
                         .tool = tool,
                         .ui = [](const std::string&) {},
                         .print = [](const std::string&) {},
                         .store = store});
  for (auto _ : state) {
    int before = synth.started;
    std::atomic<bool> returned{false};
    std::chrono::steady_clock::time_point back;
    std::thread activity([&] {
      speaker.say("A sentence that never ends.");
      back = std::chrono::steady_clock::now();
      returned = true;
    });
    while (synth.started == before) std::this_thread::yield();
    auto stopAt = std::chrono::steady_clock::now();
    speaker.stop();
    activity.join();
    state.SetIterationTime(std::chrono::duration<double>(back - stopAt).count());
  }
  runtime.stopMainLoop();
  mainLoop.join();
}
BENCHMARK(BM_StopReleasesSay)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace
