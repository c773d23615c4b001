// The cost of one button press at home: the dispatcher, the home menu and the
// activity it starts (speech itself excluded).

#include <benchmark/benchmark.h>

#include "bench-figures.h"
#include "engine/engine.h"
#include "rooms/lesson/lesson-room.h"

namespace {

void BM_HomeMenuKey(benchmark::State& state) {
  orvo::bench::EngineWorld world;
  orvo::ButtonKeys keys;
  for (auto _ : state) {
    world.engine.command(keys.next);
    world.runtime.runReady();
  }
}
BENCHMARK(BM_HomeMenuKey);

}  // namespace
