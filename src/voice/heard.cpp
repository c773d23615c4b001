#include "voice/heard.h"

#include <cctype>

namespace orvo {

Heard Heard::from(const std::string& sentence) {
  Heard heard;
  std::string word;
  auto flush = [&] {
    if (word.empty()) return;
    heard.words.push_back(word);
    heard.text += (heard.text.empty() ? "" : " ") + word;
    word.clear();
  };
  for (unsigned char c : sentence) {
    if (std::isalnum(c) || c >= 0x80) {
      word.push_back(static_cast<char>(std::tolower(c)));
    } else if (c == '\'') {
      // "what's" is heard as "whats"
    } else {
      flush();
    }
  }
  flush();
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
