#include "voice/heard.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "lessons/music-words.h"
#include "voice/request-words.h"
#include "voice/wake-name.h"

namespace orvo {
namespace {

// The repairs as " heard " and " meant ", padded once.
struct Padded {
  std::string from, to, name;
};
std::vector<Padded> padded(const std::vector<requests::Rewrite>& pairs) {
  std::vector<Padded> all;
  for (auto [from, to] : pairs) {
    if (from == to) continue;  // kept as it is, so nothing else splits it
    all.push_back({" " + std::string(from) + " ", " " + std::string(to) + " ",
                   std::string(from) + " -> " + std::string(to)});
  }
  return all;
}

// Replaces every whole-word occurrence in a text padded with spaces.
bool replaceAll(std::string& text, const Padded& rewrite) {
  bool any = false;
  for (std::size_t at = text.find(rewrite.from); at != std::string::npos;
       at = text.find(rewrite.from, at + rewrite.to.size() - 1)) {
    text.replace(at, rewrite.from.size(), rewrite.to);
    any = true;
  }
  return any;
}

bool isDigits(const std::string& word) {
  return !word.empty() && word.size() <= 9 &&
         std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

Heard::Heard(const std::string& sentence) : raw(sentence) {
  std::string line = " ";
  for (std::size_t i = 0; i < sentence.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(sentence[i]);
    // The curly apostrophe (U+2019) a recogniser may write is an apostrophe.
    if (c == 0xE2 && i + 2 < sentence.size() &&
        static_cast<unsigned char>(sentence[i + 1]) == 0x80 &&
        static_cast<unsigned char>(sentence[i + 2]) == 0x99) {
      line.push_back('\'');
      i += 2;
      continue;
    }
    char out = static_cast<char>(std::tolower(c));
    if (std::string_view(",.?!;:\"\t\r\n").find(out) != std::string_view::npos) out = ' ';
    if (out == ' ' && line.back() == ' ') continue;
    line.push_back(out);
  }
  if (line.back() != ' ') line.push_back(' ');
  static const std::vector<Padded> mishearings = padded(requests::mishearings());
  static const std::vector<Padded> sayings = padded(requests::sayings());
  for (const auto* table : {&mishearings, &sayings}) {
    for (const auto& rewrite : *table) {
      if (replaceAll(line, rewrite)) repairs.push_back(rewrite.name);
    }
  }
  line.erase(std::remove(line.begin(), line.end(), '\''), line.end());

  std::vector<std::string> all = wake::pieces(line);
  static const std::vector<std::string> leading = {"hey",     "hi",     "ok",  "okay", "jarvis",
                                                   "jarviss", "please", "now", "um",   "uh"};
  std::size_t from = 0;
  while (from < all.size() &&
         std::find(leading.begin(), leading.end(), all[from]) != leading.end()) {
    ++from;
  }
  static const std::vector<std::vector<std::string>> polite = {
      {"can", "you"},      {"could", "you"},           {"would", "you"},     {"will", "you"},
      {"i", "want", "to"}, {"i", "want", "you", "to"}, {"id", "like", "to"}, {"lets"},
      {"let", "us"}};
  for (const auto& phrase : polite) {
    if (all.size() - from >= phrase.size() &&
        std::equal(phrase.begin(), phrase.end(), all.begin() + static_cast<std::ptrdiff_t>(from))) {
      from += phrase.size();
      break;
    }
  }
  words.assign(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
  for (const auto& word : words) text += (text.empty() ? "" : " ") + word;

  const auto& known = requests::knownWords();
  for (const auto& word : words) {
    near.insert(word);
    if (word.size() < 6 || std::find(known.begin(), known.end(), word) != known.end()) continue;
    for (auto candidate : known) {
      if (candidate[0] == word[0] && wake::oneEditApart(word, candidate)) {
        near.insert(std::string(candidate));
      }
    }
  }
}

// Whole words, found without building a padded copy: the loose rules ask
// this hundreds of times a sentence.
bool Heard::has(const std::string& phrase) const {
  if (phrase.empty()) return false;
  if (phrase.find(' ') == std::string::npos) return near.count(phrase) > 0;
  for (std::size_t at = text.find(phrase); at != std::string::npos;
       at = text.find(phrase, at + 1)) {
    std::size_t end = at + phrase.size();
    if ((at == 0 || text[at - 1] == ' ') && (end == text.size() || text[end] == ' ')) return true;
  }
  return false;
}

bool Heard::hasAny(const std::vector<std::string>& phrases) const {
  return std::any_of(phrases.begin(), phrases.end(),
                     [this](const std::string& phrase) { return has(phrase); });
}

bool Heard::hasAnyOf(const std::vector<std::string_view>& phrases) const {
  return std::any_of(phrases.begin(), phrases.end(),
                     [this](std::string_view phrase) { return has(std::string(phrase)); });
}

bool Heard::starts(const std::string& phrase) const {
  return !phrase.empty() && (text == phrase || text.rfind(phrase + " ", 0) == 0);
}

std::optional<int> Heard::number() const {
  for (const auto& word : words) {
    if (isDigits(word)) return std::atoi(word.c_str());
  }
  const auto& table = numberWords();
  auto value = [&](const std::string& word) -> std::optional<int> {
    auto found = table.find(word);
    if (found == table.end()) return std::nullopt;
    return found->second;
  };
  static const std::vector<std::string> weak = {"a", "an", "to", "for", "half"};
  auto isWeak = [&](const std::string& word) {
    return std::find(weak.begin(), weak.end(), word) != weak.end();
  };
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (isWeak(words[i])) continue;
    auto first = value(words[i]);
    if (!first) continue;
    int total = *first;
    // "twenty five", "one hundred", "two hundred and ten"
    std::size_t j = i + 1;
    if (total >= 20 && total < 100 && total % 10 == 0 && j < words.size()) {
      auto unit = value(words[j]);
      if (unit && *unit < 10 && !isWeak(words[j])) {
        total += *unit;
        ++j;
      }
    }
    if (j < words.size() && words[j] == "hundred" && total < 10) total *= 100;
    return total;
  }
  for (const auto& word : words) {
    if (auto weakValue = value(word)) return weakValue;
  }
  return std::nullopt;
}

std::string Heard::after(const std::string& phrase) const {
  std::string padded = " " + text + " ";
  auto at = padded.find(" " + phrase + " ");
  if (phrase.empty() || at == std::string::npos) return "";
  std::string rest = padded.substr(at + phrase.size() + 1);
  auto first = rest.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return rest.substr(first, rest.find_last_not_of(' ') - first + 1);
}

}  // namespace orvo
