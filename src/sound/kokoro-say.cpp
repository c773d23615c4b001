// The natural voice speaking: rendering ahead, playing in short blocks,
// ducking, and the words shown as they are heard.

#include <algorithm>
#include <cmath>
#include <future>

#include "platform/speech/word-marks.h"
#include "platform/window-lines.h"
#include "sound/kokoro-protocol.h"
#include "sound/kokoro.h"
#include "sound/voice-wav.h"

namespace orvo {

namespace {

constexpr float kDuckedGain = 0.25f;  // about 12 dB down
constexpr double kDuckRamp = 0.05;    // seconds from one level to the other
constexpr int kBlockMs = 10;

std::string joined(const std::vector<std::string>& sentences, std::size_t from) {
  std::string rest;
  for (std::size_t i = from; i < sentences.size(); ++i)
    rest += (rest.empty() ? "" : " ") + sentences[i];
  return rest;
}

}  // namespace

Kokoro::Spoken Kokoro::say(const std::string& text, const std::function<void()>& onStart,
                           const std::string& voiceId) {
  const int mine = gen_.load();
  const std::vector<std::string> sentences = voiceSentences(text);
  // A voice asked for by name may speak even while the platform voice is chosen.
  const bool up = voiceId.empty() ? usable() : state() == State::ready;
  if (sentences.empty() || !up) return {false, text};
  speakingNow_.fetch_add(1);
  struct Done {
    std::atomic<int>& count;
    ~Done() { count.fetch_sub(1); }
  } done{speakingNow_};
  std::optional<Rendered> wav = render(sentences.front(), voiceId);
  if (!wav || gen_.load() != mine) return {false, gen_.load() != mine ? "" : text};
  std::unique_ptr<VoiceOutput> output = parts_.openOutput(wav->wav.rate);
  if (!output) return {false, text};  // no sound device: the platform voice speaks
  const int rate = wav->wav.rate;
  bool started = false;
  for (std::size_t i = 0; i < sentences.size(); ++i) {
    // The next sentence renders while this one plays.
    std::future<std::optional<Rendered>> next;
    if (i + 1 < sentences.size()) {
      next = std::async(std::launch::async, [this, sentence = sentences[i + 1], voiceId] {
        return render(sentence, voiceId);
      });
    }
    if (parts_.measure) parts_.measure(wav->wav);
    if (!play(*output, sentences[i], wav->wav.samples, rate, mine, onStart, started)) {
      if (next.valid()) next.wait();
      return {true, ""};  // stopped: the rest is not wanted
    }
    if (!next.valid()) break;
    wav = next.get();
    if (!wav || wav->wav.rate != rate) {
      parts_.log("Kokoro: a sentence could not be rendered; the platform voice goes on");
      output->drain();
      return {true, joined(sentences, i + 1)};
    }
  }
  output->drain();
  return {true, ""};
}

bool Kokoro::play(VoiceOutput& output, const std::string& sentence,
                  const std::vector<float>& samples, int rate, int mine,
                  const std::function<void()>& onStart, bool& started) {
  const std::size_t block = static_cast<std::size_t>(rate * kBlockMs / 1000);
  const float step = static_cast<float>(1.0 / (kDuckRamp * rate));
  const std::vector<std::string> words = WordMarks(sentence).words();
  const std::vector<double> starts = wordStarts(words, static_cast<double>(samples.size()) / rate);
  std::size_t nextWord = 0;
  std::vector<std::int16_t> pcm(block);
  for (std::size_t at = 0; at < samples.size(); at += block) {
    if (gen_.load() != mine) return false;
    const std::size_t count = std::min(block, samples.size() - at);
    const float volume = std::clamp(parts_.volume(), 0.0f, 1.0f);
    const float target = ducked_ ? kDuckedGain : 1.0f;
    for (std::size_t i = 0; i < count; ++i) {
      gain_ = gain_ < target ? std::min(target, gain_ + step) : std::max(target, gain_ - step);
      const float value = std::clamp(samples[at + i] * volume * gain_, -1.0f, 1.0f);
      pcm[i] = static_cast<std::int16_t>(std::lround(value * 32767.0f));
    }
    if (!output.write(pcm.data(), count)) return false;
    if (!started) {
      started = true;
      outputDelay_ = output.latency();
      if (onStart) onStart();
    }
    // What has been heard by now: written, less what the device still holds.
    const double heard = static_cast<double>(at + count) / rate - output.latency();
    while (nextWord < words.size() && starts[nextWord] <= heard)
      parts_.ui(lines::word(words[nextWord++]));
  }
  while (nextWord < words.size()) parts_.ui(lines::word(words[nextWord++]));
  return true;
}

}  // namespace orvo
