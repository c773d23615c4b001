// A test program: an engine in the given data folder plays a 2,000-note take
// in composition mode, says "ready", then saves it with the save key again
// and again until it is killed. The crash test kills it at random moments.

#include <cstdio>
#include <filesystem>

#include "engine-world.h"
#include "rooms/compose/compose-room.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  orvo::testing::EngineWorld world(argv[1]);
  orvo::Engine& engine = world.engine;
  const orvo::ButtonKeys keys = engine.buttonKeys();
  engine.command(keys.compose);
  world.runtime.runReady();
  static const int notes[] = {60, 64, 67, 72, 67, 64, 62, 65, 69, 67, 55, 59};
  for (int i = 0; i < 2000; ++i) {
    engine.noteEvent(notes[i % 12], 70 + i % 30);
    world.runtime.advance(0.15);
    engine.noteEvent(notes[i % 12], 0);
    world.runtime.advance(0.05);
  }
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    engine.command(keys.back);
    world.runtime.runReady();  // the save, then the memory written by the store
  }
}
