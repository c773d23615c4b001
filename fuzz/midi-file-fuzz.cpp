// Any bytes as a Standard MIDI File: never a crash, an endless loop, a read
// past the end or memory out of proportion to the file.

#include <cstdint>
#include <cstdlib>

#include "compose/midi-file-reader.h"
#include "lessons/lesson.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto contents = orvo::midifile::read(data, size);
  if (!contents) return 0;
  std::size_t notes = 0;
  for (const auto& track : contents->tracks) {
    for (const auto& note : track.notes) {
      if (note.pitch < 0 || note.pitch > 127 || note.vel < 1 || note.vel > 127 || note.dur < 0.05 ||
          note.beat < 0) {
        std::abort();
      }
    }
    notes += track.notes.size();
  }
  if (notes > size) std::abort();  // each note takes bytes of its own
  // What the library then does with it must hold too.
  if (auto song = orvo::library::fromTracks(contents->tracks, contents->bpm)) {
    if (song->notes.size() <= 2000) {
      orvo::Lesson lesson(*song);
      for (const auto& unit : lesson.units) (void)lesson.describe(unit);
    }
  }
  return 0;
}
