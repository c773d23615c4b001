#pragma once
// A long-lived outside program spoken to in lines: what is written goes to
// its standard input, and each line of its standard output is handed on as
// it arrives (the AI tool in its stream mode).
//
// Threads: a reader thread of its own calls onLine and then onExit; they must
// be quick and must not call back into this object's destructor. write(),
// terminate() and running() may be called from any thread.

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvo {

class LineProcess {
 public:
  struct Options {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::filesystem::path cwd = {};
    std::map<std::string, std::string> env = {};  // set on top of our own environment
    bool discardErrors = true;                    // standard error to the null device
    std::size_t maxLine = 4u << 20;               // a longer line is dropped
  };
  struct Calls {
    std::function<void(std::string_view line)> onLine;
    std::function<void(std::size_t bytes)> onDropped = [](std::size_t) {};
    std::function<void()> onExit = [] {};
  };

  // Nothing when the program cannot be started.
  static std::unique_ptr<LineProcess> start(const Options& options, Calls calls);
  ~LineProcess();  // kills the program if it still runs, and waits for the reader
  LineProcess(const LineProcess&) = delete;
  LineProcess& operator=(const LineProcess&) = delete;

  // The bytes, whole; false when the program is gone or not reading.
  bool write(std::string_view bytes);
  // Closes its standard input: a program that reads it to the end then ends.
  void closeInput();
  void terminate();
  bool running() const { return running_; }
  // How it ended, once it has (as waitpid gives it): for a caller that says why.
  int exitStatus() const { return exitStatus_; }
  pid_t pid() const { return pid_; }

 private:
  LineProcess() = default;
  void read();

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  Calls calls_;
  std::size_t maxLine_ = 0;
  std::atomic<bool> running_{true};
  std::atomic<int> exitStatus_{0};
  std::mutex writeMutex_;
  std::mutex reapMutex_;
  bool reaped_ = false;
  std::thread reader_;
};

}  // namespace orvo
