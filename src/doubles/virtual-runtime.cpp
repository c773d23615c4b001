#include "doubles/virtual-runtime.h"

#include <atomic>

namespace orvo {

class VirtualRuntime::Serial final : public SerialQueue {
 public:
  explicit Serial(VirtualRuntime& owner) : owner_(owner) {}
  void post(Task task) override { owner_.enqueue(std::move(task)); }

 private:
  VirtualRuntime& owner_;
};

class VirtualRuntime::VirtualWakeup final : public Wakeup {
 public:
  explicit VirtualWakeup(Task task) : task(std::move(task)) {}
  void wake() override { pending = true; }
  Task task;
  std::atomic<bool> pending{false};
};

std::shared_ptr<Wakeup> VirtualRuntime::makeWakeup(Task task) {
  auto wakeup = std::make_shared<VirtualWakeup>(std::move(task));
  std::lock_guard guard(mutex_);
  wakeups_.push_back(wakeup);
  return wakeup;
}

bool VirtualRuntime::takeReady(Task& task) {
  std::lock_guard guard(mutex_);
  if (!ready_.empty()) {
    task = std::move(ready_.front());
    ready_.pop_front();
    return true;
  }
  for (auto& wakeup : wakeups_) {
    if (wakeup->pending.exchange(false)) {
      task = wakeup->task;
      return true;
    }
  }
  return false;
}

VirtualRuntime::VirtualRuntime(std::uint64_t seed, double start) : random_(seed), now_(start) {}

VirtualRuntime::~VirtualRuntime() = default;

double VirtualRuntime::now() {
  std::lock_guard guard(mutex_);
  return now_;
}

void VirtualRuntime::enqueue(Task task) {
  std::lock_guard guard(mutex_);
  ready_.push_back(std::move(task));
}

SerialQueue& VirtualRuntime::serial(const std::string& label) {
  std::lock_guard guard(mutex_);
  auto& slot = serials_[label];
  if (!slot) slot = std::make_unique<Serial>(*this);
  return *slot;
}

TimerId VirtualRuntime::after(double seconds, Task task) {
  std::lock_guard guard(mutex_);
  TimerId id = nextTimer_++;
  timers_.emplace(now_ + (seconds > 0 ? seconds : 0), std::make_pair(id, std::move(task)));
  return id;
}

void VirtualRuntime::cancel(TimerId id) {
  std::lock_guard guard(mutex_);
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.first == id) {
      timers_.erase(it);
      return;
    }
  }
}

namespace {

class VirtualAlarm final : public Alarm {
 public:
  VirtualAlarm(VirtualRuntime& runtime, Task task, std::size_t capacity)
      : runtime_(runtime), task_(std::move(task)), capacity_(capacity) {}
  bool at(double due) override {
    if (*pending_ >= capacity_) return false;
    ++*pending_;
    runtime_.after(due - runtime_.now(), [task = task_, pending = pending_] {
      --*pending;
      task();
    });
    return true;
  }

 private:
  VirtualRuntime& runtime_;
  Task task_;
  std::size_t capacity_;
  std::shared_ptr<std::size_t> pending_ = std::make_shared<std::size_t>(0);
};

}  // namespace

std::shared_ptr<Alarm> VirtualRuntime::makeAlarm(Task task, std::size_t capacity) {
  return std::make_shared<VirtualAlarm>(*this, std::move(task), capacity);
}

// A sleeping activity lets everything else due in that time happen, as it
// would with real threads.
void VirtualRuntime::sleep(double seconds) {
  runUntil(now() + (seconds > 0 ? seconds : 0), [] { return false; });
}

void VirtualRuntime::runReady() {
  for (;;) {
    Task task;
    if (!takeReady(task)) return;
    task();
  }
}

void VirtualRuntime::advance(double seconds) {
  double target;
  {
    std::lock_guard guard(mutex_);
    target = now_ + seconds;
  }
  runReady();
  for (;;) {
    Task task;
    {
      std::lock_guard guard(mutex_);
      if (timers_.empty() || timers_.begin()->first > target) break;
      // A task that slept may already have moved the clock past the timer.
      if (timers_.begin()->first > now_) now_ = timers_.begin()->first;
      task = std::move(timers_.begin()->second.second);
      timers_.erase(timers_.begin());
    }
    task();
    runReady();
  }
  std::lock_guard guard(mutex_);
  if (target > now_) now_ = target;
}

bool VirtualRuntime::runUntil(double deadline, const std::function<bool()>& done) {
  for (;;) {
    if (done()) return true;
    Task task;
    if (takeReady(task)) {
      task();
      continue;
    }
    {
      std::lock_guard guard(mutex_);
      if (!timers_.empty() && timers_.begin()->first <= deadline) {
        if (timers_.begin()->first > now_) now_ = timers_.begin()->first;
        task = std::move(timers_.begin()->second.second);
        timers_.erase(timers_.begin());
      } else {
        if (deadline > now_) now_ = deadline;
        break;
      }
    }
    task();
  }
  return done();
}

namespace {

class VirtualSemaphore final : public Semaphore {
 public:
  explicit VirtualSemaphore(VirtualRuntime& runtime) : runtime_(runtime) {}
  void signal() override { ++count_; }
  bool wait(double seconds) override {
    if (!runtime_.runUntil(runtime_.now() + seconds, [this] { return count_ > 0; })) return false;
    --count_;
    return true;
  }

 private:
  VirtualRuntime& runtime_;
  std::atomic<int> count_{0};
};

}  // namespace

std::shared_ptr<Semaphore> VirtualRuntime::makeSemaphore() {
  return std::make_shared<VirtualSemaphore>(*this);
}

void VirtualRuntime::discardPending() {
  std::lock_guard guard(mutex_);
  ready_.clear();
  timers_.clear();
  for (auto& wakeup : wakeups_) wakeup->pending = false;
}

std::size_t VirtualRuntime::pendingTimers() {
  std::lock_guard guard(mutex_);
  return timers_.size();
}

}  // namespace orvo
