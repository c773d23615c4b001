#include "lessons/theory-answers.h"

#include <algorithm>

#include "lessons/music-words.h"

namespace orvo::music {
namespace {

bool isOneOf(const std::string& word, std::initializer_list<const char*> list) {
  return std::any_of(list.begin(), list.end(), [&](const char* item) { return word == item; });
}

}  // namespace

// Every note is spelled by letter from the note the player named: F sharp
// major is F sharp's, never G flat's, and a chord's third is a third.
std::optional<std::string> theoryAnswer(const std::vector<std::string>& words,
                                        const PhraseTest& has) {
  const auto hasAny = [&](std::initializer_list<const char*> phrases) {
    return std::any_of(phrases.begin(), phrases.end(),
                       [&](const char* phrase) { return has(phrase); });
  };

  // The subject: a note followed by a word that says what of it.
  std::optional<Spelled> tonic;
  std::size_t keywordAt = 0;
  for (std::size_t i = 0; i < words.size() && !tonic; ++i) {
    auto note = music::spokenNote(words, i);
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
  if (hasAny({"interval", "above", "below", "up from", "down from"})) {
    const Interval* interval = nullptr;
    for (const auto& candidate : intervals()) {
      if (has(candidate.phrase)) {
        interval = &candidate;
        break;
      }
    }
    std::optional<Spelled> start;
    for (std::size_t i = 0; i + 1 < words.size() && interval && !start; ++i) {
      if (isOneOf(words[i], {"above", "below", "from"})) {
        if (auto note = music::spokenNote(words, i + 1)) start = note->first;
      }
    }
    if (interval && start) {
      bool down = hasAny({"below", "down from"});
      Spelled target = down ? music::below(*start, interval->semitones, interval->degree)
                            : music::above(*start, interval->semitones, interval->degree);
      return "A " + interval->phrase + " " + (down ? "below" : "above") + " " + start->name() +
             " is " + target.name() + ".";
    }
  }

  if (!tonic) return std::nullopt;
  const bool minor = words[keywordAt] == "minor";
  const std::string tonicName = tonic->name();

  if (has("relative")) {
    if (minor) {
      return "The relative major of " + tonicName + " minor is " +
             music::above(*tonic, 3, 3).name() + " major. They share the same notes.";
    }
    return "The relative minor of " + tonicName + " major is " + music::above(*tonic, 9, 6).name() +
           " minor. They share the same notes.";
  }

  if (hasAny({"sharps", "flats", "key signature", "how many sharps", "how many flats"})) {
    auto describe = [](int signature) {
      int count = std::abs(signature);
      return count == 0 ? std::string("no sharps or flats")
                        : std::to_string(count) + (signature > 0 ? " sharp" : " flat") +
                              (count > 1 ? "s" : "");
    };
    std::string key = tonicName + (minor ? " minor" : " major");
    int signature = music::keySignature(*tonic, minor);
    if (std::abs(signature) <= 7) return key + " has " + describe(signature) + ".";
    // G sharp major would need 8 sharps: it is written as A flat major.
    Spelled other = signature > 0 ? music::above(*tonic, 0, 2) : music::below(*tonic, 0, 2);
    return key + " is written as " + other.name() + (minor ? " minor" : " major") + ", which has " +
           describe(music::keySignature(other, minor)) + ".";
  }

  if (!hasAny({"notes", "spell", "whats in", "what is in", "what are", "how do i play", "play a",
               "made of", "make a", "build", "tell me", "show me", "what is a", "what is"})) {
    return std::nullopt;
  }

  std::vector<std::string> rest(words.begin() + static_cast<long>(keywordAt), words.end());
  auto restHas = [&](std::initializer_list<const char*> list) {
    return std::any_of(rest.begin(), rest.end(),
                       [&](const std::string& w) { return isOneOf(w, list); });
  };
  auto spell = [&](const std::vector<int>& steps, const std::vector<int>& degrees) {
    return music::spelledList(music::spell(*tonic, steps, degrees));
  };

  if (restHas({"blues"})) {
    return "The " + tonicName + " blues scale is " +
           spell(music::bluesScale(), music::bluesDegrees()) + ".";
  }
  if (!restHas({"chord", "seven", "seventh", "diminished", "augmented", "triad"})) {
    return tonicName + (minor ? " minor" : " major") + " is " +
           (minor ? spell(music::minorScale(), music::minorDegrees())
                  : spell(music::majorScale(), music::majorDegrees())) +
           ".";
  }
  std::string quality = minor ? "minor" : "major";
  if (restHas({"diminished"})) quality = "diminished";
  if (restHas({"augmented"})) quality = "augmented";
  if (restHas({"seven", "seventh"})) {
    if (restHas({"diminished"})) {
      quality = "diminished seventh";
    } else if (words[keywordAt] == "major") {
      quality = "major seventh";
    } else if (minor) {
      quality = "minor seventh";
    } else {
      quality = "seventh";
    }
  }
  const ChordShape* chord = chordByQuality(quality);
  return tonicName + " " + quality + " is " + spell(chord->intervals, chord->degrees) + ".";
}

std::string heldChordAnswer(const std::vector<int>& held) {
  if (held.empty()) return "Hold some keys down and ask again.";
  if (held.size() == 1) return "That is " + noteList(held, flatNames()) + ".";
  if (auto chord = spellChord(held)) {
    return chord->name + ". The notes are " + spelledList(chord->notes) + ".";
  }
  return "The notes are " + noteList(held, flatNames()) + ". That is not one of the simple chords.";
}

}  // namespace orvo::music
