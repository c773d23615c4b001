#include "desks/live-stage.h"
#include "sound/midi-io.h"

#include "compose/analysis.h"
#include "compose/take.h"
#include "compose/variation.h"
#include "engine/room-services.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"

namespace orvo {
namespace {

constexpr double kJamQuiet = 1.25;

}  // namespace

LiveStage::LiveStage(RoomServices& engine, Parts parts)
    : engine_(engine),
      parts_(std::move(parts)),
      jamAlarm_(parts_.runtime.makeAlarm([this] { answerIfQuiet(); }, 64)) {
  MidiIO& midi = parts_.midi;
  // The clock wakes the band at each message's due time, so it mostly goes
  // out at once; one given ahead waits in the link's timed output.
  band_.setOut([&midi](const std::uint8_t* bytes, std::size_t size, double due) {
    midi.sendAt(bytes, size, due);
  });
}

void LiveStage::toggleLive() {
  const bool on = !band_.on();
  const double now = engine_.now();
  if (on && !clock_) {
    clock_ = std::make_unique<PlayerClock>(
        parts_.runtime, [this](double now) { return band_.advance(now); }, 32);
    if (!clock_->whyNormalPriority().empty())
      engine_.logLine("the live band's clock runs at normal priority: " +
                      clock_->whyNormalPriority());
  }
  band_.setOn(on, now);
  engine_.ui(on ? "live 1" : "live 0");
  if (on) clock_->wakeBy(band_.nextDue());
  engine_.speak(on ? "Live band on. Just play, and the band follows you." : "Live band off.");
}

void LiveStage::setLive(bool on) {
  if (on == band_.on()) {
    engine_.speak(on ? "The live band is already following you." : "The live band is off.");
    return;
  }
  toggleLive();
}

void LiveStage::played(int pitch, int velocity) {
  const Mode mode = engine_.currentMode();
  if (mode != Mode::compose && mode != Mode::idle) return;
  const double now = engine_.now();
  // The band ignores notes while off, so it is asked only once, under its lock.
  if (clock_) {
    if (velocity > 0) {
      clock_->wakeBy(band_.note(pitch, velocity, now));
    } else {
      band_.release(pitch);
    }
  }
  if (mode == Mode::idle && jamOn_ && velocity > 0) armJam(now);
}

void LiveStage::silence() {
  band_.silence(engine_.now());
}

void LiveStage::setJam(bool on) {
  if (!on) {
    jamOn_ = false;
    ++jamToken_;
    engine_.speak("That was fun.");
    return;
  }
  engine_.setMode(Mode::idle);
  parts_.midi.allOff();
  jamOn_ = true;
  ++jamToken_;
  answeredToken_ = jamToken_;  // nothing to answer before the first phrase
  engine_.speak("Let's talk in music. Play me a short phrase, then stop, and I will answer. Say " +
                engine_.currentProfile().assistantName + " stop when you have had enough.");
}

// Each note makes the wait start again; an answer playing is cut off.
void LiveStage::armJam(double at) {
  ++jamToken_;
  lastJamNote_ = at;
  if (answerGen_ && engine_.alive(*answerGen_)) engine_.cutIn();
  answerGen_.reset();
  jamAlarm_->at(at + kJamQuiet);
}

// On the timer thread, 1.25 s after a note: the answer, when no note came since.
void LiveStage::answerIfQuiet() {
  std::lock_guard guard(engine_.lock);
  if (!jamOn_ || answeredToken_ == jamToken_ || engine_.now() - lastJamNote_ < kJamQuiet - 1e-9 ||
      engine_.currentMode() != Mode::idle) {
    return;
  }
  answeredToken_ = jamToken_;
  std::vector<RNote> phrase = engine_.compose().history().lastStretch(engine_.now());
  if (phrase.empty()) return;
  const int kind = jamTurn_++ % 3;
  const int token = jamToken_;
  answerGen_ = engine_.run([this, phrase = std::move(phrase), kind, token](int gen) {
    const Analysis analysis = analyse(phrase);
    const std::vector<Ev> answer = timedEvents(variation(kind, phrase, analysis));
    {
      std::lock_guard guard(engine_.lock);
      if (token != jamToken_ || !jamOn_) return;
      engine_.logLine("jam answer: " + std::to_string(answer.size() / 2) + " notes");
    }
    engine_.play(answer, gen);
  });
}

}  // namespace orvo
