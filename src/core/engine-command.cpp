// The button dispatcher and the home menu.

#include "core/engine.h"

namespace orvo {

void Engine::command(int key) {
  std::lock_guard guard(lock);
  if (key == keys_.help) {
    std::string text = helpText();
    run([this, text](int gen) {
      say(text, gen);
      resumeAfterHelp(gen);
    });
    return;
  }
  if (key == keys_.home) return goHome();
  if (key == keys_.keep) return notYet("keeping what you just played");
  if (key == keys_.pause) return togglePause();
  if (paused_) {
    if (key == keys_.compose) {
      setPaused(false);
    } else {
      if (now() - pauseToldAt_ < 4.0) return;
      pauseToldAt_ = now();
      speak("Paused. Press the sixth key, or Return, to carry on.");
      return;
    }
  }
  if (key == keys_.talk) autosaveTake();
  if (composeCommand(key) || menuCommand(key) || jazzCommand(key) || logicCommand(key) ||
      reaperCommand(key) || homeCommand(key)) {
    return;
  }
  if (key == keys_.talk) return toggleTalk();
  const bool inLesson = mode_ == Mode::teach && lesson_;
  if (key == keys_.hear && !inLesson) return chooseSong(songIdx_);
  // The top, second, third and fourth keys inside a lesson; elsewhere the
  // last three do nothing.
  if (inLesson &&
      (key == keys_.hear || key == keys_.notes || key == keys_.next || key == keys_.back)) {
    lessonKey(key);
  }
}

void Engine::pedal(bool) {}

void Engine::toggleTalk() {
  std::lock_guard guard(lock);
  bool entering = mode_ != Mode::talk;
  setMode(entering ? Mode::talk : Mode::idle);
  waiting_ = false;
  speak(entering ? "Talk mode." + intro("talk", " Try middle C, D, E, F or G.") : "Talk mode off.");
}

bool Engine::composeCommand(int key) {
  std::lock_guard guard(lock);
  if (key != keys_.compose) return false;
  notYet("composition mode");
  return true;
}

// The song menu, the jazz course, Logic and REAPER control cannot be entered
// yet, so their handlers never take a key.
bool Engine::menuCommand(int) {
  return false;
}
bool Engine::jazzCommand(int) {
  return false;
}
bool Engine::logicCommand(int) {
  return false;
}
bool Engine::reaperCommand(int) {
  return false;
}

std::vector<std::string> Engine::homeItems() {
  std::lock_guard guard(lock);
  bool validSong = songIdx_ >= 0 && songIdx_ < static_cast<int>(songs_.size());
  return {"Lesson: " + (validSong ? songs_[static_cast<std::size_t>(songIdx_)].name : "a song"),
          "Song menu",
          "Jazz course",
          "Composition",
          "Ask me anything",
          "REAPER control",
          "Logic control",
          "Talk mode"};
}

bool Engine::homeCommand(int key) {
  std::lock_guard guard(lock);
  if (mode_ != Mode::idle) return false;
  auto items = homeItems();
  int count = static_cast<int>(items.size());
  if (key == keys_.next || key == keys_.back) {
    homeIdx_ = ((homeIdx_ + (key == keys_.next ? 1 : -1)) % count + count) % count;
    speak(items[static_cast<std::size_t>(homeIdx_)] + ".");
    return true;
  }
  if (key == keys_.notes) {
    std::string list;
    for (const auto& item : items) list += (list.empty() ? "" : ", ") + item;
    speak("From home you can open: " + list +
          ". Step through them with the third and fourth keys, and open one with the top key.");
    return true;
  }
  if (key == keys_.hear) {
    int index = homeIdx_;
    homeIdx_ = 0;
    openHomeItem(index);
    return true;
  }
  return false;
}

void Engine::openHomeItem(int index) {
  std::lock_guard guard(lock);
  switch (index) {
    case 0:
      return chooseSong(songIdx_);
    case 1:
      return notYet("the song menu");
    case 2:
      return notYet("the jazz course");
    case 3:
      return command(keys_.compose);
    case 4:
      return notYet("asking me anything");
    case 5:
      return notYet("REAPER control");
    case 6:
      return notYet("Logic control");
    case 7:
      return command(keys_.talk);
  }
}

void Engine::openMenu() {
  notYet("the song menu");
}

// No take can be recorded yet, so there is never one to save.
void Engine::autosaveTake() {}

void Engine::restartTake() {
  notYet("restarting a take");
}

}  // namespace orvo
