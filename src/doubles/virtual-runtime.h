#pragma once
// A Runtime on a virtual clock, for tests. Nothing runs until the test asks:
// runReady() runs every posted task (main, global and serial queues share one
// FIFO, which keeps each queue's order), advance() moves the clock and fires the
// timers that fall due, in time order. sleep() and semaphore waits do the same
// for their span, so blocking callers can be driven from the test's thread.

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/random.h"
#include "platform/runtime.h"

namespace orvo {

class VirtualRuntime final : public Runtime {
 public:
  explicit VirtualRuntime(std::uint64_t seed = 1, double start = 1000.0);
  ~VirtualRuntime() override;

  double now() override;
  void onMain(Task task) override { enqueue(std::move(task)); }
  void async(Task task) override { enqueue(std::move(task)); }
  SerialQueue& serial(const std::string& label) override;
  TimerId after(double seconds, Task task) override;
  void cancel(TimerId id) override;
  void sleep(double seconds) override;
  // A wait runs posted tasks and moves the clock through due timers until the
  // semaphore is signalled or the time is up, so a blocking caller (speech)
  // can be driven from the test's own thread.
  std::shared_ptr<Semaphore> makeSemaphore() override;
  // Woken tasks run with the posted ones, in runReady() and every wait.
  std::shared_ptr<Wakeup> makeWakeup(Task task) override;
  // An alarm's times become timers on the virtual clock.
  std::shared_ptr<Alarm> makeAlarm(Task task, std::size_t capacity) override;
  Random& random() override { return random_; }

  // Runs posted tasks, including those they post, until none is left.
  void runReady();
  // Moves the clock forward, firing due timers and running what they post.
  void advance(double seconds);
  std::size_t pendingTimers();
  // Forgets every posted task and timer, as a process that ends would.
  void discardPending();

  // Runs tasks and timers up to `deadline` or until `done` holds; true when it held.
  bool runUntil(double deadline, const std::function<bool()>& done);

 private:
  class Serial;
  class VirtualWakeup;
  void enqueue(Task task);
  // A posted task, else a woken one; false when there is neither.
  bool takeReady(Task& task);

  Random random_;
  std::recursive_mutex mutex_;
  double now_;
  std::deque<Task> ready_;
  std::vector<std::shared_ptr<VirtualWakeup>> wakeups_;
  std::map<std::string, std::unique_ptr<Serial>> serials_;
  std::multimap<double, std::pair<TimerId, Task>> timers_;
  TimerId nextTimer_ = 1;
};

}  // namespace orvo
