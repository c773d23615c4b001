#include "compose/take.h"

#include <algorithm>
#include <cstdint>

namespace orvo {

std::vector<RNote> tidyTake(std::vector<RNote> notes) {
  for (int round = 0; round < 3 && notes.size() >= 9; ++round) {
    std::size_t cut = 0;
    for (std::size_t i = 1; i < 5; ++i) {
      if (notes[i].t - notes[i - 1].t > 6.0) {
        cut = i;
        break;
      }
    }
    if (cut == 0) break;
    notes.erase(notes.begin(), notes.begin() + static_cast<std::ptrdiff_t>(cut));
    const double shift = notes.front().t;
    for (RNote& note : notes) {
      note.t -= shift;
      if (note.end >= 0) note.end -= shift;
    }
  }
  return notes;
}

std::vector<Ev> events(const std::vector<RNote>& notes) {
  std::vector<Ev> out;
  out.reserve(notes.size() * 2);
  auto byte = [](int value) { return static_cast<std::uint8_t>(value); };
  for (const RNote& note : notes) {
    const std::uint8_t channel = byte(note.ch & 15);
    if (note.cc >= 0) {
      out.push_back(
          {note.t,
           {byte(0xB0 | channel), byte(note.cc & 127), byte(std::clamp(note.vel, 0, 127))}});
      continue;
    }
    const std::uint8_t pitch = byte(std::clamp(note.pitch, 0, 127));
    out.push_back({note.t, {byte(0x90 | channel), pitch, byte(std::clamp(note.vel, 1, 127))}});
    out.push_back({std::max(note.t + 0.05, note.end - 0.01), {byte(0x80 | channel), pitch, 0}});
  }
  return out;
}

std::vector<Ev> timedEvents(const std::vector<RNote>& notes, const std::vector<RNote>& band) {
  std::vector<Ev> all = events(notes);
  const std::vector<Ev> more = events(band);
  all.insert(all.end(), more.begin(), more.end());
  sortByTime(all);
  return all;
}

}  // namespace orvo
