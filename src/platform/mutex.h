#pragma once
// A std::mutex the thread-safety analysis can follow, and its scoped lock;
// the same for a recursive mutex (the engine's, taken again by the rooms it
// calls while it holds it).

#include <pthread.h>

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

// A recursive mutex that lends its waiter's priority to its holder: when the
// real-time MIDI thread waits for the engine's lock, the ordinary thread
// holding it runs at the MIDI thread's priority until it lets go, so busy
// cores cannot keep the note waiting behind it.
class PriorityInheritingRecursiveMutex {
 public:
  PriorityInheritingRecursiveMutex() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
    pthread_mutex_init(&mutex_, &attributes);
    pthread_mutexattr_destroy(&attributes);
  }
  ~PriorityInheritingRecursiveMutex() { pthread_mutex_destroy(&mutex_); }
  PriorityInheritingRecursiveMutex(const PriorityInheritingRecursiveMutex&) = delete;
  PriorityInheritingRecursiveMutex& operator=(const PriorityInheritingRecursiveMutex&) = delete;
  void lock() { pthread_mutex_lock(&mutex_); }
  void unlock() { pthread_mutex_unlock(&mutex_); }

 private:
  pthread_mutex_t mutex_;
};

using Mutex = AnnotatedMutex<std::mutex>;
using MutexLock = ScopedLock<Mutex>;
using RecursiveMutex = AnnotatedMutex<PriorityInheritingRecursiveMutex>;
using RecursiveMutexLock = ScopedLock<RecursiveMutex>;

}  // namespace orvo
