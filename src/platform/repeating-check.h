#pragma once
// A check that runs at once and then every so many seconds on the global
// queue (the studios running, the apps on the desktop), until its owner goes.
//
// Threads: any. The owner must outlive a check already under way.

#include "platform/mutex.h"
#include "platform/runtime.h"

namespace orvo {

class RepeatingCheck {
 public:
  RepeatingCheck(Runtime& runtime, double seconds, Task check)
      : runtime_(runtime), seconds_(seconds), check_(std::move(check)) {}
  ~RepeatingCheck() {
    MutexLock hold(lock_);
    stopped_ = true;
    runtime_.cancel(timer_);
  }

  void start() {
    runtime_.async([this] {
      check_();
      next();
    });
  }

 private:
  void next() {
    MutexLock hold(lock_);
    if (stopped_) return;
    timer_ = runtime_.after(seconds_, [this] {
      check_();
      next();
    });
  }

  Runtime& runtime_;
  const double seconds_;
  const Task check_;
  Mutex lock_;
  TimerId timer_ GUARDED_BY(lock_) = 0;
  bool stopped_ GUARDED_BY(lock_) = false;
};

}  // namespace orvo
