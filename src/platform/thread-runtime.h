#pragma once
// The real Runtime: a main queue run by the main thread, a global queue that
// grows a thread whenever every worker is busy (activities block on speech, so
// a fixed pool could starve), one thread per serial queue, one timer thread, and a thread for each
// alarm that asks for its own. Every thread it starts blocks SIGINT and SIGTERM: those are taken by
// the signal watcher alone.

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/random.h"
#include "platform/runtime.h"

namespace orvo {

class ThreadRuntime final : public Runtime {
 public:
  explicit ThreadRuntime(std::uint64_t seed);
  ~ThreadRuntime() override;

  double now() override;
  void onMain(Task task) override;
  void async(Task task) override;
  SerialQueue& serial(const std::string& label) override;
  TimerId after(double seconds, Task task) override;
  void cancel(TimerId id) override;
  void sleep(double seconds) override;
  std::shared_ptr<Semaphore> makeSemaphore() override;
  // Woken tasks are handed to the global queue by the timer thread.
  std::shared_ptr<Wakeup> makeWakeup(Task task) override;
  // Alarms fire on the timer thread, ahead of the timers due at the same time,
  // for as long as their maker keeps them.
  std::shared_ptr<Alarm> makeAlarm(Task task, std::size_t capacity) override;
  std::shared_ptr<Alarm> makeOwnThreadAlarm(Task task, std::size_t capacity,
                                            std::string* whyNormalPriority) override;
  Random& random() override { return random_; }

  // Runs main-queue tasks on the calling thread until stopMainLoop().
  void runMainLoop();
  void stopMainLoop();

  // Threads the global queue has started so far (for tests).
  int globalThreads();

 private:
  class Serial;
  class ThreadWakeup;
  class ThreadAlarm;
  class OwnThreadAlarm;
  void worker();
  void wakeTimerThread();
  void timerLoop();

  Random random_;

  std::mutex mainMutex_;
  std::condition_variable mainWake_;
  std::deque<Task> mainTasks_;
  bool mainStop_ = false;

  std::mutex poolMutex_;
  std::condition_variable poolWake_;
  std::deque<Task> poolTasks_;
  std::size_t idle_ = 0;
  bool poolStop_ = false;
  std::vector<std::thread> workers_;

  std::mutex serialMutex_;
  std::map<std::string, std::unique_ptr<Serial>> serials_;

  std::mutex timerMutex_;
  std::condition_variable timerWake_;
  std::multimap<double, std::pair<TimerId, Task>> timers_;
  TimerId nextTimer_ = 1;
  bool timerStop_ = false;
  bool woken_ = false;  // some wakeup is pending
  std::vector<std::shared_ptr<ThreadWakeup>> wakeups_;
  std::vector<std::weak_ptr<ThreadAlarm>> alarms_;  // an alarm whose owner let go is dropped
  std::thread timerThread_;
};

}  // namespace orvo
