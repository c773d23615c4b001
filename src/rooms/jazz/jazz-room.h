#pragma once
// The jazz course: nine lessons, each an explanation, a short study taught by
// the lesson flow, then a jam with a band (walking bass, ride cymbal and, in
// most lessons, comping; calls to answer in some) and what was heard in it.
// It also demonstrates the composing ideas in composition mode.
//
// Threads: every member with Engine::lock held (the rooms' rule). The band
// plays on a clock thread of its own (JazzBand); the jam's end is a runtime
// timer carrying the jam's token, so a jam stopped or started again never
// gets the verdict of the one before.

#include <memory>
#include <optional>
#include <string>

#include "compose/jazz-band.h"
#include "engine/room.h"
#include "lessons/jazz-feedback.h"

namespace orvo {

class RoomServices;
class Runtime;
class MidiIO;

class JazzRoom final : public Room {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    MidiIO& midi;
  };
  JazzRoom(RoomServices& engine, Parts parts);

  Mode mode() const override { return Mode::jazz; }
  void leave() override;
  bool button(int key) override;
  bool stop() override;
  std::string helpText() override;

  // Opens lesson `index` (0-based): its explanation, then the study or, for
  // a lesson without one, the jam. Out of range, it says which lessons exist.
  void startJazz(int index);
  // The course at the lesson the memory keeps, else the first.
  void startRemembered();
  // The band for the current lesson, after `saying` and the lesson's tip.
  void startJam(const std::string& saying);
  // The lesson flow's verdict on the study's last unit: on to the jam.
  void studyDone(const std::string& verdict);
  // The next (+1) or previous (-1) lesson; at either end it says so.
  void stepLesson(int direction);
  // The lesson being taught or jammed; none outside the course.
  std::optional<int> lessonIndex() const { return jazzIdx_; }
  // Out of the course (another song chosen): the band stops too.
  void endCourse();
  bool jamming() const { return jamming_; }
  // When the player's part of the jam playing now began, on the runtime's clock.
  double jamStart() const { return jamFrom_; }

  // Composition mode's talk key: the idea at `index` (wrapping) played with
  // the band, its talk, an invitation; the memory moves on to the next one.
  void learnIdea(int index);

  JazzBand& band() { return band_; }

 private:
  void stopJam();
  void endJam(int token);
  std::vector<JamNote> jamNotes();

  RoomServices& engine_;
  Parts parts_;
  JazzBand band_;
  std::optional<int> jazzIdx_;
  bool jamming_ = false;
  int jamToken_ = 0;
  double jamFrom_ = 0;  // clock time of the player's part's first beat
  double jamTo_ = 0;    // and of its end
};

}  // namespace orvo
