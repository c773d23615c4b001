#include "sound/kokoro-protocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/files.h"

namespace orvo {

std::string kokoroSpeed(double rate, std::string_view text) {
  char speed[16];
  std::snprintf(speed, sizeof speed, "%.2f", rate * (text.size() >= 17 ? 1.06 : 0.98));
  return speed;
}

std::uint64_t fnv1a64(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::string kokoroKey(std::string_view voice, std::string_view speed, std::string_view spoken) {
  // Fields joined by a byte no field holds, so "ab"+"c" never names "a"+"bc".
  std::string whole = "v3";
  for (std::string_view field : {voice, speed, spoken}) {
    whole += '\x1f';
    whole += field;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a64(whole)));
  return hex;
}

std::filesystem::path kokoroOutput(const std::filesystem::path& voiceFolder,
                                   const std::filesystem::path& temporary, long pid,
                                   std::string_view voice, std::string_view speed,
                                   std::string_view spoken) {
  const std::string key = kokoroKey(voice, speed, spoken);
  if (spoken.size() < 61) return voiceFolder / "cache" / (key + ".wav");
  return temporary / ("tp-kokoro-" + std::to_string(pid) + "-" + key + ".wav");
}

bool isKokoroLeftover(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  return name.rfind("tp-kokoro-", 0) == 0 && file.extension() == ".wav";
}

std::string kokoroRequest(long id, std::string_view voice, std::string_view speed,
                          const std::filesystem::path& output, std::string_view text) {
  std::string line = std::to_string(id) + "\t" + std::string(voice) + "\t" + std::string(speed) +
                     "\t" + output.string() + "\t";
  for (char c : text) line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  return line + "\n";
}

KokoroLine readKokoroLine(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    fields.emplace_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  KokoroLine read;
  if (fields[0] == "ready") {
    read.kind = KokoroLine::Kind::ready;
    for (std::size_t i = 1; i < fields.size(); ++i)
      if (!fields[i].empty()) read.voices.push_back(fields[i]);
  } else if (fields[0] == "failed") {
    read.kind = KokoroLine::Kind::failed;
    read.reason = fields.size() > 1 ? fields[1] : "no reason given";
  } else if (fields.size() >= 2 && !fields[0].empty() &&
             std::all_of(fields[0].begin(), fields[0].end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
    read.kind = KokoroLine::Kind::reply;
    read.id = fields[0];
    read.reply = std::string(line.substr(fields[0].size() + 1));
  }
  return read;
}

namespace {

std::string trimmed(std::string_view text) {
  std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return "";
  std::size_t end = text.find_last_not_of(' ');
  return std::string(text.substr(start, end - start + 1));
}

constexpr std::size_t kLongSentence = 110;

}  // namespace

std::vector<std::string> voiceSentences(std::string_view text) {
  std::vector<std::string> sentences;
  auto add = [&sentences](std::string_view piece) {
    std::string sentence = trimmed(piece);
    if (sentence.empty()) return;
    // A long sentence is cut before its joining words, each part still long enough to say.
    while (sentence.size() > kLongSentence) {
      std::size_t cut = std::string::npos;
      for (const char* join : {" and ", " then ", " so ", " which ", " because "}) {
        const std::size_t at = sentence.find(join, 30);
        if (at != std::string::npos && at + 30 < sentence.size() && at < cut) cut = at;
      }
      if (cut == std::string::npos) break;
      sentences.push_back(sentence.substr(0, cut));
      sentence = trimmed(std::string_view(sentence).substr(cut + 1));
    }
    sentences.push_back(sentence);
  };
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool ends =
        (c == '.' || c == '?' || c == '!') && (i + 1 == text.size() || text[i + 1] == ' ');
    if (ends) {
      add(text.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  add(text.substr(std::min(start, text.size())));
  return sentences;
}

std::vector<double> wordStarts(const std::vector<std::string>& words, double seconds) {
  double total = 0;
  for (const auto& word : words) total += static_cast<double>(word.size()) + 1;
  std::vector<double> starts;
  double at = 0;
  for (const auto& word : words) {
    starts.push_back(total > 0 ? seconds * at / total : 0);
    at += static_cast<double>(word.size()) + 1;
  }
  return starts;
}

double kokoroRate(const std::optional<std::string>& text) {
  if (!text) return 1.0;
  const std::string trimmed = files::trim(*text);
  double rate = 0;
  auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), rate);
  if (error != std::errc() || end != trimmed.data() + trimmed.size() || !std::isfinite(rate)) {
    return 1.0;
  }
  return std::clamp(rate, kSlowestKokoroRate, kFastestKokoroRate);
}

std::string kokoroChoice(const std::optional<std::string>& text) {
  const std::string chosen = text ? files::trim(*text) : "";
  return chosen.empty() ? kDefaultKokoroVoice : chosen;
}

}  // namespace orvo
