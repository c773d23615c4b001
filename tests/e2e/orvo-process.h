#pragma once
// Runs the real orvo binary with pipes on its standard input and output, as
// the app window does, and reads its lines with time limits.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvo::testing {

class OrvoProcess {
 public:
  struct Options {
    std::filesystem::path home;
    std::vector<std::string> args = {"--text"};
    bool window = true;
    std::map<std::string, std::string> env = {};
    std::string binary = ORVO_BINARY;  // another build's, for a benchmark's comparison
  };

  explicit OrvoProcess(const Options& options) {
    // A binary that has died must fail the test with its status, not end it
    // on the next write.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      ::close(in[0]);
      ::close(in[1]);
      ::close(out[0]);
      ::close(out[1]);
      ::setenv("ORVO_HOME", options.home.c_str(), 1);
      ::setenv("ORVO_SEED", "1", 1);
      if (options.window) {
        ::setenv("LORIMEL_UI", "1", 1);
      } else {
        ::unsetenv("LORIMEL_UI");
      }
      for (auto& [name, value] : options.env) ::setenv(name.c_str(), value.c_str(), 1);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(options.binary.c_str()));
      for (auto& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(options.binary.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    ::fcntl(output_, F_SETFL, O_NONBLOCK);
    ::fcntl(input_, F_SETFD, FD_CLOEXEC);
    ::fcntl(output_, F_SETFD, FD_CLOEXEC);
  }

  ~OrvoProcess() {
    if (!status_ && pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    closeInput();
    if (output_ >= 0) ::close(output_);
  }

  pid_t pid() const { return pid_; }

  void write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(input_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  void closeInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }

  // The first unread line that matches, reading until it comes or time runs out.
  std::optional<std::string> waitForLine(const std::function<bool(const std::string&)>& match,
                                         double seconds = 10.0) {
    auto deadline = clock::now() + std::chrono::duration_cast<clock::duration>(
                                       std::chrono::duration<double>(seconds));
    for (;;) {
      while (next_ < lines_.size()) {
        const std::string& line = lines_[next_++];
        if (match(line)) return line;
      }
      if (!readSome(deadline)) return std::nullopt;
    }
  }
  std::optional<std::string> waitFor(const std::string& exact, double seconds = 10.0) {
    return waitForLine([&](const std::string& line) { return line == exact; }, seconds);
  }
  std::optional<std::string> waitForPrefix(const std::string& prefix, double seconds = 10.0) {
    return waitForLine([&](const std::string& line) { return line.rfind(prefix, 0) == 0; },
                       seconds);
  }

  // A line holding `part` anywhere: the song list, for one, may follow a word
  // on the songs still being read.
  std::optional<std::string> waitForPart(const std::string& part, double seconds = 10.0) {
    return waitForLine(
        [&](const std::string& line) { return line.find(part) != std::string::npos; }, seconds);
  }

  // Writes the bytes, then waits for the line that answers them.
  std::optional<std::string> answers(const std::string& bytes, const std::string& exact,
                                     double seconds = 10.0) {
    write(bytes);
    return waitFor(exact, seconds);
  }
  std::optional<std::string> answersWithPrefix(const std::string& bytes, const std::string& prefix,
                                               double seconds = 10.0) {
    write(bytes);
    return waitForPrefix(prefix, seconds);
  }

  // The window closes: the input ends and the program quits; its exit status.
  std::optional<int> closeWindow() {
    closeInput();
    return waitExit();
  }

  // Every line read so far.
  const std::vector<std::string>& lines() const { return lines_; }

  // The exit status when the process ended in time by itself, else nothing;
  // a process killed by a signal gives 128 + the signal.
  std::optional<int> waitExit(double seconds = 10.0) {
    auto deadline = clock::now() + std::chrono::duration_cast<clock::duration>(
                                       std::chrono::duration<double>(seconds));
    while (!status_) {
      int raw = 0;
      pid_t got = ::waitpid(pid_, &raw, WNOHANG);
      if (got == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        break;
      }
      if (clock::now() > deadline) return std::nullopt;
      readSome(clock::now() + std::chrono::milliseconds(20));
    }
    while (readSome(clock::now() + std::chrono::milliseconds(50))) {
    }
    return status_;
  }

  void signal(int number) { ::kill(pid_, number); }

 private:
  using clock = std::chrono::steady_clock;

  // Reads what is there before the deadline; false at the deadline or the end of output.
  bool readSome(clock::time_point deadline) {
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
      if (left.count() <= 0 || output_ < 0) return false;
      pollfd wait{output_, POLLIN, 0};
      if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      ssize_t got = ::read(output_, buffer, sizeof buffer);
      if (got == 0) return false;
      if (got < 0) continue;
      partial_.append(buffer, static_cast<std::size_t>(got));
      std::size_t end;
      bool any = false;
      while ((end = partial_.find('\n')) != std::string::npos) {
        lines_.push_back(partial_.substr(0, end));
        partial_.erase(0, end + 1);
        any = true;
      }
      if (any) return true;
    }
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string partial_;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  std::optional<int> status_;
};

}  // namespace orvo::testing
