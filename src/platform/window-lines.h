#pragma once
// Every line the app window is sent, in one place: the verb and how its words
// are laid out. Lines without words are constants, so sending one from the
// note path does not allocate.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::lines {

inline std::string mode(std::string_view name) {
  return "mode " + std::string(name);
}
inline std::string_view paused(bool on) {
  return on ? "paused 1" : "paused 0";
}
inline std::string welcome(std::string_view text) {
  return "welcome " + std::string(text);
}
// The sentence the window shows as what the system is doing now; empty clears it.
inline std::string now(std::string_view text) {
  return "now " + std::string(text);
}
// The part of the song being taught ("Song: part 2 of 8, left hand"), a line of its own.
inline std::string lessonPart(std::string_view text) {
  return std::string(text);
}
inline std::string_view typing(bool on) {
  return on ? "typing 1" : "typing 0";
}
// The piano roll of a file playing: its first notes, more notes, the end.
inline constexpr std::string_view rollNew = "rollnew";
inline constexpr std::string_view rollMore = "rolln";
inline constexpr std::string_view rollStop = "rollstop";
inline constexpr std::string_view flashWrong = "flash wrong";
inline constexpr std::string_view flashGood = "flash good";
// The metronome's beat in the bar, 0 to 3, without allocating on its clock's thread.
inline constexpr std::string_view beat(long k) {
  constexpr std::string_view kBeats[4] = {"beat 0", "beat 1", "beat 2", "beat 3"};
  return kBeats[k % 4];
}
inline std::string hands(std::string_view side) {
  return "hands " + std::string(side);
}
inline std::string buttons(std::string_view keys) {
  return "buttons" + std::string(keys);
}
// The jazz course's lessons for the window's list: "jazzlessons Swing|The blues scale|...".
inline std::string jazzLessons(const std::vector<std::string>& titles) {
  std::string line = "jazzlessons ";
  for (std::size_t i = 0; i < titles.size(); ++i) line += (i ? "|" : "") + titles[i];
  return line;
}
// The song menu's keys, one line a level: "menulevel 1 36 Ode to Joy|38 Lullaby";
// level 0 is the jazz course's octave.
inline std::string menuLevel(int level, std::string_view keys) {
  return "menulevel " + std::to_string(level) + " " + std::string(keys);
}
inline std::string bandStyle(std::string_view style) {
  return "bandstyle " + std::string(style);
}
inline std::string bandLevel(int db) {
  char line[32];
  std::snprintf(line, sizeof line, "bandlevel %+d dB", db);
  return line;
}
inline std::string name(std::string_view user, std::string_view assistant) {
  return "name " + std::string(user) + "|" + std::string(assistant);
}
inline std::string keyboards(std::string_view names) {
  return "kbd " + std::string(names);
}
inline std::string voice(std::string_view name) {
  return "voice " + std::string(name);
}
// Where the voice and the music go and the outputs there are, by the names a
// person knows: "outputs USB Audio Headphones||Built-in Audio|USB Audio Headphones";
// an empty place is the usual output.
inline std::string outputs(std::string_view voice, std::string_view music,
                           const std::vector<std::string>& names) {
  auto field = [](std::string_view text) {
    std::string clean(text);
    for (char& c : clean) c = c == '|' ? '/' : c;
    return clean;
  };
  std::string line = "outputs " + field(voice) + "|" + field(music);
  for (const auto& name : names) line += "|" + field(name);
  return line;
}
inline std::string_view live(bool on) {
  return on ? "live 1" : "live 0";
}
inline std::string_view studio(bool on) {
  return on ? "daw 1" : "daw 0";
}
// Speech: the caption before the sound, its start, each word as it is spoken.
inline std::string say(std::string_view text) {
  return "say " + std::string(text);
}
inline constexpr std::string_view speechStart = "start";
inline std::string word(std::string_view word) {
  return "word " + std::string(word);
}
// A note in ("on") or out ("out"), written into a caller's buffer: no allocation.
inline std::string_view note(char (&line)[24], const char* verb, int note, int velocity) {
  int n = std::snprintf(line, sizeof line, "%s %d %d", verb, note, velocity);
  return {line, n > 0 ? static_cast<std::size_t>(n) : 0};
}
// The voice meter: a new sentence's frame length, then its band levels.
inline std::string meterHead(int id, double frameSeconds) {
  char line[64];
  std::snprintf(line, sizeof line, "spec %d new %.4f", id, frameSeconds);
  return line;
}
inline std::string meterFrames(int id) {
  return "spec " + std::to_string(id) + " ";
}

}  // namespace orvo::lines
