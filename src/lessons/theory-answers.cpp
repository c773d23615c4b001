#include "lessons/theory-answers.h"

#include <algorithm>

#include "lessons/music-words.h"

namespace orvo::music {
namespace {

bool isOneOf(const std::string& word, std::initializer_list<const char*> list) {
  return std::any_of(list.begin(), list.end(), [&](const char* item) { return word == item; });
}

// The question's subject: a note followed by a word that says what of it.
struct Subject {
  Spelled tonic;
  std::size_t keywordAt = 0;  // that word's place
  bool minor = false;
};

std::optional<Subject> subjectOf(const std::vector<std::string>& words) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    auto note = music::spokenNote(words, i);
    if (!note) continue;
    std::size_t next = i + static_cast<std::size_t>(note->second);
    if (next < words.size() &&
        isOneOf(words[next], {"major", "minor", "diminished", "augmented", "dominant", "seven",
                              "seventh", "chord", "scale", "key", "blues"})) {
      return Subject{note->first, next, words[next] == "minor"};
    }
  }
  return std::nullopt;
}

// "A major third above C": intervals need no subject.
std::optional<std::string> intervalAnswer(const std::vector<std::string>& words,
                                          const PhraseTest& has) {
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
  if (!interval || !start) return std::nullopt;
  bool down = has("below") || has("down from");
  Spelled target = down ? music::below(*start, interval->semitones, interval->degree)
                        : music::above(*start, interval->semitones, interval->degree);
  return "A " + interval->phrase + " " + (down ? "below" : "above") + " " + start->name() + " is " +
         target.name() + ".";
}

std::string relativeAnswer(const Subject& subject) {
  const std::string tonicName = subject.tonic.name();
  if (subject.minor) {
    return "The relative major of " + tonicName + " minor is " +
           music::above(subject.tonic, 3, 3).name() + " major. They share the same notes.";
  }
  return "The relative minor of " + tonicName + " major is " +
         music::above(subject.tonic, 9, 6).name() + " minor. They share the same notes.";
}

std::string signatureAnswer(const Subject& subject) {
  auto describe = [](int signature) {
    int count = std::abs(signature);
    return count == 0 ? std::string("no sharps or flats")
                      : std::to_string(count) + (signature > 0 ? " sharp" : " flat") +
                            (count > 1 ? "s" : "");
  };
  const bool minor = subject.minor;
  std::string key = subject.tonic.name() + (minor ? " minor" : " major");
  int signature = music::keySignature(subject.tonic, minor);
  if (std::abs(signature) <= 7) return key + " has " + describe(signature) + ".";
  // G sharp major would need 8 sharps: it is written as A flat major.
  Spelled other =
      signature > 0 ? music::above(subject.tonic, 0, 2) : music::below(subject.tonic, 0, 2);
  return key + " is written as " + other.name() + (minor ? " minor" : " major") + ", which has " +
         describe(music::keySignature(other, minor)) + ".";
}

// The notes of the scale or chord the words after the subject name.
std::string notesAnswer(const std::vector<std::string>& words, const Subject& subject) {
  const bool minor = subject.minor;
  const std::string tonicName = subject.tonic.name();
  std::vector<std::string> rest(words.begin() + static_cast<long>(subject.keywordAt), words.end());
  auto restHas = [&](std::initializer_list<const char*> list) {
    return std::any_of(rest.begin(), rest.end(),
                       [&](const std::string& w) { return isOneOf(w, list); });
  };
  auto spell = [&](const std::vector<int>& steps, const std::vector<int>& degrees) {
    return music::spelledList(music::spell(subject.tonic, steps, degrees));
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
    } else if (words[subject.keywordAt] == "major") {
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

}  // namespace

// Every note is spelled by letter from the note the player named: F sharp
// major is F sharp's, never G flat's, and a chord's third is a third.
std::optional<std::string> theoryAnswer(const std::vector<std::string>& words,
                                        const PhraseTest& has) {
  const auto hasAny = [&](std::initializer_list<const char*> phrases) {
    return std::any_of(phrases.begin(), phrases.end(),
                       [&](const char* phrase) { return has(phrase); });
  };
  if (hasAny({"interval", "above", "below", "up from", "down from"})) {
    if (auto answer = intervalAnswer(words, has)) return answer;
  }
  auto subject = subjectOf(words);
  if (!subject) return std::nullopt;
  if (has("relative")) return relativeAnswer(*subject);
  if (hasAny({"sharps", "flats", "key signature", "how many sharps", "how many flats"})) {
    return signatureAnswer(*subject);
  }
  if (!hasAny({"notes", "spell", "whats in", "what is in", "what are", "how do i play", "play a",
               "made of", "make a", "build", "tell me", "show me", "what is a", "what is"})) {
    return std::nullopt;
  }
  return notesAnswer(words, *subject);
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
