#include "compose/analysis.h"

#include <algorithm>
#include <cmath>

#include "compose/beat.h"
#include "compose/key-finding.h"

namespace orvo {

long roundAway(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 1e15) return 0;
  return std::lround(value);
}

const NoteNames& Analysis::names(int tonic, bool minor) {
  static constexpr int kFlatMajor[] = {5, 10, 3, 8, 1};
  static constexpr int kFlatMinor[] = {2, 7, 0, 5, 10};
  const auto& flats = minor ? kFlatMinor : kFlatMajor;
  return std::find(std::begin(flats), std::end(flats), tonic) != std::end(flats) ? flatNames()
                                                                                 : sharpNames();
}

std::string Analysis::tonicName() const {
  return names(tonic, minor)[static_cast<std::size_t>(tonic)];
}

std::string Analysis::keyName() const {
  return tonicName() + (minor ? " minor" : " major");
}

std::string Analysis::name(const Chord& chord) const {
  return names(tonic, minor)[static_cast<std::size_t>(chord.root % 12)] + " " + chord.quality;
}

std::optional<std::pair<int, int>> Analysis::loop() const {
  const int n = static_cast<int>(chords.size());
  if (n < 4) return std::nullopt;
  std::vector<std::string> chordNames;
  for (const Chord& chord : chords) chordNames.push_back(name(chord));
  for (int period = 2; period <= n / 2; ++period) {
    bool repeats = true;
    for (int i = period; i < n && repeats; ++i) {
      repeats = chordNames[static_cast<std::size_t>(i)] ==
                chordNames[static_cast<std::size_t>(i % period)];
    }
    if (repeats) return std::pair{period, n / period};
  }
  return std::nullopt;
}

std::string Analysis::summary(std::size_t noteCount) const {
  std::string text = "Key of " + keyName() + ". ";
  if (beat && *beat > 0) {
    text += "About " + std::to_string(2 * roundAway(30.0 / *beat)) + " beats per minute. ";
  }
  auto joined = [&](std::size_t count) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i) list += (i ? ", " : "") + name(chords[i]);
    return list;
  };
  if (chords.empty()) {
    text += "I could not pick out chords. ";
  } else if (auto repeat = loop()) {
    text += "Chords: " + joined(static_cast<std::size_t>(repeat->first)) + ". That loop of " +
            std::to_string(repeat->first) + " chords plays " + std::to_string(repeat->second) +
            " times. ";
  } else if (chords.size() > 12) {
    text += "Chords: " + joined(12) + ", and " + std::to_string(chords.size() - 12) + " more. ";
  } else {
    text += "Chords: " + joined(chords.size()) + ". ";
  }
  return text + std::to_string(roundAway(length)) + " seconds, " + std::to_string(noteCount) +
         " notes.";
}

Analysis analyse(const std::vector<RNote>& notes) {
  Analysis result;
  for (const RNote& note : notes) result.length = std::max(result.length, note.end);
  const auto scores = keyScores(notes);
  const auto best =
      static_cast<int>(std::max_element(scores.begin(), scores.end()) - scores.begin());
  result.tonic = best % 12;
  result.minor = best >= 12;
  result.beat = steadyBeat(notes);
  result.chords = detectChords(notes, result.beat, result.length, result.tonic, result.minor);

  // A piece in a major key and its relative minor share their notes: the
  // first chord decides when the two score close.
  if (!result.chords.empty()) {
    const bool relativeMinor = !result.minor;
    const int relative = relativeMinor ? (result.tonic + 9) % 12 : (result.tonic + 3) % 12;
    const double relativeScore =
        scores[static_cast<std::size_t>(relative + (relativeMinor ? 12 : 0))];
    const Chord& first = result.chords.front();
    const bool minorLike = first.quality.rfind("minor", 0) == 0 || first.quality == "diminished";
    if (relativeScore > scores[static_cast<std::size_t>(best)] - 0.15 && first.root == relative &&
        first.root != result.tonic && minorLike == relativeMinor) {
      result.tonic = relative;
      result.minor = relativeMinor;
    }
  }
  return result;
}

}  // namespace orvo
