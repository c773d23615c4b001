#pragma once
// Whether there is a sound output to be heard, and the moment one appears: a
// sound server may start after us (at login), so its absence is never taken
// as final. While none is present it is looked for whenever a sentence asks
// and every `every` seconds; when it appears, `appeared` runs once on the
// global queue (start speech and the built-in sound).
//
// Threads: present() from any thread; the checks are a few stat calls.

#include <atomic>
#include <functional>

#include "platform/runtime.h"

namespace orvo {

class OutputWatch {
 public:
  OutputWatch(Runtime& runtime, std::function<bool()> look, std::function<void()> appeared,
              double every = 2.0);

  // Starts the timed looks (not in the constructor, so the object is whole first).
  void start();
  bool present();

 private:
  void tick();

  Runtime& runtime_;
  std::function<bool()> look_;
  std::function<void()> appeared_;
  double every_;
  std::atomic<bool> present_{false};
};

}  // namespace orvo
