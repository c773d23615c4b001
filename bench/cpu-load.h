#pragma once
// Busy cores beside a timing benchmark: stress-ng with `cpus` CPU-bound
// workers, while the object lives. running() is false without stress-ng.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

extern char** environ;

namespace orvo::bench {

struct CpuLoad {
  pid_t pid = -1;
  CpuLoad(bool on, int cpus) {
    if (!on || !std::filesystem::exists("/usr/bin/stress-ng")) return;
    std::string count = std::to_string(cpus);
    char* argv[] = {const_cast<char*>("/usr/bin/stress-ng"), const_cast<char*>("--cpu"),
                    count.data(), const_cast<char*>("--quiet"), nullptr};
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) pid = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  ~CpuLoad() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
  CpuLoad(const CpuLoad&) = delete;
  CpuLoad& operator=(const CpuLoad&) = delete;
  bool running() const { return pid > 0; }
};

}  // namespace orvo::bench
