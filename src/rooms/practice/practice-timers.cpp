#include "rooms/practice/practice-timers.h"
#include "sound/cues.h"
#include "sound/speech-output.h"

#include <cmath>

#include "engine/room-services.h"
#include "platform/utf8.h"
#include "platform/window-lines.h"

namespace orvo {

PracticeTimers::PracticeTimers(RoomServices& engine, Parts parts)
    : engine_(engine), parts_(std::move(parts)) {}

void PracticeTimers::set(double seconds, const std::string& label) {
  if (auto whyNot = timer(seconds, label)) return engine_.speak(*whyNot);
  const std::string sentence = amount(std::lround(seconds));
  engine_.speak(label.empty() ? "Timer set for " + sentence + "."
                              : "Okay. I'll remind you in " + sentence + ".");
}

void PracticeTimers::toggle() {
  if (armed() > 0) {
    cancelAll();
    return engine_.speak("Timer off.");
  }
  set(5 * 60.0, "");
}

std::string PracticeTimers::amount(long seconds) {
  if (seconds < 60) return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
  const long minutes = seconds / 60;
  return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

std::string PracticeTimers::upSentence(long seconds, const std::string& label,
                                       const std::string& name) {
  if (label.empty()) return "Time. " + amount(seconds) + " are up.";
  return (name.empty() ? "A reminder: " : name + ", a reminder: ") + label + ".";
}

std::optional<std::string> PracticeTimers::timer(double seconds, const std::string& label) {
  const long whole = std::isfinite(seconds) ? std::lround(std::min(seconds, kLongest + 1)) : 0;
  if (whole <= 0) return "A timer needs at least one second.";
  if (whole > kLongest) return "A timer can run for 24 hours at most.";
  // A label is said whole only up to a sentence's length, cut at a word.
  std::string said = label;
  while (!said.empty() && (said.back() == '.' || said.back() == ' ')) said.pop_back();
  if (said.size() > kLongestLabel) {
    said = cutUtf8(said, kLongestLabel);
    if (auto space = said.rfind(' '); space != std::string::npos && space > kLongestLabel / 2)
      said.resize(space);
  }
  if (parts_.opt.fast) return std::nullopt;
  {
    MutexLock hold(lock_);
    const int key = nextKey_++;
    armed_[key] = parts_.runtime.after(static_cast<double>(whole),
                                       [this, key, whole, said] { goOff(key, whole, said); });
  }
  return std::nullopt;
}

void PracticeTimers::goOff(int key, long seconds, const std::string& label) {
  {
    MutexLock hold(lock_);
    if (armed_.erase(key) == 0) return;  // cancelled meanwhile
  }
  engine_.cues().chime({79, 84, 79, 84});
  engine_.ui(lines::flashGood);
  // Spoken apart from the engine's turns: whatever is being said goes on.
  parts_.speaker.say(upSentence(seconds, label, engine_.currentProfile().userName));
}

void PracticeTimers::cancelAll() {
  std::map<int, TimerId> armed;
  {
    MutexLock hold(lock_);
    armed.swap(armed_);
  }
  for (const auto& [key, id] : armed) parts_.runtime.cancel(id);
}

int PracticeTimers::armed() {
  MutexLock hold(lock_);
  return static_cast<int>(armed_.size());
}

}  // namespace orvo
