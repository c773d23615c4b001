#include "voice/wake-name.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <regex>

#include "voice/wake-words.h"

namespace orvo::wake {
namespace {

// One code point of UTF-8 text and where the next starts; a broken byte is
// taken alone, as a separator.
std::uint32_t decode(std::string_view text, std::size_t& at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char first = byte(at);
  if (first < 0x80) {
    ++at;
    return first;
  }
  int extra = (first >> 5) == 6 ? 1 : (first >> 4) == 14 ? 2 : (first >> 3) == 30 ? 3 : -1;
  if (extra < 0 || at + extra >= text.size()) {
    ++at;
    return 0xFFFD;
  }
  std::uint32_t code = first & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      ++at;
      return 0xFFFD;
    }
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  at += extra + 1;
  return code;
}

void encode(std::uint32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Letters of the scripts people speak in; punctuation, symbols and emoji are not.
bool letterOrDigit(std::uint32_t code) {
  if (code < 0x80) return std::isalnum(static_cast<int>(code)) != 0;
  if (code >= 0xC0 && code <= 0x24F) return code != 0xD7 && code != 0xF7;
  return (code >= 0x370 && code < 0x2000) || (code >= 0x3040 && code < 0xA000) ||
         (code >= 0xAC00 && code < 0xD7B0) || (code >= 0xF900 && code < 0xFB00);
}

std::uint32_t lower(std::uint32_t code) {
  if (code < 0x80) return static_cast<std::uint32_t>(std::tolower(static_cast<int>(code)));
  if (code >= 0xC0 && code <= 0xDE && code != 0xD7) return code + 0x20;
  return code;
}

char lowerAscii(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool contains(const WordSet& set, std::string_view word) {
  return set.count(word) > 0;
}

}  // namespace

std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> result;
  std::string word;
  for (std::size_t at = 0; at < text.size();) {
    std::uint32_t code = decode(text, at);
    if (letterOrDigit(code)) {
      encode(lower(code), word);
    } else if (!word.empty()) {
      result.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) result.push_back(std::move(word));
  return result;
}

std::vector<std::string> pieces(std::string_view text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) result.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

std::string lettersOnly(std::string_view word) {
  std::string result;
  for (char c : word) {
    char l = lowerAscii(c);
    if (l >= 'a' && l <= 'z') result.push_back(l);
  }
  return result;
}

std::string keyOf(std::string_view assistantName) {
  std::string key = lettersOnly(assistantName);
  return key.empty() ? "orvo" : key;
}

std::string sound(std::string_view word) {
  std::string letters = lettersOnly(word);
  static const std::pair<std::string_view, std::string_view> rewrites[] = {
      {"kn", "n"}, {"ph", "f"}, {"ck", "k"}, {"sh", "j"}, {"ch", "j"},
      {"th", "t"}, {"wh", "w"}, {"qu", "k"}, {"gh", ""}};
  for (auto [from, to] : rewrites) {
    for (std::size_t at = letters.find(from); at != std::string::npos;
         at = letters.find(from, at + to.size())) {
      letters.replace(at, from.size(), to);
    }
  }
  std::string code;
  char last = 0;
  for (char c : letters) {
    char cls = 0;
    switch (c) {
      case 'b':
      case 'p':
        cls = 'p';
        break;
      case 'd':
      case 't':
        cls = 't';
        break;
      case 'g':
      case 'k':
      case 'c':
      case 'q':
        cls = 'k';
        break;
      case 'f':
      case 'v':
        cls = 'f';
        break;
      case 's':
      case 'z':
      case 'x':
        cls = 's';
        break;
      case 'm':
      case 'n':
      case 'l':
      case 'r':
      case 'j':
      case 'w':
        cls = c;
        break;
      case 'a':
      case 'o':
      case 'u':
        cls = 'a';
        break;
      case 'e':
      case 'i':
      case 'y':
        cls = 'e';
        break;
      default:
        continue;  // h
    }
    if (cls != last) code.push_back(cls);
    last = cls;
  }
  return code;
}

int steps(std::string_view a, std::string_view b) {
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      int above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool oneEditApart(std::string_view a, std::string_view b) {
  if (a.size() == b.size()) {
    int differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i) differ += a[i] != b[i];
    return differ == 1;
  }
  if (a.size() < b.size()) std::swap(a, b);
  if (a.size() != b.size() + 1) return false;
  std::size_t i = 0;
  while (i < b.size() && a[i] == b[i]) ++i;
  return a.substr(i + 1) == b.substr(i);
}

bool isName(std::string_view word, std::string_view key) {
  if (word.empty()) return false;
  if (word == key) return true;
  const KnownName* entry = known(key);
  if (entry && contains(entry->strict, word)) return true;
  if (key == "jarvis") {
    if (word.rfind("jarv", 0) == 0 || word.rfind("jerv", 0) == 0) return true;
    return word.size() >= 5 && word.size() <= 7 && oneEditApart(word, "jarvis");
  }
  std::size_t longer = std::max(word.size(), key.size());
  std::size_t shorter = std::min(word.size(), key.size());
  if (key.size() >= 5 && longer - shorter <= 1 && word[0] == key[0] && oneEditApart(word, key)) {
    return true;
  }
  if (entry) return false;
  if (word.size() >= 4 && !contains(lists().everyday, word)) return sound(word) == sound(key);
  return false;
}

bool soundsLikeName(std::string_view word) {
  if (word.size() < 4 || word.size() > 8) return false;
  if (contains(lists().neverName, word)) return false;
  if (contains(lists().looseNames, word)) return true;
  static const std::regex pattern(
      "^(j|ch|g|dj|d|y|sh|zh|dr|tr)(a|ar|er|ur|or|ah|aa|o|ai|ea)r?(v|b|f|ph|th|rv|w)"
      "(i|e|u|a|ee|y|ou)(s|ss|ce|z|sh|x|st)(e|es)?$");
  return std::regex_match(word.begin(), word.end(), pattern);
}

bool looseName(std::string_view word, std::string_view key) {
  if (key == "jarvis") return soundsLikeName(word);
  if (const KnownName* entry = known(key)) return contains(entry->loose, word);
  if (word.size() < 3 || contains(lists().everyday, word)) return false;
  std::string heard = sound(word);
  std::string name = sound(key);
  if (heard.empty() || name.empty() || heard[0] != name[0]) return false;
  return steps(heard, name) <= (name.size() < 5 ? 1 : 2);
}

std::string tidy(std::string_view text, std::string_view key) {
  std::vector<std::string> parts = pieces(text);
  const KnownName* entry = known(key);
  const WordLists& words = lists();
  std::vector<std::string_view> out;
  for (std::size_t i = 0; i < parts.size();) {
    std::string a = lettersOnly(parts[i]);
    std::string b = i + 1 < parts.size() ? lettersOnly(parts[i + 1]) : "";
    bool joined = !b.empty() && (a + b == key || (entry && contains(entry->pairs, a + " " + b)));
    bool split =
        key == "jarvis" && contains(words.firstHalves, a) && contains(words.secondHalves, b);
    if (!b.empty() && contains(words.greetings, a) && !isName(b, key)) {
      if (joined || split) {
        if (looseName(b, key)) out.push_back(parts[i]);
        out.push_back(token);
        i += 2;
        continue;
      }
      if (looseName(b, key)) {
        out.push_back(parts[i]);
        out.push_back(token);
        i += 2;
        continue;
      }
    } else if (joined || split) {
      out.push_back(token);
      i += 2;
      continue;
    }
    if (isName(a, key)) {
      out.push_back(token);
    } else if (a == "jarvis") {
      out.push_back("somebody");
    } else {
      out.push_back(parts[i]);
    }
    ++i;
  }
  std::string result;
  for (auto piece : out) {
    if (!result.empty()) result.push_back(' ');
    result.append(piece);
  }
  return result;
}

}  // namespace orvo::wake
