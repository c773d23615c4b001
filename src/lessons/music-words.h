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

struct ChordShape {
  std::string quality;  // as spoken: "major", "minor seventh" ...
  std::vector<int> intervals;
};
// In order of preference where a set of notes reads more than one way.
const std::vector<ChordShape>& chordShapes();

struct Interval {
  std::string phrase;
  int semitones;
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
