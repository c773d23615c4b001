#include "platform/line-process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>

#include <cerrno>
#include <cstring>

#include "platform/child-process.h"

extern char** environ;

namespace orvo {

std::unique_ptr<LineProcess> LineProcess::start(const Options& options, Calls calls) {
  if (options.argv.empty()) return nullptr;
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return nullptr;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return nullptr;
  }
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  if (options.discardErrors && null >= 0)
    posix_spawn_file_actions_adddup2(&actions, null, STDERR_FILENO);
  if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
  posix_spawnattr_t attributes;
  childprocess::defaultSignals(attributes);

  std::vector<std::string> environment = childprocess::environmentWith(options.env);
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<char*> args;
  for (const auto& arg : options.argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int failed = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(in[0]);
  ::close(out[1]);
  if (null >= 0) ::close(null);
  if (failed != 0) {
    ::close(in[1]);
    ::close(out[0]);
    return nullptr;
  }
  std::unique_ptr<LineProcess> process(new LineProcess);
  process->pid_ = pid;
  process->in_ = in[1];
  process->out_ = out[0];
  process->calls_ = std::move(calls);
  process->maxLine_ = options.maxLine;
  process->reader_ = std::thread([raw = process.get()] { raw->read(); });
  return process;
}

void LineProcess::read() {
  std::string line;
  bool dropping = false;
  std::size_t dropped = 0;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(out_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    std::string_view chunk(buffer, static_cast<std::size_t>(got));
    while (!chunk.empty()) {
      const std::size_t end = chunk.find('\n');
      const std::string_view part = chunk.substr(0, end);
      if (dropping) {
        dropped += part.size();
      } else if (line.size() + part.size() > maxLine_) {
        // A line without end: kept no further, and dropped whole when it ends.
        dropping = true;
        dropped = line.size() + part.size();
        line.clear();
      } else {
        line.append(part);
      }
      if (end == std::string_view::npos) break;
      if (dropping) {
        calls_.onDropped(dropped);
        dropping = false;
      } else {
        calls_.onLine(line);
      }
      line.clear();
      chunk.remove_prefix(end + 1);
    }
  }
  if (!dropping && !line.empty()) calls_.onLine(line);
  {
    std::lock_guard guard(reapMutex_);
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    exitStatus_ = raw;
    reaped_ = true;
  }
  running_ = false;
  calls_.onExit();
}

bool LineProcess::write(std::string_view bytes) {
  std::lock_guard guard(writeMutex_);
  if (!running_ || in_ < 0) return false;
  // A program that has gone would raise SIGPIPE, which ends a process that
  // does not ignore it: it is held back on this thread and taken away again.
  sigset_t pipeSignal, old;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
  bool ok = true;
  while (!bytes.empty()) {
    const ssize_t written = ::write(in_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) {
        timespec none{};
        ::sigtimedwait(&pipeSignal, nullptr, &none);
      }
      ok = false;
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return ok;
}

void LineProcess::closeInput() {
  std::lock_guard guard(writeMutex_);
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

void LineProcess::terminate() {
  std::lock_guard guard(reapMutex_);
  if (!reaped_ && pid_ > 0) ::kill(pid_, SIGTERM);
}

LineProcess::~LineProcess() {
  {
    std::lock_guard guard(writeMutex_);
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }
  {
    std::lock_guard guard(reapMutex_);
    if (!reaped_ && pid_ > 0) ::kill(pid_, SIGKILL);
  }
  if (reader_.joinable()) reader_.join();
  if (out_ >= 0) ::close(out_);
}

}  // namespace orvo
