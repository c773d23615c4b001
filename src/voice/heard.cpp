#include "voice/heard.h"

#include "lessons/plain-words.h"

namespace orvo {

Heard Heard::from(const std::string& sentence) {
  Heard heard;
  heard.words = plainWords(sentence);
  for (const auto& word : heard.words) heard.text += (heard.text.empty() ? "" : " ") + word;
  return heard;
}

bool Heard::has(const std::string& phrase) const {
  if (phrase.empty()) return false;
  return (" " + text + " ").find(" " + phrase + " ") != std::string::npos;
}

bool Heard::hasAny(const std::vector<std::string>& phrases) const {
  for (const auto& phrase : phrases) {
    if (has(phrase)) return true;
  }
  return false;
}

}  // namespace orvo
