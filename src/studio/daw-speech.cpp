#include "studio/daw-speech.h"

#include <cmath>
#include <cstdio>

namespace orvo::dawspeech {

std::string plural(long count, const std::string& word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string joined(const std::vector<std::string>& items, const std::string& last,
                   const std::string& between) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? last : between;
    out += items[i];
  }
  return out;
}

std::string capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text;
}

std::string trackName(const DawTrack& track) {
  if (track.index == 0) return "the master";
  return track.name.empty() ? "Track " + std::to_string(track.index) : track.name;
}

std::string spokenNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::round(value * 100) / 100);
  std::string out = text;
  while (!out.empty() && out.back() == '0') out.pop_back();
  if (!out.empty() && out.back() == '.') out.pop_back();
  return out == "-0" ? "0" : out;
}

}  // namespace orvo::dawspeech
