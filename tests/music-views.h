#pragma once
// Views of the music types that several tests read the same way.

#include <cstddef>
#include <vector>

#include "compose/rnote.h"
#include "lessons/jazz-course.h"

namespace orvo {

inline std::vector<int> pitches(const std::vector<RNote>& notes) {
  std::vector<int> out;
  for (const RNote& note : notes) out.push_back(note.pitch);
  return out;
}

// Jazz lessons by the number the player hears (the first is 1).
inline const JazzLesson& lessonNo(int n) {
  return jazzLessons()[static_cast<std::size_t>(n - 1)];
}

}  // namespace orvo
