#include "platform/thread-runtime.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "platform/real-time-priority.h"
#include "platform/signals.h"
#include "platform/task-ring.h"

namespace orvo {

class ThreadRuntime::Serial final : public SerialQueue {
 public:
  Serial() : thread_([this] { loop(); }) {}
  ~Serial() override {
    {
      std::lock_guard guard(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  void post(Task task) override {
    {
      std::lock_guard guard(mutex_);
      tasks_.push(std::move(task));
    }
    wake_.notify_one();
  }

 private:
  void loop() {
    blockQuitSignalsHere();
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
      if (tasks_.empty()) return;  // stopping, and everything posted has run
      Task task = tasks_.pop();
      lock.unlock();
      task();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  TaskRing tasks_;
  bool stop_ = false;
  std::thread thread_;
};

namespace {

class ThreadSemaphore final : public Semaphore {
 public:
  void signal() override {
    {
      std::lock_guard guard(mutex_);
      ++count_;
    }
    changed_.notify_one();
  }
  bool wait(double seconds) override {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::duration<double>(seconds > 0 ? seconds : 0),
                           [this] { return count_ > 0; })) {
      return false;
    }
    --count_;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

}  // namespace

std::shared_ptr<Semaphore> ThreadRuntime::makeSemaphore() {
  return std::make_shared<ThreadSemaphore>();
}

class ThreadRuntime::ThreadWakeup final : public Wakeup {
 public:
  ThreadWakeup(ThreadRuntime& owner, Task task) : owner(owner), task(std::move(task)) {}
  void wake() override {
    if (!pending.exchange(true)) owner.wakeTimerThread();
  }
  ThreadRuntime& owner;
  const Task task;
  std::atomic<bool> pending{false};
};

std::shared_ptr<Wakeup> ThreadRuntime::makeWakeup(Task task) {
  auto wakeup = std::make_shared<ThreadWakeup>(*this, std::move(task));
  std::lock_guard guard(timerMutex_);
  wakeups_.push_back(wakeup);
  return wakeup;
}

// Its times live under the timer lock, sorted, in space reserved when made.
class ThreadRuntime::ThreadAlarm final : public Alarm {
 public:
  ThreadAlarm(ThreadRuntime& owner, Task task, std::size_t capacity)
      : owner(owner), task(std::move(task)), capacity(capacity) {
    dues.reserve(capacity);
  }
  bool at(double due) override {
    {
      std::lock_guard guard(owner.timerMutex_);
      if (dues.size() >= capacity) return false;
      dues.insert(std::upper_bound(dues.begin(), dues.end(), due), due);
    }
    owner.timerWake_.notify_one();
    return true;
  }
  ThreadRuntime& owner;
  const Task task;
  const std::size_t capacity;
  std::vector<double> dues;  // guarded by the owner's timer lock
};

std::shared_ptr<Alarm> ThreadRuntime::makeAlarm(Task task, std::size_t capacity) {
  auto alarm = std::make_shared<ThreadAlarm>(*this, std::move(task), capacity);
  std::lock_guard guard(timerMutex_);
  alarms_.push_back(alarm);
  return alarm;
}

// Its own thread sleeps to the earliest time and fires; times live in space
// reserved when made, so at() never allocates.
class ThreadRuntime::OwnThreadAlarm final : public Alarm {
 public:
  OwnThreadAlarm(Task task, std::size_t capacity) : task_(std::move(task)), capacity_(capacity) {
    dues_.reserve(capacity);
    thread_ = std::thread([this] { loop(); });
  }
  ~OwnThreadAlarm() override {
    {
      std::lock_guard guard(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  bool at(double due) override {
    {
      std::lock_guard guard(mutex_);
      if (dues_.size() >= capacity_) return false;
      dues_.insert(std::upper_bound(dues_.begin(), dues_.end(), due), due);
    }
    wake_.notify_one();
    return true;
  }
  pthread_t handle() { return thread_.native_handle(); }

 private:
  void loop() {
    blockQuitSignalsHere();
    touchStack();
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (dues_.empty()) {
        wake_.wait(lock);
        continue;
      }
      using namespace std::chrono;
      const double wait =
          dues_.front() - duration<double>(steady_clock::now().time_since_epoch()).count();
      if (wait > 0) {
        wake_.wait_for(lock, duration<double>(wait));
        continue;
      }
      dues_.erase(dues_.begin());
      lock.unlock();
      task_();
      lock.lock();
    }
  }

  const Task task_;
  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<double> dues_;  // sorted; guarded by mutex_
  bool stop_ = false;
  std::thread thread_;
};

std::shared_ptr<Alarm> ThreadRuntime::makeOwnThreadAlarm(Task task, std::size_t capacity,
                                                         std::string* whyNormalPriority) {
  auto alarm = std::make_shared<OwnThreadAlarm>(std::move(task), capacity);
  auto why = raiseToRealTime(alarm->handle());
  if (why && whyNormalPriority) *whyNormalPriority = *why;
  return alarm;
}

// No allocation: a flag under the timer lock and a notify.
void ThreadRuntime::wakeTimerThread() {
  {
    std::lock_guard guard(timerMutex_);
    woken_ = true;
  }
  timerWake_.notify_one();
}

ThreadRuntime::ThreadRuntime(std::uint64_t seed)
    : random_(seed), timerThread_([this] { timerLoop(); }) {}

ThreadRuntime::~ThreadRuntime() {
  {
    std::lock_guard guard(timerMutex_);
    timerStop_ = true;
  }
  timerWake_.notify_one();
  timerThread_.join();
  {
    std::lock_guard guard(poolMutex_);
    poolStop_ = true;
  }
  poolWake_.notify_all();
  for (auto& thread : workers_) thread.join();
  std::lock_guard guard(serialMutex_);
  serials_.clear();
}

double ThreadRuntime::now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void ThreadRuntime::onMain(Task task) {
  {
    std::lock_guard guard(mainMutex_);
    mainTasks_.push_back(std::move(task));
  }
  mainWake_.notify_one();
}

void ThreadRuntime::runMainLoop() {
  std::unique_lock lock(mainMutex_);
  for (;;) {
    mainWake_.wait(lock, [this] { return mainStop_ || !mainTasks_.empty(); });
    if (mainStop_) return;
    Task task = std::move(mainTasks_.front());
    mainTasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

void ThreadRuntime::stopMainLoop() {
  {
    std::lock_guard guard(mainMutex_);
    mainStop_ = true;
  }
  mainWake_.notify_all();
}

void ThreadRuntime::async(Task task) {
  std::lock_guard guard(poolMutex_);
  poolTasks_.push_back(std::move(task));
  // Every waiting task needs its own idle worker; otherwise grow.
  if (poolTasks_.size() > idle_) {
    workers_.emplace_back([this] { worker(); });
  } else {
    poolWake_.notify_one();
  }
}

void ThreadRuntime::worker() {
  blockQuitSignalsHere();
  std::unique_lock lock(poolMutex_);
  for (;;) {
    ++idle_;
    poolWake_.wait(lock, [this] { return poolStop_ || !poolTasks_.empty(); });
    --idle_;
    if (poolTasks_.empty()) return;
    Task task = std::move(poolTasks_.front());
    poolTasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

int ThreadRuntime::globalThreads() {
  std::lock_guard guard(poolMutex_);
  return static_cast<int>(workers_.size());
}

SerialQueue& ThreadRuntime::serial(const std::string& label) {
  std::lock_guard guard(serialMutex_);
  auto& slot = serials_[label];
  if (!slot) slot = std::make_unique<Serial>();
  return *slot;
}

TimerId ThreadRuntime::after(double seconds, Task task) {
  TimerId id;
  {
    std::lock_guard guard(timerMutex_);
    id = nextTimer_++;
    timers_.emplace(now() + seconds, std::make_pair(id, std::move(task)));
  }
  timerWake_.notify_one();
  return id;
}

void ThreadRuntime::cancel(TimerId id) {
  std::lock_guard guard(timerMutex_);
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.first == id) {
      timers_.erase(it);
      return;
    }
  }
}

void ThreadRuntime::timerLoop() {
  blockQuitSignalsHere();
  std::unique_lock lock(timerMutex_);
  while (!timerStop_) {
    if (woken_) {
      woken_ = false;
      auto wakeups = wakeups_;
      lock.unlock();
      for (auto& wakeup : wakeups) {
        if (wakeup->pending.exchange(false)) async(wakeup->task);
      }
      lock.lock();
      continue;
    }
    // The earliest alarm fires first, on this thread, ahead of a timer due as soon.
    std::shared_ptr<ThreadAlarm> alarm;
    std::erase_if(alarms_, [](const std::weak_ptr<ThreadAlarm>& each) { return each.expired(); });
    for (auto& weak : alarms_) {
      auto each = weak.lock();
      if (each && !each->dues.empty() && (!alarm || each->dues.front() < alarm->dues.front()))
        alarm = std::move(each);
    }
    if (alarm && (timers_.empty() || alarm->dues.front() <= timers_.begin()->first)) {
      const double wait = alarm->dues.front() - now();
      if (wait > 0) {
        // Waiting must not keep the alarm alive: an owner that lets go meanwhile
        // (a room going away) is never called back.
        alarm.reset();
        timerWake_.wait_for(lock, std::chrono::duration<double>(wait));
        continue;
      }
      alarm->dues.erase(alarm->dues.begin());
      lock.unlock();
      alarm->task();
      alarm.reset();  // its last owner may be gone: let it go outside the lock
      lock.lock();
      continue;
    }
    if (timers_.empty()) {
      timerWake_.wait(lock);
      continue;
    }
    double due = timers_.begin()->first;
    double wait = due - now();
    if (wait > 0) {
      timerWake_.wait_for(lock, std::chrono::duration<double>(wait));
      continue;
    }
    Task task = std::move(timers_.begin()->second.second);
    timers_.erase(timers_.begin());
    lock.unlock();
    async(std::move(task));
    lock.lock();
  }
}

void ThreadRuntime::sleep(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace orvo
