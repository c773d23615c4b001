#pragma once
// What the window shows, as one plain value: each line the engine sends
// ("@" + verb + words) changes it. The window draws from it and nothing else,
// so every line's effect can be tested without a screen. Unknown verbs and
// lines that do not parse change nothing.
//
// Threads: none of its own; the window applies lines on its main loop.

#include <array>
#include <bitset>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::window {

// One note of a piano roll: start and length in seconds, key, loudness, track.
struct RollNote {
  double t = 0;
  double dur = 0;
  int pitch = 60;
  int vel = 64;
  int track = 0;
};

struct WindowState {
  // Long lines are kept only as far as a screen can show: a runaway line
  // never grows the window's memory.
  static constexpr std::size_t kLongestText = 4000;
  static constexpr std::size_t kMostRollNotes = 20000;
  static constexpr std::size_t kMostOutputs = 64;

  std::string caption;    // the sentence being said ("say")
  bool speaking = false;  // its sound has begun ("start") and no new sentence came
  std::string word;       // the word being said now
  std::string heard;      // what the listener heard
  bool earsOff = false;
  std::string mode = "idle";
  std::string now;  // what plays or happens now
  bool paused = false;
  bool typingNow = false;  // a name or a question is being typed
  std::string typing;      // what has been typed so far
  std::string keyboards;   // the keyboards connected, or empty
  std::string voice;
  // The sound outputs there are, and where the voice and the music go (empty:
  // the usual output), by the names a person knows.
  std::vector<std::string> outputs;
  std::string voiceOutput;
  std::string musicOutput;
  std::string bandStyle;
  std::string bandLevel;
  bool liveBand = false;
  std::string hands;
  std::string userName;
  std::string assistantName = "Orvo";
  std::string welcome;
  std::string vocabulary;   // words the recogniser should expect
  bool studioOpen = false;  // Logic Pro runs

  enum class Flash { none, good, wrong };
  Flash flash = Flash::none;
  int flashes = 0;  // counts flashes, so the same flash twice still shows
  int beat = -1;    // the metronome's beat in the bar; -1 when none came
  int beats = 0;

  std::bitset<128> played;   // keys held on the piano ("on")
  std::bitset<128> sounded;  // keys Orvo sounds ("out")
  std::vector<int> buttons;  // the keys that act as buttons

  std::vector<RollNote> roll;
  bool rollPlaying = false;

  bool largeText = false;
  bool highContrast = false;
  // The last window request ("bigger", "smaller", "full", "normal"), and a
  // count so the same request twice still acts.
  std::string windowRequest;
  int windowRequests = 0;

  // Lines that changed something, and lines left alone (unknown or broken).
  long applied = 0;
  long ignored = 0;
};

// Applies one line as the engine wrote it ("@" + verb, with or without its
// line end). A line without "@" is a sentence printed instead of spoken,
// shown as the caption.
void applyLine(WindowState& state, std::string_view line);

// "Piano: Keystation 88": the keyboards line as a person would read it.
std::string describeKeyboards(const WindowState& state);
// "home", "lesson": the mode as a person says it.
std::string modeWords(const std::string& mode);

}  // namespace orvo::window
