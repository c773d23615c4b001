#include "lessons/music-words.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>

namespace orvo {
namespace {

// The pitch class of each natural letter, C to B.
constexpr int naturalClass[7] = {0, 2, 4, 5, 7, 9, 11};

}  // namespace

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
      {"major", {0, 4, 7}, {1, 3, 5}},
      {"minor", {0, 3, 7}, {1, 3, 5}},
      {"diminished", {0, 3, 6}, {1, 3, 5}},
      {"augmented", {0, 4, 8}, {1, 3, 5}},
      {"seventh", {0, 4, 7, 10}, {1, 3, 5, 7}},
      {"major seventh", {0, 4, 7, 11}, {1, 3, 5, 7}},
      {"minor seventh", {0, 3, 7, 10}, {1, 3, 5, 7}},
      {"sus four", {0, 5, 7}, {1, 4, 5}},
      {"sus two", {0, 2, 7}, {1, 2, 5}},
  };
  return table;
}

const ChordShape* chordByQuality(const std::string& quality) {
  // Said in answers, never recognised in held notes (its root is ambiguous).
  static const ChordShape diminishedSeventh{"diminished seventh", {0, 3, 6, 9}, {1, 3, 5, 7}};
  if (quality == diminishedSeventh.quality) return &diminishedSeventh;
  for (const auto& chord : chordShapes()) {
    if (chord.quality == quality) return &chord;
  }
  return nullptr;
}

const std::vector<Interval>& intervals() {
  static const std::vector<Interval> table = {
      {"minor second", 1, 2},   {"major second", 2, 2}, {"minor third", 3, 3},
      {"major third", 4, 3},    {"perfect fourth", 5, 4}, {"fourth", 5, 4},
      {"tritone", 6, 4},        {"perfect fifth", 7, 5},  {"fifth", 7, 5},
      {"minor sixth", 8, 6},    {"major sixth", 9, 6},    {"minor seventh", 10, 7},
      {"major seventh", 11, 7}, {"octave", 12, 8},        {"whole step", 2, 2},
      {"whole tone", 2, 2},     {"half step", 1, 2},      {"semitone", 1, 2},
      {"third", 4, 3},          {"sixth", 9, 6},          {"second", 2, 2},
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

int Spelled::pitchClass() const {
  return music::pitchClass(naturalClass[((letter % 7) + 7) % 7] + accidental);
}

std::string Spelled::name() const {
  static const char* letters[7] = {"C", "D", "E", "F", "G", "A", "B"};
  std::string text = letters[((letter % 7) + 7) % 7];
  switch (accidental) {
    case 2: return text + " double sharp";
    case 1: return text + " sharp";
    case -1: return text + " flat";
    case -2: return text + " double flat";
    default: return text;
  }
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

const std::vector<int>& majorDegrees() {
  static const std::vector<int> degrees = {1, 2, 3, 4, 5, 6, 7};
  return degrees;
}
const std::vector<int>& minorDegrees() {
  return majorDegrees();
}
const std::vector<int>& bluesDegrees() {
  static const std::vector<int> degrees = {1, 3, 4, 5, 5, 7};  // the flat fifth is a fifth
  return degrees;
}

namespace {

// Each natural letter's place on the circle of fifths from C.
constexpr int fifths[7] = {0, 2, 4, -1, 1, 3, 5};

// The accidental that makes `letter` sound as `pitchClass`, nearest to natural.
int accidentalFor(int letter, int pitchClass) {
  int difference = ((pitchClass - naturalClass[letter]) % 12 + 12) % 12;
  return difference > 6 ? difference - 12 : difference;
}

// The root and shape the notes form, trying each note as the root in order.
std::optional<std::pair<int, const ChordShape*>> findChord(const std::vector<int>& pitches) {
  std::set<int> classes;
  for (int pitch : pitches) classes.insert(pitchClass(pitch));
  for (int root : pitches) {
    std::set<int> shape;
    for (int pc : classes) shape.insert(pitchClass(pc - pitchClass(root) + 12));
    for (const auto& chord : chordShapes()) {
      if (shape == std::set<int>(chord.intervals.begin(), chord.intervals.end())) {
        return std::pair{root, &chord};
      }
    }
  }
  return std::nullopt;
}

// The held notes named as members of the chord spelled from `root`.
std::vector<Spelled> asMembers(const std::vector<int>& pitches, Spelled root,
                               const ChordShape& chord) {
  auto members = spell(root, chord.intervals, chord.degrees);
  std::vector<Spelled> notes;
  for (int pitch : pitches) {
    for (const auto& member : members) {
      if (member.pitchClass() == pitchClass(pitch)) {
        notes.push_back(member);
        break;
      }
    }
  }
  return notes;
}

}  // namespace

Spelled above(Spelled from, int semitones, int degree) {
  int letter = ((from.letter + degree - 1) % 7 + 7) % 7;
  return {letter, accidentalFor(letter, from.pitchClass() + semitones)};
}

Spelled below(Spelled from, int semitones, int degree) {
  int letter = ((from.letter - (degree - 1)) % 7 + 7) % 7;
  return {letter, accidentalFor(letter, from.pitchClass() - semitones)};
}

std::vector<Spelled> spell(Spelled root, const std::vector<int>& steps,
                           const std::vector<int>& degrees) {
  std::vector<Spelled> notes;
  for (std::size_t i = 0; i < steps.size() && i < degrees.size(); ++i) {
    notes.push_back(above(root, steps[i], degrees[i]));
  }
  return notes;
}

std::string spelledList(const std::vector<Spelled>& notes) {
  std::string list;
  for (const auto& note : notes) list += (list.empty() ? "" : ", ") + note.name();
  return list;
}

std::optional<Spelled> parseSpelled(const std::string& name) {
  static const std::string letters = "CDEFGAB";
  if (name.empty() || letters.find(name[0]) == std::string::npos) return std::nullopt;
  Spelled note{static_cast<int>(letters.find(name[0])), 0};
  std::string rest = name.substr(1);
  if (rest == " sharp") note.accidental = 1;
  else if (rest == " flat") note.accidental = -1;
  else if (rest == " double sharp") note.accidental = 2;
  else if (rest == " double flat") note.accidental = -2;
  else if (!rest.empty()) return std::nullopt;
  return note;
}

Spelled plainSpelling(int pc, bool flats) {
  pc = pitchClass(pc);
  for (int letter = 0; letter < 7; ++letter) {
    if (naturalClass[letter] == pc) return {letter, 0};
  }
  for (int letter = 0; letter < 7; ++letter) {
    if (flats && pitchClass(naturalClass[letter] - 1) == pc) return {letter, -1};
    if (!flats && pitchClass(naturalClass[letter] + 1) == pc) return {letter, 1};
  }
  return {0, 0};
}

std::optional<std::pair<Spelled, int>> spokenNote(const std::vector<std::string>& words,
                                                  std::size_t at) {
  if (at >= words.size()) return std::nullopt;
  static const std::string letters = "cdefgab";
  const std::string& word = words[at];
  if (word.size() != 1 || letters.find(word[0]) == std::string::npos) return std::nullopt;
  Spelled note{static_cast<int>(letters.find(word[0])), 0};
  if (at + 1 < words.size() && words[at + 1] == "flat") return std::pair{Spelled{note.letter, -1}, 2};
  if (at + 1 < words.size() && words[at + 1] == "sharp") return std::pair{Spelled{note.letter, 1}, 2};
  return std::pair{note, 1};
}

int keySignature(Spelled tonic, bool minor) {
  Spelled major = minor ? above(tonic, 3, 3) : tonic;
  return fifths[major.letter] + 7 * major.accidental;
}

std::optional<SpelledChord> spellChord(const std::vector<int>& pitches) {
  auto found = findChord(pitches);
  if (!found) return std::nullopt;
  auto [root, chord] = *found;
  // Of the root's two names, the one whose chord needs fewer sharps and flats.
  std::optional<SpelledChord> best;
  int fewest = 1000;
  for (bool flats : {true, false}) {
    Spelled name = plainSpelling(root, flats);
    int count = 0;
    for (const auto& member : spell(name, chord->intervals, chord->degrees)) {
      count += std::abs(member.accidental);
    }
    if (count >= fewest) continue;
    fewest = count;
    best = SpelledChord{name.name() + " " + chord->quality, asMembers(pitches, name, *chord)};
  }
  return best;
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
  long note = (static_cast<long>(*octaveNumber) + 1) * 12 + naturalClass[letter] + accidental;
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
  auto found = findChord(pitches);
  if (!found) return std::nullopt;
  return names[static_cast<std::size_t>(pitchClass(found->first))] + " " + found->second->quality;
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
  auto found = findChord(pitches);
  if (!found) return noteList(pitches, names) + " together";
  // The chord's notes spelled by letter from its root as the key names it.
  const std::string& rootName = names[static_cast<std::size_t>(pitchClass(found->first))];
  std::string name = rootName + " " + found->second->quality;
  auto root = parseSpelled(rootName);
  if (!root) return name + " chord: " + noteList(pitches, names);
  return name + " chord: " + spelledList(asMembers(pitches, *root, *found->second));
}

}  // namespace music
}  // namespace orvo
