#include "compose/band.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace orvo {

namespace {

enum Channel { bass = 1, strings = 2, cello = 3, highStrings = 6, horn = 7, pad = 8, drums = 9 };

// What every part reads of the take: loudness, the melody and the onsets.
class Take {
 public:
  explicit Take(const std::vector<RNote>& notes) : notes_(notes) {
    std::vector<std::pair<double, int>> played;
    for (const RNote& note : notes) {
      if (note.cc < 0) played.emplace_back(note.t, note.vel);
    }
    std::sort(played.begin(), played.end());
    velocitySums_.push_back(0);
    for (auto [onset, velocity] : played) {
      if (onsets_.empty() || onset - onsets_.back() > 0.05) onsets_.push_back(onset);
      times_.push_back(onset);
      velocitySums_.push_back(velocitySums_.back() + velocity);
    }
  }

  // The sum and count of the velocities of the notes starting within `reach` of t.
  std::pair<double, int> velocitiesNear(double t, double reach) const {
    // note.t - t grows with note.t, so both edges are partition points.
    auto from = std::partition_point(times_.begin(), times_.end(),
                                     [&](double onset) { return onset - t < -reach; });
    auto to =
        std::partition_point(from, times_.end(), [&](double onset) { return onset - t <= reach; });
    const auto a = static_cast<std::size_t>(from - times_.begin());
    const auto b = static_cast<std::size_t>(to - times_.begin());
    return {static_cast<double>(velocitySums_[b] - velocitySums_[a]), static_cast<int>(b - a)};
  }

  // The mean velocity near t over 66, between 0.55 and 1.3; 0.8 with nobody near.
  double loud(double t) const {
    auto [sum, count] = velocitiesNear(t, 2.5);
    if (count == 0) return 0.8;
    return std::max(0.55, std::min(1.3, sum / count / 66.0));
  }

  // The highest player pitch from middle C up sounding at t.
  std::optional<int> melody(double t) const {
    std::optional<int> top;
    for (const RNote& note : notes_) {
      if (note.cc < 0 && note.pitch >= 60 && note.t <= t + 0.03 && note.end > t) {
        top = std::max(top.value_or(0), note.pitch);
      }
    }
    return top;
  }

  // The player onset nearest t within `reach`, if any.
  std::optional<double> onsetNear(double t, double reach) const {
    auto at = std::lower_bound(onsets_.begin(), onsets_.end(), t);
    std::optional<double> best;
    for (auto it : {at, at == onsets_.begin() ? at : at - 1}) {
      if (it == onsets_.end()) continue;
      if (std::fabs(*it - t) <= reach && (!best || std::fabs(*it - t) < std::fabs(*best - t)))
        best = *it;
    }
    return best;
  }

 private:
  const std::vector<RNote>& notes_;
  std::vector<double> onsets_;
  std::vector<double> times_;            // every onset, sorted
  std::vector<long long> velocitySums_;  // of the velocities before each of times_
};

// The pitch of a pitch class nearest `target`, below `limit`.
int nearest(int pitchClass, int target, int limit) {
  int best = -1;
  for (int pitch = pitchClass; pitch < limit && pitch < 128; pitch += 12) {
    if (best < 0 || std::abs(pitch - target) < std::abs(best - target)) best = pitch;
  }
  return best < 0 ? pitchClass : best;
}

struct Writer {
  const Take& take;
  Random& random;
  std::vector<RNote> out;

  double uniform() { return random.below(1 << 24) / static_cast<double>(1 << 24); }
  int velocity(double t, double base, double spread) {
    return static_cast<int>(take.loud(t) * base + (2 * uniform() - 1) * spread);
  }
  void note(int channel, double t, double end, int pitch, double base, double spread) {
    out.push_back({t, end, pitch, velocity(t, base, spread), channel, -1});
  }
};

struct Grid {
  std::vector<double> positions;  // n positions, then the chord's end
  int count() const { return static_cast<int>(positions.size()) - 1; }
  double at(int i) const { return positions[static_cast<std::size_t>(i)]; }
};

Grid gridOf(const Chord& chord, std::optional<double> beat, const Take& take) {
  const double length = chord.end - chord.start;
  int n = 1;
  if (beat && *beat > 0) {
    n = static_cast<int>(roundAway(length / *beat));
    if (n < 2) n = 1;
    if (n > 15) n = 16;
  }
  Grid grid;
  const double step = length / n;
  for (int i = 0; i < n; ++i) {
    double t = chord.start + i * step;
    if (n > 1 && i > 0) {
      if (auto onset = take.onsetNear(t, 0.22 * step)) t = *onset;
    }
    grid.positions.push_back(t);
  }
  grid.positions.push_back(chord.end);
  return grid;
}

bool hasFifth(const Chord& chord) {
  return std::find(chord.tones.begin(), chord.tones.end(), 7) != chord.tones.end();
}
int bassRoot(int root) {
  return 28 + (((root - 28) % 12) + 12) % 12;
}
int bassFifth(const Chord& chord) {
  const int u = (((chord.root - 28) % 12) + 12) % 12;
  if (!hasFifth(chord)) return 28 + u;
  return u <= 5 ? u + 35 : u + 23;
}

// 3 beats a bar when most chords of three or more positions count in threes.
int beatsPerBar(const std::vector<Grid>& grids) {
  int considered = 0, threes = 0;
  for (const Grid& grid : grids) {
    if (grid.count() < 3) continue;
    ++considered;
    if (grid.count() % 3 == 0 && grid.count() % 4 != 0) ++threes;
  }
  return considered > 0 && threes * 2 > considered ? 3 : 4;
}

// The bass: the root on each bar line of the chord, the fifth two beats on in
// 4-beat bars, and a note leading a semitone into a new root.
void bassPart(Writer& w, const std::vector<Chord>& chords, const std::vector<Grid>& grids,
              bool withBeat, int meter) {
  for (std::size_t c = 0; c < chords.size(); ++c) {
    const Chord& chord = chords[c];
    const Grid& grid = grids[c];
    const int n = grid.count();
    struct Hit {
      int position;
      int pitch;
      double base;
    };
    std::vector<Hit> hits;
    for (int bar = 0; bar < n; bar += (withBeat && n > 1 ? meter : n)) {
      hits.push_back({bar, bassRoot(chord.root), 76});
      if (meter == 4 && withBeat && bar + 2 < n) hits.push_back({bar + 2, bassFifth(chord), 58});
    }
    const bool change = c + 1 < chords.size() && chords[c + 1].root != chord.root;
    const double beat = n > 0 ? (chord.end - chord.start) / n : 10;
    if (change && n >= 3 && beat < 0.9 && withBeat) {
      const int target = bassRoot(chords[c + 1].root);
      std::erase_if(hits, [&](const Hit& hit) { return hit.position == n - 1; });
      hits.push_back({n - 1, target > 28 ? target - 1 : target + 1, 54});
    }
    std::sort(hits.begin(), hits.end(),
              [](const Hit& a, const Hit& b) { return a.position < b.position; });
    for (std::size_t h = 0; h < hits.size(); ++h) {
      const double t = grid.at(hits[h].position);
      const double until = h + 1 < hits.size() ? grid.at(hits[h + 1].position) : chord.end;
      w.note(bass, t, std::max(t + 0.1, until - 0.04), hits[h].pitch, hits[h].base, 4);
    }
  }
}

// Strings: the chord held under the melody, struck again halfway through long chords.
void stringsPart(Writer& w, const std::vector<Chord>& chords) {
  for (const Chord& chord : chords) {
    const auto melody = w.take.melody(chord.start);
    const int limit = melody ? std::max(58, *melody - 2) : 74;
    const double length = chord.end - chord.start;
    std::vector<double> strikes = {chord.start};
    if (length > 3.2) strikes.push_back(chord.start + length / 2);
    for (std::size_t s = 0; s < strikes.size(); ++s) {
      const double t = strikes[s] + 0.02;
      const double end = s + 1 < strikes.size() ? strikes[s + 1] : chord.end;
      for (std::size_t i = 0; i < chord.tones.size() && i < 3; ++i) {
        const int pitch =
            nearest((chord.root + chord.tones[i]) % 12, 55 + 2 * static_cast<int>(i), limit);
        w.note(strings, t, end - 0.02, pitch, s == 0 ? 44 : 42, 3);
      }
    }
  }
}

// Cello: the root low, and in longer chords the fifth, then the root again.
void celloPart(Writer& w, const std::vector<Chord>& chords) {
  for (const Chord& chord : chords) {
    const double length = chord.end - chord.start;
    const int root = nearest(chord.root % 12, 45, 55);
    const int fifth = hasFifth(chord) ? nearest((chord.root + 7) % 12, 47, 57) : root;
    if (length > 2.2) {
      const double half = chord.start + length / 2;
      w.note(cello, chord.start + 0.03, half - 0.02, root, 58, 4);
      if (length > 4.5) {
        const double late = chord.start + length * 0.75;
        w.note(cello, half, late - 0.02, fifth, 56, 4);
        w.note(cello, late, chord.end - 0.02, root, 50, 4);
      } else {
        w.note(cello, half, chord.end - 0.02, fifth, 56, 4);
      }
    } else {
      w.note(cello, chord.start + 0.03, chord.end - 0.02, root, 58, 4);
    }
  }
}

// High strings: the chord's third (or top tone) an octave up, still under the melody.
void highStringsPart(Writer& w, const std::vector<Chord>& chords) {
  for (const Chord& chord : chords) {
    const auto melody = w.take.melody(chord.start);
    const int limit = melody ? *melody - 2 : 84;
    const int tone = chord.tones.size() > 1 ? chord.tones[1] : 0;
    const int pitch = nearest((chord.root + tone) % 12, 72, limit);
    if (pitch < 60) continue;  // no room under the melody
    w.note(highStrings, chord.start + 0.05, chord.end - 0.02, pitch, 34, 2);
  }
}

// Horn: the fifth (or root) in the middle register, on chords long enough to breathe.
void hornPart(Writer& w, const std::vector<Chord>& chords) {
  for (const Chord& chord : chords) {
    if (chord.end - chord.start < 1.5) continue;
    const int pc = (chord.root + (hasFifth(chord) ? 7 : 0)) % 12;
    w.note(horn, chord.start + 0.06, chord.end - 0.05, nearest(pc, 58, 65), 40, 3);
  }
}

// Warm pad: the whole chord, soft, around middle C.
void padPart(Writer& w, const std::vector<Chord>& chords) {
  for (const Chord& chord : chords) {
    const auto melody = w.take.melody(chord.start);
    const int limit = melody ? std::max(60, *melody - 1) : 72;
    for (int interval : chord.tones) {
      w.note(pad, chord.start, chord.end, nearest((chord.root + interval) % 12, 60, limit), 32, 2);
    }
  }
}

// Drums: kick, backbeat and hi-hats on the grid, a crash to open; each hit
// placed on the player's onset when one is close.
void drumsPart(Writer& w, const std::vector<Chord>& chords, const std::vector<Grid>& grids,
               double beat, int meter) {
  auto hit = [&](double t, int key, double base) {
    if (auto onset = w.take.onsetNear(t, 0.04)) t = *onset;
    w.note(drums, t, t + 0.1, key, base, 3);
  };
  for (std::size_t c = 0; c < chords.size(); ++c) {
    const Grid& grid = grids[c];
    const int n = grid.count();
    if (n <= 1) continue;
    const bool snare = beat <= 0.6 && w.take.loud(chords[c].start) >= 0.9;
    auto backbeat = [&](double t) { snare ? hit(t, 38, 64) : hit(t, 37, 50); };
    if (c == 0) hit(grid.at(0), 49, 46);
    for (int i = 0; i < n; ++i) {
      const double t = grid.at(i);
      const int inBar = i % meter;
      if (meter == 4) {
        if (inBar == 0) hit(t, 36, 80);
        if (inBar == 1 || inBar == 3) backbeat(t);
        if (inBar == 2) hit(t, 36, 62);
      } else {
        inBar == 0 ? hit(t, 36, 76) : hit(t, 37, 42);
      }
      hit(t, 42, inBar == 0 ? 44 : 36);
      if (beat > 0.4) hit((t + grid.at(i + 1)) / 2, 42, 24);
    }
  }
}

// The classic band: bass and cello on the roots and the strings' chord, one
// voicing a chord, the bass struck again on long chords; no drums.
void classicParts(Writer& w, const std::vector<Chord>& chords, std::optional<double> beat) {
  for (const Chord& chord : chords) {
    const double bar = beat ? std::max(1.6, 4 * *beat) : 2.0;
    for (double t = chord.start; t < chord.end - 0.1; t += bar) {
      w.note(bass, t, std::min(chord.end, t + bar) - 0.04, bassRoot(chord.root),
             t == chord.start ? 76 : 58, 4);
    }
  }
  stringsPart(w, chords);
  celloPart(w, chords);
}

// Every band note inside the MIDI range, audible, starting at 0 or later,
// ending after it starts, and never on the player's channel.
std::vector<RNote> finished(std::vector<RNote> band) {
  std::vector<RNote> out;
  out.reserve(band.size());
  for (RNote note : band) {
    if (!std::isfinite(note.t) || !std::isfinite(note.end)) continue;
    if (note.ch == 0) continue;
    note.t = std::max(0.0, note.t);
    if (note.cc < 0) {
      note.pitch = std::clamp(note.pitch, 0, 127);
      note.vel = std::clamp(note.vel, 1, 127);
      if (note.end <= note.t) note.end = note.t + 0.05;
    }
    out.push_back(note);
  }
  return out;
}

// Expression on one channel, every 0.2 s, as the chord swells and the piece arcs.
std::vector<RNote> expression(const std::vector<Chord>& chords, const Take& take) {
  std::vector<RNote> out;
  const double last = chords.back().end;
  const double half = last / 2;
  int sent = -100;
  std::size_t current = 0;
  for (int step = 0;; ++step) {
    const double t = step * 0.2;
    if (t > last + 0.2 + 1e-9) break;
    // The chords come in time order, and t only grows.
    while (current + 1 < chords.size() && chords[current + 1].start <= t + 0.001) ++current;
    const Chord* chord = &chords[current];
    const double length = chord->end - chord->start;
    const double p = length >= 0.5 ? (t - chord->start) / length : 2 * (t - chord->start);
    const double x = std::clamp(p, 0.0, 1.0);
    const double swell = x < 0.35 ? 0.74 + 0.26 * (x / 0.35) : 1 - 0.2 * (x - 0.35) / 0.65;
    const double arc = 0.72 + 0.28 * std::min(1.0, half < 1 ? t : t / half);
    auto [sum, count] = take.velocitiesNear(t, 3.0);
    double loudness = 0.91;
    if (count > 0) {
      const double mean = std::min(1.25, sum / count / 66.0);
      loudness = mean >= 0.6 ? 0.55 + 0.45 * mean : 0.82;
    }
    double v = swell * arc * loudness;
    if (t < 1.5) v *= 0.45 + 0.55 * t / 1.5;
    if (chord == &chords.back()) v *= 1 - 0.6 * x;
    const int value = std::clamp(static_cast<int>(v * 75 + 52), 38, 127);
    if (std::abs(value - sent) > 1) {
      out.push_back({t, t, 0, value, 0, 11});
      sent = value;
    }
  }
  out.push_back({last + 0.4, last + 0.4, 0, 127, 0, 11});
  return out;
}

}  // namespace

std::string bandStyleFrom(const std::string& fileText) {
  std::string style;
  for (char c : fileText) {
    if (!std::isspace(static_cast<unsigned char>(c))) style += c;
  }
  return style == "simple" || style == "full" ? style : "classic";
}

std::string nextBandStyle(const std::string& style) {
  if (style == "classic") return "full";
  if (style == "full") return "simple";
  return "classic";
}

std::string bandStyleSentence(const std::string& style) {
  if (style == "classic") return "Classic band: bass, strings and cello, the way it first was.";
  if (style == "simple") return "Simple band: bass, strings and cello, in the newer sound.";
  return "Full band: with high strings, horn and pad.";
}

std::vector<int> bandChannels(const std::string& style) {
  if (style == "full") return {bass, strings, cello, highStrings, horn, pad, drums};
  if (style == "simple") return {bass, strings, cello, drums};
  return {bass, strings, cello};
}

std::vector<RNote> bandParts(const std::vector<RNote>& notes, const Analysis& analysis,
                             const std::string& style, Random& random) {
  Take take(notes);
  Writer w{take, random, {}};
  std::vector<Chord> chords;
  for (const Chord& chord : analysis.chords) {
    if (chord.end - chord.start > 0.05) chords.push_back(chord);
  }
  if (chords.empty()) return {};
  if (style != "simple" && style != "full") {
    classicParts(w, chords, analysis.beat);
    return settle(finished(std::move(w.out)), notes);
  }
  std::vector<Grid> grids;
  for (const Chord& chord : chords) grids.push_back(gridOf(chord, analysis.beat, take));
  const int meter = beatsPerBar(grids);
  const bool withBeat = analysis.beat.has_value();
  bassPart(w, chords, grids, withBeat, meter);
  stringsPart(w, chords);
  celloPart(w, chords);
  if (style == "full") {
    highStringsPart(w, chords);
    hornPart(w, chords);
    padPart(w, chords);
  }
  if (withBeat) drumsPart(w, chords, grids, *analysis.beat, meter);
  return settle(finished(std::move(w.out)), notes);
}

std::vector<RNote> bandFull(const std::vector<RNote>& notes, const Analysis& analysis,
                            const std::string& style, Random& random) {
  std::vector<RNote> band = bandParts(notes, analysis, style, random);
  if (style != "simple" && style != "full") return band;
  Take take(notes);
  std::vector<Chord> chords;
  for (const Chord& chord : analysis.chords) {
    if (chord.end - chord.start > 0.05) chords.push_back(chord);
  }
  if (chords.empty()) return band;
  // One curve, sent to every sustained part that plays.
  const std::vector<RNote> curve = expression(chords, take);
  for (int channel : {strings, cello, highStrings, horn, pad}) {
    const bool plays = std::any_of(band.begin(), band.end(), [&](const RNote& note) {
      return note.ch == channel && note.cc < 0;
    });
    if (!plays) continue;
    for (RNote record : curve) {
      record.ch = channel;
      band.push_back(record);
    }
  }
  return band;
}

std::vector<std::pair<std::string, std::vector<RNote>>> bandTracks(const std::vector<RNote>& band) {
  static const std::pair<int, const char*> kOrder[] = {
      {bass, "Bass"}, {strings, "Strings"}, {cello, "Cello"}, {highStrings, "High strings"},
      {horn, "Horn"}, {pad, "Warm pad"},    {drums, "Drums"}};
  std::vector<std::pair<std::string, std::vector<RNote>>> tracks;
  for (auto [channel, name] : kOrder) {
    std::vector<RNote> records;
    bool anyNote = false;
    for (const RNote& note : band) {
      if (note.ch != channel) continue;
      records.push_back(note);
      anyNote = anyNote || note.cc < 0;
    }
    if (anyNote) tracks.emplace_back(name, std::move(records));
  }
  return tracks;
}

std::vector<RNote> settle(const std::vector<RNote>& band, const std::vector<RNote>& against) {
  std::vector<RNote> out;
  out.reserve(band.size());
  // The player's notes by start, so each band note looks only at those that
  // can overlap it: started at most the longest note's length before it.
  std::vector<const RNote*> players;
  double longest = 0;
  for (const RNote& player : against) {
    if (player.cc >= 0) continue;
    players.push_back(&player);
    longest = std::max(longest, player.end - player.t);
  }
  std::sort(players.begin(), players.end(),
            [](const RNote* a, const RNote* b) { return a->t < b->t; });
  std::vector<std::pair<double, double>> clashes;
  for (const RNote& note : band) {
    if (note.ch == drums || note.cc >= 0) {
      out.push_back(note);
      continue;
    }
    clashes.clear();
    auto first = std::partition_point(players.begin(), players.end(), [&](const RNote* p) {
      return p->t < note.t - longest - 1.0;
    });
    for (auto it = first; it != players.end() && (*it)->t < note.end; ++it) {
      const RNote& player = **it;
      const int distance = ((player.pitch - note.pitch) % 12 + 12) % 12;
      if (distance != 1 && distance != 11) continue;
      const double from = std::max(note.t, player.t), to = std::min(note.end, player.end);
      if (to - from > 0.3) clashes.emplace_back(from, to);
    }
    if (clashes.empty()) {
      out.push_back(note);
      continue;
    }
    std::sort(clashes.begin(), clashes.end());
    double from = note.t;
    for (auto [start, stop] : clashes) {
      if (start > from + 0.05) {
        RNote piece = note;
        piece.t = from;
        piece.end = start;
        out.push_back(piece);
      }
      from = std::max(from, stop);
    }
    if (note.end > from + 0.05) {
      RNote piece = note;
      piece.t = from;
      piece.end = note.end;
      out.push_back(piece);
    }
  }
  return out;
}

std::vector<RNote> bandWherePianoPlays(const std::vector<RNote>& band,
                                       const std::vector<RNote>& piano, double pad) {
  // The stretches the piano plays in, padded and merged, in time order.
  std::vector<std::pair<double, double>> playing;
  for (const RNote& note : piano) {
    if (note.cc < 0) playing.push_back({note.t - pad, std::max(note.end, note.t) + pad});
  }
  std::sort(playing.begin(), playing.end());
  std::vector<std::pair<double, double>> merged;
  for (const auto& stretch : playing) {
    if (!merged.empty() && stretch.first <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, stretch.second);
    } else {
      merged.push_back(stretch);
    }
  }
  std::vector<RNote> kept;
  kept.reserve(band.size());
  for (RNote note : band) {
    auto after = std::upper_bound(merged.begin(), merged.end(), note.t,
                                  [](double t, const auto& stretch) { return t < stretch.first; });
    if (after == merged.begin() || note.t > std::prev(after)->second) continue;
    if (note.cc < 0) note.end = std::min(note.end, std::prev(after)->second);
    kept.push_back(note);
  }
  return kept;
}

}  // namespace orvo
