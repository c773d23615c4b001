#pragma once
// The practice timer: after its time, a chime, a flash and a spoken line
// ("Time. 5 minutes are up.", or the player's reminder). Several may run at
// once; going home leaves them running, quitting cancels them. The line is
// spoken directly, so it never cuts off what the engine is saying.
//
// Threads: every member from any thread; a timer goes off on the global queue.

#include <map>
#include <optional>
#include <string>

#include "platform/mutex.h"
#include "platform/opt.h"
#include "platform/runtime.h"

namespace orvo {

class RoomServices;
class SpeechOutput;
class Runtime;

class PracticeTimers {
 public:
  static constexpr double kLongest = 24 * 3600.0;
  static constexpr std::size_t kLongestLabel = 200;

  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    SpeechOutput& speaker;
    Opt opt;
  };
  PracticeTimers(RoomServices& engine, Parts parts);

  // As the player asks: a timer set and said ("Timer set for 5 minutes.").
  void set(double seconds, const std::string& label);
  // A practice timer of five minutes, or the timers off (a key or a home item).
  void toggle();

  // Arms a timer of `seconds` (rounded to whole seconds); `label` may be
  // empty. Why not, as a sentence to say, when the length is out of range.
  std::optional<std::string> timer(double seconds, const std::string& label);
  void cancelAll();
  int armed();

  // "30 seconds", "1 minute", "5 minutes".
  static std::string amount(long seconds);
  // "Time. 1 minute are up." or name + ", a reminder: " + label + ".".
  static std::string upSentence(long seconds, const std::string& label, const std::string& name);

 private:
  void goOff(int key, long seconds, const std::string& label);

  RoomServices& engine_;
  Parts parts_;
  Mutex lock_;
  // By our own key, known before the runtime's id.
  std::map<int, TimerId> armed_ GUARDED_BY(lock_);
  int nextKey_ GUARDED_BY(lock_) = 1;
};

}  // namespace orvo
