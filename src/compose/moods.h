#pragma once
// The six moods a piece can be made up in, and finding one named in a
// request. Values and pure functions; any thread.

#include <optional>
#include <string>
#include <vector>

namespace orvo {

struct MoodChord {
  int step = 0;  // semitones above the tonic
  bool minor = false;
};

struct Mood {
  std::string name;
  bool minor = false;
  std::vector<MoodChord> chords;
  double seconds = 2.0;  // per chord
  double busy = 0.5;     // 0..1: how many melody notes a chord gets
  std::vector<std::string> words;
};

const std::vector<Mood>& moods();
const Mood* moodNamed(const std::string& name);

// The first mood whose words hold one of the heard words; failing that, the
// first whose extra words (`extra(name)`) do; nothing otherwise.
std::optional<Mood> moodIn(const std::vector<std::string>& heardWords,
                           const std::vector<std::string>& (*extra)(const std::string& mood));

}  // namespace orvo
