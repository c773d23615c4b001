// The piano's keys as buttons.

#include "core/engine.h"
#include "lessons/music-words.h"
#include "platform/files.h"

namespace orvo {

void Engine::noteEvent(int pitch, int velocity) {
  if (pitch < 0 || pitch > 127) return;
  std::lock_guard guard(lock);
  const bool press = velocity > 0;
  if (press && pitch > keys_.hear && !awaitingTop_) awaitingTop_ = true;

  if (pitch == keys_.hear && !awaitingTop_ && !paused_) {
    if (mode_ == Mode::compose) {
      if (press) command(pitch);  // composing needs it at once
      return;
    }
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
  const bool button = keys_.isCommandKey(pitch);
  if (press && awaitingTop_) return learnTopKey(pitch);
  if (button) {
    if (press) command(pitch);
    return;
  }
  musicalNote(pitch, press);
}

void Engine::holdCheck(double pressedAt) {
  std::lock_guard guard(lock);
  if (!topDownAt_ || *topDownAt_ != pressedAt) return;
  topDownAt_.reset();
  openMenu();
}

void Engine::musicalNote(int pitch, bool press) {
  held_.set(static_cast<std::size_t>(pitch), press);
  if (!press) return;
  if (mode_ == Mode::teach) return judge(pitch);
  if (mode_ == Mode::idle && !paused_ && !heardPiano_) {
    heardPiano_ = true;
    speak("I can hear your piano. Press your top key to start a lesson.");
    return;
  }
  if (mode_ == Mode::talk && talkMap_.count(pitch)) playTalk(pitch);
}

void Engine::learnTopKey(int pitch) {
  awaitingTop_ = false;
  if (keys_.setTopKey(pitch)) ui(buttonsLine());
  if (!parts_.opt.fast) {
    files::writeFileAtomically(dataFile("top-key.txt"), std::to_string(pitch) + "\n");
  }
  speak("Got it. Your top key is " + sharpNames()[static_cast<std::size_t>(pitch % 12)] +
        ", octave " + std::to_string(pitch / 12 - 1) +
        ". Press it again to start a lesson. The eighth white key down from it is help. It "
        "tells you what every button does.");
}

void Engine::askForTopKey() {
  std::lock_guard guard(lock);
  awaitingTop_ = true;
  waiting_ = false;
  speak("Press the highest key on your piano.");
}

bool Engine::awaitingTopKey() {
  std::lock_guard guard(lock);
  return awaitingTop_;
}

std::string Engine::buttonsLine() {
  std::lock_guard guard(lock);
  std::string line = "buttons";
  for (int key : keys_.topButtons()) line += " " + std::to_string(key);
  return line;
}

}  // namespace orvo
