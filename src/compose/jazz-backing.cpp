#include "compose/jazz-backing.h"

#include <algorithm>

#include "lessons/jazz-feedback.h"
#include "lessons/jazz-tune.h"

namespace orvo {
namespace {

using namespace jazzband;

// A pitch of class `pc` at or above `low`.
int above(int pc, int low) {
  int pitch = low + ((pc - low) % 12 + 12) % 12;
  return pitch;
}

}  // namespace

std::vector<RNote> jazzBacking(const JazzLesson& lesson, double& leadBeat) {
  leadBeat = kCountIn;
  std::vector<RNote> notes;
  if (lesson.bars.empty() || lesson.bpm <= 0) return notes;
  const double beat = 60.0 / lesson.bpm;
  auto add = [&](double at, double length, int pitch, int vel, int ch) {
    notes.push_back({at * beat, (at + length) * beat, std::clamp(pitch, 0, 127),
                     std::clamp(vel, 1, 127), ch, -1});
  };
  for (int b = 0; b < 4; ++b) add(b, 0.25, kClosedHat, b == 0 ? 84 : 70, kDrums);

  const int bars = jamBars(lesson);
  const std::size_t count = lesson.bars.size();
  for (int bar = 0; bar < bars; ++bar) {
    const JazzChord& chord = lesson.bars[static_cast<std::size_t>(bar) % count];
    const JazzChord& next = lesson.bars[static_cast<std::size_t>(bar + 1) % count];
    const double at = kCountIn + bar * 4.0;

    // The walk: root, third, fifth, then a half step below the next root
    // (the sixth when the chord stays).
    const int root = above(chord.root, 36);
    const int nextRoot = above(next.root, 36);
    const int approach = next == chord ? root + 9 : nextRoot - 1;
    const int walk[4] = {root, above(chord.third(), root), above((chord.root + 7) % 12, root),
                         approach};
    for (int b = 0; b < 4; ++b) add(at + b, 0.9, walk[b], b == 0 ? 90 : 78, kBass);

    // Ding, ding-a ding, ding-a: the skip two thirds of the way through the beat.
    for (int b = 0; b < 4; ++b) {
      add(at + b, 0.3, kRide, b % 2 == 1 ? 82 : 72, kDrums);
      if (b % 2 == 1) {
        add(at + b + 2.0 / 3.0, 0.25, kRide, 60, kDrums);
        add(at + b, 0.2, kPedalHat, 64, kDrums);
      }
    }

    if (lesson.comp) {
      const int third = above(chord.third(), 52);
      const int seventh = above(chord.seventh(), third + 1);
      const int ninth = above((chord.root + 2) % 12, seventh + 1);
      for (int pitch : {third, seventh, ninth}) {
        add(at, 1.0, pitch, 60, kComp);
        add(at + 1.0 + 2.0 / 3.0, 0.5, pitch, 56, kComp);
      }
    }
  }

  for (const CallSpan& span : callSpans(lesson)) {
    const auto phrase = jazzTune(lesson.calls[static_cast<std::size_t>(span.phrase)], 0, 80);
    for (const SNote& note : phrase)
      add(kCountIn + span.start + note.beat, note.dur * 0.9, note.pitch, note.vel, kCalls);
  }

  // The band stops together on the first beat after the last chorus.
  const double end = kCountIn + bars * 4.0;
  add(end, 2.0, above(lesson.bars.front().root, 36), 90, kBass);
  add(end, 2.0, kCrash, 90, kDrums);

  std::stable_sort(notes.begin(), notes.end(),
                   [](const RNote& a, const RNote& b) { return a.t < b.t; });
  return notes;
}

}  // namespace orvo
