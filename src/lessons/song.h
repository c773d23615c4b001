#pragma once
// What the system teaches: songs as notes in beats, and the steps (what is
// pressed at one moment) and units (what is learned at one go) cut from them.

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace orvo {

// Hands: 0 right, 1 left, 2 both (units only).
struct SNote {
  double beat = 0;
  double dur = 1;
  int pitch = 60;
  int vel = 84;
  int hand = 0;
};

struct Song {
  std::string name;
  double bpm = 120;
  std::vector<SNote> notes;
  std::string remark;  // how the song was read, e.g. "Hands are split at middle C."
  int level = 1;       // 1 to 5
  double chordGap = 0.04;
  std::string fact;  // said when the song is opened from its start
  // The player's file it came from (none for a built-in song). A song listed
  // from a file has no notes until they are read for teaching or playing.
  std::filesystem::path file;
  bool notesToRead() const { return !file.empty() && notes.empty(); }
};

struct Step {
  double beat = 0;
  std::vector<int> pitches;  // ascending, no duplicates
};

struct Unit {
  int hand = 0;
  int from = 0;
  int to = 0;
  bool operator==(const Unit&) const = default;
};

inline const std::array<std::string, 5>& levelNames() {
  static const std::array<std::string, 5> names = {"Easy", "Moderately easy", "Moderate", "Hard",
                                                   "Very hard"};
  return names;
}

// Groups notes into steps: a note less than `gap` beats after the first onset
// of the last step joins it, so an arpeggio cannot creep into one step.
std::vector<Step> makeSteps(std::vector<SNote> notes, double gap);

}  // namespace orvo
