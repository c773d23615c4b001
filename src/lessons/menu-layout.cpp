#include "lessons/menu-layout.h"

#include <algorithm>

#include "lessons/jazz-course.h"

namespace orvo {

std::vector<int> menuKeys(int level, const std::vector<int>& buttons) {
  std::vector<int> keys;
  if (level < 1 || level > 5) return keys;
  const int base = 36 + (level - 1) * 12;
  for (int offset : {0, 2, 4, 5, 7, 9, 11, 1, 3, 6, 8, 10}) {
    const int key = base + offset;
    if (std::find(buttons.begin(), buttons.end(), key) == buttons.end()) keys.push_back(key);
  }
  return keys;
}

std::optional<int> menuKey(const std::vector<Song>& songs, int index,
                           const std::vector<int>& buttons) {
  if (index < 0 || index >= static_cast<int>(songs.size())) return std::nullopt;
  const int level = songs[static_cast<std::size_t>(index)].level;
  std::size_t position = 0;
  for (int i = 0; i < index; ++i) position += songs[static_cast<std::size_t>(i)].level == level;
  const auto keys = menuKeys(level, buttons);
  if (position >= keys.size()) return std::nullopt;
  return keys[position];
}

std::optional<int> menuSong(const std::vector<Song>& songs, int key,
                            const std::vector<int>& buttons) {
  if (key < 36 || key >= 36 + 5 * 12) return std::nullopt;
  const int level = (key - 36) / 12 + 1;
  const auto keys = menuKeys(level, buttons);
  const auto at = std::find(keys.begin(), keys.end(), key);
  if (at == keys.end()) return std::nullopt;
  const auto position = static_cast<std::size_t>(at - keys.begin());
  std::size_t seen = 0;
  for (std::size_t i = 0; i < songs.size(); ++i) {
    if (songs[i].level != level) continue;
    if (seen++ == position) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::optional<int> menuJazzLesson(int key) {
  const auto at = std::find(jazzMenuKeys.begin(), jazzMenuKeys.end(), key);
  if (at == jazzMenuKeys.end()) return std::nullopt;
  const auto position = static_cast<std::size_t>(at - jazzMenuKeys.begin());
  if (position >= jazzLessons().size()) return std::nullopt;
  return static_cast<int>(position);
}

std::vector<PreviewNote> previewNotes(const Song& song) {
  std::vector<PreviewNote> notes;
  if (song.notes.empty() || song.bpm <= 0) return notes;
  const double perBeat = 60.0 / song.bpm;
  double start = song.notes.front().beat;
  for (const SNote& note : song.notes) start = std::min(start, note.beat);
  for (const SNote& note : song.notes) {
    const double on = (note.beat - start) * perBeat;
    if (on >= 7.0) continue;
    const double off = std::min(8.0, on + std::max(note.dur * perBeat * 0.95, 0.08));
    notes.push_back({on, off, std::clamp(note.pitch, 0, 127), std::clamp(note.vel, 1, 127)});
  }
  return notes;
}

std::string menuSummary(const std::vector<Song>& songs) {
  std::string text = std::to_string(songs.size()) + " songs. ";
  for (int level = 1; level <= 5; ++level) {
    const auto count = std::count_if(songs.begin(), songs.end(),
                                     [level](const Song& song) { return song.level == level; });
    text += (level > 1 ? ". " : "") + levelNames()[static_cast<std::size_t>(level - 1)] + ", " +
            std::to_string(count);
  }
  return text + ".";
}

}  // namespace orvo
