#include "sound/stream-synth.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/speech/espeak/espeak-renderer.h"
#include "platform/speech/word-marks.h"
#include "sound/kokoro-protocol.h"

namespace orvo {

namespace {

constexpr int kBlockMs = 10;  // a stop is heard within one block

// The sentence cut after each clause's punctuation ("Hello there, Anna." is
// "Hello there," and "Anna."): espeak-ng speaks clauses apart anyway, so
// rendering them one by one sounds the same and starts sooner.
std::vector<std::string> clausesOf(const std::string& text) {
  std::vector<std::string> clauses;
  std::size_t from = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const bool ends = std::string_view(".,;:!?").find(text[i]) != std::string_view::npos;
    if (ends && (text[i + 1] == ' ' || text[i + 1] == '\n')) {
      clauses.push_back(text.substr(from, i + 1 - from));
      from = i + 2;
    }
  }
  if (from < text.size() || clauses.empty()) clauses.push_back(text.substr(from));
  return clauses;
}

std::vector<std::int16_t> rendered(const std::string& clause, const EspeakVoice& voice,
                                   float volume, int* rate = nullptr) {
  auto speech = espeak::render(clause, voice);
  if (!speech) return {};
  if (rate) *rate = speech->sampleRate;
  if (volume < 1.0f) {
    for (auto& sample : speech->samples) {
      sample = static_cast<std::int16_t>(std::lround(sample * volume));
    }
  }
  return std::move(speech->samples);
}

}  // namespace

StreamSynth::StreamSynth(OpenOutput openOutput, Settings settings)
    : openOutput_(std::move(openOutput)),
      settings_(std::move(settings)),
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
  Sentence sentence{utterance,
                    espeakVoiceFor(settings_ ? settings_() : PlayerSpeech{}, utterance.voiceId),
                    clausesOf(utterance.text),
                    {},
                    0,
                    nullptr};
  const float volume = std::clamp(utterance.volume, 0.0f, 1.0f);
  sentence.firstClause = rendered(sentence.clauses.front(), sentence.voice, volume, &sentence.rate);
  if (sentence.firstClause.empty()) return false;
  sentence.output = openOutput_(sentence.rate);
  if (!sentence.output) return false;
  sentence.stops = stops_.load();
  {
    std::lock_guard guard(mutex_);
    waiting_.push_back(std::move(sentence));
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
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !waiting_.empty(); });
      if (quit_) return;
      sentence = std::move(waiting_.front());
      waiting_.pop_front();
    }
    Delegate* delegate = delegate_.load();
    const std::uint64_t id = sentence->utterance.id;
    // One stopped while it waited is cancelled unheard.
    const bool whole = stops_.load() == sentence->stops && play(*sentence, sentence->stops);
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
  const std::uint64_t id = sentence.utterance.id;
  const int rate = sentence.rate;
  const std::size_t block = static_cast<std::size_t>(rate * kBlockMs / 1000);
  const float volume = std::clamp(sentence.utterance.volume, 0.0f, 1.0f);
  // The words of the clauses rendered so far, and when each is heard.
  std::vector<std::string> words;
  std::vector<double> starts;
  std::size_t renderedSamples = 0;
  auto learn = [&](std::size_t clause, std::size_t count) {
    const auto clauseWords = WordMarks(sentence.clauses[clause]).words();
    const auto clauseStarts = wordStarts(clauseWords, static_cast<double>(count) / rate);
    for (std::size_t i = 0; i < clauseWords.size(); ++i) {
      words.push_back(clauseWords[i]);
      starts.push_back(static_cast<double>(renderedSamples) / rate + clauseStarts[i]);
    }
    renderedSamples += count;
  };
  std::size_t nextWord = 0;
  std::size_t written = 0;
  bool started = false;
  std::vector<std::int16_t> samples = std::move(sentence.firstClause);
  learn(0, samples.size());
  for (std::size_t clause = 0; clause < sentence.clauses.size(); ++clause) {
    const bool last = clause + 1 == sentence.clauses.size();
    std::vector<std::int16_t> next;
    bool nextReady = last;
    auto renderNext = [&] {
      // A clause that fails to render is passed over; its words are still reported.
      next = rendered(sentence.clauses[clause + 1], sentence.voice, volume);
      learn(clause + 1, next.size());
      nextReady = true;
    };
    for (std::size_t at = 0; at < samples.size();) {
      if (stops_.load() != stopsAtStart) return false;
      const std::size_t count = std::min(block, samples.size() - at);
      if (!sentence.output->write(samples.data() + at, count)) {
        // The output went away: the rest goes to whichever opens now.
        sentence.output = openOutput_(rate);
        if (!sentence.output) return false;
        continue;
      }
      at += count;
      written += count;
      if (!started) {
        started = true;
        if (delegate) delegate->synthDidStart(id);
      }
      if (!nextReady) renderNext();  // while this block plays
      const double heard = static_cast<double>(written) / rate - sentence.output->latency();
      while (nextWord < words.size() && starts[nextWord] <= heard) {
        if (delegate) delegate->synthWillSpeakWord(id, words[nextWord]);
        ++nextWord;
      }
    }
    if (!nextReady) renderNext();
    samples = std::move(next);
  }
  sentence.output->drain();
  if (stops_.load() != stopsAtStart) return false;
  for (; nextWord < words.size(); ++nextWord) {
    if (delegate) delegate->synthWillSpeakWord(id, words[nextWord]);
  }
  return true;
}

}  // namespace orvo
