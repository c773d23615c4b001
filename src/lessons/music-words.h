#pragma once
// The system's musical vocabulary: note names in words, written note names
// read back into note numbers, chords recognised and said aloud, the scales,
// key signatures and intervals the theory answers use, and number words.
// Pure functions over read-only tables; any thread.

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

using NoteNames = std::array<std::string, 12>;

const NoteNames& sharpNames();
const NoteNames& flatNames();

// A note spelled by letter, as a musician writes it: letters 0 to 6 are C, D,
// E, F, G, A, B; the accidental is in semitones (-2 double flat to +2 double
// sharp). C diminished is C, E flat, G flat: a third is always a third.
struct Spelled {
  int letter = 0;
  int accidental = 0;
  int pitchClass() const;
  std::string name() const;  // "F sharp", "B double flat"
  bool operator==(const Spelled&) const = default;
};

struct ChordShape {
  std::string quality;  // as spoken: "major", "minor seventh" ...
  std::vector<int> intervals;
  std::vector<int> degrees;  // which letter above the root each interval is: 1, 3, 5, 7 ...
};
// In order of preference where a set of notes reads more than one way.
const std::vector<ChordShape>& chordShapes();
// A chord a theory answer spells, by its spoken quality: the shapes above
// and the diminished seventh; nothing for another word.
const ChordShape* chordByQuality(const std::string& quality);

struct Interval {
  std::string phrase;
  int semitones;
  int degree;  // letters counted: a third is 3, a tritone an augmented fourth
};
// In the order they are tried: longer phrases before their tails.
const std::vector<Interval>& intervals();

const std::map<std::string, int>& numberWords();

namespace music {

inline int pitchClass(int note) {
  return ((note % 12) + 12) % 12;
}
inline int octave(int note) {
  return note / 12 - 1;
}

const std::vector<int>& majorScale();
const std::vector<int>& minorScale();
const std::vector<int>& bluesScale();
// The scale degree of each step above (1 to 7), so the steps can be spelled.
const std::vector<int>& majorDegrees();
const std::vector<int>& minorDegrees();
const std::vector<int>& bluesDegrees();

// The note `semitones` above (or below) `from` whose letter is `degree` letters
// on: a second is the next letter, a fifth four letters on.
Spelled above(Spelled from, int semitones, int degree);
Spelled below(Spelled from, int semitones, int degree);
// The steps spelled from the root, by their degrees.
std::vector<Spelled> spell(Spelled root, const std::vector<int>& steps,
                           const std::vector<int>& degrees);
// The names joined with ", ".
std::string spelledList(const std::vector<Spelled>& notes);
// A name such as "F sharp" or "E flat" read back; nothing otherwise.
std::optional<Spelled> parseSpelled(const std::string& name);
// The white key, or the sharp or flat of the key below or above.
Spelled plainSpelling(int pitchClass, bool flats);
// A note said as words ("b flat", "f sharp", "c"), at `at`: the note and how many words it took.
std::optional<std::pair<Spelled, int>> spokenNote(const std::vector<std::string>& words,
                                                  std::size_t at);
// Sharps (positive) or flats (negative) of the key as spelled: F sharp major has 6 sharps,
// G flat major 6 flats. Beyond 7 the key is written with its other name.
int keySignature(Spelled tonic, bool minor);

// Held notes as a chord, spelled from the root with the fewest sharps and
// flats (flats when even): D, F sharp, A is "D major".
struct SpelledChord {
  std::string name;               // "D major"
  std::vector<Spelled> notes;     // the held notes, in the order given
};
std::optional<SpelledChord> spellChord(const std::vector<int>& pitches);

// The names a key spells its notes with.
const NoteNames& names(int tonic, bool minor);
// Sharps (positive) or flats (negative) of a key's signature.
int keySignature(int tonic, bool minor);

// "C4", "c#4", "Bb3", "C-1", or a plain number; nothing when it is not a note.
std::optional<int> parseNoteName(const std::string& text);
// A compact label such as "C#4".
std::string keyLabel(int note);
// The chord the notes form ("E flat major"), trying each as the root in the order given.
std::optional<std::string> chordName(const std::vector<int>& pitches, const NoteNames& names);
// "C major chord: C, E, G", or "C, D together".
std::string chordText(const std::vector<int>& pitches, const NoteNames& names);
// The names of the notes, joined with ", ".
std::string noteList(const std::vector<int>& pitches, const NoteNames& names);

}  // namespace music
}  // namespace orvo
