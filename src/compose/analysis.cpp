#include "compose/analysis.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "compose/beat.h"
#include "compose/key-finding.h"

namespace orvo {

long roundAway(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 1e15) return 0;
  return std::lround(value);
}

namespace {

// A degree of the key as a player says it.
std::string degreeName(int semitones) {
  static const char* names[] = {"the tonic",  "the second", "the second",     "the third",
                                "the third",  "the fourth", "the sharp fourth", "the dominant",
                                "the sixth",  "the sixth",  "the seventh",    "the seventh"};
  return names[((semitones % 12) + 12) % 12];
}

}  // namespace

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
  const int n = static_cast<int>(spelled.size());
  if (n < 4) return std::nullopt;
  std::vector<std::string> chordNames;
  for (const Chord& chord : spelled) chordNames.push_back(name(chord));
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
    for (std::size_t i = 0; i < count; ++i) list += (i ? ", " : "") + name(spelled[i]);
    return list;
  };
  const auto& chords = spelled;
  if (chords.empty() && !melodyDegrees.empty()) {
    text += std::string(melodyInKey ? "A melody that stays in the key" : "A melody") +
            ", mostly on " + degreeName(melodyDegrees[0]) +
            (melodyDegrees.size() > 1 ? " and " + degreeName(melodyDegrees[1]) : "") + ". ";
  } else if (chords.empty()) {
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
  result.spelled =
      detectChords(notes, result.beat, result.length, result.tonic, result.minor, true);

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
  describeMelody(notes, result);
  return result;
}

void describeMelody(const std::vector<RNote>& notes, Analysis& analysis) {
  analysis.melodyDegrees.clear();
  std::vector<const RNote*> played;
  for (const RNote& note : notes) {
    if (note.cc < 0 && note.pitch >= 0 && note.pitch < 128 && note.end > note.t) {
      played.push_back(&note);
    }
  }
  if (played.size() < 3) return;
  std::stable_sort(played.begin(), played.end(),
                   [](const RNote* x, const RNote* y) { return x->t < y->t; });
  // One line: each note lets go of the one before it, smudges aside. A few
  // held notes (a tenth) still leave it a line.
  std::size_t together = 0;
  double heldUntil = -1;
  for (std::size_t i = 1; i < played.size(); ++i) {
    heldUntil = std::max(heldUntil, played[i - 1]->end);
    if (std::min(heldUntil, played[i]->end) - played[i]->t > kSmudge) ++together;
  }
  if (together * 10 > played.size()) return;
  std::array<double, 12> held{};
  double total = 0;
  for (const RNote* note : played) {
    const int degree = ((note->pitch - analysis.tonic) % 12 + 12) % 12;
    held[static_cast<std::size_t>(degree)] += note->end - note->t;
    total += note->end - note->t;
  }
  if (total <= 0) return;
  static constexpr int kMajor[] = {0, 2, 4, 5, 7, 9, 11};
  static constexpr int kMinor[] = {0, 2, 3, 5, 7, 8, 10, 11};
  double inKey = 0;
  for (int degree : analysis.minor ? std::vector<int>(std::begin(kMinor), std::end(kMinor))
                                   : std::vector<int>(std::begin(kMajor), std::end(kMajor))) {
    inKey += held[static_cast<std::size_t>(degree)];
  }
  analysis.melodyInKey = inKey >= 0.9 * total;
  std::vector<int> degrees(12);
  for (int d = 0; d < 12; ++d) degrees[static_cast<std::size_t>(d)] = d;
  std::stable_sort(degrees.begin(), degrees.end(), [&](int x, int y) {
    return held[static_cast<std::size_t>(x)] > held[static_cast<std::size_t>(y)];
  });
  analysis.melodyDegrees.push_back(degrees[0]);
  if (held[static_cast<std::size_t>(degrees[1])] > 0) analysis.melodyDegrees.push_back(degrees[1]);
}

}  // namespace orvo
