#include "compose/insights.h"

#include <algorithm>

#include "compose/when-text.h"

namespace orvo {

const std::vector<KnownLoop>& knownLoops() {
  static const std::vector<KnownLoop> table = {
      {false,
       {0, 7, 9, 5},
       "It uses the one, five, six, four loop, the most loved chord loop in pop."},
      {false,
       {9, 5, 0, 7},
       "It uses the six, four, one, five loop, the same one behind a lot of film and pop "
       "ballads."},
      {false,
       {0, 9, 5, 7},
       "It uses the one, six, four, five loop, the classic sound of nineteen fifties songs."},
      {false, {0, 5, 9, 7}, "It uses a one, four, six, five loop, bright and open."},
      {false, {2, 7, 0}, "It has a two, five, one, the cadence at the heart of jazz."},
      {false, {0, 5, 7}, "It is built on one, four and five, the three main chords of the key."},
      {true,
       {0, 8, 3, 10},
       "It uses the one, six, three, seven minor loop, the big cinematic one."},
      {true,
       {0, 10, 8, 7},
       "It walks down one, seven, six, five: the Andalusian cadence, from flamenco."},
      {true, {0, 10, 8, 10}, "It rocks between one, seven and six, a classic minor-key pattern."},
      {true, {0, 5, 7}, "It is built on one, four and five in the minor."},
  };
  return table;
}

std::vector<int> rootPath(const Analysis& analysis) {
  std::vector<int> path;
  for (const Chord& chord : analysis.spelled) {
    const int degree = ((chord.root - analysis.tonic) % 12 + 12) % 12;
    if (path.empty() || path.back() != degree) path.push_back(degree);
  }
  return path;
}

namespace {

int degreeOf(const Analysis& analysis, const Chord& chord) {
  return ((chord.root - analysis.tonic) % 12 + 12) % 12;
}

bool majorType(const std::string& quality) {
  const bool seventh =
      quality.size() >= 7 && quality.compare(quality.size() - 7, 7, "seventh") == 0;
  return quality == "major" || (seventh && quality.rfind("minor", 0) != 0);
}

bool minorQuality(const std::string& quality) {
  return quality.rfind("minor", 0) == 0;
}

// The first chord on `degree` that passes `kind`, when such chords last 2 s in all.
const Chord* colourChord(const Analysis& analysis, int degree, bool (*kind)(const std::string&)) {
  const Chord* first = nullptr;
  double total = 0;
  for (const Chord& chord : analysis.spelled) {
    if (degreeOf(analysis, chord) != degree || !kind(chord.quality)) continue;
    if (!first) first = &chord;
    total += chord.end - chord.start;
  }
  return total >= 2.0 ? first : nullptr;
}

std::vector<std::string> colour(const Analysis& analysis) {
  std::vector<std::string> out;
  auto name = [&](const Chord* chord) { return analysis.name(*chord); };
  if (!analysis.minor) {
    if (const Chord* c = colourChord(analysis, 5, minorQuality)) {
      out.push_back("The " + name(c) +
                    " chord is borrowed from the minor key. That is where the bittersweet colour "
                    "comes from.");
    } else if (const Chord* c = colourChord(analysis, 10, majorType)) {
      out.push_back("The " + name(c) +
                    " chord is from outside the key. It gives a warm, rock-like lift.");
    } else if (const Chord* c = colourChord(analysis, 8, majorType)) {
      out.push_back("The " + name(c) +
                    " chord is borrowed from the minor key, a dramatic, film-score colour.");
    }
    return out;
  }
  if (const Chord* c = colourChord(analysis, 5, majorType)) {
    out.push_back("The " + name(c) +
                  " chord is brighter than a minor key normally allows. That is the Dorian sound: "
                  "minor, but hopeful.");
  } else if (const Chord* c = colourChord(analysis, 7, majorType)) {
    out.push_back("The " + name(c) +
                  " chord pulls strongly back home. That is the harmonic minor at work.");
  }
  const Chord& last = analysis.spelled.back();
  if (degreeOf(analysis, last) == 0 && last.quality == "major") {
    out.push_back("It ends on a major chord in a minor key, an old trick called a Picardy third.");
  }
  return out;
}

}  // namespace

std::vector<std::string> insights(const Analysis& analysis, const std::vector<SavedPiece>& earlier,
                                  Random& random, double now) {
  const std::vector<int> path = rootPath(analysis);
  std::vector<std::string> out;
  if (path.size() < 2) return out;

  for (const KnownLoop& known : knownLoops()) {
    if (known.minor != analysis.minor) continue;
    if (std::search(path.begin(), path.end(), known.roots.begin(), known.roots.end()) !=
        path.end()) {
      out.push_back(known.sentence);
      break;
    }
  }
  for (std::string& sentence : colour(analysis)) out.push_back(std::move(sentence));

  if (analysis.spelled.size() >= 3) {
    const Chord& last = analysis.spelled.back();
    const int degree = degreeOf(analysis, last);
    const std::string tonic = analysis.tonicName();
    if (degree == 7) {
      out.push_back("It stops on the five chord, which leaves a question hanging. End on " + tonic +
                    " to answer it.");
    } else if (degree == 0) {
      out.push_back(random.pick(std::vector<std::string>{"It ends at home, so it feels finished.",
                                                         "It comes to rest on the home chord."}));
    } else {
      out.push_back("It ends away from home, on " + analysis.name(last) +
                    ", so it feels open. End on " + tonic + " if you want it to close.");
    }
  }

  if (path.size() >= 4) {
    for (auto piece = earlier.rbegin(); piece != earlier.rend(); ++piece) {
      if (piece->roots.size() < 4) continue;
      if (std::equal(path.begin(), path.begin() + 4, piece->roots.begin())) {
        out.push_back("It opens with the same chord movement as the piece you saved " +
                      whenText(piece->date, now) + ".");
        break;
      }
    }
  }
  if (!earlier.empty() && earlier.back().key == analysis.keyName()) {
    out.push_back("Same key as your last piece.");
  }
  if (out.size() > 4) out.resize(4);
  return out;
}

}  // namespace orvo
