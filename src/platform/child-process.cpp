#include "platform/child-process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace orvo {

namespace childprocess {

void defaultSignals(posix_spawnattr_t& attributes) {
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes) {
  std::vector<std::string> entries;
  for (char** each = environ; each && *each; ++each) {
    std::string entry = *each;
    const std::string name = entry.substr(0, entry.find('='));
    if (!changes.count(name)) entries.push_back(std::move(entry));
  }
  for (const auto& [name, value] : changes) entries.push_back(name + "=" + value);
  return entries;
}

}  // namespace childprocess

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const std::string& input) {
  return start(argv, input, Options{});
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const std::string& input,
                                                  const Options& options) {
  if (argv.empty()) return nullptr;
  int out[2], err[2], in[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return nullptr;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return nullptr;
  }
  if (::pipe2(in, O_CLOEXEC) != 0) {
    for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
  posix_spawnattr_t attributes;
  childprocess::defaultSignals(attributes);

  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const std::vector<std::string> changed =
      options.env.empty() ? std::vector<std::string>{} : childprocess::environmentWith(options.env);
  std::vector<char*> envp;
  for (const auto& entry : changed) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  char** environment = options.env.empty() ? environ : envp.data();
  pid_t pid = -1;
  int failed = options.lookUpPath
                   ? ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environment)
                   : ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environment);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (failed != 0) {
    for (int fd : {in[1], out[0], err[0]}) ::close(fd);
    return nullptr;
  }
  // Input is small (a sentence, a prompt); a child that does not read it must not block us.
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);
  if (!input.empty()) {
    [[maybe_unused]] ssize_t written = ::write(in[1], input.data(), input.size());
  }
  ::close(in[1]);
  std::unique_ptr<ChildProcess> child(new ChildProcess);
  child->pid_ = pid;
  child->outFd_ = out[0];
  child->errFd_ = err[0];
  return child;
}

ChildProcess::~ChildProcess() {
  if (!reaped_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
}

int ChildProcess::wait(double seconds) {
  if (status_) return *status_;
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds));
  char buffer[4096];
  while (outFd_ >= 0 || errFd_ >= 0) {
    pollfd waits[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    int timeout = -1;
    if (seconds > 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        ::kill(pid_, SIGKILL);
        break;
      }
      timeout = static_cast<int>(left.count());
    }
    if (::poll(waits, 2, timeout) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? outFd_ : errFd_;
      if (fd < 0 || !(waits[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got > 0) {
        (i == 0 ? output_ : errors_).append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(fd);
        fd = -1;
      }
    }
  }
  // Wait for the exit without reaping, so terminate() can still signal safely.
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
  int raw = 0;
  {
    std::lock_guard guard(reapMutex_);
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
  }
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return *status_;
}

void ChildProcess::terminate() {
  std::lock_guard guard(reapMutex_);
  if (!reaped_ && pid_ > 0) ::kill(pid_, SIGTERM);
}

void ChildProcess::kill() {
  std::lock_guard guard(reapMutex_);
  if (!reaped_ && pid_ > 0) ::kill(pid_, SIGKILL);
}

}  // namespace orvo
