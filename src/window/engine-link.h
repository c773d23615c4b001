#pragma once
// The engine as the window's child: started with LORIMEL_UI=1, every line it
// writes handed on in order from a reader thread of its own (which never
// waits on the window, so the engine's output never blocks), and typed lines
// and keys written to its standard input. An engine that ends when nobody
// asked is started once more and the window is told why; a second end is
// told, never looped.
//
// Threads: onLine and onTrouble come from the link's own threads; send(),
// and close() from any thread.

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/line-process.h"

namespace orvo::window {

class EngineLink {
 public:
  struct Parts {
    std::vector<std::string> command;             // the engine's path and arguments
    std::map<std::string, std::string> env = {};  // set on top of ours; LORIMEL_UI added
    std::function<void(std::string_view line)> onLine;
    // A sentence for the window's caption area: why the engine went, what follows.
    std::function<void(const std::string& sentence)> onTrouble;
  };

  explicit EngineLink(Parts parts);
  ~EngineLink();
  EngineLink(const EngineLink&) = delete;
  EngineLink& operator=(const EngineLink&) = delete;

  // False (and onTrouble told) when the engine cannot be started at all.
  bool start();
  // Bytes to the engine's standard input: a key, or "~" + a typed line + "\n".
  bool send(std::string_view bytes);
  // The window is going: the engine's input ends, so it quits in order.
  void close();

  // "it ended with status 3", "it was stopped by signal 11".
  static std::string howItEnded(int waitStatus);

 private:
  void ended();
  void watch();

  Parts parts_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<LineProcess> process_;
  std::vector<std::unique_ptr<LineProcess>> finished_;  // ended ones, kept until we go
  bool closing_ = false;
  bool endedNow_ = false;
  int starts_ = 0;
  std::thread watcher_;
};

}  // namespace orvo::window
