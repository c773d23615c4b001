#pragma once
// What several benchmarks share: percentiles of timings as counters, and an
// engine on the virtual clock that says nothing.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "engine-world.h"

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

using testing::EngineWorld;
using testing::SilentSpeaker;

}  // namespace orvo::bench
