#pragma once
// A song cut for teaching: its steps for each hand, grouped into short parts,
// and the units that teach them (a part alone, then joined to the one
// before, and at the end the whole song).

#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lessons/music-words.h"
#include "lessons/song.h"

namespace orvo {

class Lesson {
 public:
  // `handsOnly`: "both", "right" or "left".
  Lesson(Song song, const std::string& handsOnly = "both");

  Song song;
  NoteNames names;
  std::vector<double> bounds;              // the beat each part begins at; the first is -1
  std::array<std::vector<Step>, 3> steps;  // right, left, both
  std::vector<Unit> units;

  int partCount() const { return static_cast<int>(bounds.size()); }
  std::pair<double, double> window(const Unit& unit) const;
  std::vector<Step> stepsIn(const Unit& unit) const;
  std::vector<SNote> notesIn(const Unit& unit) const;
  std::string intro(const Unit& unit) const;
  std::optional<int> sameAs(const Unit& unit) const;
  std::string describe(const std::vector<Step>& steps) const;
  std::string describe(const Unit& unit) const;
  bool bothHands() const { return !steps[0].empty() && !steps[1].empty(); }
};

}  // namespace orvo
