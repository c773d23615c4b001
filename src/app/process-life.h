#pragma once
// The one way the process ends: save what must not be lost, log why, silence
// notes and speech, and exit. A watchdog exits 1.5 s later whatever happens,
// in case a step hangs on a lock another thread holds.
//
// quit() may be called from any thread, more than once; only the first call
// acts, the others wait for the exit.

#include <atomic>
#include <functional>
#include <string>

namespace orvo {

class Log;

class ProcessLife {
 public:
  struct Steps {
    std::function<void()> autosaveTake = [] {};
    std::function<void()> shutDownHelpers = [] {};  // the neural voice and AI processes
    std::function<void()> silenceNotes = [] {};
    std::function<void()> silenceSpeech = [] {};
    std::function<void()> flushWindow = [] {};
    std::function<void()> flushStore = [] {};  // the data files still queued
  };

  explicit ProcessLife(Log& log) : log_(log) {}
  void setSteps(Steps steps) { steps_ = std::move(steps); }

  [[noreturn]] void quit(const std::string& reason, int code);

 private:
  Log& log_;
  Steps steps_;
  std::atomic<bool> quitting_{false};
};

}  // namespace orvo
