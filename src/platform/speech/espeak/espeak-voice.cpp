#include "platform/speech/espeak/espeak-voice.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace orvo {
namespace {

constexpr int kSlowest = 80, kNormal = 170, kFastest = 449;

std::string variantFor(const std::string& voiceType) {
  // espeak-ng's own default is a man's voice, so the first male type needs no variant.
  static const std::map<std::string, std::string> kVariants = {
      {"male2", "m2"},   {"male3", "m3"},   {"female1", "f1"},
      {"female2", "f2"}, {"female3", "f3"}, {"child_female", "f5"}};
  auto found = kVariants.find(voiceType);
  return found == kVariants.end() ? "" : found->second;
}

}  // namespace

EspeakVoice espeakVoiceFor(const PlayerSpeech& settings, const std::string& voiceId) {
  EspeakVoice voice;
  const int rate = std::clamp(settings.rate, -100, 100);
  voice.wordsPerMinute = rate < 0 ? kNormal + (kNormal - kSlowest) * rate / 100
                                  : kNormal + (kFastest - kNormal) * rate / 100;
  auto tryName = [&voice](std::string name) {
    if (std::find(voice.names.begin(), voice.names.end(), name) == voice.names.end())
      voice.names.push_back(std::move(name));
  };
  if (!voiceId.empty()) tryName(voiceId);
  std::string language;
  for (char c : settings.language) {
    language += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  const std::string variant = variantFor(settings.voiceType);
  const std::string plus = variant.empty() ? "" : "+" + variant;
  if (!language.empty()) tryName(language + plus);
  // "en-gb" may not be a voice of its own where "en" is.
  if (auto dash = language.find('-'); dash != std::string::npos)
    tryName(language.substr(0, dash) + plus);
  if (!plus.empty()) tryName("en" + plus);
  return voice;
}

}  // namespace orvo
