#include "lessons/jazz-feedback.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "lessons/jazz-tune.h"
#include "lessons/music-words.h"

namespace orvo {
namespace {

int pitchClass(int pitch) {
  return ((pitch % 12) + 12) % 12;
}

const JazzChord& chordOfBar(const JazzLesson& lesson, int bar) {
  static const JazzChord none{};
  if (lesson.bars.empty()) return none;
  return lesson.bars[static_cast<std::size_t>(bar) % lesson.bars.size()];
}

// Shells are played below D4; anything higher is the right hand.
constexpr int kLeftHandBelow = 62;
// Target notes are above F sharp 3, so a left-hand shell never counts as one.
constexpr int kTargetAbove = 54;

}  // namespace

int jamBars(const JazzLesson& lesson) {
  return static_cast<int>(lesson.bars.size()) * std::max(0, lesson.choruses);
}

std::vector<CallSpan> callSpans(const JazzLesson& lesson) {
  std::vector<CallSpan> spans;
  if (lesson.calls.empty()) return spans;
  const int bars = jamBars(lesson);
  for (int bar = 0, k = 0; bar + 4 <= bars; bar += 4, ++k) {
    const int phrase = k % static_cast<int>(lesson.calls.size());
    const double length = readJazzTune(lesson.calls[static_cast<std::size_t>(phrase)], 0, 84).beats;
    const double start = bar * 4.0;
    // An answer may come in a beat before the gap, straight after the phrase.
    spans.push_back({start, length, std::max(start + length, start + 7.0), start + 16.0, phrase});
  }
  return spans;
}

std::string swingLine(const std::vector<JamNote>& notes) {
  double sum = 0;
  int count = 0;
  for (const JamNote& note : notes) {
    const double fraction = note.beat - std::floor(note.beat);
    if (fraction > 0.3 && fraction < 0.92) {
      sum += fraction;
      ++count;
    }
  }
  if (count < 4)
    return "I heard mostly notes on the beat. Add the short note that skips in before each beat.";
  const double mean = sum / count;
  if (mean < 0.57)
    return "Your short notes land halfway between beats, which is straight, not swung. Wait "
           "longer, then skip in late.";
  if (mean > 0.8)
    return "Your short notes are very late, almost on the next beat. Relax them a little "
           "earlier.";
  return "That swings. Your short notes sit late in the beat, where they belong.";
}

std::string scaleLine(const JazzLesson& lesson, const std::vector<JamNote>& notes) {
  std::array<int, 12> outside{};
  int outsideCount = 0;
  for (const JamNote& note : notes) {
    const int pc = pitchClass(note.pitch);
    if (!lesson.scale.contains(pc)) {
      ++outside[static_cast<std::size_t>(pc)];
      ++outsideCount;
    }
  }
  if (outsideCount == 0) return "Every note was in the scale.";
  const int total = static_cast<int>(notes.size());
  const int share = 100 - outsideCount * 100 / total;
  if (share < 85) {
    const auto most = std::max_element(outside.begin(), outside.end()) - outside.begin();
    return std::to_string(share) + " percent in the scale. The stray one was mostly " +
           flatNames()[static_cast<std::size_t>(most)] + ".";
  }
  return std::to_string(share) + " percent in the scale. That is plenty.";
}

std::string spaceLine(const JazzLesson& lesson, const std::vector<JamNote>& notes) {
  std::vector<JamNote> sorted = notes;
  std::sort(sorted.begin(), sorted.end(),
            [](const JamNote& a, const JamNote& b) { return a.beat < b.beat; });
  double played = 0;
  int phrases = 0;
  double start = 0, end = 0;
  for (const JamNote& note : sorted) {
    const double noteEnd = note.beat + std::clamp(note.length, 0.0, 2.0);
    if (phrases == 0 || note.beat - end >= 1.5) {
      if (phrases > 0) played += end - start;
      ++phrases;
      start = note.beat;
      end = noteEnd;
    } else {
      end = std::max(end, noteEnd);
    }
  }
  if (phrases > 0) played += end - start;
  const double length = jamBars(lesson) * 4.0;
  const double silent = length > 0 ? 1.0 - played / length : 1.0;
  if (silent < 0.2)
    return "You played almost non stop. Next time, stop for a whole bar and let the band play.";
  if (silent > 0.8) return "Plenty of space, maybe too much. Say a little more.";
  return std::to_string(phrases) +
         " phrases with room between them. That breathing is exactly right.";
}

std::string targetLine(const JazzLesson& lesson, const std::vector<JamNote>& notes) {
  int changes = 0, caught = 0;
  const int bars = jamBars(lesson);
  for (int bar = 0; bar < bars; ++bar) {
    const JazzChord& chord = chordOfBar(lesson, bar);
    if (bar > 0 && chord == chordOfBar(lesson, bar - 1)) continue;
    ++changes;
    const double at = bar * 4.0;
    const bool hit = std::any_of(notes.begin(), notes.end(), [&](const JamNote& note) {
      const int pc = pitchClass(note.pitch);
      return note.pitch > kTargetAbove && note.beat >= at - 0.34 && note.beat <= at + 1.2 &&
             (pc == chord.third() || pc == chord.seventh());
    });
    if (hit) ++caught;
  }
  if (caught == 0) {
    return "You did not catch a chord change yet. Listen for the bass moving, and land on " +
           flatNames()[static_cast<std::size_t>(chordOfBar(lesson, 0).third())] +
           " or the next chord's third right then.";
  }
  if (caught * 2 < changes) {
    return "You caught " + std::to_string(caught) + " of " + std::to_string(changes) +
           " chord changes. Aim at the third just as the bass moves.";
  }
  return "You landed on the third or seventh at " + std::to_string(caught) + " of " +
         std::to_string(changes) + " chord changes. That is what makes it sound like jazz.";
}

std::string callsLine(const JazzLesson& lesson, const std::vector<JamNote>& notes) {
  const auto spans = callSpans(lesson);
  int talkedOver = 0, answered = 0;
  for (const CallSpan& span : spans) {
    int over = 0;
    bool answer = false;
    for (const JamNote& note : notes) {
      if (note.beat >= span.start + 0.25 && note.beat < span.start + span.length - 0.25) ++over;
      if (note.beat >= span.answerFrom && note.beat < span.answerTo) answer = true;
    }
    // A stray note over a phrase is a slip; two or more is talking over it.
    if (over >= 2) ++talkedOver;
    if (answer) ++answered;
  }
  if (talkedOver > 0 && talkedOver * 2 >= static_cast<int>(spans.size()))
    return "You played while I was talking. Wait for my phrase to end, then answer.";
  if (!spans.empty() && answered == static_cast<int>(spans.size()))
    return "You answered every call. That is a real conversation.";
  return "You answered " + std::to_string(answered) + " of " + std::to_string(spans.size()) +
         " calls. Do not think, just reply.";
}

std::string shellsLine(const JazzLesson& lesson, const std::vector<JamNote>& notes) {
  const int bars = jamBars(lesson);
  int right = 0;
  for (int bar = 0; bar < bars; ++bar) {
    const JazzChord& chord = chordOfBar(lesson, bar);
    const double at = bar * 4.0;
    bool third = false, seventh = false;
    for (const JamNote& note : notes) {
      if (note.pitch >= kLeftHandBelow) continue;
      const bool struck = std::abs(note.beat - at) <= 0.5;
      const bool held = note.beat < at && note.beat + note.length > at + 0.25;
      if (!struck && !held) continue;
      third = third || pitchClass(note.pitch) == chord.third();
      seventh = seventh || pitchClass(note.pitch) == chord.seventh();
    }
    if (third && seventh) ++right;
  }
  const std::string count = std::to_string(right) + " of " + std::to_string(bars);
  if (right * 2 >= bars && right > 0)
    return count +
           " bars had the right shell. You are holding down the harmony like a real rhythm "
           "section.";
  return count +
         " bars had the right shell. Listen for the bass to tell you when the chord changes.";
}

std::string jazzFeedback(const JazzLesson& lesson, const std::vector<JamNote>& notes) {
  if (notes.size() < 4) return "I hardly heard you. Jump in, there are no wrong notes here.";
  switch (lesson.goal) {
    case JamGoal::swing:
      return swingLine(notes);
    case JamGoal::scale:
      return scaleLine(lesson, notes);
    case JamGoal::space:
      return spaceLine(lesson, notes) + " " + scaleLine(lesson, notes);
    case JamGoal::calls:
      return callsLine(lesson, notes);
    case JamGoal::shells:
      return shellsLine(lesson, notes);
    case JamGoal::targets:
      return targetLine(lesson, notes);
    case JamGoal::free:
      // Everything together: the feel first, then where the phrases landed.
      return swingLine(notes) + " " + targetLine(lesson, notes);
  }
  return "";
}

}  // namespace orvo
