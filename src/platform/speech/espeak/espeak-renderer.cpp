#include "platform/speech/espeak/espeak-renderer.h"

#include <espeak-ng/speak_lib.h>

#include <chrono>
#include <mutex>

namespace orvo::espeak {
namespace {

std::mutex renderMutex;
int sampleRate = 0;  // 0 before the first try, negative when espeak-ng cannot start
std::vector<std::string> voiceAsked;  // the names the voice in use was chosen from

struct Collecting {
  std::vector<std::int16_t>* samples;
  std::chrono::steady_clock::time_point start;
  double* firstBlockSeconds;
};

int collect(short* wav, int count, espeak_EVENT* events) {
  auto* into = static_cast<Collecting*>(events ? events->user_data : nullptr);
  if (!into || !wav || count <= 0) return 0;
  if (into->firstBlockSeconds && into->samples->empty()) {
    *into->firstBlockSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - into->start).count();
  }
  into->samples->insert(into->samples->end(), wav, wav + count);
  return 0;
}

// Under renderMutex. Choosing a voice loads its files, so only on a change.
void useVoice(const std::vector<std::string>& names) {
  if (names == voiceAsked) return;
  voiceAsked = names;
  for (const auto& name : names) {
    if (espeak_SetVoiceByName(name.c_str()) == EE_OK) return;
  }
  espeak_SetVoiceByName("en");
}

}  // namespace

std::optional<RenderedSpeech> render(const std::string& text, int wordsPerMinute,
                                     double* firstBlockSeconds) {
  return render(text, EspeakVoice{{}, wordsPerMinute}, firstBlockSeconds);
}

std::optional<RenderedSpeech> render(const std::string& text, const EspeakVoice& voice,
                                     double* firstBlockSeconds) {
  std::lock_guard guard(renderMutex);
  if (sampleRate == 0) {
    sampleRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, 0);
    if (sampleRate > 0) espeak_SetSynthCallback(collect);
  }
  if (sampleRate <= 0) return std::nullopt;
  RenderedSpeech rendered;
  rendered.sampleRate = sampleRate;
  Collecting into{&rendered.samples, std::chrono::steady_clock::now(), firstBlockSeconds};
  useVoice(voice.names);
  espeak_SetParameter(espeakRATE, voice.wordsPerMinute, 0);
  espeak_ERROR result = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                     espeakCHARS_UTF8, nullptr, &into);
  if (result != EE_OK) return std::nullopt;
  espeak_Synchronize();
  return rendered;
}

}  // namespace orvo::espeak
