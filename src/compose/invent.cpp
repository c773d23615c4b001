#include "compose/invent.h"

#include <algorithm>
#include <cmath>

#include "compose/band.h"

namespace orvo {

namespace {

constexpr int kMajor[] = {0, 2, 4, 5, 7, 9, 11};
constexpr int kMinor[] = {0, 2, 3, 5, 7, 8, 10};

double uniform(Random& random, double low, double high) {
  return low + (high - low) * random.below(1001) / 1000.0;
}

int velocity(Random& random, int low, int high) {
  return low + random.below(high - low + 1);
}

// The pitch of a pitch class nearest to `near`, within low..high.
int nearestOf(int pitchClass, int near, int low, int high) {
  int best = low, bestDistance = 1000;
  for (int pitch = low; pitch <= high; ++pitch) {
    if (((pitch % 12) + 12) % 12 != pitchClass) continue;
    const int distance = std::abs(pitch - near);
    if (distance < bestDistance) {
      best = pitch;
      bestDistance = distance;
    }
  }
  return best;
}

bool inScale(int pitch, int tonic, bool minor) {
  const int degree = ((pitch - tonic) % 12 + 12) % 12;
  const auto& scale = minor ? kMinor : kMajor;
  return std::find(std::begin(scale), std::end(scale), degree) != std::end(scale);
}

// The next scale note up (+1) or down (-1) from a pitch.
int scaleStep(int pitch, int direction, int tonic, bool minor) {
  int next = pitch + direction;
  while (!inScale(next, tonic, minor)) next += direction;
  return next;
}

}  // namespace

std::vector<RNote> invent(int tonic, const Mood& mood, Random& random) {
  tonic = ((tonic % 12) + 12) % 12;
  std::vector<RNote> notes;
  const double span = mood.seconds;
  // Happy and hopeful pieces lean on a light swing: the off-beat comes late.
  const bool swing = mood.name == "happy" || mood.name == "hopeful";
  int melody = nearestOf(tonic, 72, 67, 79);
  const std::size_t count = mood.chords.size();
  for (std::size_t i = 0; i < count; ++i) {
    const MoodChord& chord = mood.chords[i];
    const double start = static_cast<double>(i) * span;
    const double end = start + span;
    const bool last = i + 1 == count;
    const int root = (tonic + chord.step) % 12;
    const int third = (root + (chord.minor ? 3 : 4)) % 12;
    const int fifth = (root + 7) % 12;

    // A minor piece keeps to its own scale: a major chord whose third falls
    // outside it (the fourth or fifth of the key made major) is played open,
    // so the key still sounds minor.
    const bool openChord =
        mood.minor && !inScale(tonic + chord.step + 4, tonic, true) && !chord.minor;

    // Left hand: the root low and held, then the third and fifth above it,
    // broken in busy moods and together in calm ones. They sit from C3 up, so
    // they never read as a new bass note under the next chord's.
    const int bass = nearestOf(root, 40, 36, 47);
    notes.push_back({start, end - 0.02, bass, velocity(random, 58, 68), 0, -1});
    const int low = std::max(bass + 3, 48);
    const int upperThird = nearestOf(third, bass + 12, low, low + 11);
    const int upperFifth = nearestOf(fifth, bass + 12, low, low + 11);
    std::vector<int> upper = {upperFifth};
    if (!openChord) upper.push_back(upperThird);
    if (mood.busy >= 0.6 && !last) {
      const double step = span / 4;
      for (int k = 0; k < 3; ++k) {
        const double t = start + step * (k + 1);
        const int pitch = upper[static_cast<std::size_t>(k) % upper.size()];
        notes.push_back({t, t + step * 0.95, pitch, velocity(random, 40, 50), 0, -1});
      }
    } else {
      for (int pitch : upper)
        notes.push_back({start + 0.03, end - 0.05, pitch, velocity(random, 40, 50), 0, -1});
    }

    // Melody: a chord tone on the downbeat, then steps towards the next one.
    const int notesHere = last ? 1 : 2 + static_cast<int>(std::lround(mood.busy * 4));
    const int tones[] = {root, openChord ? root : third, fifth};
    const int target = last ? tonic : tones[random.below(3)];
    melody = nearestOf(target, melody, 62, 84);
    const double each = span / notesHere;
    for (int k = 0; k < notesHere; ++k) {
      double t = start + each * k;
      if (swing && k % 2 == 1) t += each * 0.18;
      if (k > 0) {
        const int direction = random.below(2) == 0 ? -1 : 1;
        int next = scaleStep(melody, direction, tonic, mood.minor);
        // Every other note falls back onto a chord tone, so the chord stays clear.
        if (k % 2 == 0) next = nearestOf(tones[random.below(3)], next, 62, 84);
        melody = std::clamp(next, 62, 84);
      }
      const double length = last ? span - 0.05 : each * uniform(random, 0.75, 0.95);
      const int loud = k == 0 ? velocity(random, 70, 84) : velocity(random, 56, 72);
      notes.push_back({t, t + length, melody, loud, 0, -1});
    }
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const RNote& a, const RNote& b) { return a.t < b.t; });
  return notes;
}

const std::vector<std::string>& restyleNames() {
  static const std::vector<std::string> names = {"lullaby", "8-bit", "epic"};
  return names;
}

std::string restyleTitle(const std::string& style) {
  if (style == "lullaby") return "Your piece, as a lullaby";
  if (style == "8-bit") return "Your piece, as a video game";
  if (style == "epic") return "Your piece, as a film score";
  return "";
}

std::string restyleSentence(const std::string& style) {
  return restyleTitle(style) + ".";
}

namespace {

// A piece in a new style: its tune, and the band made for it.
struct Restyled {
  std::vector<RNote> tune;
  std::vector<RNote> band;
};

// The tune on the music box, an octave up when it sits low, softly; the left
// hand stays on the piano, and the classic band hums under it.
Restyled lullaby(const std::vector<RNote>& lead, const Analysis& timed, Random& random) {
  Restyled made;
  for (RNote note : lead) {
    if (note.pitch >= 60) {
      note.ch = 4;
      while (note.pitch < 72) note.pitch += 12;
      note.vel = std::clamp(note.vel * 3 / 4, 20, 90);
    } else {
      note.vel = std::clamp(note.vel / 2, 15, 60);
    }
    made.tune.push_back(note);
  }
  made.band = bandFull(lead, timed, "classic", random);
  for (RNote& note : made.band) {
    if (note.cc < 0) note.vel = std::clamp(note.vel * 3 / 5, 10, 80);
  }
  return made;
}

// Short square-wave notes for the tune, the small band's bass and drums under it.
Restyled videoGame(const std::vector<RNote>& lead, const Analysis& timed, Random& random) {
  Restyled made;
  for (RNote note : lead) {
    note.ch = 10;
    note.end = std::min(note.end, note.t + 0.16);
    note.vel = std::clamp(note.vel, 60, 100);
    made.tune.push_back(note);
  }
  for (RNote& note : bandFull(lead, timed, "simple", random)) {
    if (note.ch == 1 || note.ch == 9) made.band.push_back(note);
  }
  return made;
}

// The film score: the piano doubled an octave down, the full band, and the
// timpani striking every chord's root.
Restyled filmScore(const std::vector<RNote>& lead, const Analysis& timed, Random& random) {
  Restyled made;
  for (RNote note : lead) {
    note.vel = std::clamp(note.vel + 10, 1, 120);
    made.tune.push_back(note);
    if (note.pitch >= 48) {
      note.pitch -= 12;
      note.vel = std::clamp(note.vel - 15, 1, 110);
      made.tune.push_back(note);
    }
  }
  made.band = bandFull(lead, timed, "full", random);
  for (const Chord& chord : timed.chords) {
    const int root = nearestOf(chord.root % 12, 45, 40, 52);
    made.band.push_back({chord.start, std::min(chord.end, chord.start + 1.2), root,
                         velocity(random, 80, 100), 11, -1});
  }
  return made;
}

}  // namespace

std::vector<RNote> restyled(const std::vector<RNote>& piece, const Analysis& analysis,
                            const std::string& style, Random& random) {
  if (std::find(restyleNames().begin(), restyleNames().end(), style) == restyleNames().end()) {
    return {};
  }
  // A lullaby is slower, a video game quicker; the band is made for the new times.
  const double stretch = style == "lullaby" ? 1.3 : style == "8-bit" ? 0.9 : 1.0;
  std::vector<RNote> lead;
  for (const RNote& note : piece) {
    if (note.cc >= 0) continue;
    RNote moved = note;
    moved.t = note.t * stretch;
    moved.end = note.end * stretch;
    lead.push_back(moved);
  }
  Analysis timed = analysis;
  timed.length = analysis.length * stretch;
  if (timed.beat) *timed.beat *= stretch;
  for (Chord& chord : timed.chords) {
    chord.start *= stretch;
    chord.end *= stretch;
  }

  Restyled made = style == "lullaby" ? lullaby(lead, timed, random)
                  : style == "8-bit" ? videoGame(lead, timed, random)
                                     : filmScore(lead, timed, random);
  std::vector<RNote> out = std::move(made.tune);
  for (RNote& note : settle(made.band, out)) out.push_back(note);
  for (RNote& note : out) {
    if (note.cc < 0) note.pitch = std::clamp(note.pitch, 21, 108);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const RNote& a, const RNote& b) { return a.t < b.t; });
  return out;
}

}  // namespace orvo
