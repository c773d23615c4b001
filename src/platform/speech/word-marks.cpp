#include "platform/speech/word-marks.h"

#include <sstream>

namespace orvo {

WordMarks::WordMarks(const std::string& text) {
  std::istringstream in(text);
  for (std::string word; in >> word;) words_.push_back(word);
}

std::vector<std::string> WordMarks::reach(std::size_t index) {
  std::vector<std::string> told;
  for (; reported_ <= index && reported_ < words_.size(); ++reported_) {
    told.push_back(words_[reported_]);
  }
  return told;
}

std::vector<std::string> WordMarks::rest() {
  return words_.empty() ? std::vector<std::string>{} : reach(words_.size() - 1);
}

std::string wordsFrom(const std::string& text, std::size_t spoken) {
  WordMarks marks(text);
  const auto& words = marks.words();
  std::size_t from = spoken == 0 ? 0 : spoken - 1;
  std::string rest;
  for (std::size_t i = from; i < words.size(); ++i) rest += (rest.empty() ? "" : " ") + words[i];
  return rest;
}

}  // namespace orvo
