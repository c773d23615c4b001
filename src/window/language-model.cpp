#include "window/language-model.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace orvo::window {
namespace {

using Gram = std::vector<std::string>;

constexpr double kDiscount = 0.5;

std::string joined(const Gram& words, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) out += (i > from ? " " : "") + words[i];
  return out;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  return text;
}

}  // namespace

std::vector<std::string> recogniserWords(const std::string& phrase) {
  std::vector<std::string> words;
  std::string word;
  auto flush = [&] {
    if (!word.empty()) words.push_back(word);
    word.clear();
  };
  for (char c : phrase) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '\'') {
      word += static_cast<char>(std::tolower(byte));
    } else {
      flush();
    }
  }
  flush();
  return words;
}

std::vector<std::vector<std::string>> trainingSentences(
    const std::vector<std::string>& phrases, const std::string& name,
    const std::vector<std::string>& soundAlikes) {
  std::vector<std::vector<std::string>> sentences;
  for (const std::string& word : soundAlikes) {
    auto words = recogniserWords(word);
    if (!words.empty()) sentences.push_back(std::move(words));
  }
  const std::vector<std::string> nameWords = recogniserWords(name);
  if (!nameWords.empty()) sentences.push_back(nameWords);
  for (const std::string& phrase : phrases) {
    std::vector<std::string> words = recogniserWords(phrase);
    if (words.empty()) continue;
    sentences.push_back(words);
    if (!nameWords.empty()) {
      std::vector<std::string> named = nameWords;
      named.insert(named.end(), words.begin(), words.end());
      sentences.push_back(std::move(named));
    }
  }
  return sentences;
}

namespace {

// Grams by length: [0] one word, [1] two, [2] three.
using ByLength = std::array<std::map<Gram, double>, 3>;
// Per history of one and two words: its count and how many different words followed it.
using Histories = std::array<std::map<Gram, std::pair<double, double>>, 2>;

// Counts of every n-gram of one to three words, the sentence's ends marked.
ByLength countGrams(const std::vector<std::vector<std::string>>& sentences) {
  ByLength counts;
  for (const auto& sentence : sentences) {
    Gram words = {"<s>"};
    words.insert(words.end(), sentence.begin(), sentence.end());
    words.push_back("</s>");
    for (std::size_t n = 1; n <= 3; ++n) {
      for (std::size_t i = 0; i + n <= words.size(); ++i) {
        counts[n - 1][Gram(words.begin() + static_cast<long>(i),
                           words.begin() + static_cast<long>(i + n))] += 1;
      }
    }
  }
  return counts;
}

Histories historiesOf(const ByLength& counts) {
  Histories history;
  for (std::size_t n = 2; n <= 3; ++n) {
    for (const auto& [gram, count] : counts[n - 1]) {
      auto& h = history[n - 2][Gram(gram.begin(), gram.end() - 1)];
      h.first += count;
      h.second += 1;
    }
  }
  return history;
}

// Unigrams by count (the start mark never predicted), the longer ones
// discounted, the mass left given to the shorter history.
ByLength probabilities(const ByLength& counts, const Histories& history) {
  double total = 0;
  for (const auto& [gram, count] : counts[0]) {
    if (gram[0] != "<s>") total += count;
  }
  ByLength prob;
  for (const auto& [gram, count] : counts[0]) {
    prob[0][gram] = gram[0] == "<s>" ? 0 : count / total;
  }
  for (std::size_t n = 2; n <= 3; ++n) {
    for (const auto& [gram, count] : counts[n - 1]) {
      auto h = history[n - 2].find(Gram(gram.begin(), gram.end() - 1));
      if (h != history[n - 2].end()) prob[n - 1][gram] = (count - kDiscount) / h->second.first;
    }
  }
  return prob;
}

// Back-off weights of one- and two-word grams: the mass left, over the lower
// order's mass of the words that never followed this history.
std::array<std::map<Gram, double>, 2> backoffWeights(const ByLength& counts,
                                                     const Histories& history,
                                                     const ByLength& prob) {
  std::array<std::map<Gram, double>, 2> backoff;
  for (std::size_t n = 1; n <= 2; ++n) {
    for (const auto& [gram, count] : counts[n - 1]) {
      auto found = history[n - 1].find(gram);
      if (found == history[n - 1].end()) continue;
      const double left = kDiscount * found->second.second / found->second.first;
      double seenLower = 0;
      // The longer grams that extend this one sit together in the ordered map.
      for (auto it = prob[n].lower_bound(gram); it != prob[n].end(); ++it) {
        const Gram& next = it->first;
        if (next.size() <= gram.size() || !std::equal(gram.begin(), gram.end(), next.begin()))
          break;
        const Gram lower(next.begin() + 1, next.end());
        auto lowerProb = prob[n - 1].find(lower);
        if (lowerProb != prob[n - 1].end()) seenLower += lowerProb->second;
      }
      backoff[n - 1][gram] = left / std::max(1e-9, 1.0 - seenLower);
    }
  }
  return backoff;
}

}  // namespace

LanguageModel buildLanguageModel(const std::vector<std::vector<std::string>>& sentences) {
  LanguageModel model;
  for (const auto& sentence : sentences) model.words.insert(sentence.begin(), sentence.end());
  const ByLength counts = countGrams(sentences);
  const Histories history = historiesOf(counts);
  const ByLength prob = probabilities(counts, history);
  const auto backoff = backoffWeights(counts, history, prob);
  auto log10p = [](double p) { return p <= 0 ? -99.0 : std::log10(p); };
  std::string& arpa = model.arpa;
  arpa = "\\data\\\n";
  for (std::size_t n = 1; n <= 3; ++n) {
    arpa += "ngram " + std::to_string(n) + "=" + std::to_string(counts[n - 1].size()) + "\n";
  }
  for (std::size_t n = 1; n <= 3; ++n) {
    arpa += "\n\\" + std::to_string(n) + "-grams:\n";
    for (const auto& [gram, p] : prob[n - 1]) {
      arpa += number(log10p(p)) + " " + joined(gram, 0, gram.size());
      if (n < 3) {
        auto weight = backoff[n - 1].find(gram);
        if (weight != backoff[n - 1].end()) arpa += " " + number(log10p(weight->second));
      }
      arpa += "\n";
    }
  }
  arpa += "\n\\end\\\n";
  return model;
}

}  // namespace orvo::window
