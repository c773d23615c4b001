#pragma once
// An engine that says nothing, in a data folder whose top key is known: a
// fresh temporary one, or the one given. For the benchmarks and for test
// programs that run an engine outside a test; on the virtual clock, or on
// real threads with a real MIDI link for the note path.

#include <filesystem>

#include "diagnostics/trace-world.h"
#include "doubles/failable-store.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "platform/midi/loopback/loopback-midi-backend.h"

namespace orvo::testing {

struct EngineWorld {
  explicit EngineWorld(std::filesystem::path folder = {}, AccessBackend* access = nullptr,
                       Runtime* realRuntime = nullptr, MidiBackend* midiBackend = nullptr,
                       bool midiLines = false)
      : world({.opt = {},
               .secondsPerCharacter = 0.0,
               .folder = std::move(folder),
               .seed = 1,
               .windowLines = true,
               .midiLines = midiLines,
               .realRuntime = realRuntime,
               .midiBackend = midiBackend,
               .sameAfternoon = false,
               .adjust = [access](EngineParts& parts) { parts.access = access; }}) {}

  TraceWorld world;
  VirtualRuntime& runtime = world.runtime();
  Engine& engine = world.engine();
  LoopbackMidiBackend& backend = world.midiBackend();
  MidiIO& midi = world.midi();
  Store& store = world.store();
  std::filesystem::path home = world.folder();
};

}  // namespace orvo::testing
