#pragma once
// Other programs, run as child processes with their output captured. The
// child starts with SIGINT and SIGTERM unblocked and at their defaults (we
// block them in every thread of our own), and inherits none of our descriptors.

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

class ChildProcess {
 public:
  // Starts argv[0] (looked up on PATH) with its standard input from `input`
  // (nothing when empty). Nothing when it cannot be started.
  static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                             const std::string& input = "");
  ~ChildProcess();

  // Reads its output until it ends and waits for it; its exit status, or 128 +
  // the signal that ended it. `seconds` (when positive) ends it after that long.
  int wait(double seconds = 0);
  // Asks it to stop (SIGTERM); any thread.
  void terminate();

  pid_t pid() const { return pid_; }
  const std::string& output() const { return output_; }
  const std::string& errors() const { return errors_; }

 private:
  ChildProcess() = default;

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::string output_;
  std::string errors_;
  std::optional<int> status_;
  std::mutex reapMutex_;  // a terminate never signals a process id after it was reaped
  bool reaped_ = false;
};

}  // namespace orvo
