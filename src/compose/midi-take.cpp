#include "compose/midi-take.h"

#include <algorithm>

#include "compose/midi-file-reader.h"
#include "compose/take.h"
#include "platform/files.h"

namespace orvo {

namespace {

std::vector<RNote> takeOf(const midifile::Contents* contents) {
  const SongTrack* piano = nullptr;
  for (const SongTrack& track : contents->tracks) {
    if (files::trim(track.name) == "piano") {
      piano = &track;
      break;
    }
  }
  const double secondsPerBeat = 60.0 / (contents->bpm > 0 ? contents->bpm : 120.0);
  std::vector<RNote> notes;
  auto add = [&](const SongTrack& track) {
    for (const SNote& note : track.notes) {
      const double t = note.beat * secondsPerBeat;
      notes.push_back({t, t + note.dur * secondsPerBeat, note.pitch, note.vel, 0, -1});
    }
  };
  if (piano) {
    add(*piano);
  } else {
    for (const SongTrack& track : contents->tracks) add(track);
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const RNote& a, const RNote& b) { return a.t < b.t; });
  if (!notes.empty()) {
    const double first = notes.front().t;
    for (RNote& note : notes) {
      note.t -= first;
      note.end -= first;
    }
  }
  return tidyTake(std::move(notes));
}

}  // namespace

std::vector<RNote> takeFromContents(const midifile::Contents& contents) {
  return takeOf(&contents);
}

std::optional<std::vector<RNote>> takeFromMidi(const std::uint8_t* bytes, std::size_t size) {
  auto contents = midifile::read(bytes, size);
  if (!contents) return std::nullopt;
  return takeOf(&*contents);
}

std::optional<std::vector<RNote>> takeFromMidiFile(const std::filesystem::path& file) {
  auto contents = midifile::readFile(file);
  if (!contents) return std::nullopt;
  return takeOf(&*contents);
}

std::vector<RNote> takeFromSong(const Song& song) {
  const double secondsPerBeat = 60.0 / (song.bpm > 0 ? song.bpm : 120.0);
  std::vector<RNote> notes;
  notes.reserve(song.notes.size());
  for (const SNote& note : song.notes) {
    const double t = note.beat * secondsPerBeat;
    notes.push_back({t, t + note.dur * secondsPerBeat, note.pitch, note.vel, 0, -1});
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const RNote& a, const RNote& b) { return a.t < b.t; });
  return notes;
}

}  // namespace orvo
