#pragma once
// Other programs, run as child processes with their output captured. The
// child starts with SIGINT and SIGTERM unblocked and at their defaults (we
// block them in every thread of our own), and inherits none of our descriptors.

#include <sys/types.h>

#include <spawn.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

namespace childprocess {

// Spawn attributes that reset SIGINT, SIGTERM and SIGPIPE to their defaults
// and unblock every signal: the engine's mask would otherwise be inherited.
void defaultSignals(posix_spawnattr_t& attributes);
// Our environment with some variables set anew, as "NAME=value" entries.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes);

}  // namespace childprocess

class ChildProcess {
 public:
  struct Options {
    std::filesystem::path cwd = {};  // the working folder; ours when empty
    bool lookUpPath = true;          // argv[0] looked up on PATH, else a path as it stands
    std::map<std::string, std::string> env = {};  // set anew on top of ours
  };
  // Starts argv[0] with its standard input from `input` (nothing when empty).
  // Nothing when it cannot be started.
  static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                             const std::string& input = "");
  static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                             const std::string& input, const Options& options);
  ~ChildProcess();

  // Reads its output until it ends and waits for it; its exit status, or 128 +
  // the signal that ended it. `seconds` (when positive) ends it after that long.
  int wait(double seconds = 0);
  // Asks it to stop (SIGTERM), or ends it (SIGKILL); any thread.
  void terminate();
  void kill();

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
