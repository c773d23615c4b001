#include "lessons/lesson.h"

#include <algorithm>
#include <cmath>

namespace orvo {
namespace {

const char* handName(int hand) {
  return hand == 0 ? "right hand" : hand == 1 ? "left hand" : "both hands";
}

}  // namespace

Lesson::Lesson(Song s, const std::string& handsOnly) : song(std::move(s)) {
  int flats = 0, sharps = 0;
  for (const auto& note : song.notes) {
    int pc = music::pitchClass(note.pitch);
    if (pc == 3 || pc == 8 || pc == 10) ++flats;
    if (pc == 1 || pc == 6) ++sharps;
  }
  names = flats > sharps ? flatNames() : sharpNames();

  std::vector<SNote> right, left;
  for (const auto& note : song.notes) (note.hand == 1 ? left : right).push_back(note);
  steps[0] = makeSteps(right, song.chordGap);
  steps[1] = makeSteps(left, song.chordGap);
  steps[2] = makeSteps(song.notes, song.chordGap);

  const auto& main = steps[0].empty() ? steps[1] : steps[0];
  double typical = 2.0;
  if (main.size() >= 2) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < main.size(); ++i) gaps.push_back(main[i].beat - main[i - 1].beat);
    std::sort(gaps.begin(), gaps.end());
    typical = 2.0 * gaps[gaps.size() / 2];
  }
  const std::size_t most = song.level < 3 ? 8 : 6;
  if (!main.empty()) {
    bounds.push_back(main[0].beat);
    std::size_t count = 1;
    for (std::size_t i = 1; i < main.size(); ++i) {
      bool phraseBreak = count > 3 && main[i].beat - main[i - 1].beat >= typical;
      if (count >= most || phraseBreak) {
        bounds.push_back(main[i].beat);
        count = 0;
      }
      ++count;
    }
  }
  if (bounds.empty()) bounds.push_back(0);
  bounds[0] = -1.0;

  auto hasSteps = [&](int hand, int part) { return !stepsIn({hand, part, part}).empty(); };
  const int parts = partCount();
  if (bothHands() && handsOnly == "both") {
    for (int i = 0; i < parts; ++i) {
      bool r = hasSteps(0, i), l = hasSteps(1, i);
      if (r) units.push_back({0, i, i});
      if (l) units.push_back({1, i, i});
      if (r && l) units.push_back({2, i, i});
      if (i > 0) units.push_back({2, i - 1, i});
    }
    if (parts >= 3) units.push_back({2, 0, parts - 1});
  } else {
    int hand = steps[0].empty() || handsOnly == "left" ? 1 : 0;
    std::optional<int> previous;
    for (int i = 0; i < parts; ++i) {
      if (!hasSteps(hand, i)) continue;
      units.push_back({hand, i, i});
      if (previous) units.push_back({hand, *previous, i});
      previous = i;
    }
    if (parts >= 3) units.push_back({hand, 0, parts - 1});
  }
}

std::pair<double, double> Lesson::window(const Unit& unit) const {
  double start = bounds[static_cast<std::size_t>(std::clamp(unit.from, 0, partCount() - 1))];
  double end = unit.to + 1 < partCount() ? bounds[static_cast<std::size_t>(unit.to + 1)] + 0.03
                                         : std::numeric_limits<double>::infinity();
  return {start, end};
}

std::vector<Step> Lesson::stepsIn(const Unit& unit) const {
  auto [start, end] = window(unit);
  std::vector<Step> found;
  for (const auto& step : steps[static_cast<std::size_t>(std::clamp(unit.hand, 0, 2))]) {
    if (step.beat >= start - 0.02 && step.beat < end - 0.02) found.push_back(step);
  }
  return found;
}

std::vector<SNote> Lesson::notesIn(const Unit& unit) const {
  auto [start, end] = window(unit);
  std::vector<SNote> found;
  for (const auto& note : song.notes) {
    if (unit.hand != 2 && note.hand != unit.hand) continue;
    if (note.beat >= start - 0.02 && note.beat < end - 0.02) found.push_back(note);
  }
  return found;
}

std::string Lesson::intro(const Unit& unit) const {
  if (unit.from == unit.to) {
    return "Part " + std::to_string(unit.from + 1) + ", " + handName(unit.hand) + ".";
  }
  if (unit.from == 0 && unit.to == partCount() - 1) {
    return std::string("Now all of it, ") + handName(unit.hand) + ".";
  }
  return "Parts " + std::to_string(unit.from + 1) + " and " + std::to_string(unit.to + 1) +
         " together.";
}

std::optional<int> Lesson::sameAs(const Unit& unit) const {
  if (unit.from != unit.to) return std::nullopt;
  auto pitchesOf = [&](int part) {
    std::vector<std::vector<int>> list;
    for (const auto& step : stepsIn({unit.hand, part, part})) list.push_back(step.pitches);
    return list;
  };
  auto mine = pitchesOf(unit.from);
  for (int part = 0; part < unit.from; ++part) {
    if (pitchesOf(part) == mine) return part;
  }
  return std::nullopt;
}

std::string Lesson::describe(const std::vector<Step>& list) const {
  std::string text;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const auto& pitches = list[i].pitches;
    if (pitches.empty()) continue;
    std::string phrase;
    const std::string& name = names[static_cast<std::size_t>(music::pitchClass(pitches[0]))];
    if (i == 0) {
      phrase = pitches.size() == 1
                   ? "Start on " + name + ", octave " + std::to_string(music::octave(pitches[0]))
                   : "Start with " + music::chordText(pitches, names) + ", lowest note in octave " +
                         std::to_string(music::octave(pitches[0]));
    } else if (pitches.size() > 1) {
      phrase = music::chordText(pitches, names);
    } else {
      int highest = list[i - 1].pitches.empty() ? pitches[0] : list[i - 1].pitches.back();
      int distance = pitches[0] - highest;
      phrase = std::abs(distance) < 5 ? name : (distance > 0 ? "up to " : "down to ") + name;
    }
    text += (text.empty() ? "" : ", ") + phrase;
  }
  return text + ".";
}

std::string Lesson::describe(const Unit& unit) const {
  if (unit.hand != 2) return describe(stepsIn(unit));
  std::string text;
  auto right = stepsIn({0, unit.from, unit.to});
  auto left = stepsIn({1, unit.from, unit.to});
  if (!right.empty()) text += "Right hand. " + describe(right);
  if (!left.empty())
    text += (text.empty() ? "" : " ") + std::string("Left hand. ") + describe(left);
  return text;
}

}  // namespace orvo
