// The button dispatcher, going home, stop and help.

#include "desks/live-stage.h"
#include "engine/engine.h"
#include "engine/home-room.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"
#include "rooms/logic/logic-room.h"
#include "rooms/menu/menu-room.h"
#include "rooms/practice/ear-training.h"
#include "rooms/practice/metronome.h"
#include "rooms/reaper/reaper-room.h"
#include "rooms/talk/talk-room.h"

namespace orvo {

// Buttons every mode shares come first, then the mode's own, then what the
// remaining keys mean anywhere.
void Engine::command(int key) {
  RecursiveMutexLock guard(lock);
  compose_->stopRound();  // any button key ends the echo round
  if (key == keys_.help) {
    std::string text = helpText();
    run([this, text](int gen) {
      say(text, gen);
      lessons_->resumeAfterHelp(gen);
    });
    return;
  }
  if (key == keys_.home) return goHome();
  if (key == keys_.keep) return compose_->keepLast();
  // Composition takes its keys first: the compose key in every mode (also out
  // of a paused lesson), the take keys in composition mode.
  if (compose_->command(key)) return;
  // At home during a round the top key sounds the note again.
  if (key == keys_.hear && current_ == home_.get() && ear_->running()) return ear_->playEar();
  if (current_->button(key)) return;
  if (key == keys_.pause) return stopKey();
  if (key == keys_.talk) return toggleTalk();
  if (key == keys_.hear) return lessons_->chooseCurrent();
}

void Engine::toggleTalk() {
  RecursiveMutexLock guard(lock);
  bool entering = current_ != talk_.get();
  setMode(entering ? Mode::talk : Mode::idle);
  speak(entering ? "Talk mode." + intro("talk", " Try middle C, D, E, F or G.") : "Talk mode off.");
}

// What plays beside the modes: the jam, the live band, an ear-training
// round, the metronome, and every note still sounding.
void Engine::silenceAll() {
  live_->endJam();
  live_->silence();
  ear_->stop();
  metronome_->stop();
  parts_.midi.allOff();
}

// Every room puts its state to rest, whichever mode was on.
void Engine::goHome() {
  std::string text;
  {
    RecursiveMutexLock guard(lock);
    compose_->autosaveTake();  // while the mode is still composition
    if (current_ != home_.get()) {
      current_ = home_.get();
      ui(lines::mode(modeName(Mode::idle)));
    }
    ui(lines::now(""));
    for (Room* each : {static_cast<Room*>(home_.get()), static_cast<Room*>(talk_.get()),
                       static_cast<Room*>(lessons_.get()), static_cast<Room*>(compose_.get()),
                       static_cast<Room*>(jazz_.get()), static_cast<Room*>(menu_.get()),
                       static_cast<Room*>(logic_.get()), static_cast<Room*>(reaper_.get())}) {
      each->leave();
    }
    silenceAll();
    cutIn();
    text = pick({"Back home.", "Home again.", "Home, all quiet."}) +
           intro("home2",
                 " The third and fourth keys step through everything I can do, from lessons to "
                 "the practice tools. The top key opens the one you heard.");
  }
  speak(text);
}

void Engine::goodbye(const std::string& reason) {
  std::string name = currentProfile().userName;
  const std::string line = pick({"Goodbye, " + (name.empty() ? std::string("friend") : name) + ".",
                                 "See you soon.", "Until next time."});
  run([this, line, reason](int gen) {
    say(line, gen);
    parts_.quit(reason, 0);
  });
}

void Engine::stopEverything() {
  RecursiveMutexLock guard(lock);
  bool quietHome =
      current_ == home_.get() && !metronome_->running() && !ear_->running() && !live_->jamOn();
  if (quietHome && now() - speakingNow().lastSpokenAt > 2.0 && parts_.musicPlayer.playing()) {
    parts_.midi.allOff();
    run([this](int gen) {
      bool stopped = parts_.musicPlayer.pause();
      say(parts_.musicPlayer.pausedSentence(stopped), gen);
    });
    return;
  }
  compose_->stopRound();
  silenceAll();
  if (current_->stop()) return;
  speak(pick({"Okay, stopped.", "All quiet now.", "Stopping there."}));
}

// The pause key where no mode takes it; a quick second press is for the live band.
void Engine::stopKey() {
  if (now() - lastStopPress_ < 0.35) return;  // one press that bounced
  compose_->stopRound();
  parts_.midi.allOff();
  if (now() - lastStopPress_ < 0.9) {
    lastStopPress_ = -100.0;
    live_->toggleLive();
    return;
  }
  lastStopPress_ = now();
  speak(pick({"Okay, stopped.", "All quiet now.", "Stopping there."}));
}

void Engine::help() {
  {
    RecursiveMutexLock guard(lock);
    compose_->stopRound();
  }
  std::string text = helpText() + " On the computer, slash opens the full list on screen.";
  run([this, text](int gen) {
    say(text, gen);
    lessons_->resumeAfterHelp(gen);
  });
}

std::string Engine::helpText() {
  RecursiveMutexLock guard(lock);
  if (current_ == home_.get() && ear_->running()) return EarTraining::helpText();
  return current_->helpText();
}

}  // namespace orvo
