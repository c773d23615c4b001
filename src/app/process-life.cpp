#include "app/process-life.h"

#include <unistd.h>

#include <chrono>
#include <thread>

#include "app/log.h"
#include "platform/terminal.h"

namespace orvo {

void ProcessLife::quit(const std::string& reason, int code) {
  if (quitting_.exchange(true)) {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  // Armed before anything that could block (a log that is a FIFO, a helper
  // that never answers), so a quit always ends.
  std::thread([code] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    terminal::restore();
    ::_exit(code);
  }).detach();
  steps_.autosaveTake();
  steps_.shutDownHelpers();
  log_.logLine("stopped: " + reason);
  steps_.silenceNotes();
  steps_.silenceSpeech();
  steps_.flushWindow();
  steps_.flushStore();
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  // Static destructors would race the audio and MIDI threads, which run to the end.
  terminal::restore();
  ::_exit(code);
}

}  // namespace orvo
