#pragma once
// The song library laid out on the piano: each level owns an octave (level 1
// from C2, up to level 5 from C6), its songs on the white keys first and then
// the black ones, in library order; button keys hold no song. The jazz
// lessons sit in the octave below. Pure functions; any thread.

#include <optional>
#include <string>
#include <vector>

#include "lessons/song.h"

namespace orvo {

// The keys of a level's octave in the order songs take them, without `buttons`.
std::vector<int> menuKeys(int level, const std::vector<int>& buttons);
// The key of the song at `index`; none past the level's last key, or for a
// level outside 1 to 5.
std::optional<int> menuKey(const std::vector<Song>& songs, int index,
                           const std::vector<int>& buttons);
// The song on `key`; none for a key that holds no song.
std::optional<int> menuSong(const std::vector<Song>& songs, int key,
                            const std::vector<int>& buttons);
// The jazz lesson on `key` (0-based), for the lessons that exist.
std::optional<int> menuJazzLesson(int key);

// The first seconds of a song as note-ons and note-offs: onsets within 7 s of
// the first, no note-off after 8 s, no note shorter than 0.08 s.
struct PreviewNote {
  double on = 0;
  double off = 0;
  int pitch = 60;
  int vel = 84;
};
std::vector<PreviewNote> previewNotes(const Song& song);

// "12 songs. Easy, 4. Moderately easy, 3. Moderate, 0. Hard, 3. Very hard, 2."
std::string menuSummary(const std::vector<Song>& songs);

}  // namespace orvo
