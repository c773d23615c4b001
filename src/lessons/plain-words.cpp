#include "lessons/plain-words.h"

#include <cctype>

namespace orvo {

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<std::string> plainWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c >= 0x80) {
      word.push_back(static_cast<char>(std::tolower(c)));
    } else if (c != '\'') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

}  // namespace orvo
