#include "sound/voice-output-opener.h"

namespace orvo {

std::unique_ptr<VoiceOutput> VoiceOutputOpener::open(int rate) {
  const OutputChoice choice = route_.get();
  if (choice.voice.empty()) return openOn_(rate, "");
  if (auto chosen = openOn_(rate, choice.voice)) {
    if (away_.exchange(false)) news_ = 2;
    return chosen;
  }
  if (!away_.exchange(true)) news_ = 1;
  if (!choice.music.empty() && choice.music != choice.voice) {
    if (auto music = openOn_(rate, choice.music)) return music;
  }
  return openOn_(rate, "");
}

std::string VoiceOutputOpener::device() const {
  const OutputChoice choice = route_.get();
  if (!away_) return choice.voice;
  return choice.music == choice.voice ? "" : choice.music;
}

std::optional<std::string> VoiceOutputOpener::news() {
  switch (news_.exchange(0)) {
    case 1:
      return "The output I was speaking on is gone, so I'll speak here until it comes back.";
    case 2:
      return "The output you chose for my voice is back, so I'm speaking there again.";
    default:
      return std::nullopt;
  }
}

}  // namespace orvo
