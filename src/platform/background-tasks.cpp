#include "platform/background-tasks.h"

#include <chrono>
#include <thread>

namespace orvo {

void BackgroundTasks::run(Task task) {
  running_.fetch_add(1);
  runtime_.async([this, task = std::move(task)] {
    task();
    running_.fetch_sub(1);
  });
}

void BackgroundTasks::waitAll() {
  while (running_.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace orvo
