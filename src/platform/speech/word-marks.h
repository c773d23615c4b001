#pragma once
// The words of a sentence and how far the synthesiser has got through them.
// A mark placed before each word tells the window which word is spoken; the
// synthesiser may skip one (espeak-ng drops the mark after a full stop), so
// reaching a mark also reports every word before it that was not reported.
// Also tells what is left to say when a sentence breaks off part way.

#include <cstddef>
#include <string>
#include <vector>

namespace orvo {

class WordMarks {
 public:
  explicit WordMarks(const std::string& text);

  const std::vector<std::string>& words() const { return words_; }
  // The words up to and including `index` that were not reported yet.
  std::vector<std::string> reach(std::size_t index);
  // Every word not reported yet: the sentence has ended.
  std::vector<std::string> rest();

 private:
  std::vector<std::string> words_;
  std::size_t reported_ = 0;
};

// The sentence from its `spoken`th word on: what is left to say when a voice
// broke off after that many words (the word it was on is said again).
std::string wordsFrom(const std::string& text, std::size_t spoken);

}  // namespace orvo
