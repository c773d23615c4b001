#include "compose/variation.h"

#include <algorithm>
#include <array>

namespace orvo {

namespace {

int floorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

std::vector<RNote> backwards(std::vector<RNote> notes, double length) {
  for (RNote& note : notes) {
    const double onset = note.t;
    note.t = length - note.end;
    note.end = length - onset;
  }
  return notes;
}

std::vector<RNote> upsideDown(std::vector<RNote> notes, const Analysis& analysis) {
  static constexpr std::array<int, 7> kMajor = {0, 2, 4, 5, 7, 9, 11};
  static constexpr std::array<int, 7> kMinor = {0, 2, 3, 5, 7, 8, 10};
  const auto& scale = analysis.minor ? kMinor : kMajor;
  const int tonic = analysis.tonic;
  auto degreeOf = [&](int pitch, int& offset) {
    const int d = pitch - tonic;
    const int octave = floorDiv(d, 12);
    const int r = d - 12 * octave;
    int i = 0;
    while (i + 1 < 7 && scale[static_cast<std::size_t>(i + 1)] <= r) ++i;
    offset = r - scale[static_cast<std::size_t>(i)];
    return 7 * octave + i;
  };
  int lowest = 127;
  for (const RNote& note : notes) {
    if (note.cc < 0) lowest = std::min(lowest, note.pitch);
  }
  int unused = 0;
  const int pivot = degreeOf(lowest, unused);
  for (RNote& note : notes) {
    if (note.cc >= 0) continue;
    int offset = 0;
    const int mirrored = 2 * pivot - degreeOf(note.pitch, offset);
    const int octave = floorDiv(mirrored, 7);
    int pitch =
        tonic + 12 * octave + scale[static_cast<std::size_t>(mirrored - 7 * octave)] - offset;
    while (pitch < 24) pitch += 12;
    while (pitch > 100) pitch -= 12;
    note.pitch = pitch;
  }
  return notes;
}

std::vector<RNote> otherMode(std::vector<RNote> notes, const Analysis& analysis) {
  for (RNote& note : notes) {
    if (note.cc >= 0) continue;
    const int degree = ((note.pitch - analysis.tonic) % 12 + 12) % 12;
    if (!analysis.minor && (degree == 4 || degree == 9 || degree == 11)) note.pitch -= 1;
    if (analysis.minor && (degree == 3 || degree == 8 || degree == 10)) note.pitch += 1;
    note.pitch = std::clamp(note.pitch, 0, 127);
  }
  return notes;
}

}  // namespace

std::vector<RNote> variation(int kind, const std::vector<RNote>& notes, const Analysis& analysis) {
  switch (kind) {
    case 0:
      return backwards(notes, analysis.length);
    case 1:
      return upsideDown(notes, analysis);
    default:
      return otherMode(notes, analysis);
  }
}

}  // namespace orvo
