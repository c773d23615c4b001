#pragma once
// When an output's own thread last pulled sound. A stream that has not asked
// for sound for a second has stopped (a driver that died, a device gone).
//
// Threads: pulled() on the output's thread, recent() from any.

#include <atomic>
#include <chrono>

namespace orvo {

class PullWatch {
 public:
  PullWatch() { pulled(); }
  void pulled() { last_ = now(); }
  bool recent() const { return now() - last_ < 1.0; }

 private:
  static double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
  }
  std::atomic<double> last_{0};
};

}  // namespace orvo
