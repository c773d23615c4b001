#include "compose/chords.h"

#include <algorithm>
#include <array>

#include "lessons/music-words.h"

namespace orvo {

std::vector<double> bassOnsets(const std::vector<RNote>& notes) {
  std::vector<const RNote*> low;
  for (const RNote& note : notes) {
    if (note.cc < 0 && note.pitch >= 0 && note.pitch < 60) low.push_back(&note);
  }
  std::stable_sort(low.begin(), low.end(),
                   [](const RNote* a, const RNote* b) { return a->t < b->t; });
  std::vector<double> boundaries;
  for (std::size_t i = 0; i < low.size(); ++i) {
    const RNote& note = *low[i];
    bool passing = false;
    for (std::size_t k = i + 1; k < low.size() && low[k]->t - note.t < 0.15; ++k) {
      if (low[k]->pitch < note.pitch) {
        passing = true;
        break;
      }
    }
    if (passing) continue;
    bool covered = false;
    // Both ways of covering need the earlier note to start less than 2.5 s before.
    for (std::size_t e = i; e-- > 0 && note.t - low[e]->t < 2.5;) {
      const RNote& earlier = *low[e];
      if (earlier.pitch > note.pitch - 3) continue;
      if (note.t - earlier.t < 0.9 || note.t < earlier.end - 0.05) {
        covered = true;
        break;
      }
    }
    if (covered) continue;
    if (boundaries.empty() || note.t - boundaries.back() >= 0.35) boundaries.push_back(note.t);
  }
  return boundaries;
}

namespace {

constexpr std::array<int, 7> kMajorKey = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 8> kMinorKey = {0, 2, 3, 5, 7, 8, 10, 11};

bool inKey(int pitchClass, int tonic, bool minor) {
  const int degree = ((pitchClass - tonic) % 12 + 12) % 12;
  if (minor) return std::find(kMinorKey.begin(), kMinorKey.end(), degree) != kMinorKey.end();
  return std::find(kMajorKey.begin(), kMajorKey.end(), degree) != kMajorKey.end();
}

std::vector<double> windows(const std::vector<RNote>& notes, std::optional<double> beat,
                            double length) {
  std::vector<double> bounds = bassOnsets(notes);
  if (bounds.size() < 2) {
    bounds.clear();
    const double step = beat && *beat > 0 ? 2 * *beat : 2.0;
    for (int i = 0; i * step < length - step / 2; ++i) bounds.push_back(i * step);
  }
  bounds.push_back(length);
  return bounds;
}

}  // namespace

bool singleLine(const std::vector<const RNote*>& notes, double from, double to) {
  for (std::size_t i = 0; i < notes.size(); ++i) {
    for (std::size_t k = i + 1; k < notes.size(); ++k) {
      const RNote& x = *notes[i];
      const RNote& y = *notes[k];
      const double together = std::min({x.end, y.end, to}) - std::max({x.t, y.t, from});
      if (together > kSmudge) return false;
    }
  }
  return true;
}

namespace {

// How long each pitch class sounds in a window (notes below middle C count
// half again: the bass says the harmony), and the lowest note.
struct WindowSound {
  std::array<double, 12> weight{};
  double total = 0;
  int lowest = 128;
  int present = 0;  // pitch classes above 5 % of the whole
};

WindowSound soundIn(const std::vector<const RNote*>& active, double a, double b) {
  WindowSound sound;
  for (const RNote* each : active) {
    const RNote& note = *each;
    const double overlap = std::min(note.end, b) - std::max(note.t, a);
    if (overlap <= 0) continue;
    sound.weight[static_cast<std::size_t>(note.pitch % 12)] +=
        overlap * (note.pitch < 60 ? 1.5 : 1.0);
    sound.lowest = std::min(sound.lowest, note.pitch);
  }
  for (double each : sound.weight) sound.total += each;
  for (double each : sound.weight) sound.present += each > 0.05 * sound.total ? 1 : 0;
  return sound;
}

// How well the `q`th shape on `root` explains the sound: its tones for it,
// other tones against, the bass, the key and the chord before for it. None
// when a single line (`line`) does not spell three of its tones.
std::optional<double> shapeScore(const ChordShape& shape, std::size_t q, int root,
                                 const WindowSound& sound, bool line, int tonic, bool minor,
                                 const Chord* previous) {
  const auto& weight = sound.weight;
  const double total = sound.total;
  std::array<bool, 12> member{};
  for (int interval : shape.intervals)
    member[static_cast<std::size_t>((root + interval) % 12)] = true;
  if (line) {
    int spelled = 0;
    for (std::size_t pc = 0; pc < 12; ++pc)
      spelled += member[pc] && weight[pc] > 0.05 * total ? 1 : 0;
    if (spelled < 3) return std::nullopt;
  }
  double score = 0;
  for (std::size_t pc = 0; pc < 12; ++pc) score += member[pc] ? weight[pc] : -0.6 * weight[pc];
  if (root == sound.lowest % 12) score += 0.3 * total;
  bool weakTone = false, silentTone = false, allInKey = true;
  for (int interval : shape.intervals) {
    const int pc = (root + interval) % 12;
    const double toneWeight = weight[static_cast<std::size_t>(pc)];
    weakTone = weakTone || toneWeight <= 0.04 * total;
    silentTone = silentTone || toneWeight == 0;
    allInKey = allInKey && inKey(pc, tonic, minor);
  }
  if (shape.intervals.size() == 4 && weakTone) score -= 0.3 * total;
  if (silentTone) score -= 0.15 * total;
  if (allInKey) score += 0.12 * total;
  if (previous && previous->root == root && previous->quality == shape.quality) {
    score += 0.15 * total;
  }
  if (shape.quality.rfind("sus", 0) == 0) score -= 0.1 * total;
  return score - 0.001 * total * static_cast<double>(q);
}

// Chords too short to be heard as harmony join the one before.
std::vector<Chord> settled(std::vector<Chord> chords, std::optional<double> beat) {
  const double shortest = beat ? std::max(0.75 * *beat, 0.35) : 0.375;
  std::vector<Chord> kept;
  for (Chord& chord : chords) {
    if (kept.empty()) {
      kept.push_back(std::move(chord));
      continue;
    }
    Chord& last = kept.back();
    if (chord.end - chord.start < shortest ||
        (chord.root == last.root && chord.quality == last.quality)) {
      last.end = chord.end;
    } else {
      kept.push_back(std::move(chord));
    }
  }
  return kept;
}

}  // namespace

std::vector<Chord> detectChords(const std::vector<RNote>& notes, std::optional<double> beat,
                                double length, int tonic, bool minor, bool spelledOnly) {
  const auto& shapes = chordShapes();
  const std::vector<double> bounds = windows(notes, beat, length);
  // The windows go forward in time: a sweep keeps the notes that may still
  // overlap, so a long take costs its notes plus what sounds in each window.
  std::vector<const RNote*> byOnset;
  byOnset.reserve(notes.size());
  for (const RNote& note : notes) {
    if (note.cc < 0 && note.pitch >= 0 && note.pitch < 128) byOnset.push_back(&note);
  }
  std::stable_sort(byOnset.begin(), byOnset.end(),
                   [](const RNote* x, const RNote* y) { return x->t < y->t; });
  std::vector<const RNote*> active;
  std::size_t next = 0;

  std::vector<Chord> chords;
  for (std::size_t w = 0; w + 1 < bounds.size(); ++w) {
    const double a = bounds[w], b = bounds[w + 1];
    while (next < byOnset.size() && byOnset[next]->t < b) active.push_back(byOnset[next++]);
    std::erase_if(active, [a](const RNote* note) { return note->end <= a; });
    if (b - a <= 0.05) continue;
    const WindowSound sound = soundIn(active, a, b);
    if (sound.present < 2) {
      if (!chords.empty()) chords.back().end = b;
      continue;
    }
    // A single line names a chord only where it spells three of its tones.
    const bool line = spelledOnly && singleLine(active, a, b);
    const Chord* previous = chords.empty() ? nullptr : &chords.back();
    double bestScore = 0;
    int bestRoot = -1;
    std::size_t bestShape = 0;
    for (int root = 0; root < 12; ++root) {
      for (std::size_t q = 0; q < shapes.size(); ++q) {
        auto score = shapeScore(shapes[q], q, root, sound, line, tonic, minor, previous);
        if (score && (bestRoot < 0 || *score > bestScore)) {
          bestScore = *score;
          bestRoot = root;
          bestShape = q;
        }
      }
    }
    if (bestRoot < 0) continue;  // a line that spells no chord: none is named
    const ChordShape& won = shapes[bestShape];
    if (previous && previous->root == bestRoot && previous->quality == won.quality) {
      chords.back().end = b;
    } else {
      chords.push_back({a, b, bestRoot, won.quality, won.intervals});
    }
  }
  return settled(std::move(chords), beat);
}

}  // namespace orvo
