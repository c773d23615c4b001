#pragma once
// Tasks an object hands to the runtime's global queue and must see finish
// before it goes: each is counted from posting to its end, and waitAll()
// (also the destructor) waits until none is left.
//
// Threads: run() and waitAll() from any thread but the tasks' own.

#include <atomic>

#include "platform/runtime.h"

namespace orvo {

class BackgroundTasks {
 public:
  explicit BackgroundTasks(Runtime& runtime) : runtime_(runtime) {}
  ~BackgroundTasks() { waitAll(); }
  BackgroundTasks(const BackgroundTasks&) = delete;
  BackgroundTasks& operator=(const BackgroundTasks&) = delete;

  void run(Task task);
  void waitAll();

 private:
  Runtime& runtime_;
  std::atomic<int> running_{0};
};

}  // namespace orvo
