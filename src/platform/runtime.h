#pragma once
// The engine's view of time and threads. The engine never reads the system
// clock, sleeps or starts threads itself: it is handed a Runtime, so tests can
// drive every timing rule on a virtual clock without sleeping.
//
// Every member may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvo {

class Random;

using Task = std::function<void()>;

class SerialQueue {
 public:
  virtual ~SerialQueue() = default;
  // Runs tasks one at a time, in the order they were posted.
  virtual void post(Task task) = 0;
};

using TimerId = std::uint64_t;

// A counting semaphore whose waits run on the runtime's clock.
class Semaphore {
 public:
  virtual ~Semaphore() = default;
  virtual void signal() = 0;
  // True when signalled within `seconds`; false when the time ran out.
  virtual bool wait(double seconds) = 0;
};

// A task that can be asked to run from a thread that must not allocate or
// block (the MIDI thread): wake() only sets a flag and signals. Wakes that come
// before the task has started run it once.
class Wakeup {
 public:
  virtual ~Wakeup() = default;
  virtual void wake() = 0;
};

// A task fired on the timer thread itself at each time it is given, for
// short, punctual work that must not wait its turn on a queue (the round's
// echoes). at() takes no allocation: it keeps up to the capacity it was made
// with, and is false when full. The task must be quick and never block long.
class Alarm {
 public:
  virtual ~Alarm() = default;
  virtual bool at(double due) = 0;
};

class Runtime {
 public:
  virtual ~Runtime() = default;

  // Seconds on a monotonic clock.
  virtual double now() = 0;

  // The main queue, run by the main thread's loop. Short work only.
  virtual void onMain(Task task) = 0;

  // The global queue for activities. Activities block on speech for seconds,
  // so a blocked activity never holds up a later one or a timer.
  virtual void async(Task task) = 0;

  // A serial queue by label; the same label always gives the same queue.
  virtual SerialQueue& serial(const std::string& label) = 0;

  // Runs the task on the global queue after the given delay.
  virtual TimerId after(double seconds, Task task) = 0;
  // A timer that has not fired yet will not fire. Unknown ids are ignored.
  virtual void cancel(TimerId id) = 0;

  // Blocks the calling activity for a while (virtual runtimes only move the clock).
  virtual void sleep(double seconds) = 0;

  virtual std::shared_ptr<Semaphore> makeSemaphore() = 0;

  // A task run on the global queue after each wake(); made once, woken often.
  virtual std::shared_ptr<Wakeup> makeWakeup(Task task) = 0;
  // Made once, before the times are given (it allocates).
  virtual std::shared_ptr<Alarm> makeAlarm(Task task, std::size_t capacity) = 0;

  virtual Random& random() = 0;
  // An alarm with a thread of its own, at real-time priority where the system
  // allows it, so its wake-ups never wait behind other alarms or timers (the
  // live band's clock). `whyNormalPriority`, when given, is told why the
  // priority could not be raised. On a virtual clock it is an ordinary alarm.
  virtual std::shared_ptr<Alarm> makeOwnThreadAlarm(Task task, std::size_t capacity,
                                                    std::string* whyNormalPriority) {
    (void)whyNormalPriority;
    return makeAlarm(std::move(task), capacity);
  }
};

}  // namespace orvo
