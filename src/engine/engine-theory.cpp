// Spoken music words: notes read from speech and the held chord.

#include <algorithm>

#include "engine/engine.h"
#include "lessons/music-words.h"
#include "rooms/compose/compose-room.h"

namespace orvo {
namespace {

const std::string& nameOf(const NoteNames& names, int pitchClass) {
  return names[static_cast<std::size_t>(music::pitchClass(pitchClass))];
}

}  // namespace

std::optional<std::pair<int, int>> Engine::spokenNote(const std::vector<std::string>& words,
                                                      std::size_t at) {
  auto note = music::spokenNote(words, at);
  if (!note) return std::nullopt;
  return std::pair{note->first.pitchClass(), note->second};
}

std::string Engine::heldChord() {
  std::vector<int> notes;
  {
    RecursiveMutexLock guard(lock);
    const auto held = compose_->history().held();
    for (int key = 0; key < 128; ++key) {
      if (held.test(static_cast<std::size_t>(key))) notes.push_back(key);
    }
  }
  if (notes.empty()) return "Hold some keys down and ask again.";
  if (notes.size() == 1) return "That is " + nameOf(flatNames(), notes[0]) + ".";
  if (auto chord = music::spellChord(notes)) {
    return chord->name + ". The notes are " + music::spelledList(chord->notes) + ".";
  }
  return "The notes are " + music::noteList(notes, flatNames()) +
         ". That is not one of the simple chords.";
}

}  // namespace orvo
