#include "window/pronunciations.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <string_view>

namespace orvo::window {
namespace {

// Longest first, so "aɪ" is taken before "a" and "ɔː" before "ɔ".
const std::vector<std::pair<std::string_view, std::string_view>>& ipaTable() {
  static const std::vector<std::pair<std::string_view, std::string_view>> table = [] {
    std::vector<std::pair<std::string_view, std::string_view>> t = {
        {"aɪə", "AY ER"}, {"aɪ", "AY"},   {"aʊ", "AW"},   {"eɪ", "EY"}, {"oʊ", "OW"}, {"əʊ", "OW"},
        {"ɔɪ", "OY"},     {"ɑː", "AA"},   {"ɔː", "AO"},   {"ɜː", "ER"}, {"iː", "IY"}, {"uː", "UW"},
        {"ɪə", "IH R"},   {"eə", "EH R"}, {"ʊə", "UH R"}, {"tʃ", "CH"}, {"dʒ", "JH"}, {"ɑ", "AA"},
        {"æ", "AE"},      {"ʌ", "AH"},    {"ə", "AH"},    {"ɚ", "ER"},  {"ɝ", "ER"},  {"ɔ", "AO"},
        {"ɛ", "EH"},      {"e", "EH"},    {"ɪ", "IH"},    {"ᵻ", "IH"},  {"i", "IY"},  {"ʊ", "UH"},
        {"u", "UW"},      {"ɐ", "AH"},    {"o", "OW"},    {"ɒ", "AA"},  {"a", "AE"},  {"b", "B"},
        {"d", "D"},       {"ð", "DH"},    {"f", "F"},     {"ɡ", "G"},   {"g", "G"},   {"h", "HH"},
        {"k", "K"},       {"l", "L"},     {"m", "M"},     {"n", "N"},   {"ŋ", "NG"},  {"p", "P"},
        {"ɹ", "R"},       {"r", "R"},     {"s", "S"},     {"ʃ", "SH"},  {"t", "T"},   {"θ", "TH"},
        {"v", "V"},       {"w", "W"},     {"j", "Y"},     {"z", "Z"},   {"ʒ", "ZH"},  {"ɾ", "T"},
        {"x", "K"},       {"ɬ", "L"},     {"n̩", "AH N"},  {"l̩", "AH L"}};
    std::stable_sort(t.begin(), t.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    return t;
  }();
  return table;
}

std::mutex espeakMutex;

}  // namespace

Dictionary readDictionary(const std::filesystem::path& file, const std::set<std::string>& wanted) {
  Dictionary out;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const auto space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string entry = line.substr(0, space);
    const std::string word = entry.substr(0, entry.find('('));
    if (!wanted.count(word)) continue;
    out[entry] = line.substr(space + 1);
  }
  return out;
}

std::optional<std::string> phonesFromIpa(const std::string& ipa) {
  std::string phones;
  std::string_view rest(ipa);
  while (!rest.empty()) {
    bool found = false;
    for (const auto& [symbol, phone] : ipaTable()) {
      if (rest.substr(0, symbol.size()) == symbol) {
        phones += (phones.empty() ? "" : " ") + std::string(phone);
        rest.remove_prefix(symbol.size());
        found = true;
        break;
      }
    }
    if (found) continue;
    // Stress, length, syllable marks, ties and anything unknown: one UTF-8
    // character skipped.
    std::size_t skip = 1;
    while (skip < rest.size() && (static_cast<unsigned char>(rest[skip]) & 0xC0) == 0x80) ++skip;
    rest.remove_prefix(skip);
  }
  if (phones.empty()) return std::nullopt;
  return phones;
}

namespace {

std::vector<std::int16_t>* collecting = nullptr;  // under espeakMutex

int collect(short* samples, int count, espeak_EVENT*) {
  if (collecting && samples) collecting->insert(collecting->end(), samples, samples + count);
  return 0;
}

// espeak-ng, once, in US English; its rate.
int espeakReady() {
  static const int rate = [] {
    const int given =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (given < 0 || espeak_SetVoiceByName("en-us") != EE_OK) return 0;
    espeak_SetSynthCallback(collect);
    return given;
  }();
  return rate;
}

}  // namespace

std::vector<std::int16_t> spokenAt16k(const std::string& sentence) {
  std::lock_guard guard(espeakMutex);
  const int rate = espeakReady();
  if (rate <= 0) return {};
  std::vector<std::int16_t> samples;
  collecting = &samples;
  espeak_Synth(sentence.c_str(), sentence.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
               nullptr, nullptr);
  collecting = nullptr;
  std::vector<std::int16_t> out;
  const double step = static_cast<double>(rate) / 16000.0;
  for (double t = 0; t < static_cast<double>(samples.size()); t += step)
    out.push_back(samples[static_cast<std::size_t>(t)]);
  return out;
}

std::optional<std::string> phonesOf(const std::string& word) {
  std::lock_guard guard(espeakMutex);
  if (espeakReady() <= 0) return std::nullopt;
  const void* text = word.c_str();
  std::string ipa;
  while (text != nullptr) {
    const char* part = espeak_TextToPhonemes(&text, espeakCHARS_UTF8, espeakPHONEMES_IPA);
    if (!part) break;
    ipa += part;
  }
  return phonesFromIpa(ipa);
}

Dictionary dictionaryFor(const std::set<std::string>& words, const Dictionary& known,
                         std::vector<std::string>* missing) {
  Dictionary out;
  for (const std::string& word : words) {
    bool have = false;
    for (auto it = known.lower_bound(word); it != known.end(); ++it) {
      const std::string base = it->first.substr(0, it->first.find('('));
      if (base != word) break;
      out[it->first] = it->second;
      have = true;
    }
    if (have) continue;
    if (auto phones = phonesOf(word)) {
      out[word] = *phones;
    } else if (missing) {
      missing->push_back(word);
    }
  }
  return out;
}

namespace {

std::vector<std::string> phonesIn(const std::string& text) {
  std::vector<std::string> phones;
  std::string phone;
  for (char c : text + " ") {
    if (c == ' ') {
      if (!phone.empty()) phones.push_back(phone);
      phone.clear();
    } else if (c < '0' || c > '9') {  // stress digits are no part of the phone
      phone += c;
    }
  }
  return phones;
}

}  // namespace

std::vector<std::string> soundAlikes(const std::string& namePhones,
                                     const std::filesystem::path& dictionaryFile) {
  // Heard in ordinary talk and easily taken for a short name.
  std::vector<std::string> out = {"over", "overdo", "orville", "orzo",  "towards", "or", "also",
                                  "auto", "arrow",  "oreo",    "bravo", "for",     "of", "a",
                                  "the",  "i",      "we",      "it",    "is",      "to", "and",
                                  "you",  "so",     "go",      "oh"};
  const auto name = phonesIn(namePhones);
  if (name.empty()) return out;
  std::ifstream in(dictionaryFile);
  std::string line;
  while (std::getline(in, line)) {
    const auto space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string word = line.substr(0, space);
    if (word.find('(') != std::string::npos || word.find('\'') != std::string::npos) continue;
    if (tokenDistance(phonesIn(line.substr(space + 1)), name) == 1) out.push_back(word);
  }
  return out;
}

std::string dictionaryText(const Dictionary& dictionary) {
  std::string text;
  for (const auto& [word, phones] : dictionary) text += word + " " + phones + "\n";
  return text;
}

std::size_t tokenDistance(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace orvo::window
