// Spoken music words: notes read from speech, theory questions, the held chord.

#include <algorithm>

#include "core/engine.h"
#include "lessons/music-words.h"

namespace orvo {
namespace {

bool isOneOf(const std::string& word, std::initializer_list<const char*> list) {
  return std::any_of(list.begin(), list.end(), [&](const char* item) { return word == item; });
}

const std::string& nameOf(const NoteNames& names, int pitchClass) {
  return names[static_cast<std::size_t>(music::pitchClass(pitchClass))];
}

}  // namespace

std::optional<std::pair<int, int>> Engine::spokenNote(const std::vector<std::string>& words,
                                                      std::size_t at) {
  if (at >= words.size()) return std::nullopt;
  static const std::string letters = "cdefgab";
  static const int classes[] = {0, 2, 4, 5, 7, 9, 11};
  const std::string& word = words[at];
  if (word.size() != 1 || letters.find(word[0]) == std::string::npos) return std::nullopt;
  int pc = classes[letters.find(word[0])];
  if (at + 1 < words.size() && words[at + 1] == "flat")
    return std::pair{music::pitchClass(pc - 1), 2};
  if (at + 1 < words.size() && words[at + 1] == "sharp")
    return std::pair{music::pitchClass(pc + 1), 2};
  return std::pair{pc, 1};
}

std::optional<std::string> Engine::theory(const Heard& heard) {
  const auto& words = heard.words;

  // The subject: a note followed by a word that says what of it.
  std::optional<int> tonic;
  std::size_t keywordAt = 0;
  for (std::size_t i = 0; i < words.size() && !tonic; ++i) {
    auto note = spokenNote(words, i);
    if (!note) continue;
    std::size_t next = i + static_cast<std::size_t>(note->second);
    if (next < words.size() &&
        isOneOf(words[next], {"major", "minor", "diminished", "augmented", "dominant", "seven",
                              "seventh", "chord", "scale", "key", "blues"})) {
      tonic = note->first;
      keywordAt = next;
    }
  }

  // Intervals need no subject.
  if (heard.hasAny({"interval", "above", "below", "up from", "down from"})) {
    const Interval* interval = nullptr;
    for (const auto& candidate : intervals()) {
      if (heard.has(candidate.phrase)) {
        interval = &candidate;
        break;
      }
    }
    std::optional<int> start;
    for (std::size_t i = 0; i + 1 < words.size() && interval && !start; ++i) {
      if (isOneOf(words[i], {"above", "below", "from"})) {
        if (auto note = spokenNote(words, i + 1)) start = note->first;
      }
    }
    if (interval && start) {
      bool down = heard.hasAny({"below", "down from"});
      int target = *start + (down ? -interval->semitones : interval->semitones);
      return "A " + interval->phrase + " " + (down ? "below" : "above") + " " +
             nameOf(flatNames(), *start) + " is " + nameOf(flatNames(), target) + ".";
    }
  }

  if (!tonic) return std::nullopt;
  const bool minor = words[keywordAt] == "minor";
  const NoteNames& names = music::names(*tonic, minor);
  const std::string tonicName = nameOf(names, *tonic);

  if (heard.has("relative")) {
    if (minor) {
      int major = *tonic + 3;
      return "The relative major of " + tonicName + " minor is " +
             nameOf(music::names(major, false), major) + " major. They share the same notes.";
    }
    int relative = *tonic + 9;
    return "The relative minor of " + tonicName + " major is " +
           nameOf(music::names(relative, true), relative) + " minor. They share the same notes.";
  }

  if (heard.hasAny({"sharps", "flats", "key signature", "how many sharps", "how many flats"})) {
    int signature = music::keySignature(*tonic, minor);
    int count = std::abs(signature);
    std::string what = count == 0 ? "no sharps or flats"
                                  : std::to_string(count) + (signature > 0 ? " sharp" : " flat") +
                                        (count > 1 ? "s" : "");
    return tonicName + (minor ? " minor" : " major") + " has " + what + ".";
  }

  if (!heard.hasAny({"notes", "spell", "whats in", "what is in", "what are", "how do i play",
                     "play a", "made of", "make a", "build", "tell me", "show me", "what is a",
                     "what is"})) {
    return std::nullopt;
  }

  std::vector<std::string> rest(words.begin() + static_cast<long>(keywordAt), words.end());
  auto restHas = [&](std::initializer_list<const char*> list) {
    return std::any_of(rest.begin(), rest.end(),
                       [&](const std::string& w) { return isOneOf(w, list); });
  };
  auto spell = [&](const std::vector<int>& steps, const NoteNames& with) {
    std::vector<int> notes;
    for (int step : steps) notes.push_back(*tonic + step);
    return music::noteList(notes, with);
  };

  if (restHas({"blues"})) {
    return "The " + tonicName + " blues scale is " + spell(music::bluesScale(), flatNames()) + ".";
  }
  if (!restHas({"chord", "seven", "seventh", "diminished", "augmented", "triad"})) {
    return tonicName + (minor ? " minor" : " major") + " is " +
           spell(minor ? music::minorScale() : music::majorScale(), names) + ".";
  }
  std::vector<int> chord = minor ? std::vector<int>{0, 3, 7} : std::vector<int>{0, 4, 7};
  std::string quality = minor ? "minor" : "major";
  if (restHas({"diminished"})) chord = {0, 3, 6}, quality = "diminished";
  if (restHas({"augmented"})) chord = {0, 4, 8}, quality = "augmented";
  if (restHas({"seven", "seventh"})) {
    if (words[keywordAt] == "major") {
      chord = {0, 4, 7, 11}, quality = "major seventh";
    } else if (minor) {
      chord = {0, 3, 7, 10}, quality = "minor seventh";
    } else {
      chord = {0, 4, 7, 10}, quality = "seventh";
    }
  }
  return tonicName + " " + quality + " is " + spell(chord, names) + ".";
}

std::string Engine::heldChord() {
  std::vector<int> notes;
  {
    std::lock_guard guard(lock);
    for (int key = 0; key < 128; ++key) {
      if (held_.test(static_cast<std::size_t>(key))) notes.push_back(key);
    }
  }
  if (notes.empty()) return "Hold some keys down and ask again.";
  if (notes.size() == 1) return "That is " + nameOf(flatNames(), notes[0]) + ".";
  std::string list = music::noteList(notes, flatNames());
  if (auto name = music::chordName(notes, flatNames())) {
    return *name + ". The notes are " + list + ".";
  }
  return "The notes are " + list + ". That is not one of the simple chords.";
}

}  // namespace orvo
