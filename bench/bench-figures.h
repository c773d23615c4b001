#pragma once
// What several benchmarks share: percentiles of timings as counters, a
// process's resident memory, and an engine on the virtual clock that says nothing.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine-world.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::bench {

// Microseconds since `start`.
inline double microsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
      .count();
}

// The median and the 99th percentile of timings in microseconds.
inline void reportMicros(benchmark::State& state, std::vector<double>& micros) {
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["p50_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

// Lateness in milliseconds (sorted in place): how many as `count`, the
// earliest, the median, the 90th and 99th percentiles and the worst.
inline void reportMillis(benchmark::State& state, std::vector<double>& late, const char* count) {
  std::sort(late.begin(), late.end());
  state.counters[count] = static_cast<double>(late.size());
  state.counters["early_ms"] = late.front();
  state.counters["p50_ms"] = late[late.size() / 2];
  state.counters["p90_ms"] = late[late.size() * 9 / 10];
  state.counters["p99_ms"] = late[late.size() * 99 / 100];
  state.counters["max_ms"] = late.back();
}

// Resident memory of a process (this one unless named), in megabytes, now
// ("VmRSS:") or at its highest ("VmHWM:"); 0 when it cannot be read.
inline double residentMB(pid_t pid = ::getpid(), const std::string& field = "VmRSS:") {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + field.size()) / 1024.0;
  }
  return 0;
}

using testing::EngineWorld;

}  // namespace orvo::bench
