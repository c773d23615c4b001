// The piano's keys as buttons.

#include "desks/live-stage.h"
#include "engine/engine.h"
#include "engine/home-room.h"
#include "lessons/music-words.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"
#include "rooms/menu/menu-room.h"
#include "rooms/practice/ear-training.h"

namespace orvo {

void Engine::noteEvent(int pitch, int velocity) {
  if (pitch < 0 || pitch > 127) return;
  RecursiveMutexLock guard(lock);
  const bool press = velocity > 0;
  if (press && pitch > keys_.hear && !awaitingTop_) awaitingTop_ = true;

  // In composition mode the top key acts at once, like any other button.
  if (pitch == keys_.hear && !awaitingTop_ && !isPaused() && current_ != compose_.get()) {
    if (press) {
      double at = now();
      topDownAt_ = at;
      parts_.runtime.after(1.2, [this, at] { holdCheck(at); });
      return;
    }
    if (!topDownAt_) return;  // the hold already opened the song menu
    topDownAt_.reset();
    return command(keys_.hear);
  }

  // Buttons (and the top key while awaiting or paused) are never music.
  if (press && awaitingTop_) return learnTopKey(pitch);
  if (keys_.isCommandKey(pitch)) {
    if (press) command(pitch);
    return;
  }
  // Music: to its listeners in order, until one takes it.
  for (NoteListener* listener : noteListeners_) {
    if (listener->hearNote(pitch, velocity)) return;
  }
}

void Engine::pedal(bool down) {
  RecursiveMutexLock guard(lock);
  compose_->pedal(down);
}

void Engine::holdCheck(double pressedAt) {
  RecursiveMutexLock guard(lock);
  if (!topDownAt_ || *topDownAt_ != pressedAt) return;
  topDownAt_.reset();
  menu_->openMenu();
}

void Engine::learnTopKey(int pitch) {
  awaitingTop_ = false;
  if (keys_.setTopKey(pitch)) ui(buttonsLine());
  keepThenSay("top-key.txt", std::to_string(pitch) + "\n",
              "Got it. Your top key is " + sharpNames()[static_cast<std::size_t>(pitch % 12)] +
                  ", octave " + std::to_string(pitch / 12 - 1) +
                  ". Press it again to start a lesson. The eighth white key down from it is "
                  "help. It tells you what every button does.");
}

void Engine::askForTopKey() {
  RecursiveMutexLock guard(lock);
  awaitingTop_ = true;
  current_->leave();
  speak("Press the highest key on your piano.");
}

bool Engine::awaitingTopKey() {
  RecursiveMutexLock guard(lock);
  return awaitingTop_;
}

std::string Engine::buttonsLine() {
  RecursiveMutexLock guard(lock);
  std::string keys;
  for (int key : keys_.topButtons()) keys += " " + std::to_string(key);
  return lines::buttons(keys);
}

}  // namespace orvo
