#include "lessons/tune.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "lessons/music-words.h"

namespace orvo {

std::vector<SNote> tune(const std::string& text, int hand) {
  static const std::map<std::string, std::vector<int>> chords = {{"C", {48, 52, 55}},
                                                                 {"F", {48, 53, 57}},
                                                                 {"G", {47, 50, 55}},
                                                                 {"Dm", {50, 53, 57}},
                                                                 {"Am", {48, 52, 57}}};
  std::vector<SNote> notes;
  double beat = 0;
  std::istringstream tokens(text);
  for (std::string token; tokens >> token;) {
    std::string name = token;
    double duration = 1.0;
    if (auto slash = token.find('/'); slash != std::string::npos) {
      name = token.substr(0, slash);
      std::string length = token.substr(slash + 1);
      char* end = nullptr;
      double value = std::strtod(length.c_str(), &end);
      if (!length.empty() && *end == '\0' && value > 0) duration = value;
    }
    if (auto chord = chords.find(name); chord != chords.end()) {
      for (int pitch : chord->second) notes.push_back({beat, duration, pitch, 72, hand});
    } else if (name != "r") {
      if (auto pitch = music::parseNoteName(name))
        notes.push_back({beat, duration, *pitch, 84, hand});
    }
    beat += duration;
  }
  return notes;
}

namespace {

// The well-known opening of Fur Elise, as (beat, duration, pitches) events at
// 60 beats a minute: the right hand's melody and the left hand's broken chords.
Song furElise() {
  Song song;
  song.name = "Fur Elise, opening only";
  song.bpm = 60;
  song.level = 2;
  auto right = [&](double beat, double dur, int pitch) {
    song.notes.push_back({beat, dur, pitch, 84, 0});
  };
  auto left = [&](double beat, double dur, std::vector<int> pitches) {
    // One note a beat, each held to the end of the chord.
    for (std::size_t i = 0; i < pitches.size(); ++i) {
      double offset = static_cast<double>(i);
      song.notes.push_back({beat + offset, std::max(1.0, dur - offset), pitches[i], 72, 1});
    }
  };
  // The turn E D# E D# E, then B D C, landing on A.
  const double beats[] = {0, 1, 2, 3, 4, 5, 6, 7};
  const int turn[] = {76, 75, 76, 75, 76, 71, 74, 72};
  for (int i = 0; i < 8; ++i) right(beats[i], 1, turn[i]);
  right(8, 2, 69);
  right(11, 1, 60);
  right(12, 1, 64);
  right(13, 1, 69);
  right(14, 2, 71);
  right(17, 1, 64);
  right(18, 1, 68);
  right(19, 1, 71);
  right(20, 2, 72);
  right(23, 1, 64);
  // The turn again.
  for (int i = 0; i < 8; ++i) right(24 + beats[i], 1, turn[i]);
  right(32, 2, 69);
  right(35, 1, 60);
  right(36, 1, 64);
  right(37, 1, 69);
  right(38, 2, 71);
  right(41, 1, 64);
  right(42, 1, 72);
  right(43, 1, 71);
  right(44, 4, 69);
  // Broken chords under the long notes: A minor and E major.
  left(8, 3, {45, 52, 57});
  left(14, 3, {40, 52, 56});
  left(20, 3, {45, 52, 57});
  left(32, 3, {45, 52, 57});
  left(38, 3, {40, 52, 56});
  left(44, 4, {45, 52, 57});
  return song;
}

}  // namespace

std::vector<Song> builtInSongs() {
  struct Written {
    const char* name;
    double bpm;
    const char* melody;
    const char* chords;
  };
  static const Written written[] = {
      {"Hot Cross Buns", 100,
       "E4 D4 C4/2 E4 D4 C4/2 C4/.5 C4/.5 C4/.5 C4/.5 D4/.5 D4/.5 D4/.5 D4/.5 E4 D4 C4/2",
       "C/4 C/4 C/2 G/2 C/4"},
      {"Mary Had a Little Lamb", 110,
       "E4 D4 C4 D4 E4 E4 E4/2 D4 D4 D4/2 E4 G4 G4/2 E4 D4 C4 D4 E4 E4 E4 E4 D4 D4 E4 D4 C4/4",
       "C/4 C/4 G/4 C/4 C/4 C/4 G/4 C/4"},
      {"Twinkle Twinkle Little Star", 100,
       "C4 C4 G4 G4 A4 A4 G4/2 F4 F4 E4 E4 D4 D4 C4/2 G4 G4 F4 F4 E4 E4 D4/2 G4 G4 F4 F4 E4 E4 "
       "D4/2 C4 C4 G4 G4 A4 A4 G4/2 F4 F4 E4 E4 D4 D4 C4/2 ",
       "C/4 F/2 C/2 F/2 C/2 G/2 C/2 C/2 F/2 C/2 G/2 C/2 F/2 C/2 G/2 C/4 F/2 C/2 F/2 C/2 G/2 C/2"},
      {"Frere Jacques", 110,
       "C4 D4 E4 C4 C4 D4 E4 C4 E4 F4 G4/2 E4 F4 G4/2 G4/.5 A4/.5 G4/.5 F4/.5 E4 C4 G4/.5 A4/.5 "
       "G4/.5 F4/.5 E4 C4 C4 G3 C4/2 C4 G3 C4/2",
       "C/4 C/4 C/4 C/4 C/4 C/4 C/1 G/1 C/2 C/1 G/1 C/2"},
      {"Au Clair de la Lune (folk song)", 100,
       "C4 C4 C4 D4 E4/2 D4/2 C4 E4 D4 D4 C4/4 C4 C4 C4 D4 E4/2 D4/2 C4 E4 D4 D4 C4/4 D4 D4 D4 "
       "D4 A3/2 A3/2 D4 C4 B3 A3 G3/4 C4 C4 C4 D4 E4/2 D4/2 C4 E4 D4 D4 C4/4 ",
       "C/4 C/2 G/2 C/2 G/2 C/4 C/4 C/2 G/2 C/2 G/2 C/4 G/4 Dm/4 G/4 G/4 C/4 C/2 G/2 C/2 G/2 "
       "C/4"},
      {"London Bridge", 110,
       "G4/1.5 A4/.5 G4 F4 E4 F4 G4/2 D4 E4 F4/2 E4 F4 G4/2 G4/1.5 A4/.5 G4 F4 E4 F4 G4/2 D4/2 "
       "G4/2 E4/2 C4/2",
       "C/4 C/4 C/4 C/4 F/4 C/4 G/4 G/4 C/4 C/4 C/4 C/4 F/4 C/4 G/4 C/4"},
      {"Jingle Bells", 120,
       "E4 E4 E4/2 E4 E4 E4/2 E4 G4 C4/1.5 D4/.5 E4/4 F4 F4 F4/1.5 F4/.5 F4 E4 E4 E4/.5 E4/.5 E4 "
       "D4 D4 E4 D4/2 G4/2 E4 E4 E4/2 E4 E4 E4/2 E4 G4 C4/1.5 D4/.5 E4/4 F4 F4 F4/1.5 F4/.5 F4 "
       "E4 E4 E4/.5 E4/.5 G4 G4 F4 D4 C4/4",
       "C/4 C/4 C/4 C/4 F/4 C/4 G/4 G/4 C/4 C/4 C/4 C/4 F/4 C/4 G/4 C/4"},
      {"Happy Birthday", 100,
       "G4/.75 G4/.25 A4 G4 C5 B4/2 G4/.75 G4/.25 A4 G4 D5 C5/2 G4/.75 G4/.25 G5 E5 C5 B4 A4 "
       "F5/.75 F5/.25 E5 C5 D5 C5/3",
       "r/1 C/3 G/3 G/3 C/3 C/3 F/3 C/2 G/1 C/3"},
      {"Ode to Joy", 100,
       "E4 E4 F4 G4 G4 F4 E4 D4 C4 C4 D4 E4 E4/1.5 D4/.5 D4/2 E4 E4 F4 G4 G4 F4 E4 D4 C4 C4 D4 E4 "
       "D4/1.5 C4/.5 C4/2",
       "C/4 G/4 C/4 G/4 C/4 G/4 C/4 G/2 C/2"},
  };
  std::vector<Song> songs;
  for (const auto& w : written) {
    Song song;
    song.name = w.name;
    song.bpm = w.bpm;
    song.notes = tune(w.melody, 0);
    auto chords = tune(w.chords, 1);
    song.notes.insert(song.notes.end(), chords.begin(), chords.end());
    songs.push_back(std::move(song));
  }
  songs.push_back(furElise());
  return songs;
}

}  // namespace orvo
