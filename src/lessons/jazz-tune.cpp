#include "lessons/jazz-tune.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "lessons/music-words.h"

namespace orvo {

TuneRead readJazzTune(const std::string& text, int hand, int vel) {
  TuneRead read;
  std::istringstream tokens(text);
  int position = 0;
  for (std::string token; tokens >> token;) {
    ++position;
    auto fail = [&](const std::string& why) {
      read.errors.push_back("token " + std::to_string(position) + ": \"" + token + "\" " + why);
    };
    std::string names = token;
    double duration = 1.0;
    if (auto slash = token.find('/'); slash != std::string::npos) {
      names = token.substr(0, slash);
      const std::string length = token.substr(slash + 1);
      char* end = nullptr;
      duration = std::strtod(length.c_str(), &end);
      if (length.empty() || *end != '\0' || !std::isfinite(duration) || duration <= 0 ||
          duration > 64) {
        fail("has no length that can be played");
        continue;
      }
    }
    if (names == "r") {
      read.beats += duration;
      continue;
    }
    std::vector<int> pitches;
    bool ok = !names.empty();
    for (std::size_t from = 0; ok && from <= names.size();) {
      std::size_t plus = names.find('+', from);
      if (plus == std::string::npos) plus = names.size();
      auto pitch = music::parseNoteName(names.substr(from, plus - from));
      if (!pitch || *pitch < 0 || *pitch > 127)
        ok = false;
      else
        pitches.push_back(*pitch);
      from = plus + 1;
    }
    if (!ok) {
      fail("is not a note");
      continue;
    }
    for (int pitch : pitches) read.notes.push_back({read.beats, duration, pitch, vel, hand});
    read.beats += duration;
  }
  return read;
}

std::vector<SNote> jazzTune(const std::string& text, int hand, int vel) {
  return readJazzTune(text, hand, vel).notes;
}

Song jazzStudy(const JazzLesson& lesson) {
  Song song;
  song.name = "Jazz " + lesson.title;
  song.bpm = lesson.bpm;
  song.level = 1;
  song.notes = jazzTune(lesson.right, 0, 84);
  for (const SNote& note : jazzTune(lesson.left, 1, 72)) song.notes.push_back(note);
  return song;
}

}  // namespace orvo
