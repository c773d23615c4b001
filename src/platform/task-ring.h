#pragma once
// A first-in first-out queue of tasks that reuses its storage: once it has
// grown to the largest backlog seen, pushing and popping do not allocate.
// Not thread-safe; the owner locks.

#include <utility>
#include <vector>

#include "platform/runtime.h"

namespace orvo {

class TaskRing {
 public:
  bool empty() const { return count_ == 0; }

  void push(Task task) {
    if (count_ == slots_.size()) grow();
    slots_[(head_ + count_) % slots_.size()] = std::move(task);
    ++count_;
  }

  Task pop() {
    Task task = std::move(slots_[head_]);
    slots_[head_] = nullptr;
    head_ = (head_ + 1) % slots_.size();
    --count_;
    return task;
  }

 private:
  void grow() {
    std::vector<Task> bigger(slots_.empty() ? 16 : slots_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i)
      bigger[i] = std::move(slots_[(head_ + i) % slots_.size()]);
    slots_.swap(bigger);
    head_ = 0;
  }

  std::vector<Task> slots_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
};

}  // namespace orvo
