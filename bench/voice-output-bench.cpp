// The voice on an output of its own, against a PulseAudio server of the
// bench's own with a null sink: from asking for a sentence to its start,
// in-process espeak-ng on our stream (StreamSynth: the first block written to
// the server) against speech-dispatcher (its start report, which comes when
// its module begins to play), the same sentence in the same run; and the CPU
// this process spends while the voice speaks a long sentence.

#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "bench-figures.h"
#include "e2e/sound-server.h"
#include "platform/speech/speech-dispatcher/speech-dispatcher-synth.h"
#include "sound/stream-synth.h"
#include "temp-folder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the start (and the end) of each sentence.
struct Starts final : orvo::SpeechSynth::Delegate {
  std::mutex mutex;
  std::condition_variable changed;
  Clock::time_point started;
  bool begun = false, ended = false;
  void synthDidStart(std::uint64_t) override {
    std::lock_guard guard(mutex);
    started = Clock::now();
    begun = true;
    changed.notify_all();
  }
  void synthWillSpeakWord(std::uint64_t, const std::string&) override {}
  void synthDidFinish(std::uint64_t) override { end(); }
  void synthDidCancel(std::uint64_t) override { end(); }
  void end() {
    std::lock_guard guard(mutex);
    ended = true;
    changed.notify_all();
  }
  // Milliseconds from `asked` to the start; negative when it never came.
  double startAfter(orvo::SpeechSynth& synth, const std::string& text, std::uint64_t id) {
    {
      std::lock_guard guard(mutex);
      begun = ended = false;
    }
    orvo::SynthUtterance utterance;
    utterance.id = id;
    utterance.text = text;
    const auto asked = Clock::now();
    if (!synth.speak(utterance)) return -1;
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return begun; })) return -1;
    changed.wait_for(lock, std::chrono::seconds(20), [&] { return ended; });
    return std::chrono::duration<double, std::milli>(started - asked).count();
  }
};

struct PrivateSound {
  orvo::testing::TempFolder folder;
  orvo::testing::SoundServer server{folder.path()};
  bool up = server.start();
  PrivateSound() {
    for (const auto& [name, value] : server.env()) ::setenv(name.c_str(), value.c_str(), 1);
  }
};

const char* kLongSentence = "Lovely, that was right. Now the next part.";

void BM_VoiceSayToFirstSampleOwnStreamAgainstSpeechDispatcher(benchmark::State& state) {
  PrivateSound sound;
  if (!sound.up) return state.SkipWithError("no PulseAudio server could start here");
  orvo::StreamSynth own([](int rate) { return orvo::openPulseVoiceOutput(rate, "bench"); });
  orvo::SpeechDispatcherSynth shared;
  Starts starts;
  own.setDelegate(&starts);
  shared.setDelegate(&starts);
  if (!shared.connect()) return state.SkipWithError("speech-dispatcher did not answer");
  starts.startAfter(shared, "Warming up.", 1);  // its module starts with the first sentence
  starts.startAfter(own, "Warming up.", 2);
  std::vector<double> ours, theirs;
  std::uint64_t id = 10;
  for (auto _ : state) {
    ours.push_back(starts.startAfter(own, kLongSentence, ++id));
    theirs.push_back(starts.startAfter(shared, kLongSentence, ++id));
  }
  std::sort(ours.begin(), ours.end());
  std::sort(theirs.begin(), theirs.end());
  state.counters["own_p50_ms"] = ours[ours.size() / 2];
  state.counters["own_max_ms"] = ours.back();
  state.counters["speechd_p50_ms"] = theirs[theirs.size() / 2];
  state.counters["speechd_max_ms"] = theirs.back();
  if (theirs[theirs.size() / 2] > 0) {
    state.counters["ratio"] = ours[ours.size() / 2] / theirs[theirs.size() / 2];
  }
}
BENCHMARK(BM_VoiceSayToFirstSampleOwnStreamAgainstSpeechDispatcher)
    ->Iterations(10)
    ->Unit(benchmark::kSecond);

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Share of one core this process uses while its own stream speaks.
void BM_VoiceOwnStreamCpuWhileSpeaking(benchmark::State& state) {
  PrivateSound sound;
  if (!sound.up) return state.SkipWithError("no PulseAudio server could start here");
  orvo::StreamSynth own([](int rate) { return orvo::openPulseVoiceOutput(rate, "bench"); });
  Starts starts;
  own.setDelegate(&starts);
  double share = 0;
  for (auto _ : state) {
    const double cpu = cpuSeconds();
    const auto wall = Clock::now();
    starts.startAfter(own,
                      "A longer sentence, of the kind said in a lesson, while the player listens "
                      "and the music waits for the next part to begin.",
                      1);
    share = (cpuSeconds() - cpu) / std::chrono::duration<double>(Clock::now() - wall).count();
  }
  state.counters["cpu_share_of_a_core"] = share;
}
BENCHMARK(BM_VoiceOwnStreamCpuWhileSpeaking)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
