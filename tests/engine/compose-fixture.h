#pragma once
// The engine fixture with what composition tests play and read back.

#include <array>
#include <vector>

#include "engine/engine-fixture.h"
#include "rooms/compose/compose-room.h"

namespace orvo {

class ComposeTest : public EngineTest {
 protected:
  // A C major phrase, one note every `step` seconds, each held for most of it.
  void phrase(int count, double step = 0.5) {
    static const int notes[] = {60, 64, 67, 72, 67, 64, 60, 62, 65, 69, 67, 60};
    for (int i = 0; i < count; ++i) {
      int pitch = notes[i % 12];
      engine->noteEvent(pitch, 80);
      runtime.advance(step * 0.8);
      engine->noteEvent(pitch, 0);
      runtime.advance(step * 0.2);
    }
  }
  std::vector<RNote> take() {
    std::lock_guard guard(engine->lock);
    auto& room = engine->compose();
    return room.history().notes(room.takeStart(), engine->now());
  }
};

// Published MIDI since the last call, as (status, key, velocity).
inline std::vector<std::array<int, 3>> sent(LoopbackMidiBackend& backend) {
  std::vector<std::array<int, 3>> out;
  for (const auto& bytes : backend.published) {
    if (bytes.size() == 3) out.push_back({bytes[0], bytes[1], bytes[2]});
  }
  backend.published.clear();
  return out;
}

}  // namespace orvo
