#pragma once
// A std::mutex the thread-safety analysis can follow, and its scoped lock;
// the same for a recursive mutex (the engine's, taken again by the rooms it
// calls while it holds it).

#include <mutex>

#include "platform/thread-annotations.h"

namespace orvo {

template <class StdMutex>
class CAPABILITY("mutex") AnnotatedMutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }

 private:
  StdMutex mutex_;
};

template <class Held>
class SCOPED_CAPABILITY ScopedLock {
 public:
  explicit ScopedLock(Held& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~ScopedLock() RELEASE() { mutex_.unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  Held& mutex_;
};

using Mutex = AnnotatedMutex<std::mutex>;
using MutexLock = ScopedLock<Mutex>;
using RecursiveMutex = AnnotatedMutex<std::recursive_mutex>;
using RecursiveMutexLock = ScopedLock<RecursiveMutex>;

}  // namespace orvo
