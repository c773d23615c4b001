// The jazz course: opening a lesson, its jam with the band, and what was heard.

#include "rooms/jazz/jazz-room.h"
#include "sound/midi-io.h"

#include <algorithm>

#include "compose/jazz-backing.h"
#include "engine/room-services.h"
#include "lessons/jazz-tune.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"
#include "rooms/lesson/lesson-room.h"

namespace orvo {
namespace {

constexpr int kLessons = 9;

const std::string kFree =
    " This part is free. There is no right or wrong note to find: just play along, and when the "
    "band stops I will tell you what I heard.";

}  // namespace

JazzRoom::JazzRoom(RoomServices& engine, Parts parts)
    : engine_(engine),
      parts_(std::move(parts)),
      band_(
          parts_.runtime,
          [&midi = parts_.midi](const std::uint8_t* bytes, std::size_t size) {
            midi.send(bytes, size);
          },
          [&engine](const std::string& line) { engine.logLine(line); }) {}

std::string JazzRoom::helpText() {
  return "Jazz mode. Counting white keys down from the top, with the computer key after each. "
         "One, or space: play with the band again. Two, or n: hear the lesson's idea again. "
         "Three, or the right arrow: next lesson. Four, or the left arrow: previous lesson. Six, "
         "or Return: stop the band. Seven, or c: new composition. Eight, or h: this help. The "
         "second lowest white key, or zero, goes home.";
}

void JazzRoom::leave() {
  stopJam();
  jazzIdx_.reset();
}

void JazzRoom::endCourse() {
  std::lock_guard guard(engine_.lock);
  stopJam();
  jazzIdx_.reset();
}

void JazzRoom::stopJam() {
  ++jamToken_;
  jamming_ = false;
  band_.stop();
}

bool JazzRoom::stop() {
  stopJam();
  return false;  // the engine says it has stopped
}

void JazzRoom::startRemembered() {
  std::lock_guard guard(engine_.lock);
  startJazz(std::clamp(engine_.memory().jazzLesson.value_or(0), 0, kLessons - 1));
}

void JazzRoom::startJazz(int index) {
  std::lock_guard guard(engine_.lock);
  const auto& lessons = jazzLessons();
  if (index < 0 || index >= static_cast<int>(lessons.size())) {
    engine_.speak("There are nine jazz lessons. Choose one from 1 to 9.");
    return;
  }
  engine_.compose().autosaveTake();
  stopJam();
  const JazzLesson& lesson = lessons[static_cast<std::size_t>(index)];
  engine_.memory().jazzLesson = index;
  engine_.saveMemory();
  std::string text = "Jazz lesson " + std::to_string(index + 1) + " of " +
                     std::to_string(lessons.size()) + ". " + lesson.title + ". " + lesson.talk;
  if (lesson.hasStudy()) {
    text += " First, learn this short study, a few notes at a time. ";
    // The lesson flow takes over the mode; the course stays open behind it.
    engine_.lessons().teachStudy(jazzStudy(lesson), text);
    jazzIdx_ = index;
    return;
  }
  jazzIdx_ = index;
  startJam(text + " ");
}

void JazzRoom::studyDone(const std::string& verdict) {
  std::lock_guard guard(engine_.lock);
  startJam(verdict + "You have the study. ");
}

void JazzRoom::startJam(const std::string& saying) {
  std::lock_guard guard(engine_.lock);
  if (!jazzIdx_) return;
  const int index = *jazzIdx_;
  const JazzLesson& lesson = jazzLessons()[static_cast<std::size_t>(index)];
  stopJam();
  engine_.setMode(Mode::jazz);
  jazzIdx_ = index;
  engine_.ui(
      lines::now("Jazz " + std::to_string(index + 1) + ": " + lesson.title + ", with the band"));
  std::string text = saying;
  if (lesson.goal == JamGoal::free) text += kFree.substr(1) + " ";
  text += lesson.tip;

  double lead = 0;
  auto notes = jazzBacking(lesson, lead);
  double length = 0;
  for (const RNote& note : notes) length = std::max(length, note.end);
  const double beat = 60.0 / lesson.bpm;
  const double part = static_cast<double>(jamBars(lesson)) * 4.0 * beat;
  const int token = jamToken_;
  engine_.run([this, text, notes = std::move(notes), length, lead, beat, part, token](int gen) {
    engine_.say(text, gen);
    std::lock_guard inner(engine_.lock);
    if (!engine_.alive(gen) || token != jamToken_ || engine_.currentMode() != Mode::jazz) return;
    const double start = band_.play(notes);
    jamming_ = true;
    jamFrom_ = start + lead * beat;
    jamTo_ = jamFrom_ + part;
    engine_.logLine("jam: lesson " + std::to_string(*jazzIdx_ + 1) + ", " +
                    std::to_string(notes.size()) + " band notes");
    parts_.runtime.after(length + 0.3, [this, token] { endJam(token); });
  });
}

std::vector<JamNote> JazzRoom::jamNotes() {
  const JazzLesson& lesson = jazzLessons()[static_cast<std::size_t>(*jazzIdx_)];
  const double beat = 60.0 / lesson.bpm;
  const double now = engine_.now();
  // A note may come a little before the part's first beat and still be heard
  // as landing on it.
  const double from = jamFrom_ - 0.5 * beat;
  std::vector<JamNote> notes;
  for (const RNote& entry : engine_.compose().history().entries()) {
    if (entry.cc >= 0 || entry.t < from || entry.t >= jamTo_) continue;
    const double end = entry.end < 0 ? now : entry.end;
    notes.push_back(
        {(entry.t - jamFrom_) / beat, entry.pitch, std::max(0.0, end - entry.t) / beat});
  }
  return notes;
}

void JazzRoom::endJam(int token) {
  std::lock_guard guard(engine_.lock);
  if (token != jamToken_ || !jamming_ || !jazzIdx_) return;
  jamming_ = false;
  const int index = *jazzIdx_;
  auto notes = jamNotes();
  engine_.memory().jazzLesson = std::min(index + 1, kLessons - 1);
  engine_.saveMemory();
  engine_.logLine("jam ended: " + std::to_string(notes.size()) + " notes heard");
  engine_.run([this, index, notes = std::move(notes)](int gen) {
    const JazzLesson& lesson = jazzLessons()[static_cast<std::size_t>(index)];
    std::string text = jazzFeedback(lesson, notes);
    if (index + 1 < kLessons) {
      text += " Top key to go again. Third key for the next lesson.";
    } else {
      text += " That was the last lesson. The jam session is always there when you want it.";
      text += " Top key to go again.";
    }
    engine_.say(text, gen);
  });
}

void JazzRoom::stepLesson(int direction) {
  std::lock_guard guard(engine_.lock);
  if (!jazzIdx_) return;
  const int to = *jazzIdx_ + direction;
  if (to < 0 || to >= kLessons) {
    engine_.speak(to < 0 ? "This is the first jazz lesson. The top key plays with the band again."
                         : "This is the last jazz lesson. The top key plays with the band again.");
    return;
  }
  startJazz(to);
}

bool JazzRoom::button(int key) {
  const ButtonKeys& keys = engine_.keys();
  if (!jazzIdx_) return false;
  if (key == keys.hear) {
    startJam("");
    return true;
  }
  if (key == keys.notes) {
    engine_.speak(jazzLessons()[static_cast<std::size_t>(*jazzIdx_)].talk);
    return true;
  }
  if (key == keys.next || key == keys.back) {
    stepLesson(key == keys.next ? 1 : -1);
    return true;
  }
  if (key == keys.pause && jamming_) {
    stopJam();
    parts_.midi.allOff();
    engine_.speak("The band has stopped. Again, or on to the next lesson.");
    return true;
  }
  return false;
}

}  // namespace orvo
