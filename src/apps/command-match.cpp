#include "apps/command-match.h"

#include <algorithm>
#include <unordered_map>

namespace orvo {
namespace {

const std::unordered_map<std::string, std::string>& synonyms() {
  static const std::unordered_map<std::string, std::string> table = {
      {"start", "new"},
      {"create", "new"},
      {"add", "new"},
      {"make", "new"},
      {"begin", "new"},
      {"another", "new"},
      {"remove", "delete"},
      {"erase", "delete"},
      {"display", "show"},
      {"view", "show"},
      {"shut", "close"},
      {"bring", "show"},
      {"reveal", "show"},
      {"instrument", "instrument"},
      {"copy", "copy"},
      {"settings", "settings"},
      {"preferences", "settings"},
      {"prefs", "settings"},
      {"options", "settings"},
      {"tabs", "tab"},
      {"windows", "window"},
      {"incognito", "incognito"},
      {"private", "private"},
      {"vocals", "audio"},
      {"vocal", "audio"},
      {"mic", "audio"},
      {"piano", "instrument"},
      {"synth", "instrument"},
      {"keyboard", "instrument"},
      {"open", "show"},
      {"launch", "show"},
      {"hide", "hide"},
      {"redo", "redo"},
  };
  return table;
}

// A code point that ends a word: ASCII other than letters and digits, and
// the punctuation and symbol ranges ("…", "’", "–", the no-break space).
bool separates(char32_t c) {
  if (c < 0x80) {
    return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
  }
  return (c >= 0xA0 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x2BFF) ||
         (c >= 0x3000 && c <= 0x303F) || c == 0xFEFF;
}

// The next code point of UTF-8 text; a broken byte stands for itself.
char32_t next(std::string_view text, std::size_t& at) {
  unsigned char c = static_cast<unsigned char>(text[at]);
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (extra == 0 || at + extra >= text.size()) {
    ++at;
    return c;
  }
  char32_t code = c & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    unsigned char more = static_cast<unsigned char>(text[at + i]);
    if ((more & 0xC0) != 0x80) {
      ++at;
      return c;
    }
    code = (code << 6) | (more & 0x3F);
  }
  at += extra + 1;
  return code;
}

std::string canonical(const std::string& word) {
  const auto& table = synonyms();
  if (auto found = table.find(word); found != table.end()) return found->second;
  // Short words keep their "s", so "is" and "us" stay the filler they are.
  if (word.size() > 3 && word.back() == 's' && word[word.size() - 2] != 's') {
    std::string trimmed = word.substr(0, word.size() - 1);
    if (auto found = table.find(trimmed); found != table.end()) return found->second;
    return trimmed;
  }
  return word;
}

using WordSet = std::vector<std::string>;  // sorted, unique

WordSet wordSet(std::string_view text) {
  WordSet words = commandWords(text);
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

// The words that are not filler; all of them when every word is.
WordSet withoutNoise(WordSet words) {
  WordSet kept;
  for (auto& word : words) {
    if (!commandNoise().count(word)) kept.push_back(word);
  }
  return kept.empty() ? words : kept;
}

bool contains(const WordSet& set, const std::string& word) {
  return std::binary_search(set.begin(), set.end(), word);
}

std::size_t shared(const WordSet& a, const WordSet& b) {
  std::size_t count = 0;
  for (const auto& word : a) count += contains(b, word);
  return count;
}

}  // namespace

std::vector<std::string> commandWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  auto finish = [&] {
    if (!word.empty()) words.push_back(canonical(word));
    word.clear();
  };
  for (std::size_t at = 0; at < text.size();) {
    std::size_t begin = at;
    char32_t c = next(text, at);
    if (separates(c)) {
      finish();
    } else if (c < 0x80) {
      word.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    } else {
      word.append(text.substr(begin, at - begin));
    }
  }
  finish();
  return words;
}

const std::unordered_set<std::string>& commandNoise() {
  static const std::unordered_set<std::string> noise = {
      "the",    "a",    "an",      "in",     "on",      "of",    "to",      "my",
      "this",   "that", "please",  "me",     "can",     "you",   "i",       "want",
      "it",     "for",  "with",    "menu",   "item",    "click", "choose",  "select",
      "option", "go",   "do",      "app",    "now",     "up",    "and",     "then",
      "there",  "here", "just",    "some",   "command", "pick",  "use",     "hit",
      "run",    "is",   "s",       "would",  "like",    "could", "need",    "lets",
      "let",    "us",   "program", "inside", "from",    "at",    "current", "one"};
  return noise;
}

const std::unordered_set<std::string>& riskyCommandWords() {
  static const std::unordered_set<std::string> risky = {
      "delete", "close",    "quit",    "revert",    "empty", "discard", "reset",
      "format", "sign",     "log",     "restart",   "shut",  "clear",   "uninstall",
      "trash",  "erase",    "replace", "overwrite", "send",  "post",    "publish",
      "buy",    "purchase", "pay",     "submit",    "order"};
  return risky;
}

bool isRiskyCommand(std::string_view name) {
  // The words as mapped: "Remove" reads "delete", and "Sends" reads "send".
  for (const auto& word : commandWords(name)) {
    if (riskyCommandWords().count(word)) return true;
  }
  return false;
}

namespace {

WordSet spokenWords(std::string_view text, const std::vector<std::string>& ignoring) {
  WordSet ignored;
  for (const auto& words : ignoring) {
    for (auto& word : commandWords(words)) ignored.push_back(std::move(word));
  }
  std::sort(ignored.begin(), ignored.end());
  WordSet spoken;
  for (auto& word : wordSet(text)) {
    if (!commandNoise().count(word) && !contains(ignored, word)) spoken.push_back(word);
  }
  return spoken;
}

}  // namespace

std::optional<std::size_t> matchControl(std::string_view text,
                                        const std::vector<std::string>& names,
                                        const std::vector<std::string>& ignoring) {
  WordSet spoken = spokenWords(text, ignoring);
  if (spoken.empty()) return std::nullopt;
  std::optional<std::size_t> best;
  double bestScore = 0.0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    WordSet name = wordSet(names[i]);
    std::size_t both = shared(spoken, name);
    if (both == 0) continue;
    double score = 2.0 * both / name.size() + static_cast<double>(both) / spoken.size();
    if (!best || score > bestScore) {
      best = i;
      bestScore = score;
    }
  }
  return best;
}

std::optional<CommandMatch> matchCommand(std::string_view text,
                                         const std::vector<MenuEntry>& entries,
                                         const std::vector<std::string>& ignoring, bool strict) {
  std::vector<std::string> names = ignoring;
  names.insert(names.end(), {"logic", "pro", "chrome", "google", "reaper"});
  WordSet spoken = spokenWords(text, names);
  if (spoken.empty()) return std::nullopt;
  const bool saysShow = contains(spoken, "show");
  const bool saysHide = contains(spoken, "hide");

  std::optional<CommandMatch> best;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& path = entries[i].path;
    if (path.empty()) continue;
    // Filler on the item can never be said (the sentence drops it), so it
    // does not count against the item: "zoom in" is all of "Zoom In".
    WordSet item = withoutNoise(wordSet(path.back()));
    if (item.empty()) continue;
    std::size_t onItem = shared(spoken, item);
    if (onItem == 0) continue;
    if ((saysShow && contains(item, "hide")) || (saysHide && contains(item, "show"))) continue;
    WordSet menu = path.size() > 1 ? withoutNoise(wordSet(path.front())) : WordSet{};
    std::size_t covered = 0;
    for (const auto& word : spoken) covered += contains(item, word) || contains(menu, word);
    const double itemCover = static_cast<double>(onItem) / item.size();
    const double spokenCover = static_cast<double>(covered) / spoken.size();
    const bool sure = itemCover >= 1.0 && spokenCover >= (strict ? 0.99 : 0.6);
    if (!sure && !(itemCover >= 0.5 && spokenCover >= 0.99 && spoken.size() >= 2)) continue;
    const double score = itemCover + 2.0 * spokenCover + (sure ? 10.0 : 0.0) + 0.3 * onItem -
                         0.05 * static_cast<double>(path.size());
    if (!best || score > best->score) best = CommandMatch{i, sure, score};
  }
  return best;
}

}  // namespace orvo
