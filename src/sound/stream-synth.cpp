#include "sound/stream-synth.h"

#include <algorithm>
#include <cmath>

#include "platform/speech/espeak/espeak-renderer.h"
#include "platform/speech/word-marks.h"
#include "sound/kokoro-protocol.h"

namespace orvo {

namespace {
constexpr int kBlockMs = 10;  // a stop is heard within one block
}  // namespace

StreamSynth::StreamSynth(OpenOutput openOutput, int wordsPerMinute)
    : openOutput_(std::move(openOutput)),
      wordsPerMinute_(wordsPerMinute),
      thread_([this] { loop(); }) {}

StreamSynth::~StreamSynth() {
  {
    std::lock_guard guard(mutex_);
    quit_ = true;
  }
  stops_.fetch_add(1);
  wake_.notify_one();
  thread_.join();
}

bool StreamSynth::speak(const SynthUtterance& utterance) {
  auto rendered = espeak::render(utterance.text, wordsPerMinute_);
  if (!rendered || rendered->samples.empty()) return false;
  const float volume = std::clamp(utterance.volume, 0.0f, 1.0f);
  if (volume < 1.0f) {
    for (auto& sample : rendered->samples) {
      sample = static_cast<std::int16_t>(std::lround(sample * volume));
    }
  }
  auto output = openOutput_(rendered->sampleRate);
  if (!output) return false;
  {
    std::lock_guard guard(mutex_);
    next_ =
        Sentence{utterance, std::move(rendered->samples), rendered->sampleRate, std::move(output)};
  }
  wake_.notify_one();
  return true;
}

void StreamSynth::stopSpeaking() {
  stops_.fetch_add(1);
  wake_.notify_one();
}

void StreamSynth::loop() {
  for (;;) {
    std::optional<Sentence> sentence;
    std::uint64_t stopsAtStart = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || next_.has_value(); });
      if (quit_) return;
      sentence = std::move(next_);
      next_.reset();
      stopsAtStart = stops_.load();
    }
    Delegate* delegate = delegate_.load();
    const std::uint64_t id = sentence->utterance.id;
    const bool whole = play(*sentence, stopsAtStart);
    if (!delegate) continue;
    if (whole) {
      delegate->synthDidFinish(id);
    } else {
      delegate->synthDidCancel(id);
    }
  }
}

bool StreamSynth::play(Sentence& sentence, std::uint64_t stopsAtStart) {
  Delegate* delegate = delegate_.load();
  const std::size_t block = static_cast<std::size_t>(sentence.rate * kBlockMs / 1000);
  const auto& samples = sentence.samples;
  const std::vector<std::string> words = WordMarks(sentence.utterance.text).words();
  const std::vector<double> starts =
      wordStarts(words, static_cast<double>(samples.size()) / sentence.rate);
  std::size_t nextWord = 0;
  bool started = false;
  for (std::size_t at = 0; at < samples.size();) {
    if (stops_.load() != stopsAtStart) return false;
    const std::size_t count = std::min(block, samples.size() - at);
    if (!sentence.output->write(samples.data() + at, count)) {
      // The output went away: the rest goes to whichever opens now.
      sentence.output = openOutput_(sentence.rate);
      if (!sentence.output) return false;
      continue;
    }
    at += count;
    if (!started) {
      started = true;
      if (delegate) delegate->synthDidStart(sentence.utterance.id);
    }
    const double heard = static_cast<double>(at) / sentence.rate - sentence.output->latency();
    while (nextWord < words.size() && starts[nextWord] <= heard) {
      if (delegate) delegate->synthWillSpeakWord(sentence.utterance.id, words[nextWord]);
      ++nextWord;
    }
  }
  sentence.output->drain();
  if (stops_.load() != stopsAtStart) return false;
  for (; nextWord < words.size(); ++nextWord) {
    if (delegate) delegate->synthWillSpeakWord(sentence.utterance.id, words[nextWord]);
  }
  return true;
}

}  // namespace orvo
