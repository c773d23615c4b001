#include "lessons/music-words.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>

namespace orvo {

const NoteNames& sharpNames() {
  static const NoteNames table = {"C",       "C sharp", "D",       "D sharp", "E",       "F",
                                  "F sharp", "G",       "G sharp", "A",       "A sharp", "B"};
  return table;
}

const NoteNames& flatNames() {
  static const NoteNames table = {"C",      "D flat", "D",      "E flat", "E",      "F",
                                  "G flat", "G",      "A flat", "A",      "B flat", "B"};
  return table;
}

const std::vector<ChordShape>& chordShapes() {
  static const std::vector<ChordShape> table = {
      {"major", {0, 4, 7}},
      {"minor", {0, 3, 7}},
      {"diminished", {0, 3, 6}},
      {"augmented", {0, 4, 8}},
      {"seventh", {0, 4, 7, 10}},
      {"major seventh", {0, 4, 7, 11}},
      {"minor seventh", {0, 3, 7, 10}},
      {"sus four", {0, 5, 7}},
      {"sus two", {0, 2, 7}},
  };
  return table;
}

const std::vector<Interval>& intervals() {
  static const std::vector<Interval> table = {
      {"minor second", 1},   {"major second", 2}, {"minor third", 3}, {"major third", 4},
      {"perfect fourth", 5}, {"fourth", 5},       {"tritone", 6},     {"perfect fifth", 7},
      {"fifth", 7},          {"minor sixth", 8},  {"major sixth", 9}, {"minor seventh", 10},
      {"major seventh", 11}, {"octave", 12},      {"whole step", 2},  {"whole tone", 2},
      {"half step", 1},      {"semitone", 1},     {"third", 4},       {"sixth", 9},
      {"second", 2},
  };
  return table;
}

const std::map<std::string, int>& numberWords() {
  static const std::map<std::string, int> table = {
      {"one", 1},       {"two", 2},      {"to", 2},       {"three", 3},      {"four", 4},
      {"for", 4},       {"five", 5},     {"six", 6},      {"seven", 7},      {"eight", 8},
      {"nine", 9},      {"ten", 10},     {"eleven", 11},  {"twelve", 12},    {"thirteen", 13},
      {"fourteen", 14}, {"fifteen", 15}, {"sixteen", 16}, {"seventeen", 17}, {"eighteen", 18},
      {"nineteen", 19}, {"twenty", 20},  {"thirty", 30},  {"forty", 40},     {"fifty", 50},
      {"sixty", 60},    {"seventy", 70}, {"eighty", 80},  {"ninety", 90},    {"hundred", 100},
      {"half", 30},     {"first", 1},    {"second", 2},   {"third", 3},      {"fourth", 4},
      {"fifth", 5},     {"sixth", 6},    {"seventh", 7},  {"eighth", 8},     {"ninth", 9},
      {"a", 1},         {"an", 1},
  };
  return table;
}

namespace music {
namespace {

std::optional<int> wholeNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const char* begin = text.data();
  if (*begin == '+') ++begin;  // from_chars takes "-" but not "+"
  int value = 0;
  auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() ||
      begin == text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

const std::vector<int>& majorScale() {
  static const std::vector<int> scale = {0, 2, 4, 5, 7, 9, 11};
  return scale;
}
const std::vector<int>& minorScale() {
  static const std::vector<int> scale = {0, 2, 3, 5, 7, 8, 10};
  return scale;
}
const std::vector<int>& bluesScale() {
  static const std::vector<int> scale = {0, 3, 5, 6, 7, 10};
  return scale;
}

const NoteNames& names(int tonic, bool minor) {
  static const std::set<int> flatMajors = {5, 10, 3, 8, 1, 6};
  static const std::set<int> flatMinors = {2, 7, 0, 5, 10, 3};
  const auto& flats = minor ? flatMinors : flatMajors;
  return flats.count(pitchClass(tonic)) ? flatNames() : sharpNames();
}

int keySignature(int tonic, bool minor) {
  static const std::array<int, 12> byTonic = {0, -5, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};
  return byTonic[static_cast<std::size_t>(pitchClass(minor ? tonic + 3 : tonic))];
}

std::optional<int> parseNoteName(const std::string& raw) {
  auto first = raw.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::nullopt;
  std::string text = raw.substr(first, raw.find_last_not_of(" \t\r\n") - first + 1);
  if (auto number = wholeNumber(text)) {
    if (*number >= 0 && *number <= 127) return number;
    return std::nullopt;
  }
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  static const std::string letters = "CDEFGAB";
  static const int classes[] = {0, 2, 4, 5, 7, 9, 11};
  auto letter = letters.find(text[0]);
  if (letter == std::string::npos) return std::nullopt;
  int accidental = 0;
  std::size_t octaveAt = 1;
  if (text.size() > 1 && text[1] == '#') {
    accidental = 1;
    octaveAt = 2;
  } else if (text.size() > 2 && text[1] == 'B') {
    accidental = -1;
    octaveAt = 2;
  }
  auto octaveNumber = wholeNumber(text.substr(octaveAt));
  if (!octaveNumber || text[octaveAt] == '+') return std::nullopt;
  long note = (static_cast<long>(*octaveNumber) + 1) * 12 + classes[letter] + accidental;
  if (note < 0 || note > 127) return std::nullopt;
  return static_cast<int>(note);
}

std::string keyLabel(int note) {
  std::string name = sharpNames()[static_cast<std::size_t>(pitchClass(note))];
  auto sharp = name.find(" sharp");
  if (sharp != std::string::npos) name.replace(sharp, 6, "#");
  return name + std::to_string(octave(note));
}

std::optional<std::string> chordName(const std::vector<int>& pitches, const NoteNames& names) {
  std::set<int> classes;
  for (int pitch : pitches) classes.insert(pitchClass(pitch));
  for (int root : pitches) {
    std::set<int> shape;
    for (int pc : classes) shape.insert(pitchClass(pc - pitchClass(root) + 12));
    for (const auto& chord : chordShapes()) {
      if (shape == std::set<int>(chord.intervals.begin(), chord.intervals.end())) {
        return names[static_cast<std::size_t>(pitchClass(root))] + " " + chord.quality;
      }
    }
  }
  return std::nullopt;
}

std::string noteList(const std::vector<int>& pitches, const NoteNames& names) {
  std::string list;
  for (int pitch : pitches) {
    if (!list.empty()) list += ", ";
    list += names[static_cast<std::size_t>(pitchClass(pitch))];
  }
  return list;
}

std::string chordText(const std::vector<int>& pitches, const NoteNames& names) {
  std::string list = noteList(pitches, names);
  if (auto name = chordName(pitches, names)) return *name + " chord: " + list;
  return list + " together";
}

}  // namespace music
}  // namespace orvo
