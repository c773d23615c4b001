#pragma once
// The jazz course as data: the chords of a twelve-bar blues and a two five
// one in C, the scales a jam is heard against, the nine lessons (their talks,
// studies, tips, calls and goals) and the eleven composing ideas. Read-only
// tables; any thread.

#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvo {

struct JazzChord {
  int root = 0;            // pitch class
  std::string kind = "7";  // "7", "m7" or "maj7"
  int third() const { return (root + (kind == "m7" ? 3 : 4)) % 12; }
  int seventh() const { return (root + (kind == "maj7" ? 11 : 10)) % 12; }
  bool operator==(const JazzChord&) const = default;
};

const std::vector<JazzChord>& bluesBars();
const std::vector<JazzChord>& twoFiveOne();
const std::set<int>& bluesScale();
const std::set<int>& whiteKeys();

enum class JamGoal { swing, scale, space, calls, shells, targets, free };

struct JazzLesson {
  std::string title;
  std::string talk;
  std::string right;  // the right hand's study in tune notation; may be empty
  std::string left;   // the left hand's
  std::vector<JazzChord> bars;
  double bpm = 90;
  int choruses = 2;
  std::set<int> scale;
  JamGoal goal = JamGoal::free;
  std::string tip;
  bool comp = true;
  std::vector<std::string> calls;  // phrases the band plays for the player to answer
  bool hasStudy() const { return !right.empty() || !left.empty(); }
};

const std::vector<JazzLesson>& jazzLessons();

// The keys of the jazz menu, lessons 1 to 9: the octave below the easy songs.
inline constexpr std::array<int, 9> jazzMenuKeys = {24, 26, 28, 29, 31, 33, 35, 25, 27};

struct ComposeIdea {
  std::string title;
  std::string talk;
  std::vector<std::string> chords;  // chord names such as "C", "Am", "E7", "C/B"
  std::string melody;               // tune notation; may be empty
};

const std::vector<ComposeIdea>& composeIdeas();
// The notes of an idea's chord name ("C", "Am", "E7", "C/B"): the bass note
// (the root, or the note after the slash) in the octave below C3, then the
// chord from its root in the octave from C3. None for a name it cannot read.
std::optional<std::vector<int>> ideaChord(const std::string& name);
// What the player hears after an idea has been played.
const std::vector<std::string>& ideaInvitations();

}  // namespace orvo
